// The main job end to end with the built-in grid source: one download checked by its task row, a
// resume, info, verify and both exports; the exported tree then feeds file templates and nginx.
// Damaged depositories are reported by info, verify and export and fetched again.
#include "VtcoreTestSupport.h"

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

class GridDownload : public ::testing::Test {
protected:
    QTemporaryDir m_dir;
    const QString m_idx = m_dir.filePath("job/beijing.idx");
};

QString TreePath(const QString& tree, const Key& k) {
    return QStringLiteral("%1/%2/%3/%4.png").arg(tree).arg(std::get<0>(k)).arg(std::get<1>(k)).arg(std::get<2>(k));
}

}  // namespace

TEST_F(GridDownload, OneRunCheckedByTaskRowResumeInfoVerifyExportsFileTemplatesAndNginx) {
    const RunResult first = RunTool({"download", m_idx, "--extent", kBeijing, "--levels", "1-9", "--quiet"});
    ASSERT_EQ(first.code, VtCli::kExitOk) << qPrintable(first.out + first.err);
    const TileMap tiles = ReadSlots(m_idx).tiles;
    ASSERT_GT(tiles.size(), 9);
    for (auto it = tiles.begin(); it != tiles.end(); ++it) EXPECT_EQ(it.value(), std::apply(VtCli::RenderGridTile, it.key()));
    // The task row: one per depository, completed, with the tile total and progress.
    QList<DownloadTask> rows = TaskRows(m_dir.filePath("job"));
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].path, QFileInfo(m_idx).absoluteFilePath());
    EXPECT_EQ(rows[0].name, QStringLiteral("beijing"));
    EXPECT_EQ(rows[0].state, TASK_STATE_COMPLETED);
    EXPECT_EQ(rows[0].count, tiles.size());
    EXPECT_EQ(rows[0].level, (QList<int>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
    const RunResult listed = RunTool({"tasks", "--db-dir", m_dir.filePath("job")});
    EXPECT_TRUE(listed.out.contains(QRegularExpression(QStringLiteral(" completed +%1/%1 ").arg(tiles.size())))) << qPrintable(listed.out);
    // Again, without the region: resumes, fetches nothing, appends nothing, keeps one row.
    const qint64 datSize = QFileInfo(m_dir.filePath("job/beijing.dat")).size();
    const RunResult again = RunTool({"download", m_idx, "--quiet"});
    ASSERT_EQ(again.code, VtCli::kExitOk) << qPrintable(again.out + again.err);
    EXPECT_TRUE(again.out.contains(QStringLiteral("(0 fetched now, %1 before)").arg(tiles.size()))) << qPrintable(again.out);
    EXPECT_EQ(QFileInfo(m_dir.filePath("job/beijing.dat")).size(), datSize);
    EXPECT_EQ(TaskRows(m_dir.filePath("job")).size(), 1);
    // info: the counts, and the header's extent with both brackets, in English.
    const RunResult info = RunTool({"info", m_idx});
    EXPECT_EQ(info.code, VtCli::kExitOk);
    EXPECT_TRUE(info.out.contains(QRegularExpression(QStringLiteral("total +%1 +%1( +0){5}\n").arg(tiles.size())))) << qPrintable(info.out);
    EXPECT_TRUE(info.out.contains("  extent[116.2,39.7,116.6,40.1]\n")) << qPrintable(info.out);
    EXPECT_FALSE(info.out.contains(QRegularExpression("[\\x{2E80}-\\x{9FFF}]"))) << qPrintable(info.out);
    const RunResult verify = RunTool({"verify", m_idx});
    EXPECT_EQ(verify.code, VtCli::kExitOk) << qPrintable(verify.out + verify.err);
    EXPECT_TRUE(verify.out.contains("result     ok"));
    // MBTiles: the schema, the metadata and every tile byte for byte at its TMS row.
    const QString mbtiles = m_dir.filePath("out/beijing.mbtiles");
    ASSERT_EQ(RunTool({"export", m_idx, "--output", mbtiles}).code, VtCli::kExitOk);
    EXPECT_EQ(Sql(mbtiles, "SELECT name FROM pragma_table_info('tiles')"),
              QStringList({"zoom_level", "tile_column", "tile_row", "tile_data"}));
    const QStringList meta = Sql(mbtiles, "SELECT name || '=' || value FROM metadata");
    for (const QString item : {"name=beijing", "format=png", "minzoom=0", "maxzoom=8", "type=baselayer",
                               "bounds=116.20000000,39.70000000,116.60000000,40.10000000", "center=116.40000000,39.90000000,4"})
        EXPECT_TRUE(meta.contains(item)) << qPrintable(item + "\n" + meta.join('\n'));
    const auto exported = [&] {
        TileMap m;
        for (const QString& row : Sql(mbtiles, "SELECT zoom_level, tile_column, tile_row, hex(tile_data) FROM tiles")) {
            const QStringList c = row.split('|');
            const int z = c[0].toInt();
            m.insert(std::make_tuple(z, c[1].toInt(), (1 << z) - 1 - c[2].toInt()), QByteArray::fromHex(c[3].toLatin1()));
        }
        return m;
    };
    EXPECT_EQ(exported(), tiles);
    // An existing file is kept unless --overwrite.
    EXPECT_EQ(RunTool({"export", m_idx, "--output", mbtiles}).code, VtCli::kExitError);
    EXPECT_EQ(exported(), tiles);
    EXPECT_EQ(RunTool({"export", m_idx, "--output", mbtiles, "--overwrite"}).code, VtCli::kExitOk);
    EXPECT_EQ(exported(), tiles);
    // The z/x/y tree, with one tile taken away, one left empty and one whose image data is broken
    // behind a whole signature and end marker: each source below must bring back exactly the rest.
    const QString tree = m_dir.filePath("tree");
    ASSERT_EQ(RunTool({"export", m_idx, "--format", "xyz", "--output", tree}).code, VtCli::kExitOk);
    const Key gone = tiles.lastKey(), empty = tiles.firstKey(), broken = (tiles.begin() + 5).key();
    for (auto it = tiles.begin(); it != tiles.end(); ++it) EXPECT_EQ(FileBytes(TreePath(tree, it.key())), it.value());
    TileMap expected = tiles;
    expected.remove(gone);
    expected.remove(empty);
    QByteArray& png = expected[broken];
    const int data = png.indexOf("IDAT") + 4;
    ASSERT_GT(data, 4);
    for (int i = 0; i < 6; ++i) png[data + i] = char(png[data + i] ^ 0x5a);
    ASSERT_TRUE(QFile::remove(TreePath(tree, gone)) && QFile(TreePath(tree, empty)).resize(0));
    ASSERT_TRUE(WriteFile(TreePath(tree, broken), png));
    const auto nginx = StartNginx(tree, m_dir.path());
    const bool withNginx = nginx && nginx->Port() != 0;
    QStringList sources = {QUrl::fromLocalFile(tree).toString() + "/{z}/{x}/{y}.png", tree + "/{z}/{x}/{y}.png"};
    if (withNginx) sources << nginx->UrlTemplate();
    for (const QString& source : sources) {
        const QString copy = m_dir.filePath(QStringLiteral("copy%1.idx").arg(sources.indexOf(source)));
        const RunResult r = RunTool({"download", copy, "--source", source, "--extent", kBeijing, "--levels", "1-9", "--quiet"});
        // What is not there (or empty) is absent at the source: recorded, and the run complete.
        EXPECT_EQ(r.code, VtCli::kExitOk) << qPrintable(source + r.out + r.err);
        EXPECT_EQ(ReadSlots(copy).tiles, expected) << qPrintable(source);
        EXPECT_EQ(ReadSlots(copy).states.value(gone), VtCli::kBlockAbsent) << qPrintable(source);
        EXPECT_EQ(ReadSlots(copy).states.value(empty), VtCli::kBlockAbsent) << qPrintable(source);
        // verify names libpng's words in the problem line, not on standard error.
        const RunResult v = RunTool({"verify", copy});
        EXPECT_EQ(v.code, VtCli::kExitIncomplete);
        EXPECT_TRUE(v.out.contains("is not a decodable image (libpng error: ")) << qPrintable(v.out);
        EXPECT_FALSE(v.err.contains("libpng")) << qPrintable(v.err);
    }
    // --overwrite starts again, here over an area of the region database, and keeps a single task
    // row, beside the depository. An unknown area is named in the refusal, and nothing is stored.
    const QString regions = m_dir.filePath("regions");
    ASSERT_TRUE(QDir().mkpath(regions));
    ASSERT_TRUE(writeRegionDb(regions + "/region.dll",
                              {{1, "测试区", "Test", 0, outlineBlob({poly({{116.2, 39.7}, {116.6, 39.7}, {116.6, 40.1}, {116.2, 40.1}})})}}));
    const RunResult run = RunTool({"download", m_idx, "--area", QString::fromUtf8("测试区"), "--region-db", regions, "--levels", "3,5", "--overwrite", "--quiet"});
    ASSERT_EQ(run.code, VtCli::kExitOk) << qPrintable(run.out + run.err);
    EXPECT_EQ(ReadSlots(m_idx).tiles.size(), 2);
    EXPECT_FALSE(QFileInfo::exists(regions + "/task.db"));
    rows = TaskRows(m_dir.filePath("job"));
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].state, TASK_STATE_COMPLETED);
    const RunResult unknown = RunTool({"download", m_dir.filePath("other.idx"), "--area", "nowhere", "--region-db", regions, "--levels", "1"});
    EXPECT_EQ(unknown.code, VtCli::kExitError);
    EXPECT_TRUE(unknown.err.contains("nowhere")) << qPrintable(unknown.err);
    EXPECT_FALSE(QFileInfo::exists(m_dir.filePath("other.idx")));
    if (!withNginx) GTEST_SKIP() << "nginx is not installed (scripts/install-deps.sh installs it) or does not start here";
}

// Each row damages a copy of one depository (level 4 not selected). info, verify and export report
// it with their exit codes, export writes what can be read, verify --repair and a download then
// bring back every tile.
TEST_F(GridDownload, DamageIsReportedExportedAroundAndFetchedAgain) {
    ASSERT_EQ(RunTool({"download", m_idx, "--extent", kBeijing, "--levels", "1-3,5-12", "--quiet"}).code, VtCli::kExitOk);
    const TileMap reference = ReadSlots(m_idx).tiles;
    const int all = reference.size();
    long long slotTotal = 0, level4 = 0;
    ASSERT_TRUE(EditDepository(m_idx, [&](CIdxFileDepository& dep) {
        slotTotal = dep.GetMaxIndex();
        level4 = dep.GetIndexConverter().GetTileNumberUtilLevel(3) + 1;
        return dep.GetFileIndexStatus(level4) == BLOCK_SKIPPED_LEVEL;
    }));
    const auto datOf = [](const QString& idx) { return idx.left(idx.size() - 4) + ".dat"; };
    using Damage = std::function<bool(const QString& idx)>;
    const auto setState = [](long long slot, int state) -> Damage {
        return [=](const QString& idx) { return EditDepository(idx, [=](CIdxFileDepository& d) { return d.SetFileIndexStatus(slot, ENUM_BLOCK_STATE(state), true); }); };
    };
    // skipped: export skips the unreadable tiles.
    struct Row { const char* name; Damage damage; int infoCode; const char *infoSays, *verifySays; bool skipped; };
    const int ok = VtCli::kExitOk, incomplete = VtCli::kExitIncomplete;
    const Row rows[] = {
        {"intact", [](const QString&) { return true; }, ok, "", "result     ok", false},
        // The data file loses its last tiles: their slots point past its end.
        {"datcut", [&](const QString& idx) { return QFile(datOf(idx)).resize(QFileInfo(datOf(idx)).size() - 3000); },
         incomplete, "past the data file's end", "beyond the data file's end", true},
        // The index loses its last slots (the deepest level's).
        {"idxcut", [](const QString& idx) { return QFile(idx).resize(QFileInfo(idx).size() - 7 * 20 - 9); },
         incomplete, "index file cut short", "index file holds", true},
        // Scribbles over the middle of the data file: some tile no longer decodes.
        {"scribbled", [&](const QString& idx) { QFile f(datOf(idx)); return f.open(QIODevice::ReadWrite) && f.seek(f.size() / 2) && f.write(QByteArray(64, 'Z')) == 64; },
         ok, "", "not a decodable image", false},
        // The last slot with state 2 but no offset into the data file.
        {"claims", setState(slotTotal, BLOCK_HAS_DATA), ok, "1 slots in an unknown state", "claims data", false},
        // A slot of level 4 (not selected) holding a state no writer uses.
        {"unknown", setState(level4, 77), ok, "", "(level 4, column", false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const QString idx = m_dir.filePath(QStringLiteral("%1/%1.idx").arg(r.name));
        ASSERT_TRUE(QDir().mkpath(QFileInfo(idx).path()));
        for (const char* suffix : {".idx", ".dat", ".source.json"})
            ASSERT_TRUE(QFile::copy(m_dir.filePath(QStringLiteral("job/beijing") + suffix), m_dir.filePath(QStringLiteral("%1/%1").arg(r.name) + suffix)));
        ASSERT_TRUE(r.damage(idx));
        const int readable = ReadSlots(idx).tiles.size();
        const int unreadable = r.skipped ? all - readable : 0;
        const RunResult info = RunTool({"info", idx});
        EXPECT_EQ(info.code, r.infoCode) << qPrintable(info.out + info.err);
        EXPECT_TRUE(info.out.contains(QLatin1String(r.infoSays))) << qPrintable(info.out);
        EXPECT_EQ(info.out.contains("\ndamaged "), r.infoCode != ok) << qPrintable(info.out);
        const QString totals = QStringLiteral("total +%1 +%2 +0 +0 +0 +%3 +0\\n").arg(all).arg(readable).arg(unreadable);
        EXPECT_TRUE(info.out.contains(QRegularExpression(totals))) << qPrintable(info.out);
        const RunResult verify = RunTool({"verify", idx});
        const bool problems = *r.verifySays != 'r';
        EXPECT_EQ(verify.code, problems ? incomplete : ok) << qPrintable(verify.out + verify.err);
        EXPECT_TRUE(verify.out.contains(QLatin1String(r.verifySays))) << qPrintable(verify.out);
        EXPECT_TRUE(verify.out.contains(QStringLiteral("checked    %1 slots").arg(slotTotal))) << qPrintable(verify.out);
        EXPECT_FALSE(verify.err.contains("libpng")) << qPrintable(verify.err);
        const QString mbtiles = QFileInfo(idx).path() + "/out.mbtiles";
        const RunResult ex = RunTool({"export", idx, "--output", mbtiles});
        EXPECT_EQ(ex.code, r.skipped ? incomplete : ok) << qPrintable(ex.out + ex.err);
        EXPECT_TRUE(ex.out.contains(QStringLiteral("exported   %1 tiles").arg(readable))) << qPrintable(ex.out);
        EXPECT_EQ(ex.out.contains(QStringLiteral("skipped    %1 tiles").arg(unreadable)), r.skipped) << qPrintable(ex.out);
        // The file as other programs read it.
        EXPECT_EQ(Sql(mbtiles, "SELECT count(*) FROM tiles"), QStringList(QString::number(readable)));
        const RunResult count = RunProgram("sqlite3", {mbtiles, "SELECT count(*) FROM tiles"});
        if (count.code != -1) { EXPECT_EQ(count.out.trimmed(), QString::number(readable)) << qPrintable(count.err); }
        const RunResult gdal = RunProgram("gdalinfo", {mbtiles});  // -1: not installed
        if (gdal.code != -1) { EXPECT_TRUE(gdal.code == 0 && gdal.out.contains("MBTiles")) << qPrintable(gdal.out + gdal.err); }
        // Marked for download (the missing slots of a cut index need no mark) and fetched again.
        const bool cutIndex = QLatin1String(r.name) == QLatin1String("idxcut");
        const RunResult repair = RunTool({"verify", idx, "--repair"});
        EXPECT_EQ(repair.out.contains("(marked for download)"), problems && !cutIndex) << qPrintable(repair.out);
        const RunResult again = RunTool({"download", idx, "--quiet"});
        ASSERT_EQ(again.code, ok) << qPrintable(again.out + again.err);
        // The cut slots come back whole, map IDs included (8 slots: 7 and the cut one).
        EXPECT_EQ(again.out.contains("index was cut short: 8 slots restored"), cutIndex) << qPrintable(again.out);
        EXPECT_EQ(ReadSlots(idx).tiles, reference);
        EXPECT_EQ(RunTool({"verify", idx}).code, ok);
    }
}
