#include "tools/vtcore/Downloader.h"

#include "core/log/VtLog.h"
#include "storage/IdxFileDepository.h"
#include "storage/TaskEnums.h"
#include "tools/vtcore/HttpClient.h"
#include "tools/vtcore/RateLimiter.h"

#include <QDateTime>
#include <QEventLoop>
#include <QMutex>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <queue>
#include <thread>
#include <vector>

namespace VtCli {
namespace {

using Clock = std::chrono::steady_clock;

// Longest tile kept: the depository's walks and readers take tiles up to this length.
constexpr int kMaxTileBytes = CIdxFileDepository::kTravelBuffer - 1;
// How often a waiting thread looks at the stop flag (a signal handler cannot wake it).
constexpr auto kStopPoll = std::chrono::milliseconds(50);

struct LevelSpan {
    int level = 0;
    long long firstSlot = 0;  // slot of the level's first tile
    int minX = 0;
    int minY = 0;
    int cols = 1;
    long long begin = 0;      // position of the level's first slot in the need bitmap
    long long count = 0;
};

enum class Outcome { Stored, Retry, Absent, Fail, Abandoned };

struct Result {
    Outcome outcome = Outcome::Abandoned;
    QByteArray body;
    QString reason;         // why a tile failed, in the words of the summary
    int retryAfterMs = -1;  // the server's Retry-After
};

Result Failed(Outcome outcome, const QString& reason, int retryAfterMs = -1) {
    Result r;
    r.outcome = outcome;
    r.reason = reason;
    r.retryAfterMs = retryAfterMs;
    return r;
}

// What a status means for the tile: an answer about it, or trouble worth another attempt.
Result FromStatus(int status, int retryAfterMs) {
    const QString reason = QStringLiteral("HTTP %1").arg(status);
    if (status == 404 || status == 410) return Failed(Outcome::Absent, reason);
    if (status == 408 || status == 429 || status >= 500) return Failed(Outcome::Retry, reason, retryAfterMs);
    if (status >= 300) return Failed(Outcome::Fail, reason);  // refused or sent elsewhere: asking again will not help
    return Failed(Outcome::Retry, reason);
}

struct RetryEntry {
    Clock::time_point due;
    TileJob job;
    int attempt = 0;
    bool operator<(const RetryEntry& o) const { return due > o.due; }  // earliest on top
};

bool EndsWith(const QByteArray& b, const char* tail, int n) {
    return b.size() >= n && std::equal(tail, tail + n, b.constData() + b.size() - n);
}

quint32 ReadLe32(const QByteArray& b, int at) {
    return quint32(quint8(b[at])) | quint32(quint8(b[at + 1])) << 8 | quint32(quint8(b[at + 2])) << 16 |
           quint32(quint8(b[at + 3])) << 24;
}

}  // namespace

bool LooksLikeImage(const QByteArray& b) {
    if (b.startsWith("\x89PNG\r\n\x1a\n")) return EndsWith(b, "IEND\xae\x42\x60\x82", 8);
    if (b.startsWith("\xff\xd8\xff")) return EndsWith(b, "\xff\xd9", 2);
    if (b.startsWith("GIF87a") || b.startsWith("GIF89a")) return EndsWith(b, "\x3b", 1);
    if (b.size() >= 12 && b.startsWith("RIFF") && b.mid(8, 4) == "WEBP") return qint64(ReadLe32(b, 4)) + 8 == b.size();
    return false;
}

struct CTileDownloader::Private {
    CIdxFileDepository& dep;
    const ITileSource& source;
    DownloadOptions options;
    CRateLimiter limiter;

    std::vector<LevelSpan> spans;
    std::vector<bool> need;  // one bit per slot of the selected levels

    std::mutex mutex;  // guards the feed, the retry queue, inFlight, the error text and the failure groups
    std::condition_variable wake;
    long long cursor = 0;
    std::priority_queue<RetryEntry> retries;
    int inFlight = 0;
    QString error;
    std::map<QString, FailureGroup> failures;
    // No request starts before this time (a Retry-After), in steady-clock ticks.
    std::atomic<Clock::rep> pausedUntil{0};

    const std::atomic<bool>* stop = nullptr;
    std::atomic<bool> writeFailed{false};

    std::atomic<long long> present{0}, stored{0}, failed{0}, absent{0}, knownAbsent{0}, unreadable{0}, requests{0},
        bytes{0};
    long long planned = 0;

    Private(CIdxFileDepository& d, const ITileSource& s, const DownloadOptions& o)
        : dep(d), source(s), options(o), limiter(o.ratePerSecond) {}

    bool Stopping() const { return stop->load() || writeFailed.load(); }

    // Reads every slot state of the selected levels once.
    void Scan() {
        const CDatIndexConvert& conv = dep.GetIndexConverter();
        std::vector<int> levels = dep.GetLevelList();
        std::sort(levels.begin(), levels.end());
        long long position = 0;
        for (int level : levels) {
            CTileKey minKey;
            CTileKey maxKey;
            if (!conv.GetTileBound(minKey, maxKey, level)) continue;
            LevelSpan span;
            span.level = level;
            span.firstSlot = conv.GetTileNumberUtilLevel(level - 1) + 1;
            span.minX = minKey.GetTileX();
            span.minY = minKey.GetTileY();
            span.cols = std::max(1, maxKey.GetTileX() - minKey.GetTileX() + 1);
            span.begin = position;
            span.count = conv.GetTileNumber(level);
            position += span.count;
            spans.push_back(span);
        }
        need.assign(size_t(position), false);
        for (const LevelSpan& span : spans) {
            for (long long i = 0; i < span.count; ++i) {
                const ENUM_BLOCK_STATE state = dep.GetFileIndexStatus(span.firstSlot + i);
                if (state == BLOCK_SKIPPED_LEVEL) continue;  // outside the region's polygons
                ++planned;
                // A bare state 2 claims data but points at no bytes: fetch the tile again.
                if (state == BLOCK_HAS_DATA && !dep.IsFileIndexHavData(span.firstSlot + i))
                    need[size_t(span.begin + i)] = true;
                else if (state == BLOCK_HAS_DATA) ++present;
                else if (IsNeedDownload(state) || (state == kBlockAbsent && options.retryAbsent))
                    need[size_t(span.begin + i)] = true;
                else if (state == kBlockAbsent) ++knownAbsent;
                else ++unreadable;
            }
        }
    }

    bool NextFresh(TileJob& job) {
        while (cursor < static_cast<long long>(need.size()) && !need[size_t(cursor)]) ++cursor;
        if (cursor >= static_cast<long long>(need.size())) return false;
        const long long pos = cursor++;
        auto it = std::upper_bound(spans.begin(), spans.end(), pos,
                                   [](long long p, const LevelSpan& s) { return p < s.begin; });
        const LevelSpan& span = *(it - 1);
        const long long i = pos - span.begin;
        job.slot = span.firstSlot + i;
        job.level = span.level;
        job.x = span.minX + int(i % span.cols);
        job.y = span.minY + int(i / span.cols);
        return true;
    }

    // Next job for a thread; false when everything is done or the run stops.
    bool Take(TileJob& job, int& attempt) {
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            if (Stopping()) return false;
            const Clock::time_point now = Clock::now();
            if (!retries.empty() && retries.top().due <= now) {
                job = retries.top().job;
                attempt = retries.top().attempt;
                retries.pop();
                ++inFlight;
                return true;
            }
            if (NextFresh(job)) {
                attempt = 0;
                ++inFlight;
                return true;
            }
            if (retries.empty() && inFlight == 0) {
                wake.notify_all();
                return false;
            }
            Clock::time_point until = now + kStopPoll;
            if (!retries.empty()) until = std::min(until, retries.top().due);
            wake.wait_until(lock, until);
        }
    }

    void Finish() {
        std::lock_guard<std::mutex> lock(mutex);
        --inFlight;
        wake.notify_all();
    }

    void Requeue(const TileJob& job, int attempt, int retryAfterMs) {
        int delay = BackoffDelayMs(attempt, options.backoffMs, options.maxBackoffMs);
        if (retryAfterMs >= 0) {
            // The server named its time: every thread holds back until then, this tile included.
            const int pause = std::min(retryAfterMs, options.maxRetryAfterMs);
            delay = std::max(delay, pause);
            const Clock::rep until = (Clock::now() + std::chrono::milliseconds(pause)).time_since_epoch().count();
            Clock::rep seen = pausedUntil.load();
            while (seen < until && !pausedUntil.compare_exchange_weak(seen, until)) {
            }
        }
        std::lock_guard<std::mutex> lock(mutex);
        retries.push(RetryEntry{Clock::now() + std::chrono::milliseconds(delay), job, attempt});
        --inFlight;
        wake.notify_all();
    }

    void Mark(const TileJob& job, ENUM_BLOCK_STATE state) { dep.SetFileIndexStatus(job.slot, state, true); }

    void GiveUp(const TileJob& job, const Result& r, const QString& url) {
        Mark(job, BLOCK_EMPTY);
        ++failed;
        const QString reason = r.reason.isEmpty() ? QStringLiteral("unknown") : r.reason;
        {
            std::lock_guard<std::mutex> lock(mutex);
            FailureGroup& g = failures[reason];
            if (g.count++ == 0) {
                g.reason = reason;
                g.exampleUrl = url;
            }
        }
        VtLogWarn() << "[vtcore download] tile " << (job.level - 1) << "/" << job.x << "/" << job.y << " failed: "
                    << VtGB((reason + QLatin1Char(' ') + url).toStdString());
    }

    void Complete(const TileJob& job, int attempt, Result& r, const QString& url) {
        switch (r.outcome) {
        case Outcome::Stored:
            if (!dep.WriteBuffer(job.slot, reinterpret_cast<unsigned char*>(r.body.data()), r.body.size(), true)) {
                {
                    std::lock_guard<std::mutex> lock(mutex);
                    error = QStringLiteral("cannot write tile %1 into %2")
                                .arg(job.slot)
                                .arg(QString::fromLocal8Bit(dep.GetDATFile().c_str()));
                }
                writeFailed = true;
            } else {
                ++stored;
                bytes += r.body.size();
            }
            break;
        case Outcome::Retry:
            if (attempt < options.retries) {
                Requeue(job, attempt + 1, r.retryAfterMs);
                return;
            }
            GiveUp(job, r, url);
            break;
        case Outcome::Fail:
            GiveUp(job, r, url);
            break;
        case Outcome::Absent:
            Mark(job, kBlockAbsent);
            ++absent;
            VtLogDebug() << "[vtcore download] tile " << (job.level - 1) << "/" << job.x << "/" << job.y
                         << " absent at the source: " << VtGB((r.reason + QLatin1Char(' ') + url).toStdString());
            break;
        case Outcome::Abandoned:
            break;
        }
        Finish();
    }

    // Waits for the rate limiter's start time and any Retry-After pause; false when the run stops
    // meanwhile.
    bool WaitTurn() {
        const Clock::time_point start = limiter.Reserve(Clock::now());
        for (;;) {
            const Clock::time_point until = std::max(start, Clock::time_point(Clock::duration(pausedUntil.load())));
            const Clock::time_point now = Clock::now();
            if (now >= until) break;
            if (Stopping()) return false;
            std::this_thread::sleep_for(std::min<Clock::duration>(until - now, kStopPoll));
        }
        return !Stopping();
    }

    Result Judge(QByteArray body) {
        Result r;
        if (body.isEmpty()) {
            r = Failed(Outcome::Absent, QStringLiteral("empty answer"));
        } else if (options.invalidImageSize > 0 && body.size() == options.invalidImageSize) {
            r = Failed(Outcome::Absent, QStringLiteral("the provider's no-tile image"));
        } else if (body.size() > kMaxTileBytes) {
            r = Failed(Outcome::Fail, TooLargeText());
        } else if (!options.acceptAnyBody && !LooksLikeImage(body)) {
            r = Failed(Outcome::Retry, QStringLiteral("not an image"));  // an error page or a body cut short
        } else {
            r.outcome = Outcome::Stored;
            r.body = std::move(body);
        }
        return r;
    }

    static QString TooLargeText() {
        return QStringLiteral("larger than %1 bytes").arg(kMaxTileBytes);
    }

    // Plain http: this thread's own connections, no event loop.
    Result FetchHttp(CHttpClient& http, QNetworkAccessManager*& nam, QNetworkRequest& request,
                     const QByteArray& url) {
        CHttpClient::Headers headers;
        for (const QByteArray& name : request.rawHeaderList()) headers.append({name, request.rawHeader(name)});
        const HttpReply h = http.Get(url, headers, Clock::now() + std::chrono::milliseconds(options.timeoutMs),
                                     kMaxTileBytes, [this] { return Stopping(); });
        switch (h.error) {
        case HttpReply::Error::None: break;
        case HttpReply::Error::Refused: return Failed(Outcome::Retry, QStringLiteral("connection refused"));
        case HttpReply::Error::Dns: return Failed(Outcome::Retry, QStringLiteral("host not found (DNS)"));
        case HttpReply::Error::Timeout: return Failed(Outcome::Retry, QStringLiteral("timeout"));
        case HttpReply::Error::Closed:
            return Failed(Outcome::Retry, QStringLiteral("connection closed before the tile was complete"));
        case HttpReply::Error::TooLarge: return Failed(Outcome::Fail, TooLargeText());
        case HttpReply::Error::Stopped: return Result{};
        case HttpReply::Error::BadReply: return Failed(Outcome::Retry, QStringLiteral("not an HTTP answer"));
        case HttpReply::Error::Network:
            return Failed(Outcome::Retry, QStringLiteral("network error: %1").arg(h.detail));
        }
        if (!h.location.isEmpty()) {
            // Sent to https (or another scheme): the network manager takes it from there.
            request.setUrl(QUrl::fromEncoded(h.location));
            return Fetch(Manager(nam), request);
        }
        if (h.status >= 200 && h.status < 300) return Judge(h.body);
        return FromStatus(h.status, h.retryAfterMs);
    }

    // A network manager of this thread, made on first use.
    static QNetworkAccessManager& Manager(QNetworkAccessManager*& nam) {
        if (nam == nullptr) nam = new QNetworkAccessManager;
        return *nam;
    }

    Result Fetch(QNetworkAccessManager& nam, QNetworkRequest& request) {
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
        if (!request.hasRawHeader("User-Agent")) request.setRawHeader("User-Agent", DefaultUserAgent());
        std::unique_ptr<QNetworkReply> reply(nam.get(request));
        bool timedOut = false;
        bool abandoned = false;
        bool tooLarge = false;
        QEventLoop loop;
        QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
        QObject::connect(reply.get(), &QNetworkReply::downloadProgress, &loop, [&](qint64 received, qint64) {
            if (received > kMaxTileBytes && !tooLarge) {
                tooLarge = true;
                reply->abort();
            }
        });
        QTimer deadline;
        deadline.setSingleShot(true);
        QObject::connect(&deadline, &QTimer::timeout, &loop, [&] {
            timedOut = true;
            reply->abort();
        });
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (Stopping()) {
                abandoned = true;
                reply->abort();
            }
        });
        deadline.start(options.timeoutMs);
        poll.start(int(kStopPoll.count()));
        if (!reply->isFinished()) loop.exec();

        if (abandoned) return Result{};
        if (tooLarge) return Failed(Outcome::Fail, TooLargeText());
        if (timedOut) return Failed(Outcome::Retry, QStringLiteral("timeout"));
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const QNetworkReply::NetworkError err = reply->error();
        if (err == QNetworkReply::NoError && (status == 0 || (status >= 200 && status < 300)))
            return Judge(reply->readAll());
        if (status == 0 && err == QNetworkReply::ContentNotFoundError)
            return Failed(Outcome::Absent, QStringLiteral("no such file"));
        if (status != 0) {
            const QByteArray retryAfter = reply->rawHeader("Retry-After");
            return FromStatus(status, retryAfter.isEmpty()
                                          ? -1
                                          : ParseRetryAfterMs(retryAfter, QDateTime::currentMSecsSinceEpoch()));
        }
        switch (err) {
        case QNetworkReply::ConnectionRefusedError: return Failed(Outcome::Retry, QStringLiteral("connection refused"));
        case QNetworkReply::HostNotFoundError: return Failed(Outcome::Retry, QStringLiteral("host not found (DNS)"));
        case QNetworkReply::TimeoutError: return Failed(Outcome::Retry, QStringLiteral("timeout"));
        case QNetworkReply::RemoteHostClosedError:
            return Failed(Outcome::Retry, QStringLiteral("connection closed before the tile was complete"));
        default: return Failed(Outcome::Retry, QStringLiteral("network error: %1").arg(reply->errorString()));
        }
    }

    void Work() {
        QNetworkAccessManager* nam = nullptr;  // only for https and file URLs
        CHttpClient http;
        TileJob job;
        int attempt = 0;
        while (Take(job, attempt)) {
            ++requests;
            Result r;
            QString url;
            if (!WaitTurn()) {
                r.outcome = Outcome::Abandoned;
            } else if (source.IsLocal()) {
                r = Judge(source.Render(job));
            } else {
                QNetworkRequest request = source.Request(job);
                const QUrl& target = request.url();
                if (target.isEmpty()) {
                    r = Failed(Outcome::Absent, QStringLiteral("no URL for this tile"));
                } else {
                    if (!request.hasRawHeader("User-Agent")) request.setRawHeader("User-Agent", DefaultUserAgent());
                    const QByteArray encoded = target.toEncoded();
                    url = QString::fromUtf8(encoded);
                    if (target.scheme() == QLatin1String("http") && target.userInfo().isEmpty())
                        r = FetchHttp(http, nam, request, encoded);
                    else
                        r = Fetch(Manager(nam), request);
                }
            }
            Complete(job, attempt, r, url);
        }
        delete nam;
    }

    DownloadCounts Snapshot() const {
        DownloadCounts c;
        c.planned = planned;
        c.present = present;
        c.stored = stored;
        c.failed = failed;
        c.absent = absent;
        c.knownAbsent = knownAbsent;
        c.unreadable = unreadable;
        c.requests = requests;
        c.bytes = bytes;
        return c;
    }
};

namespace {
class CWorkerThread : public QThread {
public:
    explicit CWorkerThread(std::function<void()> body) : m_body(std::move(body)) {}

protected:
    void run() override { m_body(); }

private:
    std::function<void()> m_body;
};
}  // namespace

CTileDownloader::CTileDownloader(CIdxFileDepository& depository, const ITileSource& source,
                                 const DownloadOptions& options)
    : d(std::make_unique<Private>(depository, source, options)) {}

CTileDownloader::~CTileDownloader() = default;

DownloadCounts CTileDownloader::Counts() const { return d->Snapshot(); }

QString CTileDownloader::LastError() const {
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->error;
}

std::vector<FailureGroup> CTileDownloader::Failures() const {
    std::vector<FailureGroup> out;
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        for (const auto& entry : d->failures) out.push_back(entry.second);
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const FailureGroup& a, const FailureGroup& b) { return a.count > b.count; });
    return out;
}

DownloadEnd CTileDownloader::Run(const std::atomic<bool>& stop,
                                 const std::function<void(const DownloadCounts&)>& progress, int intervalMs) {
    d->stop = &stop;
    d->Scan();
    const long long needed = std::count(d->need.begin(), d->need.end(), true);
    const int threads = int(std::max<long long>(1, std::min<long long>(std::max(1, d->options.threads), needed)));
    std::vector<std::unique_ptr<CWorkerThread>> workers;
    if (needed > 0 && !stop.load()) {
        QEventLoop loop;
        int running = 0;
        for (int i = 0; i < threads; ++i) {
            workers.push_back(std::make_unique<CWorkerThread>([this] { d->Work(); }));
            QObject::connect(workers.back().get(), &QThread::finished, &loop, [&] {
                if (--running == 0) loop.quit();
            });
        }
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
            if (progress) progress(d->Snapshot());
        });
        tick.start(std::max(10, intervalMs));
        for (auto& w : workers) {
            ++running;
            w->start();
        }
        loop.exec();
        for (auto& w : workers) w->wait();
    }
    const DownloadCounts c = d->Snapshot();
    if (progress) progress(c);
    if (d->writeFailed) return DownloadEnd::WriteFailed;
    // A stop raised after the last tile changes nothing: the run is complete.
    const bool complete = c.present + c.stored + c.failed + c.absent + c.knownAbsent + c.unreadable >= c.planned;
    return complete ? DownloadEnd::Finished : DownloadEnd::Interrupted;
}

}  // namespace VtCli
