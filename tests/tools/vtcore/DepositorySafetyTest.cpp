// The vtcore program as users run it, against python's http.server on 127.0.0.1: one writer per
// depository, Ctrl-C and SIGKILL, the source kept for resuming, MBTiles files that appear whole or
// not at all, and the progress a user sees on a terminal.
#include "LocalTileServer.h"
#include "VtcoreTestSupport.h"

#include "tools/vtcore/DepositoryLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace VtTest;

namespace {

const QString kLevels = QStringLiteral("1-12");

// The tiles of kBeijing at kLevels as files <z>/<x>/<y>.png under `root`: those of the local tile
// server, each a PNG of its own colour (unlike the grid source's tiles), but for every seventh
// column. Returns the depository they were exported from, empty when that failed.
QString TileTree(const QString& root) {
    CLocalTileServer local([](int, int x, int, int) { return TileReply{x % 7 == 3 ? 404 : 200}; });
    const QString idx = root + "-source/t.idx";
    const bool ok = RunTool({"download", idx, "--source", local.UrlTemplate(), "--extent", kBeijing, "--levels", kLevels, "--quiet"}).code == 0 &&
                    RunTool({"export", idx, "--format", "xyz", "--output", root}).code == 0;
    return ok ? idx : QString();
}

}  // namespace

// One writer per depository: while a download runs, other writers are refused; Ctrl-C stops it
// cleanly, a killed one leaves its lock to be taken over, and the resumed download uses the same
// source and ends where an uninterrupted run ends.
TEST(DepositorySafety, OneWriterAtATimeInterruptedOrKilledAndResumedFromTheSameSource) {
    QTemporaryDir dir;
    const QString reference = TileTree(dir.filePath("www"));
    ASSERT_FALSE(reference.isEmpty());
    CChildServer server("python3", {"-m", "http.server", "%1", "--bind", "127.0.0.1", "--directory", dir.filePath("www")});
    if (server.Port() == 0) GTEST_SKIP() << "python3 -m http.server cannot be started on 127.0.0.1";
    const Slots ref = ReadSlots(reference);
    ASSERT_GT(ref.tiles.size(), 20);
    ASSERT_GT(ref.states.size(), ref.tiles.size());
    const QString idx = dir.filePath("job/job.idx");
    const QStringList download = {"download", idx, "--source", server.UrlTemplate(), "--extent", kBeijing, "--levels", kLevels};
    const auto holding = [&](QProcess& p) {
        return WaitFor([&] { return VtCli::CDepositoryLock::Holder(idx) == p.processId() || p.state() != QProcess::Running; }) &&
               p.state() == QProcess::Running;
    };
    // Two requests a second: the first writer is still at work while the others try.
    const auto first = StartVtcore(download + QStringList{"--rate", "2", "--progress-interval", "50"});
    ASSERT_TRUE(first->waitForStarted() && holding(*first)) << qPrintable(first->readAllStandardError());
    const long long pid = first->processId();
    const QStringList writers[] = {
        {"download", idx, "--quiet"},                      // a second download, resuming
        download,                                          // the same command again
        {"verify", idx, "--repair"},                       // repair writes slots
        {"export", idx, "--output", dir.filePath("job.mbtiles")},
    };
    for (const QStringList& args : writers) {
        const RunResult r = RunVtcore(args);
        EXPECT_EQ(r.code, VtCli::kExitError) << qPrintable(args.join(' ') + "\n" + r.out + r.err);
        EXPECT_TRUE(r.err.contains(QStringLiteral("depository in use by process %1").arg(pid))) << qPrintable(r.err);
    }
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("job.mbtiles")));
    const QStringList tasks = {"tasks", "--db-dir", QFileInfo(idx).path()};
    EXPECT_TRUE(RunVtcore(tasks).out.contains("downloading"));
    // Ctrl-C: a clean stop with exit 130. What is there is whole, the rest still to do, the task paused.
    ASSERT_EQ(::kill(pid_t(pid), SIGINT), 0);
    ASSERT_TRUE(first->waitForFinished());
    EXPECT_EQ(first->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first->exitCode(), VtCli::kExitInterrupted) << qPrintable(first->readAllStandardError());
    EXPECT_TRUE(first->readAllStandardOutput().contains("interrupted"));
    const TileMap partial = ReadSlots(idx).tiles;
    EXPECT_LT(partial.size(), ref.tiles.size());
    for (auto it = partial.begin(); it != partial.end(); ++it) EXPECT_EQ(it.value(), ref.tiles.value(it.key()));
    ASSERT_EQ(TaskRows(QFileInfo(idx).path()).size(), 1);
    EXPECT_EQ(TaskRows(QFileInfo(idx).path())[0].state, TASK_STATE_PAUSED);
    // Killed: its task row still says downloading, but no process holds the depository.
    const auto second = StartVtcore({"download", idx, "--rate", "2", "--quiet"});
    ASSERT_TRUE(second->waitForStarted() && holding(*second)) << qPrintable(second->readAllStandardError());
    ASSERT_TRUE(WaitFor([&] { return RunTool(tasks).out.contains("downloading"); }));
    ::kill(pid_t(second->processId()), SIGKILL);
    ASSERT_TRUE(second->waitForFinished());
    const RunResult listed = RunVtcore(tasks);
    EXPECT_TRUE(listed.out.contains("interrupted")) << qPrintable(listed.out);
    const QRegularExpression han("[\\x{2E80}-\\x{9FFF}]");  // English only, however the library names things
    EXPECT_FALSE(listed.out.contains(han)) << qPrintable(listed.out);
    // Resumed without --source: the rest comes from the same server, not from the drawn grid, and
    // the depository ends as an uninterrupted download ends.
    const RunResult resumed = RunVtcore({"download", idx, "--quiet"});
    ASSERT_EQ(resumed.code, VtCli::kExitOk) << qPrintable(resumed.out + resumed.err);
    EXPECT_FALSE((resumed.out + resumed.err).contains(han)) << qPrintable(resumed.out + resumed.err);
    EXPECT_EQ(ReadSlots(idx).tiles, ref.tiles);
    EXPECT_EQ(ReadSlots(idx).states, ref.states);
    EXPECT_EQ(RunVtcore({"verify", idx}).code, VtCli::kExitOk);
    // Another source only on request; a credential header is used but never written down.
    const RunResult switched = RunVtcore({"download", idx, "--source", "grid"});
    EXPECT_EQ(switched.code, VtCli::kExitError);
    EXPECT_TRUE(switched.err.contains("--source-change")) << qPrintable(switched.err);
    const RunResult changed = RunVtcore({"download", idx, "--source", "grid", "--source-change", "--header",
                                         "Authorization: Bearer s3cret-token", "--quiet"});
    EXPECT_EQ(changed.code, VtCli::kExitOk) << qPrintable(changed.err);
    EXPECT_EQ(ReadSlots(idx).tiles, ref.tiles);
    QStringList written;
    for (const QFileInfo& fi : QDir(QFileInfo(idx).path()).entryInfoList(QDir::Files | QDir::Hidden))
        if (FileBytes(fi.filePath()).contains("s3cret-token")) written << fi.fileName();
    EXPECT_TRUE(written.isEmpty()) << qPrintable(written.join(' '));
    const RunResult again = RunVtcore({"download", idx, "--quiet"});
    EXPECT_TRUE(again.out.contains("source     grid")) << qPrintable(again.out);
    EXPECT_TRUE(again.err.contains("Authorization")) << qPrintable(again.err);
}

TEST(DepositorySafety, MbtilesAppearWholeOrNotAtAll) {
    QTemporaryDir dir;
    // Many small tiles, written directly: an export of them takes long enough to be killed midway.
    const QString idx = dir.filePath("big.idx");
    long long written = 0;
    {
        STRUCT_DOWNLOAD_TASK task;
        task.extent = EXTENT{105, 30, 115, 40};
        task.level = {14};
        task.maptype = 602;
        CIdxFileDepository dep;
        dep.SetIndexFile(idx.toStdString());
        ASSERT_TRUE(dep.Create(task, true, nullptr, BLOCK_WAITING));
        ASSERT_TRUE(dep.Open(false));
        QByteArray tile = CLocalTileServer::TileBytes(13, 0, 0);
        for (long long s = dep.GetIndexConverter().GetTileNumberUtilLevel(13) + 1; s <= dep.GetMaxIndex(); ++s, ++written)
            ASSERT_TRUE(dep.WriteBuffer(s, reinterpret_cast<unsigned char*>(tile.data()), tile.size(), false));
        dep.FlushIdxFile();
        dep.FlushDATFile();
    }
    ASSERT_GT(written, 50000);
    const QString outDir = dir.filePath("out");
    ASSERT_TRUE(QDir().mkpath(outDir));
    const QString mbtiles = outDir + "/big.mbtiles";
    const auto entries = [&] { return QDir(outDir).entryList(QDir::Files | QDir::Hidden); };
    const auto killed = StartVtcore({"export", idx, "--output", mbtiles});
    ASSERT_TRUE(killed->waitForStarted());
    ASSERT_TRUE(WaitFor([&] { return !entries().isEmpty() || killed->state() != QProcess::Running; }));
    ::kill(pid_t(killed->processId()), SIGKILL);
    ASSERT_TRUE(killed->waitForFinished());
    ASSERT_EQ(killed->exitStatus(), QProcess::CrashExit) << "the export ended before it could be killed";
    EXPECT_FALSE(QFileInfo::exists(mbtiles)) << qPrintable(entries().join(' '));
    // The next export finishes the job and clears what the killed one left.
    const RunResult again = RunVtcore({"export", idx, "--output", mbtiles});
    ASSERT_EQ(again.code, VtCli::kExitOk) << qPrintable(again.out + again.err);
    EXPECT_EQ(entries(), QStringList{"big.mbtiles"});
    EXPECT_EQ(Sql(mbtiles, "SELECT count(*) FROM tiles"), QStringList(QString::number(written)));
}

TEST(DepositorySafety, OnATerminalTheProgressBarEndsItsLineBeforeTheSummary) {
    if (QStandardPaths::findExecutable("script").isEmpty()) GTEST_SKIP() << "script(1) is not installed";
    QTemporaryDir dir;
    const QString command = QStringLiteral("QT_QPA_PLATFORM=offscreen '%1' download '%2' --extent %3 --levels %4")
                                .arg(VT_VTCORE_PROGRAM, dir.filePath("t.idx"), kBeijing, kLevels);
    const RunResult tty = RunProgram("script", {"-qec", command, "/dev/null"});
    ASSERT_EQ(tty.code, VtCli::kExitOk) << qPrintable(tty.out);
    ASSERT_TRUE(tty.out.contains("tiles/s")) << qPrintable(tty.out);
    for (const QString& line : tty.out.split('\n'))
        EXPECT_FALSE(line.contains("tiles/s") && line.contains("in the depository")) << qPrintable(line);
}

TEST(DepositoryLock, OneHolderAtATimeAmongManyThreadsWhileOthersLook) {
    QTemporaryDir dir;
    const QString idx = dir.filePath("d.idx");
    constexpr int kThreads = 8, kTurns = 5;
    std::atomic<int> inside{0}, overlaps{0}, wrongHolder{0};
    std::atomic<bool> done{false};
    // Lookers see either no holder or this process, never a stale or foreign one.
    std::thread looker([&] {
        while (!done) {
            const long long h = VtCli::CDepositoryLock::Holder(idx);
            if (h != 0 && h != getpid() && h != -1) ++wrongHolder;
        }
    });
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&] {
            for (int turns = 0; turns < kTurns;) {
                VtCli::CDepositoryLock lock;
                QString error;
                if (!lock.Acquire(idx, error)) {
                    if (!lock.InUse()) ++overlaps;  // any other failure is one too
                    continue;
                }
                if (++inside != 1) ++overlaps;
                QThread::usleep(500);
                --inside;
                ++turns;
            }
        });
    }
    for (std::thread& t : threads) t.join();
    done = true;
    looker.join();
    EXPECT_EQ(overlaps.load(), 0);
    EXPECT_EQ(wrongHolder.load(), 0);
    EXPECT_EQ(VtCli::CDepositoryLock::Holder(idx), 0);
    EXPECT_FALSE(QFileInfo::exists(idx + ".lock"));
}

// Ctrl-C while a huge region is being planned, by plan and by download: planning stops with exit
// 130, and download leaves no depository behind. The region comes through a named pipe, so the
// signal goes out only once the program reads the region, its handler long in place.
TEST(Interrupt, SigintWhilePlanningAHugeRegionEndsWith130) {
    QTemporaryDir dir;
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
        QFile writer;
        ASSERT_TRUE(writer.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle));
        ASSERT_TRUE(writer.write(json) == json.size() && writer.flush());
        writer.close();
        QThread::msleep(1500);  // deep in the levels by then, inside one level's count
        ASSERT_EQ(::kill(pid_t(child->processId()), SIGINT), 0);
        ASSERT_TRUE(child->waitForFinished(60000));
        EXPECT_EQ(child->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(child->exitCode(), VtCli::kExitInterrupted) << qPrintable(child->readAllStandardError());
    }
    EXPECT_FALSE(QFileInfo::exists(idx));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("big.dat")));
}
