// The small commands: plan, convert, sheet, tasks and the command dispatch.
#include "VtcoreTestSupport.h"

#include "storage/DatIndexConvert.h"
#include "tile/PositionUtil.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace VtTest;

TEST(Commands, PlanJsonAgreesWithTheDepositoryIndex) {
    struct Row {
        const char* extent;
        const char* mapType;
        const char* levels;
    };
    const Row rows[] = {
        {"115.7,39.4,117.4,41.1", "602", "1-12"},  // Web Mercator
        {"115.7,39.4,117.4,41.1", "5", "2-10"},    // geographic (WGS84 type)
        {"-180,-85,180,85", "602", "1-4"},         // the whole world
        {"0,0,45,45", "602", "3"},                 // edges on tile borders pull in no extra tiles
        {"10,10,10,10", "602", "1-6"},             // a point: one tile a level
    };
    for (const Row& r : rows) {
        const RunResult plan = RunTool({"plan", "--extent", QLatin1String(r.extent), "--map-type",
                                        QLatin1String(r.mapType), "--levels", QLatin1String(r.levels), "--json"});
        ASSERT_EQ(plan.code, VtCli::kExitOk) << r.extent << qPrintable(plan.err);
        const QJsonObject o = QJsonDocument::fromJson(plan.out.toUtf8()).object();
        const QJsonArray e = o.value("extent").toArray();
        const CDatIndexConvert conv(QString(QLatin1String(r.mapType)).toInt(),
                                    EXTENT{e[0].toDouble(), e[1].toDouble(), e[2].toDouble(), e[3].toDouble()});
        long long total = 0;
        for (const QJsonValue& v : o.value("levels").toArray()) {
            const QJsonObject l = v.toObject();
            const int level = l.value("level").toInt();
            EXPECT_EQ(l.value("tiles").toDouble(), double(conv.GetTileNumber(level))) << r.extent << level;
            EXPECT_EQ(double(l.value("maxCol").toInt() - l.value("minCol").toInt() + 1) *
                          (l.value("maxRow").toInt() - l.value("minRow").toInt() + 1),
                      double(conv.GetTileNumber(level)));
            total += conv.GetTileNumber(level);
        }
        EXPECT_EQ(o.value("totalTiles").toDouble(), double(total)) << r.extent;
        EXPECT_GT(o.value("sizeMB").toDouble(), 0.0);
    }
    // On a border: (0, 0, 45, 45) at level 3 (zoom 2, 90-degree tiles) is the single tile east and
    // north of the centre.
    const RunResult border = RunTool({"plan", "--extent", "0,0,45,45", "--levels", "3", "--json"});
    const QJsonObject l = QJsonDocument::fromJson(border.out.toUtf8()).object().value("levels").toArray()[0].toObject();
    EXPECT_EQ(l.value("minCol").toInt(), 2);
    EXPECT_EQ(l.value("maxCol").toInt(), 2);
    EXPECT_EQ(l.value("minRow").toInt(), 1);
    EXPECT_EQ(l.value("maxRow").toInt(), 1);
}

TEST(Commands, PlanShiftsAWgs84RegionIntoAnOffsetMapsDatum) {
    auto extentOf = [](const char* mapType, const char* datum) {
        const RunResult r = RunTool({"plan", "--extent", "116.3,39.9,116.4,40.0", "--map-type", QLatin1String(mapType),
                                     "--region-datum", QLatin1String(datum), "--levels", "10", "--json"});
        return QJsonDocument::fromJson(r.out.toUtf8()).object().value("extent").toArray();
    };
    // 121 (GCJ-02 street map): the extent moves by the GCJ-02 offset; given in GCJ-02 it stays.
    const QPointF shifted = PositionUtil::shifting(QPointF(116.3, 39.9));
    EXPECT_NEAR(extentOf("121", "wgs84")[0].toDouble(), shifted.x(), 1e-6);
    EXPECT_NEAR(extentOf("121", "wgs84")[1].toDouble(), shifted.y(), 1e-4);
    EXPECT_DOUBLE_EQ(extentOf("121", "gcj02")[0].toDouble(), 116.3);
    // 602 (no offset) keeps the WGS84 numbers.
    EXPECT_DOUBLE_EQ(extentOf("602", "wgs84")[0].toDouble(), 116.3);
    // 44 (Baidu): BD-09 lies further east still.
    EXPECT_GT(extentOf("44", "wgs84")[0].toDouble(), shifted.x());
}

TEST(Commands, ConvertRoundTripsAndRefusesText) {
    const RunResult there =
        RunTool({"convert", "--from", "wgs84", "--to", "bd09", "116.391, 39.907", "2.35, 48.85, 35"});
    ASSERT_EQ(there.code, VtCli::kExitOk) << qPrintable(there.err);
    const QStringList lines = there.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[1].endsWith(", 35"));  // the height is carried
    const RunResult back = RunTool({"convert", "--from", "bd09", "--to", "wgs84", lines[0]});
    const QStringList xy = back.out.trimmed().split(", ");
    ASSERT_EQ(xy.size(), 2);
    EXPECT_NEAR(xy[0].toDouble(), 116.391, 1e-4);
    EXPECT_NEAR(xy[1].toDouble(), 39.907, 1e-4);
    EXPECT_EQ(RunTool({"convert", "--to", "gcj02", "Beijing"}).code, VtCli::kExitError);
    EXPECT_EQ(RunTool({"convert", "--to", "mars", "1,2"}).code, VtCli::kExitError);
}

TEST(Commands, SheetOfPointsAndRegions) {
    struct Row {
        QStringList args;
        int code;
        QString first;  // first line starts so
    };
    const Row rows[] = {
        {{"--scale", "1", "116.4,39.9"}, VtCli::kExitOk, "J50  "},
        {{"--scale", "B", "116.4,39.9"}, VtCli::kExitOk, "J50B001001"},
        {{"--scale", "1:500000", "116.4,39.9"}, VtCli::kExitOk, "J50B001001"},
        {{"--scale", "1", "116.4,-39.9"}, VtCli::kExitOk, "SJ50"},
        {{"--scale", "1", "--extent", "96,20,108,28"}, VtCli::kExitOk, ""},
        {{"--scale", "12", "116.4,39.9"}, VtCli::kExitError, ""},
        {{"--scale", "1"}, VtCli::kExitError, ""},
        {{"116.4,39.9"}, VtCli::kExitError, ""},
    };
    for (const Row& r : rows) {
        const RunResult res = RunTool(QStringList{"sheet"} + r.args);
        EXPECT_EQ(res.code, r.code) << qPrintable(r.args.join(' ') + res.err);
        if (!r.first.isEmpty()) {
            EXPECT_TRUE(res.out.startsWith(r.first)) << qPrintable(res.out);
        }
    }
    // An aligned 2 x 2 block of 1:1,000,000 sheets.
    const RunResult block = RunTool({"sheet", "--scale", "1", "--extent", "96,20,108,28"});
    EXPECT_TRUE(block.out.endsWith("4 sheets\n")) << qPrintable(block.out);
    // Too many to list: only counted.
    const RunResult many = RunTool({"sheet", "--scale", "11", "--extent", "100,20,120,40"});
    EXPECT_EQ(many.code, VtCli::kExitOk);
    EXPECT_TRUE(many.out.contains("not listed"));
}

TEST(Commands, DispatchAndTasksWithoutADatabase) {
    EXPECT_EQ(RunTool({}).code, VtCli::kExitError);
    EXPECT_EQ(RunTool({"help"}).code, VtCli::kExitOk);
    EXPECT_EQ(RunTool({"frobnicate"}).code, VtCli::kExitError);
    const RunResult help = RunTool({"download", "--help"});
    EXPECT_EQ(help.code, VtCli::kExitOk);
    EXPECT_TRUE(help.out.contains("--threads"));
    QTemporaryDir dir;
    EXPECT_EQ(RunTool({"tasks", "--db-dir", dir.path()}).code, VtCli::kExitError);
    EXPECT_EQ(RunTool({"info", dir.filePath("none.idx")}).code, VtCli::kExitError);
    // A file that is not a depository is refused, not read.
    QFile junk(dir.filePath("junk.idx"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(300, 'x'));
    junk.close();
    QFile dat(dir.filePath("junk.dat"));
    ASSERT_TRUE(dat.open(QIODevice::WriteOnly));
    dat.write(QByteArray(300, 'x'));
    dat.close();
    for (const QStringList& args :
         {QStringList{"info"}, QStringList{"verify"}, QStringList{"export", "--output", dir.filePath("out.mbtiles")}}) {
        const RunResult r = RunTool(QStringList{args[0], junk.fileName()} + args.mid(1));
        EXPECT_EQ(r.code, VtCli::kExitError) << qPrintable(args[0]);
        EXPECT_TRUE(r.err.contains("not a readable depository")) << qPrintable(r.err);
    }
    EXPECT_EQ(RunTool({"download", junk.fileName(), "--quiet"}).code, VtCli::kExitError);
}
