// Downloads from a real HTTP server on 127.0.0.1 that answers some tiles with 404s, 410s, empty
// answers, slow replies, dropped connections, bodies cut short, server errors, error pages and
// Retry-After.
#include "LocalTileServer.h"
#include "VtcoreTestSupport.h"

#include "tools/vtcore/Downloader.h"

#include <QDateTime>
#include <QLocale>
#include <QMutexLocker>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>

using namespace VtTest;

namespace {

constexpr int kRetries = 2;

enum Kind { Good, NotFound, Gone, Empty, Slow, DropOnce, CutOnce, TimeoutOnce, ServerError, ErrorPage };

// A fixed mix of behaviours by tile; the first four kinds of trouble heal on a retry.
Kind KindOf(int z, int x, int y) {
    static const QMap<int, Kind> byHash = {{3, NotFound}, {17, Gone},        {24, Empty},       {5, Slow},
                                           {8, DropOnce}, {22, DropOnce},    {11, CutOnce},     {14, TimeoutOnce},
                                           {19, ServerError}, {26, ErrorPage}};
    return byHash.value((x * 7 + y * 13 + z * 31) % 29, Good);
}
bool Absent(Kind k) { return k == NotFound || k == Gone || k == Empty; }
bool Failing(Kind k) { return k == ServerError || k == ErrorPage; }

// `healed`: the server errors and error pages are over.
TileReply FlakyRule(int z, int x, int y, int attempt, bool healed) {
    TileReply r;
    const Kind kind = KindOf(z, x, y);
    if (healed && Failing(kind)) return r;
    r.status = kind == NotFound ? 404 : kind == Gone ? 410 : kind == ServerError ? 503 : 200;
    r.empty = kind == Empty;
    r.delayMs = kind == Slow ? 150 : kind == TimeoutOnce && attempt == 1 ? 3000 : 0;  // 3000: beyond --timeout 800
    r.drop = kind == DropOnce && attempt == 1;
    r.cutShort = kind == CutOnce && attempt == 1;
    if (kind == ErrorPage) r.body = "<html>quota exceeded</html>";
    return r;
}

}  // namespace

TEST(HttpDownload, TilesArriveByteForByteAbsentTilesAreNotAskedAgainAndFailuresAreExplained) {
    QTemporaryDir dir;
    std::atomic<bool> healed{false};
    CLocalTileServer server([&](int z, int x, int y, int attempt) { return FlakyRule(z, x, y, attempt, healed); });
    const QString idx = dir.filePath("flaky.idx");
    const RunResult first = RunTool({"download", idx, "--source", server.UrlTemplate(), "--extent", "90,10,140,55", "--levels",
                                     "1-7", "--threads", "6", "--retries", QString::number(kRetries), "--backoff", "20",
                                     "--timeout", "800", "--quiet"});
    // Server errors and error pages remain, so the run ends incomplete.
    ASSERT_EQ(first.code, VtCli::kExitIncomplete) << qPrintable(first.out + first.err);
    const TileMap tiles = ReadSlots(idx).tiles;
    const auto states = ReadSlots(idx).states;
    ASSERT_GT(states.size(), 100);
    QMap<int, int> perKind;
    QList<Key> failing, absent;
    for (auto it = states.begin(); it != states.end(); ++it) {
        const auto [z, x, y] = it.key();
        SCOPED_TRACE(QStringLiteral("%1/%2/%3").arg(z).arg(x).arg(y).toStdString());
        const Kind kind = KindOf(z, x, y);
        ++perKind[int(kind)];
        if (Absent(kind)) {
            // An answer about the tile: asked once, recorded apart from failures.
            EXPECT_EQ(it.value(), VtCli::kBlockAbsent);
            EXPECT_EQ(server.Requests(z, x, y), 1);
            absent.append(it.key());
        } else if (Failing(kind)) {
            EXPECT_EQ(it.value(), BLOCK_EMPTY);  // fetched again next time
            EXPECT_EQ(server.Requests(z, x, y), 1 + kRetries);
            failing.append(it.key());
        } else {
            EXPECT_EQ(it.value(), BLOCK_HAS_DATA);
            EXPECT_EQ(tiles.value(it.key()), CLocalTileServer::TileBytes(z, x, y));
        }
    }
    EXPECT_EQ(perKind.size(), 10) << "every kind of reply occurs in the region";
    EXPECT_EQ(tiles.size() + failing.size() + absent.size(), states.size());
    // The summary groups the failures by reason, each with a count and one of its URLs; the log
    // beside the depository names every failed tile.
    const QString prefix = QStringLiteral("http://127.0.0.1:%1/").arg(server.Port());
    const QString url = QRegularExpression::escape(prefix);
    for (const QString& line : {QStringLiteral("\n +%1  HTTP 503, e\\.g\\. %2").arg(perKind[int(Kind::ServerError)]).arg(url),
                                QStringLiteral("\n +%1  not an image, e\\.g\\. %2").arg(perKind[int(Kind::ErrorPage)]).arg(url),
                                QStringLiteral("\nabsent     %1 absent at the source").arg(absent.size())})
        EXPECT_TRUE(first.out.contains(QRegularExpression(line))) << qPrintable(line + "\n" + first.out);
    const QByteArray logText = FileBytes(dir.filePath("flaky.log"));  // the library's log beside the depository
    for (const auto& [z, x, y] : failing)
        EXPECT_TRUE(logText.contains(QStringLiteral("%1%2/%3/%4.png").arg(prefix).arg(z).arg(x).arg(y).toUtf8()));
    // info counts absent tiles in a column of their own.
    const QString totals = QStringLiteral("total +%1 +%2 +0 +%3 +%4 ").arg(states.size()).arg(tiles.size());
    const RunResult info = RunTool({"info", idx});
    EXPECT_TRUE(info.out.contains(QRegularExpression(totals.arg(failing.size()).arg(absent.size())))) << qPrintable(info.out);
    // Again: exactly the failed tiles are asked for; absent ones are not.
    server.ResetCounts();
    const QStringList again = {"download", idx, "--source", server.UrlTemplate(), "--retries", "0", "--quiet"};
    EXPECT_EQ(RunTool(again).code, VtCli::kExitIncomplete);
    EXPECT_EQ(server.Heads().size(), failing.size());
    for (const auto& key : failing) EXPECT_EQ(server.Requests(std::get<0>(key), std::get<1>(key), std::get<2>(key)), 1);
    EXPECT_EQ(ReadSlots(idx).tiles, tiles);
    // Once the server has healed, what is left is absent: the run is complete.
    healed = true;
    server.ResetCounts();
    EXPECT_EQ(RunTool(again).code, VtCli::kExitOk);
    EXPECT_EQ(server.Heads().size(), failing.size());
    const RunResult listed = RunTool({"tasks", "--db-dir", dir.path()});
    EXPECT_TRUE(listed.out.contains(QRegularExpression(
        QStringLiteral(" completed +%1/%2 ").arg(tiles.size() + failing.size()).arg(states.size()))))
        << qPrintable(listed.out);
    // --retry-absent asks for them once more.
    server.ResetCounts();
    EXPECT_EQ(RunTool(again + QStringList{"--retry-absent"}).code, VtCli::kExitOk);
    EXPECT_EQ(server.Heads().size(), absent.size());
    EXPECT_EQ(RunTool({"verify", idx}).code, VtCli::kExitOk);
}

TEST(HttpDownload, RetryAfterHoldsEveryRequestUntilTheServersTime) {
    QTemporaryDir dir;
    // The status and the Retry-After value, made when the answer is sent.
    const std::pair<int, std::function<QByteArray()>> rows[] = {
        {429, [] { return QByteArray("1"); }},  // delta seconds
        // An HTTP date two seconds ahead: a pause of more than one second either way.
        {503, [] { return QLocale::c().toString(QDateTime::currentDateTimeUtc().addSecs(2), "ddd, dd MMM yyyy hh:mm:ss 'GMT'").toLatin1(); }},
    };
    for (const auto& [status, value] : rows) {
        SCOPED_TRACE(status);
        QMutex mutex;
        QList<qint64> starts;
        qint64 answered = 0;  // when the Retry-After went out
        CLocalTileServer server([&](int z, int x, int y, int attempt) {
            QMutexLocker lock(&mutex);
            starts.append(QDateTime::currentMSecsSinceEpoch());
            if (z != 3 || x != 6 || y != 3 || attempt != 1) return TileReply();
            TileReply r(status);
            r.headers = "Retry-After: " + value() + "\r\n";
            answered = starts.last();
            return r;
        });
        const QString idx = dir.filePath(QStringLiteral("pause%1.idx").arg(status));
        const RunResult r = RunTool({"download", idx, "--source", server.UrlTemplate(), "--extent", "90,10,140,55",
                                     "--levels", "1-6", "--backoff", "10", "--threads", "4", "--quiet"});
        ASSERT_EQ(r.code, VtCli::kExitOk) << qPrintable(r.out + r.err);
        EXPECT_EQ(server.Requests(3, 6, 3), 2);
        QMutexLocker lock(&mutex);
        ASSERT_GT(answered, 0);
        // Requests already on their way may arrive just after the answer; then nothing until the
        // time has passed.
        EXPECT_EQ(std::count_if(starts.begin(), starts.end(), [&](qint64 t) { return t > answered + 200 && t < answered + 900; }), 0);
        EXPECT_GE(starts.last() - answered, 900);
    }
}

TEST(HttpDownload, ProviderNoTileImagesOversizedBodiesHeadersAndRateLimit) {
    QTemporaryDir dir;
    // Baidu's satellite type serves a 210-byte image for missing tiles.
    const QByteArray noTile(210, '\x01');
    // Columns 0, 2, 4, ...: the no-tile image; 1, 5, 9, ...: 300 kB, more than a depository tile holds.
    const QByteArray huge = CLocalTileServer::TileBytes(1, 1, 1) + QByteArray(300000, '\0');
    QMutex mutex;
    QList<qint64> starts;
    CLocalTileServer server([&](int, int x, int, int) {
        QMutexLocker lock(&mutex);
        starts.append(QDateTime::currentMSecsSinceEpoch());
        TileReply r;
        if (x % 2 == 0) r.body = noTile;
        if (x % 4 == 1) r.body = huge;
        return r;
    });
    const QString idx = dir.filePath("baidu.idx");
    const RunResult r = RunTool({"download", idx, "--source", server.UrlTemplate(), "--map-type", "44", "--region-datum",
                                 "bd09", "--extent", "116,39,117,40", "--levels", "1-6", "--rate", "20", "--threads", "4",
                                 "--referer", "https://maps.example.test/", "--user-agent", "TestAgent/2", "--header",
                                 "X-Key: abc:def", "--quiet"});
    ASSERT_EQ(r.code, VtCli::kExitIncomplete) << qPrintable(r.out + r.err);
    const QByteArray head = server.Heads().last().toLower();
    for (const char* line : {"\r\nreferer: https://maps.example.test/", "\r\nuser-agent: testagent/2", "\r\nx-key: abc:def"})
        EXPECT_TRUE(head.contains(line)) << head.constData();
    const auto states = ReadSlots(idx).states;
    int seen[3] = {0, 0, 0};  // kept, no-tile image, oversized
    for (auto it = states.begin(); it != states.end(); ++it) {
        const int x = std::get<1>(it.key());
        ++seen[x % 2 == 0 ? 1 : x % 4 == 1 ? 2 : 0];
        const bool kept = x % 2 == 1 && x % 4 != 1;
        // The no-tile image says the tile is absent; an oversized body is a failure.
        EXPECT_EQ(it.value(), kept ? BLOCK_HAS_DATA : x % 2 == 0 ? VtCli::kBlockAbsent : BLOCK_EMPTY) << x;
        // Neither is retried: asking again gives the same answer.
        if (!kept) { EXPECT_EQ(server.Requests(std::get<0>(it.key()), x, std::get<2>(it.key())), 1); }
    }
    EXPECT_TRUE(seen[0] > 0 && seen[1] > 0 && seen[2] > 0);
    QMutexLocker lock(&mutex);
    ASSERT_GE(starts.size(), 6);
    std::sort(starts.begin(), starts.end());
    // 20 a second: n requests span at least (n - 1) * 50 ms however many threads ask. Delivery
    // delays can only shorten the span seen by the server by the first request's extra delay,
    // so two intervals are left as slack.
    EXPECT_GE(starts.last() - starts.first(), (starts.size() - 3) * 50);
}
