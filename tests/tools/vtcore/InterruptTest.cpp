// Ctrl-C during a download: the vtcore program runs as a child process and gets SIGINT while tiles
// are in flight; it must stop cleanly, and running it again must end exactly where an uninterrupted
// run ends.
#include "LocalTileServer.h"
#include "VtcoreTestSupport.h"

#include "catalog/DataFactory.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <sys/types.h>

using namespace VtTest;

namespace {

QStringList DownloadArgs(const QString& idx, const CLocalTileServer& server) {
    return {QStringLiteral("download"), idx, QStringLiteral("--source"), server.UrlTemplate(),
            QStringLiteral("--extent"), QStringLiteral("95,15,135,50"), QStringLiteral("--levels"),
            QStringLiteral("1-7"), QStringLiteral("--threads"), QStringLiteral("2"), QStringLiteral("--retries"),
            QStringLiteral("0"), QStringLiteral("--timeout"), QStringLiteral("5000")};
}

}  // namespace

TEST(Interrupt, SigintStopsCleanlyAndTheNextRunEndsWhereAnUninterruptedOneEnds) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    std::atomic<bool> slow{false};
    // Every seventh column is missing at the source; while `slow`, each reply takes 50 ms.
    CLocalTileServer server([&](int, int x, int, int) {
        TileReply r;
        if (x % 7 == 3) r.status = 404;
        if (slow) r.delayMs = 50;
        return r;
    });

    const QString reference = dir.filePath(QStringLiteral("reference/job.idx"));
    const RunResult ref = RunTool(DownloadArgs(reference, server) << QStringLiteral("--quiet"));
    // Tiles absent at the source are an answer: the run is complete.
    ASSERT_EQ(ref.code, VtCli::kExitOk) << qPrintable(ref.out + ref.err);
    const TileMap refTiles = ReadTiles(reference);
    const auto refStates = ReadStates(reference);
    ASSERT_GT(refStates.size(), 60);

    server.ResetCounts();
    slow = true;
    const QString idx = dir.filePath(QStringLiteral("child/job.idx"));
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    child.setProcessEnvironment(env);
    child.start(QStringLiteral(VT_VTCORE_PROGRAM), DownloadArgs(idx, server) << QStringLiteral("--progress-interval")
                                                                            << QStringLiteral("50"));
    ASSERT_TRUE(child.waitForStarted(30000));
    // Interrupt once a few tiles are through; the whole run would take seconds more.
    QElapsedTimer waited;
    waited.start();
    while (server.TotalRequests() < 8 && child.state() == QProcess::Running && waited.elapsed() < 60000)
        QThread::msleep(10);
    ASSERT_EQ(child.state(), QProcess::Running) << qPrintable(child.readAllStandardError());
    ASSERT_EQ(::kill(pid_t(child.processId()), SIGINT), 0);
    ASSERT_TRUE(child.waitForFinished(60000));
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(child.exitCode(), VtCli::kExitInterrupted) << qPrintable(child.readAllStandardError());
    EXPECT_TRUE(child.readAllStandardOutput().contains("interrupted"));

    // Stopped part-way: what is there is whole, the rest is still to do, the task is paused.
    const TileMap partial = ReadTiles(idx);
    EXPECT_LT(partial.size(), refTiles.size());
    for (auto it = partial.begin(); it != partial.end(); ++it) EXPECT_EQ(it.value(), refTiles.value(it.key()));
    DataFactory::setApplicationDir(dir.filePath(QStringLiteral("child")));
    const QList<DownloadTask> rows = DataFactory::getTaskList();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].state, TASK_STATE_PAUSED);
    DataFactory::setApplicationDir(QString());

    slow = false;
    const RunResult resumed = RunTool({QStringLiteral("download"), idx, QStringLiteral("--source"),
                                       server.UrlTemplate(), QStringLiteral("--retries"), QStringLiteral("0"),
                                       QStringLiteral("--quiet")});
    EXPECT_EQ(resumed.code, ref.code) << qPrintable(resumed.out + resumed.err);
    EXPECT_EQ(ReadTiles(idx), refTiles);
    EXPECT_EQ(ReadStates(idx), refStates);
    EXPECT_EQ(RunTool({QStringLiteral("verify"), idx}).code, VtCli::kExitOk);
    DataFactory::setApplicationDir(QString());
}
