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
        const RunResult plan = RunTool({QStringLiteral("plan"), QStringLiteral("--extent"), QLatin1String(r.extent),
                                        QStringLiteral("--map-type"), QLatin1String(r.mapType),
                                        QStringLiteral("--levels"), QLatin1String(r.levels), QStringLiteral("--json")});
        ASSERT_EQ(plan.code, VtCli::kExitOk) << r.extent << qPrintable(plan.err);
        const QJsonObject o = QJsonDocument::fromJson(plan.out.toUtf8()).object();
        const QJsonArray e = o.value(QStringLiteral("extent")).toArray();
        const CDatIndexConvert conv(QString(QLatin1String(r.mapType)).toInt(),
                                    EXTENT{e[0].toDouble(), e[1].toDouble(), e[2].toDouble(), e[3].toDouble()});
        long long total = 0;
        for (const QJsonValue& v : o.value(QStringLiteral("levels")).toArray()) {
            const QJsonObject l = v.toObject();
            const int level = l.value(QStringLiteral("level")).toInt();
            EXPECT_EQ(l.value(QStringLiteral("tiles")).toDouble(), double(conv.GetTileNumber(level))) << r.extent << level;
            EXPECT_EQ(double(l.value(QStringLiteral("maxCol")).toInt() - l.value(QStringLiteral("minCol")).toInt() + 1) *
                          (l.value(QStringLiteral("maxRow")).toInt() - l.value(QStringLiteral("minRow")).toInt() + 1),
                      double(conv.GetTileNumber(level)));
            total += conv.GetTileNumber(level);
        }
        EXPECT_EQ(o.value(QStringLiteral("totalTiles")).toDouble(), double(total)) << r.extent;
        EXPECT_GT(o.value(QStringLiteral("sizeMB")).toDouble(), 0.0);
    }
    // On a border: (0, 0, 45, 45) at level 3 (zoom 2, 90-degree tiles) is the single tile east and
    // north of the centre.
    const RunResult border = RunTool({QStringLiteral("plan"), QStringLiteral("--extent"), QStringLiteral("0,0,45,45"),
                                      QStringLiteral("--levels"), QStringLiteral("3"), QStringLiteral("--json")});
    const QJsonObject l = QJsonDocument::fromJson(border.out.toUtf8())
                              .object()
                              .value(QStringLiteral("levels"))
                              .toArray()[0]
                              .toObject();
    EXPECT_EQ(l.value(QStringLiteral("minCol")).toInt(), 2);
    EXPECT_EQ(l.value(QStringLiteral("maxCol")).toInt(), 2);
    EXPECT_EQ(l.value(QStringLiteral("minRow")).toInt(), 1);
    EXPECT_EQ(l.value(QStringLiteral("maxRow")).toInt(), 1);
}

TEST(Commands, PlanShiftsAWgs84RegionIntoAnOffsetMapsDatum) {
    auto extentOf = [](const char* mapType, const char* datum) {
        const RunResult r = RunTool({QStringLiteral("plan"), QStringLiteral("--extent"),
                                     QStringLiteral("116.3,39.9,116.4,40.0"), QStringLiteral("--map-type"),
                                     QLatin1String(mapType), QStringLiteral("--region-datum"), QLatin1String(datum),
                                     QStringLiteral("--levels"), QStringLiteral("10"), QStringLiteral("--json")});
        return QJsonDocument::fromJson(r.out.toUtf8()).object().value(QStringLiteral("extent")).toArray();
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
    const RunResult there = RunTool({QStringLiteral("convert"), QStringLiteral("--from"), QStringLiteral("wgs84"),
                                     QStringLiteral("--to"), QStringLiteral("bd09"), QStringLiteral("116.391, 39.907"),
                                     QStringLiteral("2.35, 48.85, 35")});
    ASSERT_EQ(there.code, VtCli::kExitOk) << qPrintable(there.err);
    const QStringList lines = there.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral(", 35")));  // the height is carried
    const RunResult back = RunTool({QStringLiteral("convert"), QStringLiteral("--from"), QStringLiteral("bd09"),
                                    QStringLiteral("--to"), QStringLiteral("wgs84"), lines[0]});
    const QStringList xy = back.out.trimmed().split(QStringLiteral(", "));
    ASSERT_EQ(xy.size(), 2);
    EXPECT_NEAR(xy[0].toDouble(), 116.391, 1e-4);
    EXPECT_NEAR(xy[1].toDouble(), 39.907, 1e-4);
    EXPECT_EQ(RunTool({QStringLiteral("convert"), QStringLiteral("--to"), QStringLiteral("gcj02"),
                       QStringLiteral("Beijing")})
                  .code,
              VtCli::kExitError);
    EXPECT_EQ(RunTool({QStringLiteral("convert"), QStringLiteral("--to"), QStringLiteral("mars"), QStringLiteral("1,2")})
                  .code,
              VtCli::kExitError);
}

TEST(Commands, SheetOfPointsAndRegions) {
    struct Row {
        QStringList args;
        int code;
        QString first;  // first line starts so
    };
    const Row rows[] = {
        {{QStringLiteral("--scale"), QStringLiteral("1"), QStringLiteral("116.4,39.9")}, VtCli::kExitOk, "J50  "},
        {{QStringLiteral("--scale"), QStringLiteral("B"), QStringLiteral("116.4,39.9")}, VtCli::kExitOk, "J50B001001"},
        {{QStringLiteral("--scale"), QStringLiteral("1:500000"), QStringLiteral("116.4,39.9")}, VtCli::kExitOk, "J50B001001"},
        {{QStringLiteral("--scale"), QStringLiteral("1"), QStringLiteral("116.4,-39.9")}, VtCli::kExitOk, "SJ50"},
        {{QStringLiteral("--scale"), QStringLiteral("1"), QStringLiteral("--extent"), QStringLiteral("96,20,108,28")}, VtCli::kExitOk, ""},
        {{QStringLiteral("--scale"), QStringLiteral("12"), QStringLiteral("116.4,39.9")}, VtCli::kExitError, ""},
        {{QStringLiteral("--scale"), QStringLiteral("1")}, VtCli::kExitError, ""},
        {{QStringLiteral("116.4,39.9")}, VtCli::kExitError, ""},
    };
    for (const Row& r : rows) {
        const RunResult res = RunTool(QStringList{QStringLiteral("sheet")} + r.args);
        EXPECT_EQ(res.code, r.code) << qPrintable(r.args.join(' ') + res.err);
        if (!r.first.isEmpty()) {
            EXPECT_TRUE(res.out.startsWith(r.first)) << qPrintable(res.out);
        }
    }
    // An aligned 2 x 2 block of 1:1,000,000 sheets.
    const RunResult block = RunTool({QStringLiteral("sheet"), QStringLiteral("--scale"), QStringLiteral("1"),
                                     QStringLiteral("--extent"), QStringLiteral("96,20,108,28")});
    EXPECT_TRUE(block.out.endsWith(QStringLiteral("4 sheets\n"))) << qPrintable(block.out);
    // Too many to list: only counted.
    const RunResult many = RunTool({QStringLiteral("sheet"), QStringLiteral("--scale"), QStringLiteral("11"),
                                    QStringLiteral("--extent"), QStringLiteral("100,20,120,40")});
    EXPECT_EQ(many.code, VtCli::kExitOk);
    EXPECT_TRUE(many.out.contains(QStringLiteral("not listed")));
}

TEST(Commands, DispatchAndTasksWithoutADatabase) {
    EXPECT_EQ(RunTool({}).code, VtCli::kExitError);
    EXPECT_EQ(RunTool({QStringLiteral("help")}).code, VtCli::kExitOk);
    EXPECT_EQ(RunTool({QStringLiteral("frobnicate")}).code, VtCli::kExitError);
    const RunResult help = RunTool({QStringLiteral("download"), QStringLiteral("--help")});
    EXPECT_EQ(help.code, VtCli::kExitOk);
    EXPECT_TRUE(help.out.contains(QStringLiteral("--threads")));
    QTemporaryDir dir;
    EXPECT_EQ(RunTool({QStringLiteral("tasks"), QStringLiteral("--db-dir"), dir.path()}).code, VtCli::kExitError);
    EXPECT_EQ(RunTool({QStringLiteral("info"), dir.filePath(QStringLiteral("none.idx"))}).code, VtCli::kExitError);
    // A file that is not a depository is refused, not read.
    QFile junk(dir.filePath(QStringLiteral("junk.idx")));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(300, 'x'));
    junk.close();
    QFile dat(dir.filePath(QStringLiteral("junk.dat")));
    ASSERT_TRUE(dat.open(QIODevice::WriteOnly));
    dat.write(QByteArray(300, 'x'));
    dat.close();
    for (const QStringList& args : {QStringList{QStringLiteral("info")}, QStringList{QStringLiteral("verify")},
                                    QStringList{QStringLiteral("export"), QStringLiteral("--output"),
                                                dir.filePath(QStringLiteral("out.mbtiles"))}}) {
        const RunResult r = RunTool(QStringList{args[0], junk.fileName()} + args.mid(1));
        EXPECT_EQ(r.code, VtCli::kExitError) << qPrintable(args[0]);
        EXPECT_TRUE(r.err.contains(QStringLiteral("not a readable depository"))) << qPrintable(r.err);
    }
    EXPECT_EQ(RunTool({QStringLiteral("download"), junk.fileName(), QStringLiteral("--quiet")}).code, VtCli::kExitError);
}
