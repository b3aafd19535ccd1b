// Downloads from a real HTTP server on 127.0.0.1 that answers some tiles with 404s, slow replies,
// dropped connections, bodies cut short, server errors and error pages.
#include "LocalTileServer.h"
#include "VtcoreTestSupport.h"

#include "catalog/DataFactory.h"

#include <QDateTime>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace VtTest;

namespace {

constexpr int kRetries = 2;

enum class Kind { Good, NotFound, SlowButInTime, DropOnce, CutOnce, TimeoutOnce, ServerError, ErrorPage };

// A fixed mix of behaviours by tile; the first four kinds of trouble heal on a retry.
Kind KindOf(int z, int x, int y) {
    const int h = (x * 7 + y * 13 + z * 31) % 29;
    switch (h) {
    case 3: case 17: return Kind::NotFound;
    case 5: return Kind::SlowButInTime;
    case 8: case 22: return Kind::DropOnce;
    case 11: return Kind::CutOnce;
    case 14: return Kind::TimeoutOnce;
    case 19: return Kind::ServerError;
    case 26: return Kind::ErrorPage;
    default: return Kind::Good;
    }
}

bool Servable(int z, int x, int y) {
    const Kind k = KindOf(z, x, y);
    return k != Kind::NotFound && k != Kind::ServerError && k != Kind::ErrorPage;
}

TileReply FlakyRule(int z, int x, int y, int attempt) {
    TileReply r;
    switch (KindOf(z, x, y)) {
    case Kind::Good: break;
    case Kind::NotFound: r.status = 404; break;
    case Kind::SlowButInTime: r.delayMs = 150; break;
    case Kind::DropOnce: r.drop = attempt == 1; break;
    case Kind::CutOnce: r.cutShort = attempt == 1; break;
    case Kind::TimeoutOnce: r.delayMs = attempt == 1 ? 3000 : 0; break;  // beyond --timeout 800
    case Kind::ServerError: r.status = 503; break;
    case Kind::ErrorPage: r.body = "<html>quota exceeded</html>"; break;
    }
    return r;
}

class HttpDownload : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    void TearDown() override { DataFactory::setApplicationDir(QString()); }

    RunResult Download(const QString& idx, CLocalTileServer& server, const QStringList& extra = {}) {
        return RunTool(QStringList{QStringLiteral("download"), idx, QStringLiteral("--source"), server.UrlTemplate(),
                                   QStringLiteral("--extent"), QStringLiteral("90,10,140,55"), QStringLiteral("--levels"),
                                   QStringLiteral("1-7"), QStringLiteral("--threads"), QStringLiteral("6"),
                                   QStringLiteral("--retries"), QString::number(kRetries), QStringLiteral("--backoff"),
                                   QStringLiteral("20"), QStringLiteral("--timeout"), QStringLiteral("800"),
                                   QStringLiteral("--quiet")} +
                       extra);
    }

    QTemporaryDir m_dir;
};

}  // namespace

TEST_F(HttpDownload, ServableTilesArriveByteForByteFailuresAreMarkedAndASecondRunAsksOnlyForTheRest) {
    CLocalTileServer server(FlakyRule);
    const QString idx = m_dir.filePath(QStringLiteral("flaky.idx"));
    const RunResult first = Download(idx, server);
    // Some tiles can never be had, so the run ends incomplete.
    ASSERT_EQ(first.code, VtCli::kExitIncomplete) << qPrintable(first.out + first.err);

    const TileMap tiles = ReadTiles(idx);
    const auto states = ReadStates(idx);
    ASSERT_GT(states.size(), 100);
    QSet<QByteArray> kinds;
    QList<std::tuple<int, int, int>> missing;
    for (auto it = states.begin(); it != states.end(); ++it) {
        const auto [z, x, y] = it.key();
        kinds.insert(QByteArray::number(int(KindOf(z, x, y))));
        if (Servable(z, x, y)) {
            EXPECT_EQ(it.value(), BLOCK_HAS_DATA) << z << "/" << x << "/" << y;
            EXPECT_EQ(tiles.value(it.key()), CLocalTileServer::TileBytes(z, x, y)) << z << "/" << x << "/" << y;
        } else {
            EXPECT_EQ(it.value(), BLOCK_EMPTY) << z << "/" << x << "/" << y;  // marked: fetched again next time
            missing.append(it.key());
            // A 404 is an answer: asked once. Errors are asked 1 + retries times.
            const int expected = KindOf(z, x, y) == Kind::NotFound ? 1 : 1 + kRetries;
            EXPECT_EQ(server.Requests(z, x, y), expected) << z << "/" << x << "/" << y;
        }
    }
    EXPECT_EQ(kinds.size(), 8) << "every kind of reply occurs in the region";
    EXPECT_EQ(tiles.size() + missing.size(), states.size());

    // The task row tells the same story.
    DataFactory::setApplicationDir(m_dir.path());
    const QList<DownloadTask> rows = DataFactory::getTaskList();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].state, TASK_STATE_FAILED);
    EXPECT_EQ(DataFactory::getProgress(rows[0].ID), QStringLiteral("%1/%2").arg(tiles.size()).arg(states.size()));

    // Again: exactly the tiles without data are asked for, nothing else.
    server.ResetCounts();
    const RunResult second = RunTool({QStringLiteral("download"), idx, QStringLiteral("--source"), server.UrlTemplate(),
                                      QStringLiteral("--retries"), QStringLiteral("0"), QStringLiteral("--quiet")});
    EXPECT_EQ(second.code, VtCli::kExitIncomplete);
    EXPECT_EQ(server.TotalRequests(), missing.size());
    for (const auto& key : missing) EXPECT_EQ(server.Requests(std::get<0>(key), std::get<1>(key), std::get<2>(key)), 1);
    EXPECT_EQ(ReadTiles(idx), tiles);
}

TEST_F(HttpDownload, HeadersAndRateLimitReachTheServer) {
    QMutex mutex;
    QList<qint64> starts;
    CLocalTileServer server([&](int, int, int, int) {
        QMutexLocker lock(&mutex);
        starts.append(QDateTime::currentMSecsSinceEpoch());
        return TileReply();
    });
    const QString idx = m_dir.filePath(QStringLiteral("polite.idx"));
    const RunResult r = RunTool({QStringLiteral("download"), idx, QStringLiteral("--source"), server.UrlTemplate(),
                                 QStringLiteral("--extent"), QStringLiteral("100,20,120,40"), QStringLiteral("--levels"),
                                 QStringLiteral("1-6"), QStringLiteral("--rate"), QStringLiteral("20"),
                                 QStringLiteral("--threads"), QStringLiteral("4"), QStringLiteral("--referer"),
                                 QStringLiteral("https://maps.example.test/"), QStringLiteral("--user-agent"),
                                 QStringLiteral("TestAgent/2"), QStringLiteral("--header"),
                                 QStringLiteral("X-Key: abc:def"), QStringLiteral("--quiet")});
    ASSERT_EQ(r.code, VtCli::kExitOk) << qPrintable(r.err);
    const QByteArray head = server.LastRequestHead().toLower();
    EXPECT_TRUE(head.contains("\r\nreferer: https://maps.example.test/")) << head.constData();
    EXPECT_TRUE(head.contains("\r\nuser-agent: testagent/2")) << head.constData();
    EXPECT_TRUE(head.contains("\r\nx-key: abc:def")) << head.constData();

    QMutexLocker lock(&mutex);
    ASSERT_GE(starts.size(), 6);
    std::sort(starts.begin(), starts.end());
    // 20 a second: n requests span at least (n - 1) * 50 ms however many threads ask. Delivery
    // delays can only shorten the span seen by the server by the first request's extra delay,
    // so two intervals are left as slack.
    EXPECT_GE(starts.last() - starts.first(), (starts.size() - 3) * 50);
}

TEST_F(HttpDownload, ProviderNoTileImagesAndOversizedBodiesAreNotStored) {
    // Baidu's satellite type serves a 210-byte image for missing tiles.
    const QByteArray noTile(210, '\x01');
    // Columns 0, 2, 4, ...: the no-tile image; 1, 5, 9, ...: 300 kB, more than a depository tile holds.
    const QByteArray huge = CLocalTileServer::TileBytes(1, 1, 1) + QByteArray(300000, '\0');
    CLocalTileServer server([&](int, int x, int, int) {
        TileReply r;
        if (x % 2 == 0) r.body = noTile;
        if (x % 4 == 1) r.body = huge;
        return r;
    });
    const QString idx = m_dir.filePath(QStringLiteral("baidu.idx"));
    const RunResult r = RunTool({QStringLiteral("download"), idx, QStringLiteral("--source"), server.UrlTemplate(),
                                 QStringLiteral("--map-type"), QStringLiteral("44"), QStringLiteral("--region-datum"),
                                 QStringLiteral("bd09"), QStringLiteral("--extent"), QStringLiteral("116,39,117,40"),
                                 QStringLiteral("--levels"), QStringLiteral("1-6"), QStringLiteral("--quiet")});
    ASSERT_EQ(r.code, VtCli::kExitIncomplete) << qPrintable(r.out + r.err);
    const auto states = ReadStates(idx);
    int seen[3] = {0, 0, 0};  // kept, no-tile image, oversized
    for (auto it = states.begin(); it != states.end(); ++it) {
        const int x = std::get<1>(it.key());
        ++seen[x % 2 == 0 ? 1 : x % 4 == 1 ? 2 : 0];
        const bool kept = x % 2 == 1 && x % 4 != 1;
        EXPECT_EQ(it.value(), kept ? BLOCK_HAS_DATA : BLOCK_EMPTY) << x;
        // Neither is retried: asking again gives the same answer.
        if (!kept) {
            EXPECT_EQ(server.Requests(std::get<0>(it.key()), x, std::get<2>(it.key())), 1);
        }
    }
    EXPECT_GT(seen[0], 0);
    EXPECT_GT(seen[1], 0);
    EXPECT_GT(seen[2], 0);
}
