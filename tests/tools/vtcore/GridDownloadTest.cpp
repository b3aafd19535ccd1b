// The main job end to end with the built-in grid source: one download checked by its task row, a
// resume, info, verify and both exports; the exported tree then feeds file templates and nginx;
// damage verify finds is fetched again.
#include "LocalTileServer.h"
#include "VtcoreTestSupport.h"

#include "catalog/DataFactory.h"
#include "catalog/CatalogTest.h"
#include "tools/vtcore/Downloader.h"
#include "tools/vtcore/GridTile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

using namespace VtTest;

namespace {

const QString kRegion = QStringLiteral("116.2,39.7,116.6,40.1");

class GridDownload : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_idx = m_dir.filePath("job/beijing.idx");
    }
    void TearDown() override { DataFactory::setApplicationDir(QString()); }

    RunResult Download(const QStringList& extra = {}) {
        return RunTool(QStringList{"download", m_idx, "--extent", kRegion, "--levels", "1-9", "--quiet"} + extra);
    }
    QList<DownloadTask> TaskRows() {
        DataFactory::setApplicationDir(QFileInfo(m_idx).path());
        return DataFactory::getTaskList();
    }

    QTemporaryDir m_dir;
    QString m_idx;
};

QString TreePath(const QString& tree, const std::tuple<int, int, int>& k) {
    return QStringLiteral("%1/%2/%3/%4.png").arg(tree).arg(std::get<0>(k)).arg(std::get<1>(k)).arg(std::get<2>(k));
}

}  // namespace

TEST_F(GridDownload, OneRunCheckedByTaskRowResumeInfoVerifyExportsFileTemplatesAndNginx) {
    const RunResult first = Download();
    ASSERT_EQ(first.code, VtCli::kExitOk) << qPrintable(first.out + first.err);
    const TileMap tiles = ReadTiles(m_idx);
    ASSERT_GT(tiles.size(), 9);
    for (auto it = tiles.begin(); it != tiles.end(); ++it) {
        const auto [z, x, y] = it.key();
        EXPECT_EQ(it.value(), VtCli::RenderGridTile(z, x, y)) << z << "/" << x << "/" << y;
    }
    // The task row: one per depository, completed, with the tile total and progress.
    QList<DownloadTask> rows = TaskRows();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].path, QFileInfo(m_idx).absoluteFilePath());
    EXPECT_EQ(rows[0].name, QStringLiteral("beijing"));
    EXPECT_EQ(rows[0].state, TASK_STATE_COMPLETED);
    EXPECT_EQ(rows[0].count, tiles.size());
    EXPECT_EQ(rows[0].level, (QList<int>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(DataFactory::getProgress(rows[0].ID), QStringLiteral("%1/%1").arg(tiles.size()));

    // Again, without the region: resumes, fetches nothing, appends nothing, keeps one row.
    const qint64 datSize = QFileInfo(m_dir.filePath("job/beijing.dat")).size();
    const RunResult again = RunTool({"download", m_idx, "--quiet"});
    ASSERT_EQ(again.code, VtCli::kExitOk) << qPrintable(again.out + again.err);
    EXPECT_TRUE(again.out.contains(QStringLiteral("(0 fetched now, %1 before)").arg(tiles.size()))) << qPrintable(again.out);
    EXPECT_EQ(QFileInfo(m_dir.filePath("job/beijing.dat")).size(), datSize);
    EXPECT_EQ(TaskRows().size(), 1);

    const RunResult info = RunTool({"info", m_idx});
    EXPECT_EQ(info.code, VtCli::kExitOk);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("total +%1 +%1 +0 ").arg(tiles.size())).match(info.out).hasMatch())
        << qPrintable(info.out);
    const RunResult verify = RunTool({"verify", m_idx});
    EXPECT_EQ(verify.code, VtCli::kExitOk) << qPrintable(verify.out + verify.err);
    EXPECT_TRUE(verify.out.contains(QStringLiteral("result     ok")));

    // MBTiles: the schema, the metadata and every tile byte for byte at its TMS row.
    const QString mbtiles = m_dir.filePath("out/beijing.mbtiles");
    ASSERT_EQ(RunTool({"export", m_idx, "--output", mbtiles}).code, VtCli::kExitOk);
    const Mbtiles m = ReadMbtiles(mbtiles);
    ASSERT_TRUE(m.ok) << qPrintable(m.error);
    EXPECT_TRUE(m.tables.contains("metadata") && m.tables.contains("tiles"));
    EXPECT_EQ(m.tileColumns, (QStringList{"zoom_level", "tile_column", "tile_row", "tile_data"}));
    const QMap<QString, QString> meta = {{"name", "beijing"}, {"format", "png"}, {"minzoom", "0"},
                                         {"maxzoom", "8"},    {"type", "baselayer"}};
    for (auto it = meta.begin(); it != meta.end(); ++it) EXPECT_EQ(m.metadata.value(it.key()), it.value()) << qPrintable(it.key());
    const QStringList bounds = m.metadata.value("bounds").split(',');
    ASSERT_EQ(bounds.size(), 4);
    const double expectedBounds[] = {116.2, 39.7, 116.6, 40.1};
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(bounds[i].toDouble(), expectedBounds[i], 1e-6);
    EXPECT_TRUE(m.metadata.contains("center"));
    ASSERT_EQ(m.tiles.size(), tiles.size());
    for (auto it = tiles.begin(); it != tiles.end(); ++it) {
        const auto [z, x, y] = it.key();
        EXPECT_EQ(m.tiles.value(std::make_tuple(z, x, (1 << z) - 1 - y)), it.value()) << z << "/" << x << "/" << y;
    }
    // An existing file is kept unless --overwrite.
    EXPECT_EQ(RunTool({"export", m_idx, "--output", mbtiles}).code, VtCli::kExitError);
    EXPECT_EQ(ReadMbtiles(mbtiles).tiles.size(), tiles.size());
    EXPECT_EQ(RunTool({"export", m_idx, "--output", mbtiles, "--overwrite"}).code, VtCli::kExitOk);
    EXPECT_EQ(ReadMbtiles(mbtiles).tiles.size(), tiles.size());

    // The z/x/y tree, with one tile taken away, one left empty and one whose image data is broken
    // behind a whole signature and end marker: each source below must bring back exactly the rest.
    const QString tree = m_dir.filePath("tree");
    ASSERT_EQ(RunTool({"export", m_idx, "--format", "xyz", "--output", tree}).code, VtCli::kExitOk);
    const auto gone = tiles.lastKey();
    const auto empty = tiles.firstKey();
    const auto broken = (tiles.begin() + 5).key();
    TileMap expected = tiles;
    expected.remove(gone);
    expected.remove(empty);
    QByteArray& png = expected[broken];
    const int data = png.indexOf("IDAT") + 4;
    ASSERT_GT(data, 4);
    for (int i = 0; i < 6; ++i) png[data + i] = char(png[data + i] ^ 0x5a);
    ASSERT_TRUE(QFile::remove(TreePath(tree, gone)));
    ASSERT_TRUE(QFile(TreePath(tree, empty)).resize(0));
    {
        QFile f(TreePath(tree, broken));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(png);
    }
    for (auto it = tiles.begin(); it != tiles.end(); ++it)
        if (it.key() != gone && it.key() != empty && it.key() != broken) {
            QFile f(TreePath(tree, it.key()));
            ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << qPrintable(f.fileName());
            EXPECT_EQ(f.readAll(), it.value());
        }
    CNginx nginx(tree, m_dir.path());
    QStringList sources = {QUrl::fromLocalFile(tree).toString() + "/{z}/{x}/{y}.png", tree + "/{z}/{x}/{y}.png"};
    if (nginx.Port() != 0) sources << QStringLiteral("http://127.0.0.1:%1/{z}/{x}/{y}.png").arg(nginx.Port());
    for (const QString& source : sources) {
        const QString copy = m_dir.filePath(QStringLiteral("copy%1.idx").arg(sources.indexOf(source)));
        const RunResult r = RunTool({"download", copy, "--source", source, "--extent", kRegion, "--levels", "1-9", "--quiet"});
        // What is not there (or empty) is absent at the source: recorded, and the run complete.
        EXPECT_EQ(r.code, VtCli::kExitOk) << qPrintable(source + r.out + r.err);
        EXPECT_EQ(ReadTiles(copy), expected) << qPrintable(source);
        const auto states = ReadStates(copy);
        EXPECT_EQ(states.value(gone), VtCli::kBlockAbsent) << qPrintable(source);
        EXPECT_EQ(states.value(empty), VtCli::kBlockAbsent) << qPrintable(source);
        // verify names libpng's words in the problem line, not on standard error.
        const RunResult v = RunTool({"verify", copy});
        EXPECT_EQ(v.code, VtCli::kExitIncomplete);
        EXPECT_TRUE(v.out.contains("is not a decodable image (libpng error: ")) << qPrintable(v.out);
        EXPECT_FALSE(v.err.contains("libpng")) << qPrintable(v.err);
    }
    if (nginx.Port() == 0) GTEST_SKIP() << "the nginx source was left out: " << qPrintable(nginx.Why());
}

TEST_F(GridDownload, DamageVerifyFindsIsFetchedAgain) {
    ASSERT_EQ(Download().code, VtCli::kExitOk);
    const TileMap before = ReadTiles(m_idx);
    // Scribble over the middle of the data file: some tile no longer decodes.
    {
        QFile f(m_dir.filePath("job/beijing.dat"));
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.seek(f.size() / 2));
        f.write(QByteArray(64, '\x5a'));
    }
    RunResult v = RunTool({"verify", m_idx});
    EXPECT_EQ(v.code, VtCli::kExitIncomplete);
    EXPECT_TRUE(v.out.contains("not a decodable image")) << qPrintable(v.out);
    v = RunTool({"verify", m_idx, "--repair"});
    EXPECT_EQ(v.code, VtCli::kExitOk) << qPrintable(v.out);
    EXPECT_TRUE(v.out.contains("marked for download"));
    int damaged = 0;
    for (int state : ReadStates(m_idx)) damaged += state == BLOCK_DAMAGED;
    EXPECT_GE(damaged, 1);
    RunResult again = RunTool({"download", m_idx, "--quiet"});
    ASSERT_EQ(again.code, VtCli::kExitOk) << qPrintable(again.out + again.err);
    EXPECT_TRUE(again.out.contains(QStringLiteral("(%1 fetched now").arg(damaged))) << qPrintable(again.out);
    EXPECT_EQ(ReadTiles(m_idx), before);
    EXPECT_EQ(RunTool({"verify", m_idx}).code, VtCli::kExitOk);

    // The last slot with state 2 but no offset into the data file: reported, and fetched again.
    {
        CIdxFileDepository dep;
        dep.SetIndexFile(m_idx.toStdString());
        ASSERT_TRUE(dep.Open(false));
        const long long last = dep.GetMaxIndex();
        ASSERT_TRUE(dep.IsFileIndexHavData(last));
        ASSERT_TRUE(dep.SetFileIndexStatus(last, BLOCK_HAS_DATA, true));
        ASSERT_FALSE(dep.IsFileIndexHavData(last));
    }
    v = RunTool({"verify", m_idx});
    EXPECT_EQ(v.code, VtCli::kExitIncomplete);
    EXPECT_TRUE(v.out.contains("claims data")) << qPrintable(v.out);
    again = RunTool({"download", m_idx, "--quiet"});
    ASSERT_EQ(again.code, VtCli::kExitOk) << qPrintable(again.out + again.err);
    EXPECT_TRUE(again.out.contains("(1 fetched now")) << qPrintable(again.out);
    EXPECT_EQ(ReadTiles(m_idx), before);
}

TEST_F(GridDownload, ResumeRefusesChangesOverwriteStartsAgainVerifyReadsUnselectedLevels) {
    ASSERT_EQ(Download().code, VtCli::kExitOk);
    const QStringList changes[] = {
        {"--extent", "116.2,39.7,116.7,40.1"},  // another region
        {"--levels", "1-10"},                   // other levels
        {"--map-type", "1"},                    // another tiling
    };
    for (const QStringList& change : changes) {
        const RunResult r = RunTool(QStringList{"download", m_idx, "--quiet"} + change);
        EXPECT_EQ(r.code, VtCli::kExitError) << qPrintable(change.join(' '));
        EXPECT_FALSE(r.err.isEmpty());
    }
    // --overwrite starts again and keeps a single task row.
    const RunResult redo = Download({"--overwrite", "--levels", "3,5"});
    ASSERT_EQ(redo.code, VtCli::kExitOk) << qPrintable(redo.err);
    EXPECT_EQ(ReadTiles(m_idx).size(), 2);
    EXPECT_EQ(TaskRows().size(), 1);
    // A slot of level 4 (not selected) holding a state no writer uses is still found.
    long long slotTotal = 0;
    {
        CIdxFileDepository dep;
        dep.SetIndexFile(m_idx.toStdString());
        ASSERT_TRUE(dep.Open(false));
        slotTotal = dep.GetMaxIndex();
        const long long firstOfLevel4 = dep.GetIndexConverter().GetTileNumberUtilLevel(3) + 1;
        ASSERT_EQ(dep.GetFileIndexStatus(firstOfLevel4), BLOCK_SKIPPED_LEVEL);
        ASSERT_TRUE(dep.SetFileIndexStatus(firstOfLevel4, static_cast<ENUM_BLOCK_STATE>(77), true));
    }
    const RunResult v = RunTool({"verify", m_idx});
    EXPECT_EQ(v.code, VtCli::kExitIncomplete);
    EXPECT_TRUE(v.out.contains("(level 4, column")) << qPrintable(v.out);
    EXPECT_TRUE(v.out.contains("unknown state 77")) << qPrintable(v.out);
    EXPECT_TRUE(v.out.contains(QStringLiteral("checked    %1 slots").arg(slotTotal))) << qPrintable(v.out);
}

TEST_F(GridDownload, AreaFromTheRegionDatabaseKeepsTheTaskRowBesideTheDepository) {
    const QString regions = m_dir.filePath("regions");
    ASSERT_TRUE(QDir().mkpath(regions));
    ASSERT_TRUE(writeRegionDb(regions + "/region.dll",
                              {{1, "测试区", "Test", 0, outlineBlob({poly({{116.2, 39.7}, {116.6, 39.7}, {116.6, 40.1}, {116.2, 40.1}})})}}));
    const RunResult run =
        RunTool({"download", m_idx, "--area", QString::fromUtf8("测试区"), "--region-db", regions, "--levels", "1-9", "--quiet"});
    ASSERT_EQ(run.code, VtCli::kExitOk) << qPrintable(run.out + run.err);
    EXPECT_GT(ReadTiles(m_idx).size(), 9);
    EXPECT_FALSE(QFileInfo::exists(regions + "/task.db"));
    const QList<DownloadTask> rows = TaskRows();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].state, TASK_STATE_COMPLETED);
    // An unknown area names the region database's folder and stores nothing.
    const QString other = m_dir.filePath("other.idx");
    const RunResult unknown = RunTool({"download", other, "--area", "nowhere", "--region-db", regions, "--levels", "1-3"});
    EXPECT_NE(unknown.code, VtCli::kExitOk);
    EXPECT_TRUE(unknown.err.contains("nowhere")) << qPrintable(unknown.err);
    EXPECT_FALSE(QFileInfo::exists(other));
}

TEST_F(GridDownload, BadArgumentsFailWithoutCreatingAnything) {
    const QStringList bad[] = {
        {"download", m_idx},                                                        // no region
        {"download", m_idx, "--extent", kRegion},                                   // no levels
        {"download", m_idx, "--extent", "1,2,3", "--levels", "1"},                  // three numbers
        {"download", m_idx, "--extent", kRegion, "--levels", "0-3"},                // levels are one-based
        {"download", m_idx, "--extent", kRegion, "--levels", "1", "--threads", "0"},
        {"download", m_idx, "--extent", kRegion, "--levels", "1", "--source", "nowhere"},
        // The whole world at level 23 would need an index of trillions of slots.
        {"download", m_idx, "--extent", "-180,-85,180,85", "--levels", "23"},
        {"download"},
        {"download", m_idx, "--no-such-option"},
    };
    for (const QStringList& args : bad) {
        const RunResult r = RunTool(args);
        EXPECT_EQ(r.code, VtCli::kExitError) << qPrintable(args.join(' '));
        EXPECT_TRUE(r.err.startsWith("vtcore: ")) << qPrintable(r.err);
    }
    EXPECT_FALSE(QFileInfo::exists(m_idx));
}
