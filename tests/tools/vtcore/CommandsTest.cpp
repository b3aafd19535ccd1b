// The small commands (plan, convert, sheet), the command dispatch, and every way a command is
// refused: bad arguments, URL templates, changed resumes, files that are not what they claim.
#include "VtcoreTestSupport.h"

#include "storage/DatIndexConvert.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace VtTest;

namespace {

QJsonObject PlanJson(const QStringList& args) {
    return QJsonDocument::fromJson(RunTool(QStringList{"plan", "--json"} + args).out.toUtf8()).object();
}

}  // namespace

TEST(Commands, PlanJsonAgreesWithTheDepositoryIndex) {
    struct Row { const char *extent, *mapType, *levels; };
    const Row rows[] = {
        {"115.7,39.4,117.4,41.1", "602", "1-12"},  // Web Mercator
        {"115.7,39.4,117.4,41.1", "5", "2-10"},    // geographic (WGS84 type)
        {"-180,-85,180,85", "602", "1-4"},         // the whole world
        {"0,0,45,45", "602", "3"},                 // edges on tile borders pull in no extra tiles
        {"10,10,10,10", "602", "1-6"},             // a point: one tile a level
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.extent);
        const QJsonObject o = PlanJson({"--extent", r.extent, "--map-type", r.mapType, "--levels", r.levels});
        const QJsonArray e = o.value("extent").toArray();
        ASSERT_EQ(e.size(), 4);
        const CDatIndexConvert conv(QString(r.mapType).toInt(),
                                    EXTENT{e[0].toDouble(), e[1].toDouble(), e[2].toDouble(), e[3].toDouble()});
        long long total = 0;
        for (const QJsonValue& v : o.value("levels").toArray()) {
            const QJsonObject l = v.toObject();
            const int level = l.value("level").toInt();
            EXPECT_EQ(l.value("tiles").toDouble(), double(conv.GetTileNumber(level))) << level;
            EXPECT_EQ(double(l.value("maxCol").toInt() - l.value("minCol").toInt() + 1) *
                          (l.value("maxRow").toInt() - l.value("minRow").toInt() + 1),
                      double(conv.GetTileNumber(level)));
            total += conv.GetTileNumber(level);
        }
        EXPECT_EQ(o.value("totalTiles").toDouble(), double(total));
        // The size estimate is that of compressed tiles (tens of KB), not of raw 256 x 256 pixels.
        const double bytesPerTile = o.value("sizeMB").toDouble() * 1024 * 1024 / double(total);
        EXPECT_TRUE(bytesPerTile > 4 * 1024 && bytesPerTile < 64 * 1024) << bytesPerTile;
    }
    // On a border: (0, 0, 45, 45) at level 3 (zoom 2, 90-degree tiles) is the single tile east and
    // north of the centre.
    const QJsonObject l = PlanJson({"--extent", "0,0,45,45", "--levels", "3"}).value("levels").toArray()[0].toObject();
    for (const char* edge : {"minCol", "maxCol"}) EXPECT_EQ(l.value(edge).toInt(), 2) << edge;
    for (const char* edge : {"minRow", "maxRow"}) EXPECT_EQ(l.value(edge).toInt(), 1) << edge;
}

TEST(Commands, ConvertRoundTripsAndCarriesTheHeight) {
    const RunResult there = RunTool({"convert", "--from", "wgs84", "--to", "bd09", "116.391, 39.907", "2.35, 48.85, 35"});
    ASSERT_EQ(there.code, VtCli::kExitOk) << qPrintable(there.err);
    const QStringList lines = there.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[1].endsWith(", 35"));
    const QStringList xy = RunTool({"convert", "--from", "bd09", "--to", "wgs84", lines[0]}).out.trimmed().split(", ");
    ASSERT_EQ(xy.size(), 2);
    EXPECT_NEAR(xy[0].toDouble(), 116.391, 1e-4);
    EXPECT_NEAR(xy[1].toDouble(), 39.907, 1e-4);
}

// Each row: a command, its exit code and a pattern its output or error holds. Refusals start with
// "vtcore: " and leave every file as it was: nothing is created, no depository or database changes.
TEST(Commands, AnswersAndRefusalsLeaveEveryFileAsItWas) {
    QTemporaryDir dir;
    const QString idx = dir.filePath("d/d.idx"), dat = dir.filePath("d/d.dat"), none = dir.filePath("new.idx");
    ASSERT_EQ(RunTool({"download", idx, "--extent", kBeijing, "--levels", "1-9", "--quiet"}).code, VtCli::kExitOk);
    // A data file given where the index is expected; junk under both names; files named task.db
    // that are not task databases.
    const QString disguised = dir.filePath("d/disguised.idx"), junk = dir.filePath("junk.idx");
    ASSERT_TRUE(QFile::copy(dat, disguised) && WriteFile(junk, QByteArray(300, 'x')) && WriteFile(dir.filePath("junk.dat"), QByteArray(300, 'x')));
    const QString plain = dir.filePath("plain/task.db"), other = dir.filePath("other/task.db");
    ASSERT_TRUE(WriteFile(plain, "id,state\n1,5\n") && QDir().mkpath(QFileInfo(other).path()));
    RunProgram("sqlite3", {other, "CREATE TABLE notes (t text)"});
    // A depository without a single tile: files that are not there are absent at the source.
    const QString empty = dir.filePath("e/e.idx");
    ASSERT_EQ(RunTool({"download", empty, "--source", "file://" + dir.filePath("nowhere/{z}/{x}/{y}.png"), "--extent",
                       kBeijing, "--levels", "1-3", "--retries", "0", "--quiet"}).code, VtCli::kExitOk);
    QMap<QString, QByteArray> before;
    for (const QString& f : {idx, dat, disguised, junk, plain, other}) before.insert(f, FileBytes(f));
    const int ok = VtCli::kExitOk, error = VtCli::kExitError;
    const QString url = "http://127.0.0.1:9";
    const QStringList fetch = {"download", none, "--extent", kBeijing, "--levels", "1-3", "--source"};
    struct Row { QStringList args; int code; QString says; };
    const Row rows[] = {
        {{}, error, "^usage"},
        {{"help"}, ok, "^usage"},
        {{"--version"}, ok, "^vtcore \\d+\\.\\d+\\.\\d+\\n$"},
        {{"frobnicate"}, error, "unknown command 'frobnicate'"},
        {{"download", "--help"}, ok, "^usage: vtcore download \\[options\\] depository\\n(.|\\n)*--threads"},
        {{"download", none}, error, "region"},  // no region
        {{"download", none, "--extent", kBeijing}, error, "levels"},
        {{"download", none, "--extent", "1,2,3", "--levels", "1"}, error, "1,2,3"},
        {{"download", none, "--extent", kBeijing, "--levels", "0-3"}, error, "'0' is not a whole number from 1"},  // levels are one-based
        {{"download", none, "--extent", kBeijing, "--levels", "1", "--threads", "0"}, error, "'0' is not a whole number from 1 to 256"},
        {fetch + QStringList{"nowhere"}, error, "nowhere"},
        // The whole world at level 23 would need an index of trillions of slots.
        {{"download", none, "--extent", "-180,-85,180,85", "--levels", "23"}, error, "slots"},
        {{"download"}, error, "depository"},
        {{"download", none, "--no-such-option"}, error, "no-such-option"},
        {{"download", dir.filePath("b.idx"), "--source", "baidu", "--map-type", "1", "--extent", kBeijing, "--levels", "3"},
         error, "Baidu"},
        // URL templates that name no tile, or forms the expander does not know.
        {fetch + QStringList{url + "/{z}/{y}.png"}, error, "names no tile"},  // no column
        {fetch + QStringList{url + "/tiles.png"}, error, "names no tile"},
        {fetch + QStringList{url + "/{zoom}/{x}/{y}.png"}, error, "unknown placeholder \\{zoom\\}"},  // another tool's
        {fetch + QStringList{url + "/{z}/{x}/{y}.png?key={apikey}"}, error, "unknown placeholder \\{apikey\\}"},
        {fetch + QStringList{url + "/{z}/{x}/{y}/{y+1}.png"}, error, "\\{y\\+1\\}"},  // one form per coordinate
        {fetch + QStringList{url + "/{z}/{x}/{y/0}.png"}, error, "\\{y/0\\}"},       // division by zero
        {fetch + QStringList{url + "/{z}/{x}/{y.png"}, error, "without its '\\}'"},
        {fetch + QStringList{url + "/{z}/{x}/{y}.png", "--subdomains=a,b"}, error, "needs \\{s\\}"},  // never used
        // A resume that would change the depository's region, levels or tiling.
        {{"download", idx, "--extent", "116.2,39.7,116.7,40.1"}, error, "another region"},
        {{"download", idx, "--levels", "1-10"}, error, "level"},
        {{"download", idx, "--map-type", "1"}, error, "map type"},
        // The data file names its depository and is never read or written as an index.
        {{"info", dat}, ok, "depository " + QRegularExpression::escape(idx) + "\\n"},
        {{"download", dat, "--quiet"}, ok, "\\(resumed\\)"},
        {{"verify", dat}, ok, "result     ok"},
        {{"info", disguised}, error, "data file, not its index"},
        {{"download", disguised, "--quiet"}, error, "data file"},
        {{"export", disguised, "--output", dir.filePath("d.mbtiles")}, error, "data file"},
        {{"info", dir.filePath("absent.idx")}, error, "absent.idx"},
        {{"export", empty, "--output", dir.filePath("e.mbtiles")}, VtCli::kExitIncomplete, "nothing exported"},
        {{"export", empty, "--format", "xyz", "--output", dir.filePath("e-tree")}, VtCli::kExitIncomplete, "nothing exported"},
        {{"info", junk}, error, "not a readable depository"},
        {{"verify", junk}, error, "not a readable depository"},
        {{"export", junk, "--output", dir.filePath("junk.mbtiles")}, error, "not a readable depository"},
        {{"download", junk, "--quiet"}, error, "junk"},
        {{"tasks", "--db-dir", dir.path()}, error, "task"},  // no database
        {{"tasks", "--db-dir", QFileInfo(plain).path()}, error, "not a task database"},
        {{"tasks", "--db-dir", plain}, error, "not a task database"},
        {{"tasks", "--db-dir", QFileInfo(other).path()}, error, "not a task database"},
        {{"convert", "--to", "gcj02", "Beijing"}, error, "no points found"},
        {{"convert", "--to", "mars", "1,2"}, error, "mars"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(qPrintable(r.args.join(' ')));
        const RunResult res = RunTool(r.args);
        EXPECT_EQ(res.code, r.code) << qPrintable(res.out + res.err);
        EXPECT_TRUE(QRegularExpression(r.says).match(r.code == ok ? res.out : res.err).hasMatch())
            << qPrintable(r.says + "\n" + res.out + res.err);
        if (r.code == error && !r.args.isEmpty()) { EXPECT_TRUE(res.err.startsWith("vtcore: ")) << qPrintable(res.err); }
    }
    for (auto it = before.begin(); it != before.end(); ++it) EXPECT_EQ(FileBytes(it.key()), it.value()) << qPrintable(it.key());
    for (const QString& made : {none, dir.filePath("b.idx"), dir.filePath("d/disguised.dat"), dir.filePath("d.mbtiles"),
                                dir.filePath("junk.mbtiles"), dir.filePath("task.db"), dir.filePath("e.mbtiles"),
                                dir.filePath("e-tree")})
        EXPECT_FALSE(QFileInfo::exists(made)) << qPrintable(made);
}

TEST(Commands, SheetOfPointsAndRegions) {
    struct Row { QStringList args; int code; QString says; };  // says: a pattern of the output
    const Row rows[] = {
        {{"--scale", "1", "116.4,39.9"}, VtCli::kExitOk, "^J50  "},
        {{"--scale", "B", "116.4,39.9"}, VtCli::kExitOk, "^J50B001001"},
        {{"--scale", "1:500000", "116.4,39.9"}, VtCli::kExitOk, "^J50B001001"},
        {{"--scale", "1", "116.4,-39.9"}, VtCli::kExitOk, "^SJ50"},
        {{"--scale", "1", "--extent", "96,20,108,28"}, VtCli::kExitOk, "\\n4 sheets\\n$"},  // an aligned 2 x 2 block
        {{"--scale", "11", "--extent", "100,20,120,40"}, VtCli::kExitOk, "not listed"},    // too many to list
        {{"--scale", "12", "116.4,39.9"}, VtCli::kExitError, "^$"},
        {{"--scale", "1"}, VtCli::kExitError, "^$"},
        {{"116.4,39.9"}, VtCli::kExitError, "^$"},
    };
    for (const Row& r : rows) {
        const RunResult res = RunTool(QStringList{"sheet"} + r.args);
        EXPECT_EQ(res.code, r.code) << qPrintable(r.args.join(' ') + res.err);
        EXPECT_TRUE(QRegularExpression(r.says).match(res.out).hasMatch()) << qPrintable(r.args.join(' ') + "\n" + res.out);
    }
}
