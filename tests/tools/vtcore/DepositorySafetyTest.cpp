// The vtcore program as users run it, against python's http.server on 127.0.0.1 and against
// damaged files: one writer per depository, the source kept for resuming, damage reported rather
// than exported as success, data files never taken for indexes, MBTiles files that appear whole or
// not at all, and the small things a user reads.
#include "LocalTileServer.h"
#include "VtcoreTestSupport.h"

#include "tools/vtcore/DepositoryLock.h"
#include "tools/vtcore/TilePlan.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <functional>
#include <memory>
#include <sys/types.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace VtTest;

namespace {

const QString kRegion = QStringLiteral("116.2,39.7,116.6,40.1");
constexpr int kMapType = 602;  // the tool's default: custom Web Mercator
const QString kLevels = QStringLiteral("1-12");
constexpr int kLongWaitMs = 120000;

QProcessEnvironment ToolEnvironment() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return env;
}

std::unique_ptr<QProcess> StartVtcore(const QStringList& args) {
    auto p = std::make_unique<QProcess>();
    p->setProcessEnvironment(ToolEnvironment());
    p->start(QStringLiteral(VT_VTCORE_PROGRAM), args);
    return p;
}

// Runs the vtcore program to its end.
RunResult Vtcore(const QStringList& args) {
    const auto p = StartVtcore(args);
    RunResult r;
    if (!p->waitForStarted(kLongWaitMs) || !p->waitForFinished(kLongWaitMs)) return r;
    r.code = p->exitStatus() == QProcess::NormalExit ? p->exitCode() : -1;
    r.out = QString::fromUtf8(p->readAllStandardOutput());
    r.err = QString::fromUtf8(p->readAllStandardError());
    return r;
}

// Runs another program; code -1 when it cannot be started.
RunResult Program(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    RunResult r;
    if (!p.waitForStarted(kLongWaitMs) || !p.waitForFinished(kLongWaitMs)) return r;
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

bool WaitFor(const std::function<bool()>& done) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > kLongWaitMs) return false;
        QThread::msleep(2);
    }
    return true;
}

QByteArray FileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// python3 -m http.server serving the tiles of kRegion at kLevels as files <z>/<x>/<y>.png, each
// the local tile server's PNG of its own colour (unlike the grid source's tiles).
class PythonTileServer {
public:
    explicit PythonTileServer(const QString& root) : m_root(root) {
        QString error;
        VtCli::TilePlan plan;
        QList<int> levels;
        VtCli::ParseLevels(kLevels, 1, 23, levels, error);
        EXTENT e{};
        VtCli::ParseExtent(kRegion, e, error);
        if (!VtCli::MakeTilePlan(kMapType, VtCli::Region{e, {}, QString()}, levels, plan, error)) return;
        for (const VtCli::LevelPlan& lp : plan.levels)
            for (int x = lp.minCol; x <= lp.maxCol; ++x)
                for (int y = lp.minRow; y <= lp.maxRow; ++y)
                    if (!WriteFile(QStringLiteral("%1/%2/%3/%4.png").arg(root).arg(lp.zoom).arg(x).arg(y),
                                   CLocalTileServer::TileBytes(lp.zoom, x, y)))
                        return;
        // A free port: bound, released, then taken by the server.
        QTcpServer probe;
        if (!probe.listen(QHostAddress::LocalHost, 0)) return;
        m_port = probe.serverPort();
        probe.close();
        m_process.start(QStringLiteral("python3"), {QStringLiteral("-m"), QStringLiteral("http.server"),
                                                    QString::number(m_port), QStringLiteral("--bind"),
                                                    QStringLiteral("127.0.0.1"), QStringLiteral("--directory"), root});
        if (!m_process.waitForStarted(kLongWaitMs)) return;
        m_ready = WaitFor([&] {
            if (m_process.state() != QProcess::Running) return true;
            QTcpSocket s;
            s.connectToHost(QHostAddress::LocalHost, m_port);
            return s.waitForConnected(200);
        }) && m_process.state() == QProcess::Running;
    }
    ~PythonTileServer() {
        m_process.kill();
        m_process.waitForFinished(kLongWaitMs);
    }
    bool Ready() const { return m_ready; }
    QString UrlTemplate() const { return QStringLiteral("http://127.0.0.1:%1/{z}/{x}/{y}.png").arg(m_port); }

private:
    QString m_root;
    QProcess m_process;
    quint16 m_port = 0;
    bool m_ready = false;
};

bool HasHan(const QString& text) {
    for (const QChar c : text)
        if (c.unicode() >= 0x2E80 && c.unicode() < 0xA000) return true;
    return false;
}

// A depository downloaded from the grid source, copied per case.
class DepositorySafety : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_idx = m_dir.filePath(QStringLiteral("ref/ref.idx"));
    }
    void MakeReference() {
        const RunResult r = Vtcore({QStringLiteral("download"), m_idx, QStringLiteral("--extent"), kRegion,
                                    QStringLiteral("--levels"), kLevels, QStringLiteral("--quiet")});
        ASSERT_EQ(r.code, VtCli::kExitOk) << qPrintable(r.out + r.err);
    }
    // A copy of the reference depository as <dir>/<name>/<name>.idx + .dat.
    QString Copy(const QString& name) {
        const QString idx = m_dir.filePath(name + QLatin1Char('/') + name + QStringLiteral(".idx"));
        QDir().mkpath(QFileInfo(idx).path());
        QFile::copy(m_idx, idx);
        QFile::copy(m_dir.filePath(QStringLiteral("ref/ref.dat")), DatOf(idx));
        QFile::copy(m_dir.filePath(QStringLiteral("ref/ref.source.json")),
                    idx.left(idx.size() - 4) + QStringLiteral(".source.json"));
        return idx;
    }
    static QString DatOf(const QString& idx) { return idx.left(idx.size() - 4) + QStringLiteral(".dat"); }

    QTemporaryDir m_dir;
    QString m_idx;
};

}  // namespace

TEST_F(DepositorySafety, OneWriterAtATimeAKilledWritersLockIsTakenOverAndResumingKeepsTheSource) {
    PythonTileServer server(m_dir.filePath(QStringLiteral("www")));
    if (!server.Ready()) GTEST_SKIP() << "python3 -m http.server cannot be started on 127.0.0.1";
    const QString idx = m_dir.filePath(QStringLiteral("job/job.idx"));
    // Two requests a second: the first writer is still at work while the others try.
    const auto first = StartVtcore({QStringLiteral("download"), idx, QStringLiteral("--source"), server.UrlTemplate(),
                                    QStringLiteral("--extent"), kRegion, QStringLiteral("--levels"), kLevels,
                                    QStringLiteral("--rate"), QStringLiteral("2"), QStringLiteral("--quiet")});
    ASSERT_TRUE(first->waitForStarted(kLongWaitMs));
    const long long pid = first->processId();
    ASSERT_TRUE(WaitFor([&] { return VtCli::CDepositoryLock::Holder(idx) == pid || first->state() != QProcess::Running; }));
    ASSERT_EQ(first->state(), QProcess::Running) << qPrintable(first->readAllStandardError());

    const QStringList writers[] = {
        {QStringLiteral("download"), idx, QStringLiteral("--quiet")},  // a second download, resuming
        {QStringLiteral("download"), idx, QStringLiteral("--source"), server.UrlTemplate(), QStringLiteral("--extent"),
         kRegion, QStringLiteral("--levels"), kLevels, QStringLiteral("--quiet")},  // the same command again
        {QStringLiteral("verify"), idx, QStringLiteral("--repair")},                 // repair writes slots
        {QStringLiteral("export"), idx, QStringLiteral("--output"), m_dir.filePath(QStringLiteral("job.mbtiles"))},
    };
    for (const QStringList& args : writers) {
        const RunResult r = Vtcore(args);
        EXPECT_EQ(r.code, VtCli::kExitError) << qPrintable(args.join(' ') + "\n" + r.out + r.err);
        EXPECT_TRUE(r.err.contains(QStringLiteral("depository in use by process %1").arg(pid))) << qPrintable(r.err);
    }
    EXPECT_FALSE(QFileInfo::exists(m_dir.filePath(QStringLiteral("job.mbtiles"))));
    const RunResult busy = Vtcore({QStringLiteral("tasks"), QStringLiteral("--db-dir"), QFileInfo(idx).path()});
    EXPECT_TRUE(busy.out.contains(QStringLiteral("downloading"))) << qPrintable(busy.out);

    // Killed: its task row still says downloading, but no process holds the depository.
    ::kill(pid_t(pid), SIGKILL);
    ASSERT_TRUE(first->waitForFinished(kLongWaitMs));
    const RunResult tasks = Vtcore({QStringLiteral("tasks"), QStringLiteral("--db-dir"), QFileInfo(idx).path()});
    EXPECT_TRUE(tasks.out.contains(QStringLiteral("interrupted"))) << qPrintable(tasks.out);
    EXPECT_FALSE(HasHan(tasks.out)) << qPrintable(tasks.out);

    // Resumed without --source: the rest comes from the same server, not from the drawn grid.
    const RunResult resumed = Vtcore({QStringLiteral("download"), idx, QStringLiteral("--quiet")});
    ASSERT_EQ(resumed.code, VtCli::kExitOk) << qPrintable(resumed.out + resumed.err);
    const TileMap tiles = ReadTiles(idx);
    ASSERT_GT(tiles.size(), 20);
    for (auto it = tiles.begin(); it != tiles.end(); ++it) {
        const auto [z, x, y] = it.key();
        EXPECT_EQ(it.value(), CLocalTileServer::TileBytes(z, x, y)) << z << "/" << x << "/" << y;
    }
    EXPECT_EQ(Vtcore({QStringLiteral("verify"), idx}).code, VtCli::kExitOk);

    // Another source only on request; a credential header is used but never written down.
    const RunResult switched = Vtcore({QStringLiteral("download"), idx, QStringLiteral("--source"), QStringLiteral("grid")});
    EXPECT_EQ(switched.code, VtCli::kExitError);
    EXPECT_TRUE(switched.err.contains(QStringLiteral("--source-change"))) << qPrintable(switched.err);
    const RunResult changed = Vtcore({QStringLiteral("download"), idx, QStringLiteral("--source"), QStringLiteral("grid"),
                                      QStringLiteral("--source-change"), QStringLiteral("--header"),
                                      QStringLiteral("Authorization: Bearer s3cret-token"), QStringLiteral("--quiet")});
    EXPECT_EQ(changed.code, VtCli::kExitOk) << qPrintable(changed.err);
    EXPECT_EQ(ReadTiles(idx), tiles);
    QStringList written;
    for (const QFileInfo& fi : QDir(QFileInfo(idx).path()).entryInfoList(QDir::Files | QDir::Hidden))
        if (FileBytes(fi.filePath()).contains("s3cret-token")) written << fi.fileName();
    EXPECT_TRUE(written.isEmpty()) << qPrintable(written.join(' '));
    const RunResult again = Vtcore({QStringLiteral("download"), idx, QStringLiteral("--quiet")});
    EXPECT_TRUE(again.out.contains(QStringLiteral("source     grid"))) << qPrintable(again.out);
    EXPECT_TRUE(again.err.contains(QStringLiteral("Authorization"))) << qPrintable(again.err);
}

TEST_F(DepositorySafety, DamageIsReportedAndExportWritesTheReadableTilesAndSaysHowManyWereSkipped) {
    MakeReference();
    const int all = ReadTiles(m_idx).size();
    struct Row {
        const char* name;
        std::function<bool(const QString& idx)> damage;
        const char* infoSays;    // expected in info's output when damaged
        const char* verifySays;  // and in verify's
    };
    const Row rows[] = {
        {"intact", [](const QString&) { return true; }, "", "result     ok"},
        // The data file loses its last tiles: their slots point past its end.
        {"datcut", [](const QString& idx) { return QFile(DatOf(idx)).resize(QFileInfo(DatOf(idx)).size() - 3000); },
         "past the data file's end", "beyond the data file's end"},
        // The index loses its last slots (the deepest level's).
        {"idxcut", [](const QString& idx) { return QFile(idx).resize(QFileInfo(idx).size() - 7 * 20 - 9); },
         "index file cut short", "index file holds"},
    };
    const bool haveGdal = !QStandardPaths::findExecutable(QStringLiteral("gdalinfo")).isEmpty();
    for (const Row& r : rows) {
        const QString idx = Copy(QLatin1String(r.name));
        ASSERT_TRUE(r.damage(idx)) << r.name;
        const int readable = ReadTiles(idx).size();
        const bool damaged = readable < all;
        ASSERT_EQ(damaged, *r.infoSays != 0) << r.name;
        const int expectCode = damaged ? VtCli::kExitIncomplete : VtCli::kExitOk;

        const RunResult info = Vtcore({QStringLiteral("info"), idx});
        EXPECT_EQ(info.code, expectCode) << r.name << qPrintable(info.out + info.err);
        EXPECT_TRUE(info.out.contains(QLatin1String(r.infoSays))) << r.name << qPrintable(info.out);
        EXPECT_EQ(info.out.contains(QStringLiteral("\ndamaged ")), damaged) << r.name << qPrintable(info.out);
        const RunResult verify = Vtcore({QStringLiteral("verify"), idx});
        EXPECT_EQ(verify.code, expectCode) << r.name << qPrintable(verify.out + verify.err);
        EXPECT_TRUE(verify.out.contains(QLatin1String(r.verifySays))) << r.name << qPrintable(verify.out);

        const QString mbtiles = QFileInfo(idx).path() + QStringLiteral("/out.mbtiles");
        const RunResult ex = Vtcore({QStringLiteral("export"), idx, QStringLiteral("--output"), mbtiles});
        EXPECT_EQ(ex.code, expectCode) << r.name << qPrintable(ex.out + ex.err);
        EXPECT_TRUE(ex.out.contains(QStringLiteral("exported   %1 tiles").arg(readable))) << qPrintable(ex.out);
        EXPECT_EQ(ex.out.contains(QStringLiteral("skipped    %1 tiles").arg(all - readable)), damaged) << qPrintable(ex.out);
        // The file as other programs read it.
        const RunResult count = Program(QStringLiteral("sqlite3"), {mbtiles, QStringLiteral("SELECT count(*) FROM tiles")});
        if (count.code != -1) {
            EXPECT_EQ(count.out.trimmed(), QString::number(readable)) << r.name << qPrintable(count.err);
        }
        EXPECT_EQ(ReadMbtiles(mbtiles).tiles.size(), readable);
        if (haveGdal) {
            const RunResult gdal = Program(QStringLiteral("gdalinfo"), {mbtiles});
            EXPECT_EQ(gdal.code, 0) << r.name << qPrintable(gdal.err);
            EXPECT_TRUE(gdal.out.contains(QStringLiteral("MBTiles"))) << qPrintable(gdal.out);
        }
    }
}

TEST_F(DepositorySafety, TheDataFileNamesItsDepositoryAndIsNeverReadOrWrittenAsAnIndex) {
    MakeReference();
    const QString idx = Copy(QStringLiteral("named"));
    const QString dat = DatOf(idx);
    const QByteArray header = FileBytes(dat).left(100);
    // A data file given where the index is expected, and a data file under an index's name.
    const QString disguised = QFileInfo(idx).path() + QStringLiteral("/disguised.idx");
    ASSERT_TRUE(QFile::copy(dat, disguised));
    const QByteArray disguisedBytes = FileBytes(disguised);
    struct Row {
        QStringList args;
        int code;
        QString says;  // in the output or the error
    };
    const Row rows[] = {
        {{QStringLiteral("info"), dat}, VtCli::kExitOk, QStringLiteral("depository ") + idx + QLatin1Char('\n')},
        {{QStringLiteral("download"), dat, QStringLiteral("--quiet")}, VtCli::kExitOk, QStringLiteral("(resumed)")},
        {{QStringLiteral("verify"), dat}, VtCli::kExitOk, QStringLiteral("result     ok")},
        {{QStringLiteral("info"), disguised}, VtCli::kExitError, QStringLiteral("data file, not its index")},
        {{QStringLiteral("download"), disguised, QStringLiteral("--quiet")}, VtCli::kExitError, QStringLiteral("data file")},
        {{QStringLiteral("export"), disguised, QStringLiteral("--output"), m_dir.filePath(QStringLiteral("d.mbtiles"))},
         VtCli::kExitError, QStringLiteral("data file")},
    };
    for (const Row& r : rows) {
        const RunResult res = Vtcore(r.args);
        EXPECT_EQ(res.code, r.code) << qPrintable(r.args.join(' ') + "\n" + res.out + res.err);
        EXPECT_TRUE((res.out + res.err).contains(r.says)) << qPrintable(r.args.join(' ') + "\n" + res.out + res.err);
    }
    EXPECT_EQ(FileBytes(dat).left(100), header);
    EXPECT_EQ(FileBytes(disguised), disguisedBytes);
    EXPECT_FALSE(QFileInfo::exists(QFileInfo(idx).path() + QStringLiteral("/disguised.dat")));
}

TEST_F(DepositorySafety, MbtilesAppearWholeOrNotAtAllAndNeverEmpty) {
    // Many small tiles, written directly: an export of them takes long enough to be killed midway.
    const QString idx = m_dir.filePath(QStringLiteral("big/big.idx"));
    ASSERT_TRUE(QDir().mkpath(QFileInfo(idx).path()));
    long long written = 0;
    {
        STRUCT_DOWNLOAD_TASK task;
        task.extent = EXTENT{105, 30, 115, 40};
        task.level = {14};
        task.maptype = kMapType;
        CIdxFileDepository dep;
        dep.SetIndexFile(idx.toStdString());
        ASSERT_TRUE(dep.Create(task, true, nullptr, BLOCK_WAITING));
        ASSERT_TRUE(dep.Open(false));
        const CDatIndexConvert& conv = dep.GetIndexConverter();
        QByteArray tile = CLocalTileServer::TileBytes(13, 0, 0);
        for (long long s = conv.GetTileNumberUtilLevel(13) + 1; s <= dep.GetMaxIndex(); ++s, ++written)
            ASSERT_TRUE(dep.WriteBuffer(s, reinterpret_cast<unsigned char*>(tile.data()), tile.size(), false));
        dep.FlushIdxFile();
        dep.FlushDATFile();
    }
    ASSERT_GT(written, 50000);
    const QString outDir = m_dir.filePath(QStringLiteral("out"));
    ASSERT_TRUE(QDir().mkpath(outDir));
    const QString mbtiles = outDir + QStringLiteral("/big.mbtiles");
    const auto entries = [&] { return QDir(outDir).entryList(QDir::Files | QDir::Hidden); };

    const auto killed = StartVtcore({QStringLiteral("export"), idx, QStringLiteral("--output"), mbtiles});
    ASSERT_TRUE(killed->waitForStarted(kLongWaitMs));
    ASSERT_TRUE(WaitFor([&] { return !entries().isEmpty() || killed->state() != QProcess::Running; }));
    ::kill(pid_t(killed->processId()), SIGKILL);
    ASSERT_TRUE(killed->waitForFinished(kLongWaitMs));
    ASSERT_EQ(killed->exitStatus(), QProcess::CrashExit) << "the export ended before it could be killed";
    EXPECT_FALSE(QFileInfo::exists(mbtiles)) << qPrintable(entries().join(' '));

    // The next export finishes the job and clears what the killed one left.
    const RunResult again = Vtcore({QStringLiteral("export"), idx, QStringLiteral("--output"), mbtiles});
    ASSERT_EQ(again.code, VtCli::kExitOk) << qPrintable(again.out + again.err);
    EXPECT_EQ(entries(), QStringList{QStringLiteral("big.mbtiles")});
    const RunResult count = Program(QStringLiteral("sqlite3"), {mbtiles, QStringLiteral("SELECT count(*) FROM tiles")});
    if (count.code != -1) {
        EXPECT_EQ(count.out.trimmed(), QString::number(written));
    }

    // A depository without a single tile: nothing is written, and the exit code says so.
    const QString none = m_dir.filePath(QStringLiteral("none/none.idx"));
    const RunResult fetched = Vtcore({QStringLiteral("download"), none, QStringLiteral("--source"),
                                      QStringLiteral("file://") + m_dir.filePath(QStringLiteral("nowhere/{z}/{x}/{y}.png")),
                                      QStringLiteral("--extent"), kRegion, QStringLiteral("--levels"), QStringLiteral("1-3"),
                                      QStringLiteral("--retries"), QStringLiteral("0"), QStringLiteral("--quiet")});
    // Files that are not there are tiles absent at the source: the run is complete.
    ASSERT_EQ(fetched.code, VtCli::kExitOk) << qPrintable(fetched.out + fetched.err);
    for (const QString& format : {QStringLiteral("mbtiles"), QStringLiteral("xyz")}) {
        const QString out = m_dir.filePath(QStringLiteral("none/out.") + format);
        const RunResult r = Vtcore({QStringLiteral("export"), none, QStringLiteral("--format"), format,
                                    QStringLiteral("--output"), out});
        EXPECT_EQ(r.code, VtCli::kExitIncomplete) << qPrintable(format + r.out + r.err);
        EXPECT_TRUE(r.err.contains(QStringLiteral("nothing exported"))) << qPrintable(r.err);
        EXPECT_FALSE(QFileInfo::exists(out)) << qPrintable(format);
    }
}

TEST_F(DepositorySafety, WhatTheUserReads) {
    // Usage and version.
    const RunResult help = Vtcore({QStringLiteral("download"), QStringLiteral("--help")});
    EXPECT_TRUE(help.out.startsWith(QStringLiteral("usage: vtcore download [options] depository\n"))) << qPrintable(help.out);
    const RunResult version = Vtcore({QStringLiteral("--version")});
    EXPECT_EQ(version.code, VtCli::kExitOk);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^vtcore \\d+\\.\\d+\\.\\d+\\n$")).match(version.out).hasMatch())
        << qPrintable(version.out);

    // On a terminal the progress bar's last state ends its line before the summary begins.
    if (!QStandardPaths::findExecutable(QStringLiteral("script")).isEmpty()) {
        const QString command = QStringLiteral("QT_QPA_PLATFORM=offscreen '%1' download '%2' --extent %3 --levels %4")
                                    .arg(QStringLiteral(VT_VTCORE_PROGRAM), m_dir.filePath(QStringLiteral("tty/t.idx")),
                                         kRegion, kLevels);
        const RunResult tty = Program(QStringLiteral("script"),
                                      {QStringLiteral("-qec"), command, QStringLiteral("/dev/null")});
        ASSERT_EQ(tty.code, VtCli::kExitOk) << qPrintable(tty.out);
        ASSERT_TRUE(tty.out.contains(QStringLiteral("tiles/s"))) << qPrintable(tty.out);
        for (const QString& line : tty.out.split(QLatin1Char('\n')))
            EXPECT_FALSE(line.contains(QStringLiteral("tiles/s")) && line.contains(QStringLiteral("in the depository")))
                << qPrintable(line);
    }

    // English names, and the header's extent with both brackets.
    MakeReference();
    const RunResult info = Vtcore({QStringLiteral("info"), m_idx});
    EXPECT_EQ(info.code, VtCli::kExitOk);
    EXPECT_TRUE(info.out.contains(QStringLiteral("  extent[116.2,39.7,116.6,40.1]\n"))) << qPrintable(info.out);
    const RunResult resumed = Vtcore({QStringLiteral("download"), m_idx});
    for (const RunResult& r : {info, resumed}) EXPECT_FALSE(HasHan(r.out + r.err)) << qPrintable(r.out + r.err);

    // The plan's size estimate is that of compressed tiles (tens of KB), not of raw 256 x 256 pixels.
    const RunResult plan = Vtcore({QStringLiteral("plan"), QStringLiteral("--extent"), kRegion, QStringLiteral("--levels"),
                                   QStringLiteral("1-16"), QStringLiteral("--json")});
    const QJsonObject p = QJsonDocument::fromJson(plan.out.toUtf8()).object();
    const double bytesPerTile = p.value(QStringLiteral("sizeMB")).toDouble() * 1024 * 1024 /
                                p.value(QStringLiteral("totalTiles")).toDouble();
    EXPECT_GT(bytesPerTile, 4 * 1024);
    EXPECT_LT(bytesPerTile, 64 * 1024);

    // tasks on files that are not task databases: refused, and the file left as it was.
    const QString plain = m_dir.filePath(QStringLiteral("plain/task.db"));
    ASSERT_TRUE(WriteFile(plain, QByteArray("id,state\n1,5\n")));
    const QString other = m_dir.filePath(QStringLiteral("other/task.db"));
    ASSERT_TRUE(QDir().mkpath(QFileInfo(other).path()));
    const RunResult made = Program(QStringLiteral("sqlite3"), {other, QStringLiteral("CREATE TABLE notes (t text)")});
    for (const QString& db : {plain, other}) {
        if (db == other && made.code != 0) continue;
        const QByteArray before = FileBytes(db);
        for (const QString& where : {QFileInfo(db).path(), db}) {
            const RunResult r = Vtcore({QStringLiteral("tasks"), QStringLiteral("--db-dir"), where});
            EXPECT_EQ(r.code, VtCli::kExitError) << qPrintable(where + r.out);
            EXPECT_TRUE(r.err.contains(QStringLiteral("not a task database"))) << qPrintable(r.err);
        }
        EXPECT_EQ(FileBytes(db), before);
    }
}

TEST(DepositoryLock, OneHolderAtATimeAmongManyThreadsWhileOthersLook) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString idx = dir.filePath(QStringLiteral("d.idx"));
    constexpr int kThreads = 8;
    constexpr int kTurns = 5;
    std::atomic<int> inside{0};
    std::atomic<int> overlaps{0};
    std::atomic<int> wrongHolder{0};
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
    EXPECT_FALSE(QFileInfo::exists(idx + QStringLiteral(".lock")));
}
