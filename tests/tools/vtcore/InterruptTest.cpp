// Ctrl-C during a download: the vtcore program runs as a child process and gets SIGINT while tiles
// are in flight; it must stop cleanly, and running it again must end exactly where an uninterrupted
// run ends.
#include "LocalTileServer.h"
#include "VtcoreTestSupport.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

using namespace VtTest;

namespace {

QStringList DownloadArgs(const QString& idx, const CLocalTileServer& server) {
    return {"download", idx, "--source", server.UrlTemplate(), "--extent", "95,15,135,50", "--levels", "1-7",
            "--threads", "2", "--retries", "0", "--timeout", "5000"};
}

// SIGINT to a running child: it must stop on its own with exit 130.
void Interrupt(QProcess& child) {
    ASSERT_EQ(child.state(), QProcess::Running) << qPrintable(child.readAllStandardError());
    ASSERT_EQ(::kill(pid_t(child.processId()), SIGINT), 0);
    ASSERT_TRUE(child.waitForFinished(60000));
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(child.exitCode(), VtCli::kExitInterrupted) << qPrintable(child.readAllStandardError());
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

    const QString reference = dir.filePath("reference/job.idx");
    const RunResult ref = RunTool(DownloadArgs(reference, server) << "--quiet");
    // Tiles absent at the source are an answer: the run is complete.
    ASSERT_EQ(ref.code, VtCli::kExitOk) << qPrintable(ref.out + ref.err);
    const TileMap refTiles = ReadTiles(reference);
    const auto refStates = ReadStates(reference);
    ASSERT_GT(refStates.size(), 60);

    server.ResetCounts();
    slow = true;
    const QString idx = dir.filePath("child/job.idx");
    const auto child = StartVtcore(DownloadArgs(idx, server) << "--progress-interval" << "50");
    ASSERT_TRUE(child->waitForStarted());
    // Interrupt once a few tiles are through; the whole run would take seconds more.
    WaitFor([&] { return server.TotalRequests() >= 8 || child->state() != QProcess::Running; });
    Interrupt(*child);
    EXPECT_TRUE(child->readAllStandardOutput().contains("interrupted"));

    // Stopped part-way: what is there is whole, the rest is still to do, the task is paused.
    const TileMap partial = ReadTiles(idx);
    EXPECT_LT(partial.size(), refTiles.size());
    for (auto it = partial.begin(); it != partial.end(); ++it) EXPECT_EQ(it.value(), refTiles.value(it.key()));
    const QList<DownloadTask> rows = TaskRows(dir.filePath("child"));
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].state, TASK_STATE_PAUSED);

    slow = false;
    const RunResult resumed = RunTool({"download", idx, "--source", server.UrlTemplate(), "--retries", "0", "--quiet"});
    EXPECT_EQ(resumed.code, ref.code) << qPrintable(resumed.out + resumed.err);
    EXPECT_EQ(ReadTiles(idx), refTiles);
    EXPECT_EQ(ReadStates(idx), refStates);
    EXPECT_EQ(RunTool({"verify", idx}).code, VtCli::kExitOk);
}

// Ctrl-C while a huge region is being planned, by plan and by download: planning stops with exit
// 130, and download leaves no depository behind. The region comes through a named pipe, so the
// signal goes out only once the program reads the region, its handler long in place.
TEST(Interrupt, SigintWhilePlanningAHugeRegionEndsWith130) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // A wiggly outline of 20,000 vertices some 12 degrees across: levels 1 to 23 would take hours.
    QByteArray json = R"({"type":"Polygon","coordinates":[[)";
    const int n = 20000;
    for (int i = 0; i <= n; ++i) {
        const double a = 2 * M_PI * (i % n) / n;
        const double r = 6 + 0.8 * std::sin(37 * a) + 0.3 * std::sin(411 * a) + 0.1 * std::sin(4099 * a);
        json += (i > 0 ? ",[" : "[") + QByteArray::number(105 + r * std::cos(a), 'f', 7) + ',' +
                QByteArray::number(35 + r * std::sin(a), 'f', 7) + ']';
    }
    json += "]]}";
    const QString pipe = dir.filePath("region.geojson");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);

    const QString idx = dir.filePath("big.idx");
    const QStringList region{"--geojson", pipe, "--levels", "1-23"};
    for (const QStringList& args : {QStringList{"plan"} + region, QStringList{"download", idx, "--quiet"} + region}) {
        SCOPED_TRACE(qPrintable(args.first()));
        const auto child = StartVtcore(args);
        ASSERT_TRUE(child->waitForStarted());
        // Opening the pipe for writing succeeds once the program has opened it for reading.
        int fd = -1;
        WaitFor([&] {
            fd = ::open(QFile::encodeName(pipe).constData(), O_WRONLY | O_NONBLOCK);
            return fd >= 0 || child->state() != QProcess::Running;
        });
        ASSERT_GE(fd, 0) << qPrintable(child->readAllStandardError());
        ASSERT_EQ(::fcntl(fd, F_SETFL, 0), 0);  // blocking writes from here on
        for (qint64 done = 0; done < json.size();) {
            const ssize_t wrote = ::write(fd, json.constData() + done, size_t(json.size() - done));
            ASSERT_GT(wrote, 0);
            done += wrote;
        }
        ::close(fd);
        Interrupt(*child);
    }
    EXPECT_FALSE(QFileInfo::exists(idx));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("big.dat")));
}
