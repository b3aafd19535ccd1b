#include "tools/vtcore/Downloader.h"

#include "storage/IdxFileDepository.h"
#include "storage/TaskEnums.h"
#include "tools/vtcore/RateLimiter.h"

#include <QEventLoop>
#include <QMutex>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <condition_variable>
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

enum class Outcome { Stored, Retry, NoTile, Fail, Abandoned };

struct Result {
    Outcome outcome = Outcome::Abandoned;
    QByteArray body;
};

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

    std::mutex mutex;  // guards the feed, the retry queue, inFlight and the error text
    std::condition_variable wake;
    long long cursor = 0;
    std::priority_queue<RetryEntry> retries;
    int inFlight = 0;
    QString error;

    const std::atomic<bool>* stop = nullptr;
    std::atomic<bool> writeFailed{false};

    std::atomic<long long> present{0}, stored{0}, failed{0}, missing{0}, unreadable{0}, requests{0}, bytes{0};
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
                else if (IsNeedDownload(state)) need[size_t(span.begin + i)] = true;
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

    void Requeue(const TileJob& job, int attempt) {
        const int delay = BackoffDelayMs(attempt, options.backoffMs, options.maxBackoffMs);
        std::lock_guard<std::mutex> lock(mutex);
        retries.push(RetryEntry{Clock::now() + std::chrono::milliseconds(delay), job, attempt});
        --inFlight;
        wake.notify_all();
    }

    void Mark(const TileJob& job) { dep.SetFileIndexStatus(job.slot, BLOCK_EMPTY, true); }

    void Complete(const TileJob& job, int attempt, Result& r) {
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
                Requeue(job, attempt + 1);
                return;
            }
            Mark(job);
            ++failed;
            break;
        case Outcome::Fail:
            Mark(job);
            ++failed;
            break;
        case Outcome::NoTile:
            Mark(job);
            ++missing;
            break;
        case Outcome::Abandoned:
            break;
        }
        Finish();
    }

    // Waits for the rate limiter's start time; false when the run stops meanwhile.
    bool WaitTurn() {
        const Clock::time_point start = limiter.Reserve(Clock::now());
        while (Clock::now() < start) {
            if (Stopping()) return false;
            std::this_thread::sleep_for(std::min<Clock::duration>(start - Clock::now(), kStopPoll));
        }
        return !Stopping();
    }

    Result Judge(QByteArray body) {
        Result r;
        if (body.isEmpty() || (options.invalidImageSize > 0 && body.size() == options.invalidImageSize)) {
            r.outcome = Outcome::NoTile;
        } else if (body.size() > kMaxTileBytes) {
            r.outcome = Outcome::Fail;
        } else if (!options.acceptAnyBody && !LooksLikeImage(body)) {
            r.outcome = Outcome::Retry;  // an error page or a body cut short
        } else {
            r.outcome = Outcome::Stored;
            r.body = std::move(body);
        }
        return r;
    }

    Result Fetch(QNetworkAccessManager& nam, const TileJob& job) {
        QNetworkRequest request = source.Request(job);
        if (request.url().isEmpty()) return Result{Outcome::NoTile, {}};
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

        if (abandoned) return Result{Outcome::Abandoned, {}};
        if (tooLarge) return Result{Outcome::Fail, {}};
        if (timedOut) return Result{Outcome::Retry, {}};
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const QNetworkReply::NetworkError err = reply->error();
        if (err == QNetworkReply::NoError && (status == 0 || (status >= 200 && status < 300)))
            return Judge(reply->readAll());
        if (status == 404 || status == 410 || err == QNetworkReply::ContentNotFoundError)
            return Result{Outcome::NoTile, {}};
        if (status == 408 || status == 429 || status >= 500) return Result{Outcome::Retry, {}};
        if (status >= 400) return Result{Outcome::Fail, {}};  // refused: asking again will not help
        return Result{Outcome::Retry, {}};                    // connection refused, dropped, reset
    }

    void Work() {
        std::unique_ptr<QNetworkAccessManager> nam;
        if (!source.IsLocal()) nam = std::make_unique<QNetworkAccessManager>();
        TileJob job;
        int attempt = 0;
        while (Take(job, attempt)) {
            ++requests;
            Result r;
            if (!WaitTurn()) r.outcome = Outcome::Abandoned;
            else if (source.IsLocal()) r = Judge(source.Render(job));
            else r = Fetch(*nam, job);
            Complete(job, attempt, r);
        }
    }

    DownloadCounts Snapshot() const {
        DownloadCounts c;
        c.planned = planned;
        c.present = present;
        c.stored = stored;
        c.failed = failed;
        c.missing = missing;
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
    const bool complete = c.present + c.stored + c.failed + c.missing + c.unreadable >= c.planned;
    return complete ? DownloadEnd::Finished : DownloadEnd::Interrupted;
}

}  // namespace VtCli
