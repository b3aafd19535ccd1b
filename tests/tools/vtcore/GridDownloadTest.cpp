// The main job end to end with the built-in grid source: download, resume, task row, verify and
// repair, MBTiles and z/x/y export.
#include "LocalTileServer.h"
#include "VtcoreTestSupport.h"

#include "catalog/DataFactory.h"
#include "catalog/RegionDbBuilder.h"
#include "tools/vtcore/GridTile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace VtTest;

namespace {

const QString kRegion = QStringLiteral("116.2,39.7,116.6,40.1");

class GridDownload : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_idx = m_dir.filePath(QStringLiteral("job/beijing.idx"));
    }
    void TearDown() override { DataFactory::setApplicationDir(QString()); }

    RunResult Download(const QStringList& extra = {}) {
        return RunTool(QStringList{QStringLiteral("download"), m_idx, QStringLiteral("--extent"), kRegion,
                                   QStringLiteral("--levels"), QStringLiteral("1-9"), QStringLiteral("--quiet")} +
                       extra);
    }

    // Every slot holds the grid tile of its own key.
    void ExpectAllGridTiles(int expectedCount) {
        const TileMap tiles = ReadTiles(m_idx);
        EXPECT_EQ(tiles.size(), expectedCount);
        for (auto it = tiles.begin(); it != tiles.end(); ++it) {
            const auto [z, x, y] = it.key();
            EXPECT_EQ(it.value(), VtCli::RenderGridTile(z, x, y)) << z << "/" << x << "/" << y;
        }
    }

    QTemporaryDir m_dir;
    QString m_idx;
};

}  // namespace

TEST_F(GridDownload, StoresEveryTileAndResumesWithNothingToDo) {
    const RunResult first = Download();
    ASSERT_EQ(first.code, VtCli::kExitOk) << qPrintable(first.out + first.err);
    // 1 + 1 + 1 + 1 + 1 + 1 + 1 + 1 + 4 tiles at levels 1 to 9 for this small region.
    const TileMap tiles = ReadTiles(m_idx);
    ASSERT_GT(tiles.size(), 9);
    ExpectAllGridTiles(tiles.size());

    // The task row: one per depository, completed, with the tile total and progress.
    DataFactory::setApplicationDir(QFileInfo(m_idx).path());
    QList<DownloadTask> rows = DataFactory::getTaskList();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].path, QFileInfo(m_idx).absoluteFilePath());
    EXPECT_EQ(rows[0].name, QStringLiteral("beijing"));
    EXPECT_EQ(rows[0].state, TASK_STATE_COMPLETED);
    EXPECT_EQ(rows[0].count, tiles.size());
    EXPECT_EQ(rows[0].level, (QList<int>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(DataFactory::getProgress(rows[0].ID), QStringLiteral("%1/%1").arg(tiles.size()));

    // Again, without the region: resumes, fetches nothing, appends nothing.
    const qint64 datSize = QFileInfo(m_dir.filePath(QStringLiteral("job/beijing.dat"))).size();
    const RunResult again = RunTool({QStringLiteral("download"), m_idx, QStringLiteral("--quiet")});
    ASSERT_EQ(again.code, VtCli::kExitOk) << qPrintable(again.out + again.err);
    EXPECT_TRUE(again.out.contains(QStringLiteral("(0 fetched now, %1 before)").arg(tiles.size()))) << qPrintable(again.out);
    EXPECT_EQ(QFileInfo(m_dir.filePath(QStringLiteral("job/beijing.dat"))).size(), datSize);
    DataFactory::setApplicationDir(QFileInfo(m_idx).path());
    EXPECT_EQ(DataFactory::getTaskList().size(), 1);
}

TEST_F(GridDownload, AreaFromTheRegionDatabaseKeepsTheTaskRowBesideTheDepository) {
    const QString regions = m_dir.filePath(QStringLiteral("regions"));
    ASSERT_TRUE(QDir().mkpath(regions));
    {
        regiondb::Writer writer(regions + QStringLiteral("/region.dll"));
        writer.add({1, "测试区", "Test", 0,
                    regiondb::outlineBlob({regiondb::polygon({QPointF(116.2, 39.7), QPointF(116.6, 39.7),
                                                              QPointF(116.6, 40.1), QPointF(116.2, 40.1)})})});
        ASSERT_TRUE(writer.ok());
    }
    const RunResult run = RunTool({QStringLiteral("download"), m_idx, QStringLiteral("--area"), QString::fromUtf8("测试区"),
                                   QStringLiteral("--region-db"), regions, QStringLiteral("--levels"),
                                   QStringLiteral("1-9"), QStringLiteral("--quiet")});
    ASSERT_EQ(run.code, VtCli::kExitOk) << qPrintable(run.out + run.err);
    ExpectAllGridTiles(ReadTiles(m_idx).size());
    EXPECT_GT(ReadTiles(m_idx).size(), 9);
    EXPECT_FALSE(QFileInfo::exists(regions + QStringLiteral("/task.db")));
    DataFactory::setApplicationDir(QFileInfo(m_idx).path());
    const QList<DownloadTask> rows = DataFactory::getTaskList();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].state, TASK_STATE_COMPLETED);

    // An unknown area names the region database's folder and stores nothing.
    const RunResult unknown = RunTool({QStringLiteral("download"), m_dir.filePath(QStringLiteral("other.idx")),
                                       QStringLiteral("--area"), QStringLiteral("nowhere"), QStringLiteral("--region-db"),
                                       regions, QStringLiteral("--levels"), QStringLiteral("1-3")});
    EXPECT_NE(unknown.code, VtCli::kExitOk);
    EXPECT_TRUE(unknown.err.contains(QStringLiteral("nowhere"))) << qPrintable(unknown.err);
    EXPECT_FALSE(QFileInfo::exists(m_dir.filePath(QStringLiteral("other.idx"))));
}

TEST_F(GridDownload, ResumeRefusesAnotherRegionLevelsOrMapType) {
    ASSERT_EQ(Download().code, VtCli::kExitOk);
    const QStringList changes[] = {
        {QStringLiteral("--extent"), QStringLiteral("116.2,39.7,116.7,40.1")},
        {QStringLiteral("--levels"), QStringLiteral("1-10")},
        {QStringLiteral("--map-type"), QStringLiteral("1")},
    };
    for (const QStringList& change : changes) {
        const RunResult r = RunTool(QStringList{QStringLiteral("download"), m_idx, QStringLiteral("--quiet")} + change);
        EXPECT_EQ(r.code, VtCli::kExitError) << qPrintable(change.join(' '));
        EXPECT_FALSE(r.err.isEmpty());
    }
    // --overwrite starts again and keeps a single task row.
    const RunResult redo = Download({QStringLiteral("--overwrite"), QStringLiteral("--levels"), QStringLiteral("1-3")});
    ASSERT_EQ(redo.code, VtCli::kExitOk) << qPrintable(redo.err);
    EXPECT_EQ(ReadTiles(m_idx).size(), 3);
    DataFactory::setApplicationDir(QFileInfo(m_idx).path());
    EXPECT_EQ(DataFactory::getTaskList().size(), 1);
}

TEST_F(GridDownload, BadArgumentsFailWithoutCreatingAnything) {
    const QStringList bad[] = {
        {QStringLiteral("download"), m_idx},                                             // no region
        {QStringLiteral("download"), m_idx, QStringLiteral("--extent"), kRegion},       // no levels
        {QStringLiteral("download"), m_idx, QStringLiteral("--extent"), QStringLiteral("1,2,3"), QStringLiteral("--levels"), QStringLiteral("1")},
        {QStringLiteral("download"), m_idx, QStringLiteral("--extent"), kRegion, QStringLiteral("--levels"), QStringLiteral("0-3")},
        {QStringLiteral("download"), m_idx, QStringLiteral("--extent"), kRegion, QStringLiteral("--levels"), QStringLiteral("1"), QStringLiteral("--threads"), QStringLiteral("0")},
        {QStringLiteral("download"), m_idx, QStringLiteral("--extent"), kRegion, QStringLiteral("--levels"), QStringLiteral("1"), QStringLiteral("--source"), QStringLiteral("nowhere")},
        // The whole world at level 23 would need an index of trillions of slots.
        {QStringLiteral("download"), m_idx, QStringLiteral("--extent"), QStringLiteral("-180,-85,180,85"), QStringLiteral("--levels"), QStringLiteral("23")},
        {QStringLiteral("download")},
        {QStringLiteral("download"), m_idx, QStringLiteral("--no-such-option")},
    };
    for (const QStringList& args : bad) {
        const RunResult r = RunTool(args);
        EXPECT_EQ(r.code, VtCli::kExitError) << qPrintable(args.join(' '));
        EXPECT_TRUE(r.err.startsWith(QStringLiteral("vtcore: "))) << qPrintable(r.err);
    }
    EXPECT_FALSE(QFileInfo::exists(m_idx));
}

TEST_F(GridDownload, VerifyFindsDamageAndRepairLetsDownloadFetchItAgain) {
    ASSERT_EQ(Download().code, VtCli::kExitOk);
    const TileMap before = ReadTiles(m_idx);
    RunResult v = RunTool({QStringLiteral("verify"), m_idx});
    ASSERT_EQ(v.code, VtCli::kExitOk) << qPrintable(v.out + v.err);
    EXPECT_TRUE(v.out.contains(QStringLiteral("result     ok")));

    // Scribble over the middle of the data file: some tile no longer decodes.
    const QString dat = m_dir.filePath(QStringLiteral("job/beijing.dat"));
    {
        QFile f(dat);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.seek(f.size() / 2));
        f.write(QByteArray(64, '\x5a'));
    }
    v = RunTool({QStringLiteral("verify"), m_idx});
    EXPECT_EQ(v.code, VtCli::kExitIncomplete);
    EXPECT_TRUE(v.out.contains(QStringLiteral("not a decodable image"))) << qPrintable(v.out);

    v = RunTool({QStringLiteral("verify"), m_idx, QStringLiteral("--repair")});
    EXPECT_EQ(v.code, VtCli::kExitOk) << qPrintable(v.out);
    EXPECT_TRUE(v.out.contains(QStringLiteral("marked for download")));
    int damaged = 0;
    for (int state : ReadStates(m_idx)) damaged += state == BLOCK_DAMAGED;
    EXPECT_GE(damaged, 1);

    const RunResult again = RunTool({QStringLiteral("download"), m_idx, QStringLiteral("--quiet")});
    ASSERT_EQ(again.code, VtCli::kExitOk) << qPrintable(again.out + again.err);
    EXPECT_TRUE(again.out.contains(QStringLiteral("(%1 fetched now").arg(damaged))) << qPrintable(again.out);
    EXPECT_EQ(ReadTiles(m_idx), before);
    EXPECT_EQ(RunTool({QStringLiteral("verify"), m_idx}).code, VtCli::kExitOk);
}

TEST_F(GridDownload, VerifyGivesLibpngsWordsInTheProblemLineNotOnStandardError) {
    // A tile whose signature and end marker are whole but whose image data is not.
    QByteArray png = CLocalTileServer::TileBytes(0, 0, 0);
    const int data = png.indexOf("IDAT") + 4;
    ASSERT_GT(data, 4);
    for (int i = 0; i < 6; ++i) png[data + i] = char(png[data + i] ^ 0x5a);
    const QString tree = m_dir.filePath(QStringLiteral("tree"));
    ASSERT_TRUE(QDir().mkpath(tree + QStringLiteral("/0/0")));
    QFile f(tree + QStringLiteral("/0/0/0.png"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(png);
    f.close();
    ASSERT_EQ(RunTool({QStringLiteral("download"), m_idx, QStringLiteral("--source"),
                       tree + QStringLiteral("/{z}/{x}/{y}.png"), QStringLiteral("--extent"), kRegion,
                       QStringLiteral("--levels"), QStringLiteral("1"), QStringLiteral("--quiet")})
                  .code,
              VtCli::kExitOk);
    const RunResult v = RunTool({QStringLiteral("verify"), m_idx});
    EXPECT_EQ(v.code, VtCli::kExitIncomplete);
    EXPECT_TRUE(v.out.contains(QStringLiteral("is not a decodable image (libpng error: "))) << qPrintable(v.out);
}

TEST_F(GridDownload, ABareDataStateIsReportedAndFetchedAgain) {
    ASSERT_EQ(Download().code, VtCli::kExitOk);
    const TileMap before = ReadTiles(m_idx);
    {
        // The last slot of the deepest level: state 2 with no offset into the data file.
        CIdxFileDepository dep;
        dep.SetIndexFile(m_idx.toStdString());
        ASSERT_TRUE(dep.Open(false));
        const long long last = dep.GetMaxIndex();
        ASSERT_TRUE(dep.IsFileIndexHavData(last));
        ASSERT_TRUE(dep.SetFileIndexStatus(last, BLOCK_HAS_DATA, true));
        ASSERT_FALSE(dep.IsFileIndexHavData(last));
    }
    const RunResult v = RunTool({QStringLiteral("verify"), m_idx});
    EXPECT_EQ(v.code, VtCli::kExitIncomplete);
    EXPECT_TRUE(v.out.contains(QStringLiteral("claims data"))) << qPrintable(v.out);
    const RunResult again = RunTool({QStringLiteral("download"), m_idx, QStringLiteral("--quiet")});
    ASSERT_EQ(again.code, VtCli::kExitOk) << qPrintable(again.out + again.err);
    EXPECT_TRUE(again.out.contains(QStringLiteral("(1 fetched now"))) << qPrintable(again.out);
    EXPECT_EQ(ReadTiles(m_idx), before);
}

TEST_F(GridDownload, VerifyChecksTheSlotsOfUnselectedLevelsToo) {
    ASSERT_EQ(Download({QStringLiteral("--levels"), QStringLiteral("3,5")}).code, VtCli::kExitOk);
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
    const RunResult v = RunTool({QStringLiteral("verify"), m_idx});
    EXPECT_EQ(v.code, VtCli::kExitIncomplete);
    EXPECT_TRUE(v.out.contains(QStringLiteral("(level 4, column"))) << qPrintable(v.out);
    EXPECT_TRUE(v.out.contains(QStringLiteral("unknown state 77"))) << qPrintable(v.out);
    EXPECT_TRUE(v.out.contains(QStringLiteral("checked    %1 slots").arg(slotTotal))) << qPrintable(v.out);
}

TEST_F(GridDownload, MbtilesHoldsEveryTileInTmsRowsWithMetadata) {
    ASSERT_EQ(Download().code, VtCli::kExitOk);
    const TileMap tiles = ReadTiles(m_idx);
    const QString mbtiles = m_dir.filePath(QStringLiteral("out/beijing.mbtiles"));
    RunResult r = RunTool({QStringLiteral("export"), m_idx, QStringLiteral("--output"), mbtiles});
    ASSERT_EQ(r.code, VtCli::kExitOk) << qPrintable(r.err);

    const Mbtiles m = ReadMbtiles(mbtiles);
    ASSERT_TRUE(m.ok) << qPrintable(m.error);
    EXPECT_TRUE(m.tables.contains(QStringLiteral("metadata")));
    EXPECT_TRUE(m.tables.contains(QStringLiteral("tiles")));
    EXPECT_EQ(m.tileColumns, (QStringList{QStringLiteral("zoom_level"), QStringLiteral("tile_column"),
                                          QStringLiteral("tile_row"), QStringLiteral("tile_data")}));
    EXPECT_EQ(m.metadata.value(QStringLiteral("name")), QStringLiteral("beijing"));
    EXPECT_EQ(m.metadata.value(QStringLiteral("format")), QStringLiteral("png"));
    EXPECT_EQ(m.metadata.value(QStringLiteral("minzoom")), QStringLiteral("0"));
    EXPECT_EQ(m.metadata.value(QStringLiteral("maxzoom")), QStringLiteral("8"));
    EXPECT_EQ(m.metadata.value(QStringLiteral("type")), QStringLiteral("baselayer"));
    const QStringList bounds = m.metadata.value(QStringLiteral("bounds")).split(',');
    ASSERT_EQ(bounds.size(), 4);
    EXPECT_NEAR(bounds[0].toDouble(), 116.2, 1e-6);
    EXPECT_NEAR(bounds[1].toDouble(), 39.7, 1e-6);
    EXPECT_NEAR(bounds[2].toDouble(), 116.6, 1e-6);
    EXPECT_NEAR(bounds[3].toDouble(), 40.1, 1e-6);
    EXPECT_TRUE(m.metadata.contains(QStringLiteral("center")));

    // Every tile, byte for byte, at its TMS row (row 0 in the south).
    ASSERT_EQ(m.tiles.size(), tiles.size());
    for (auto it = tiles.begin(); it != tiles.end(); ++it) {
        const auto [z, x, y] = it.key();
        const auto tms = std::make_tuple(z, x, (1 << z) - 1 - y);
        ASSERT_TRUE(m.tiles.contains(tms)) << z << "/" << x << "/" << y;
        EXPECT_EQ(m.tiles.value(tms), it.value());
    }

    // An existing file is kept unless --overwrite.
    r = RunTool({QStringLiteral("export"), m_idx, QStringLiteral("--output"), mbtiles});
    EXPECT_EQ(r.code, VtCli::kExitError);
    EXPECT_EQ(ReadMbtiles(mbtiles).tiles.size(), tiles.size());
    r = RunTool({QStringLiteral("export"), m_idx, QStringLiteral("--output"), mbtiles, QStringLiteral("--overwrite")});
    EXPECT_EQ(r.code, VtCli::kExitOk);
    EXPECT_EQ(ReadMbtiles(mbtiles).tiles.size(), tiles.size());
}

TEST_F(GridDownload, XyzTreeHoldsEveryTile) {
    ASSERT_EQ(Download().code, VtCli::kExitOk);
    const TileMap tiles = ReadTiles(m_idx);
    const QString out = m_dir.filePath(QStringLiteral("xyz"));
    ASSERT_EQ(RunTool({QStringLiteral("export"), m_idx, QStringLiteral("--format"), QStringLiteral("xyz"),
                       QStringLiteral("--output"), out})
                  .code,
              VtCli::kExitOk);
    for (auto it = tiles.begin(); it != tiles.end(); ++it) {
        const auto [z, x, y] = it.key();
        QFile f(QStringLiteral("%1/%2/%3/%4.png").arg(out).arg(z).arg(x).arg(y));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << qPrintable(f.fileName());
        EXPECT_EQ(f.readAll(), it.value());
    }
}
