#include "tools/vtcore/Commands_p.h"
#include "tools/vtcore/TilePlan.h"
#include "tools/vtcore/TileSource.h"
#include "tools/vtcore/Vtcore.h"

#include "catalog/CustomMapManager.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <climits>

namespace VtCli {
namespace {

void PrintPlan(const TilePlan& plan, const Region& region, Io& io) {
    QTextStream& out = io.out;
    out << "map type   " << MapTypeText(plan.mapType) << " (" << TileModelText(plan.tileModel) << " tiles)\n";
    out << "region     " << region.description << "\n";
    out << "extent     " << QString::asprintf("%.6f, %.6f .. %.6f, %.6f", plan.extent.minx, plan.extent.miny,
                                              plan.extent.maxx, plan.extent.maxy)
        << " (map datum)\n";
    out << QString::asprintf("%5s %5s %21s %21s %14s\n", "level", "zoom", "columns", "rows", "tiles");
    for (const LevelPlan& lp : plan.levels) {
        const QString cols = QStringLiteral("%1..%2").arg(lp.minCol).arg(lp.maxCol);
        const QString rows = QStringLiteral("%1..%2").arg(lp.minRow).arg(lp.maxRow);
        out << QString::asprintf("%5d %5d %21s %21s %14s\n", lp.level, lp.zoom, qPrintable(cols), qPrintable(rows),
                                 qPrintable(FormatCount(lp.tiles)));
    }
    out << "total      " << FormatCount(plan.totalTiles) << " tiles, about "
        << QString::asprintf("%.1f", plan.sizeMB) << " MB\n";
}

QJsonObject PlanJson(const TilePlan& plan, const Region& region) {
    QJsonArray levels;
    for (const LevelPlan& lp : plan.levels) {
        levels.append(QJsonObject{{"level", lp.level},
                                  {"zoom", lp.zoom},
                                  {"minCol", lp.minCol},
                                  {"maxCol", lp.maxCol},
                                  {"minRow", lp.minRow},
                                  {"maxRow", lp.maxRow},
                                  {"slots", double(lp.slotCount)},
                                  {"tiles", double(lp.tiles)}});
    }
    return QJsonObject{{"mapType", plan.mapType},
                       {"tileModel", int(plan.tileModel)},
                       {"region", region.description},
                       {"extent", QJsonArray{plan.extent.minx, plan.extent.miny, plan.extent.maxx, plan.extent.maxy}},
                       {"levels", levels},
                       {"totalTiles", double(plan.totalTiles)},
                       {"indexSlots", double(plan.indexSlots)},
                       {"sizeMB", plan.sizeMB}};
}

}  // namespace

int CmdPlan(const QStringList& args, Io& io) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Tile ranges and counts of a region."));
    AddRegionOptions(parser);
    parser.addOption({QStringLiteral("map-type"), QStringLiteral("Map type id (default 602, custom Web Mercator)."),
                      QStringLiteral("id"), QString::number(kDefaultMapType)});
    parser.addOption({QStringLiteral("levels"), QStringLiteral("One-based levels: 12, 1-12 or 3,5,7-9."),
                      QStringLiteral("list")});
    parser.addOption({QStringLiteral("source"),
                      QStringLiteral("custom:<key> plans for that custom map: its tile scheme and datum, as "
                                     "download would; other sources do not change the plan."),
                      QStringLiteral("source")});
    parser.addOption({QStringLiteral("custom-maps"),
                      QStringLiteral("Custom map catalogue for custom:<key> (default: MyMap.bin of the data folder)."),
                      QStringLiteral("file")});
    parser.addOption({QStringLiteral("json"), QStringLiteral("Print JSON.")});
    int code = kExitOk;
    if (!ParseCommand(parser, QStringLiteral("plan"), args, io, code)) return code;
    StopFlag() = false;  // raised by an earlier command of this process, not by this one's user
    QString error;
    int mapType = 0;
    if (!ParseInt(parser.value(QStringLiteral("map-type")), INT_MIN, INT_MAX, mapType, error)) return Fail(io, error);
    if (!parser.isSet(QStringLiteral("levels"))) return Fail(io, QStringLiteral("plan: --levels is required"));
    QList<int> levels;
    if (!ParseLevels(parser.value(QStringLiteral("levels")), 1, kMaxDepositoryLevel, levels, error))
        return Fail(io, error);
    Datum datum = MapTypeDatum(mapType, -1);
    const QString sourceText = parser.value(QStringLiteral("source"));
    if (sourceText.startsWith(QLatin1String("custom:"))) {
        int key = 0;
        if (!ParseInt(sourceText.mid(7), 0, 9998, key, error)) return Fail(io, error);
        const QString file = parser.isSet(QStringLiteral("custom-maps")) ? parser.value(QStringLiteral("custom-maps"))
                                                                         : CCustomMapManager::DefaultFilePath();
        CustomMapSource custom;
        if (!MakeCustomMapSource(file, key, {}, custom, error)) return Fail(io, error);
        if (!parser.isSet(QStringLiteral("map-type"))) mapType = custom.mapType;
        datum = custom.offsetKind == 2 ? Datum::Bd09 : custom.offsetKind == 1 ? Datum::Gcj02 : Datum::Wgs84;
    }
    Region region;
    if (!RegionFromOptions(parser, datum, region, error)) return Fail(io, error);
    TilePlan plan;
    if (!MakeTilePlan(mapType, region, levels, plan, error, &StopFlag()))
        return StopFlag() ? Interrupted(io) : Fail(io, error);
    if (parser.isSet(QStringLiteral("json")))
        io.out << QJsonDocument(PlanJson(plan, region)).toJson(QJsonDocument::Indented);
    else
        PrintPlan(plan, region, io);
    return kExitOk;
}

}  // namespace VtCli
