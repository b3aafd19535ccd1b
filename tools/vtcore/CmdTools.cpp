#include "catalog/DataFactory.h"
#include "core/Tools.h"
#include "storage/MapSheetModel.h"
#include "tools/vtcore/Commands_p.h"
#include "tools/vtcore/DepositoryLock.h"
#include "tools/vtcore/Vtcore.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QUuid>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include <cstdio>

namespace VtCli {
namespace {

// Sheet lists longer than this are counted, not printed, unless --max says otherwise.
constexpr int kDefaultMaxSheets = 1000;

bool ParseScale(const QString& text, ENUM_MAPSHEET& scale, QString& error) {
    const QString t = text.trimmed().toUpper();
    static const char* const kRatios[] = {"1000000", "500000", "250000", "100000", "50000", "25000",
                                          "10000",   "5000",   "2000",   "1000",   "500"};
    for (int i = 0; i < 11; ++i) {
        if (t == QString(QChar('A' + i)) || t == QString::number(i + 1) ||
            t == QStringLiteral("1:") + QLatin1String(kRatios[i])) {
            scale = static_cast<ENUM_MAPSHEET>(i + 1);
            return true;
        }
    }
    error = QStringLiteral("unknown scale '%1' (1..11, A..K or 1:50000 and the like)").arg(text);
    return false;
}

// Whether `file` is an SQLite database with a task table, looked at read-only: the task database
// code would otherwise add its tables to any file it is pointed at.
bool IsTaskDatabase(const QString& file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly) || f.read(16) != QByteArray("SQLite format 3\0", 16)) return false;
    f.close();
    const QString name = QStringLiteral("vtcore-probe-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    bool found = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(file);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (db.open()) {
            QSqlQuery q(db);
            found = q.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' AND name = 'task'")) &&
                    q.next();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return found;
}

// A row left "downloading" by a process that is gone (killed, crashed) is not downloading: no
// process holds its depository.
QString RowStateText(const DownloadTask& t) {
    if (t.state == TASK_STATE_DOWNLOADING && CDepositoryLock::Holder(t.path) == 0) return QStringLiteral("interrupted");
    return StateText(t.state);
}

}  // namespace

int CmdTasks(const QStringList& args, Io& io) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("The tasks of a task database (task.db)."));
    parser.addOption({QStringLiteral("db-dir"),
                      QStringLiteral("Folder of task.db, or the task.db file (default: the current folder)."),
                      QStringLiteral("dir"), QStringLiteral(".")});
    parser.addOption({QStringLiteral("json"), QStringLiteral("Print JSON.")});
    int code = kExitOk;
    if (!ParseCommand(parser, QStringLiteral("tasks"), args, io, code)) return code;
    QString dir = parser.value(QStringLiteral("db-dir"));
    QString file = dir + QStringLiteral("/task.db");
    if (QFileInfo(dir).isFile()) {
        file = dir;
        dir = QFileInfo(dir).path();
    }
    if (!QFile::exists(file)) return Fail(io, QStringLiteral("no task database in %1").arg(dir));
    if (!IsTaskDatabase(file)) return Fail(io, QStringLiteral("%1 is not a task database").arg(file));
    if (QFileInfo(file).fileName() != QLatin1String("task.db"))
        return Fail(io, QStringLiteral("%1: a task database is named task.db").arg(file));
    DataFactory::setApplicationDir(dir);
    const QList<DownloadTask> tasks = DataFactory::getTaskList();
    if (parser.isSet(QStringLiteral("json"))) {
        QJsonArray list;
        for (const DownloadTask& t : tasks) {
            QJsonArray levels;
            for (int l : t.level) levels.append(l);
            list.append(QJsonObject{{"id", t.ID},
                                    {"name", t.name},
                                    {"path", t.path},
                                    {"state", t.state},
                                    {"stateText", RowStateText(t)},
                                    {"progress", DataFactory::getProgress(t.ID)},
                                    {"tiles", double(t.count)},
                                    {"levels", levels},
                                    {"mapType", t.maptype},
                                    {"created", t.createTm}});
        }
        io.out << QJsonDocument(list).toJson(QJsonDocument::Indented);
        return kExitOk;
    }
    io.out << QString::asprintf("%4s  %-11s %-14s %10s  %-8s %-6s  %s\n", "id", "state", "progress", "tiles", "levels",
                                "map", "name / path");
    for (const DownloadTask& t : tasks) {
        io.out << QString::asprintf("%4d  %-11s ", t.ID, qPrintable(RowStateText(t)))
               << QString::asprintf("%-14s %10s  %-8s %-6d  ", qPrintable(DataFactory::getProgress(t.ID)),
                                    qPrintable(FormatCount(t.count)), qPrintable(FormatLevels(t.level)), t.maptype)
               << t.name << "  " << t.path << "\n";
    }
    if (tasks.isEmpty()) io.out << "(no tasks)\n";
    return kExitOk;
}

int CmdConvert(const QStringList& args, Io& io) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Converts points between WGS84, GCJ-02 and BD-09. Points are \"longitude, latitude[, height]\" "
        "groups in the arguments or, without arguments, on standard input."));
    parser.addPositionalArgument(QStringLiteral("points"), QStringLiteral("Text holding the points."));
    parser.addOption({QStringLiteral("from"), QStringLiteral("Datum of the points (default wgs84)."),
                      QStringLiteral("datum"), QStringLiteral("wgs84")});
    parser.addOption({QStringLiteral("to"), QStringLiteral("Datum wanted."), QStringLiteral("datum")});
    int code = kExitOk;
    if (!ParseCommand(parser, QStringLiteral("convert"), args, io, code)) return code;
    QString error;
    Datum from = Datum::Wgs84;
    Datum to = Datum::Wgs84;
    if (!parser.isSet(QStringLiteral("to"))) return Fail(io, QStringLiteral("convert: --to is required"));
    if (!ParseDatum(parser.value(QStringLiteral("from")), from, error) ||
        !ParseDatum(parser.value(QStringLiteral("to")), to, error))
        return Fail(io, error);
    QString text = parser.positionalArguments().join(QLatin1Char(' '));
    if (parser.positionalArguments().isEmpty()) {
        QTextStream in(stdin);
        text = in.readAll();
    }
    const std::vector<CVector3D> points = Tools::ParseCoordinates(text);
    if (points.empty())
        return Fail(io, QStringLiteral("convert: no points found (\"longitude, latitude\" groups of numbers)"));
    for (const CVector3D& p : points) {
        const QPointF q = ConvertPoint(QPointF(p.x, p.y), from, to);
        io.out << QString::asprintf("%.8f, %.8f", q.x(), q.y());
        if (p.z != 0.0) io.out << QString::asprintf(", %g", p.z);
        io.out << "\n";
    }
    return kExitOk;
}

int CmdSheet(const QStringList& args, Io& io) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "The map sheet holding a point (\"longitude, latitude\"), or the sheets covering a region, at a scale "
        "of the national series."));
    parser.addPositionalArgument(QStringLiteral("point"), QStringLiteral("A point, when no region is given."));
    parser.addOption({QStringLiteral("scale"), QStringLiteral("1..11, A..K or 1:1000000 .. 1:500."),
                      QStringLiteral("scale")});
    parser.addOption({QStringLiteral("extent"), QStringLiteral("Region as west,south,east,north."),
                      QStringLiteral("w,s,e,n")});
    parser.addOption({QStringLiteral("geojson"), QStringLiteral("Region as the polygons of a GeoJSON file."),
                      QStringLiteral("file")});
    parser.addOption({QStringLiteral("max"), QStringLiteral("Longest list printed (default 1000)."),
                      QStringLiteral("n"), QString::number(kDefaultMaxSheets)});
    int code = kExitOk;
    if (!ParseCommand(parser, QStringLiteral("sheet"), args, io, code)) return code;
    QString error;
    ENUM_MAPSHEET scale = MAPSHEET_NONE;
    if (!parser.isSet(QStringLiteral("scale"))) return Fail(io, QStringLiteral("sheet: --scale is required"));
    if (!ParseScale(parser.value(QStringLiteral("scale")), scale, error)) return Fail(io, error);
    int maxList = kDefaultMaxSheets;
    if (!ParseInt(parser.value(QStringLiteral("max")), 0, CMapSheetModel::kMaxSheetList, maxList, error))
        return Fail(io, error);
    const CMapSheetModel model;
    const auto nameOf = [&](const CMapSheet& s) {
        QString name;
        model.GetStringFromMapSheet(name, s, s.m_bNorth);  // the "N" of northern sheets is usually left out
        return name;
    };
    if (!parser.isSet(QStringLiteral("extent")) && !parser.isSet(QStringLiteral("geojson"))) {
        const std::vector<CVector3D> points = Tools::ParseCoordinates(parser.positionalArguments().join(' '));
        if (points.empty()) return Fail(io, QStringLiteral("sheet: give a point \"longitude, latitude\" or a region"));
        for (const CVector3D& p : points) {
            const CMapSheet s = model.GetMapSheetFromPoint(scale, QPointF(p.x, p.y));
            io.out << nameOf(s) << QString::asprintf("  (%.6f, %.6f .. %.6f, %.6f)\n", s.m_rect.left(),
                                                     s.m_rect.top(), s.m_rect.right(), s.m_rect.bottom());
        }
        return kExitOk;
    }
    RegionOptions o;
    o.extent = parser.value(QStringLiteral("extent"));
    o.geoJsonFile = parser.value(QStringLiteral("geojson"));
    Region region;
    if (!LoadRegion(o, region, error)) return Fail(io, error);
    const QRectF rect(QPointF(region.extent.minx, region.extent.miny), QPointF(region.extent.maxx, region.extent.maxy));
    const int count = region.IsShaped() ? model.CalcMapSheetCountFromRange(scale, region.polygons, false)
                                        : model.CalcMapSheetCountFromRect(scale, rect);
    if (count > maxList) {
        io.out << FormatCount(count) << " sheets (more than --max " << maxList << "; not listed)\n";
        return kExitOk;
    }
    QList<CMapSheet> sheets;
    if (region.IsShaped()) {
        model.GetMapSheetFromRange(sheets, scale, region.polygons);
    } else {
        QVector<CMapSheet> v;
        model.GetMapSheetFromRect(v, scale, rect);
        for (const CMapSheet& s : v) sheets.append(s);
    }
    for (const CMapSheet& s : sheets) io.out << nameOf(s) << "\n";
    io.out << FormatCount(sheets.size()) << " sheets\n";
    return kExitOk;
}

}  // namespace VtCli
