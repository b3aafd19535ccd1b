#include "tools/vtcore/Vtcore.h"

#include "catalog/MapTypeManager.h"
#include "core/TextConvert.h"
#include "storage/TaskEnums.h"
#include "tile/TileKey.h"
#include "tools/vtcore/Commands_p.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>

namespace VtCli {
namespace {

const char kUsage[] =
    "usage: vtcore <command> [options]\n"
    "\n"
    "commands:\n"
    "  plan      tile ranges and counts of a region at some levels\n"
    "  download  fetch a region's tiles into a depository (resumes an existing one)\n"
    "  info      a depository's description and slot states per level\n"
    "  verify    check every slot of a depository; --repair marks damaged tiles for download\n"
    "  export    write a depository as an MBTiles file or a z/x/y tree\n"
    "  tasks     the tasks of a task database\n"
    "  convert   points between WGS84, GCJ-02 and BD-09\n"
    "  sheet     map sheet of a point, or the sheets covering a region\n"
    "  serve     show depositories in a browser: tiles, TileJSON and a map viewer over HTTP\n"
    "\n"
    "vtcore <command> --help describes a command's options.\n";

}  // namespace

int Fail(Io& io, const QString& text) {
    io.err << "vtcore: " << text << "\n";
    io.err.flush();
    return kExitError;
}

bool ParseCommand(QCommandLineParser& parser, const QString& command, const QStringList& args, Io& io,
                  int& code) {
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help."));
    parser.addOption(help);
    if (!parser.parse(QStringList{QStringLiteral("vtcore ") + command} + args)) {
        code = Fail(io, QStringLiteral("%1: %2").arg(command, parser.errorText()));
        return false;
    }
    if (parser.isSet(help)) {
        QString text = parser.helpText();
        text.replace(QStringLiteral("Usage: vtcore %1").arg(command), QStringLiteral("usage: vtcore %1").arg(command));
        io.out << text;
        code = kExitOk;
        return false;
    }
    return true;
}

void AddRegionOptions(QCommandLineParser& parser) {
    parser.addOption({QStringLiteral("extent"), QStringLiteral("Region as west,south,east,north in degrees."),
                      QStringLiteral("w,s,e,n")});
    parser.addOption({QStringLiteral("geojson"), QStringLiteral("Region as the polygons of a GeoJSON file."),
                      QStringLiteral("file")});
    parser.addOption({QStringLiteral("area"),
                      QStringLiteral("Region as an administrative area of the region database "
                                     "(\"parent|child\" for ambiguous names)."),
                      QStringLiteral("name")});
    parser.addOption({QStringLiteral("sheet"), QStringLiteral("Region as map sheets, comma-separated (J50B001001)."),
                      QStringLiteral("names")});
    parser.addOption({QStringLiteral("region-db"),
                      QStringLiteral("Folder of region.dll / china.dll for --area (default: the program's folder)."),
                      QStringLiteral("dir")});
    parser.addOption({QStringLiteral("region-datum"),
                      QStringLiteral("Datum the region is given in: wgs84 (default), gcj02 or bd09."),
                      QStringLiteral("datum"), QStringLiteral("wgs84")});
}

bool HasRegionOption(const QCommandLineParser& parser) {
    return parser.isSet(QStringLiteral("extent")) || parser.isSet(QStringLiteral("geojson")) ||
           parser.isSet(QStringLiteral("area")) || parser.isSet(QStringLiteral("sheet"));
}

bool RegionFromOptions(const QCommandLineParser& parser, Datum target, Region& region,
                       QString& error) {
    RegionOptions o;
    o.extent = parser.value(QStringLiteral("extent"));
    o.geoJsonFile = parser.value(QStringLiteral("geojson"));
    o.area = parser.value(QStringLiteral("area"));
    o.sheets = parser.value(QStringLiteral("sheet"));
    o.regionDbDir = parser.value(QStringLiteral("region-db"));
    Datum given = Datum::Wgs84;
    if (!ParseDatum(parser.value(QStringLiteral("region-datum")), given, error)) return false;
    Region r;
    if (!LoadRegion(o, r, error)) return false;
    region = ConvertRegion(r, given, target);
    return true;
}

QString DepositoryPath(const QString& argument) {
    QFileInfo fi(argument);
    QString path = fi.absoluteFilePath();
    if (fi.suffix().isEmpty()) path += QStringLiteral(".idx");
    return QDir::cleanPath(path);
}

std::string DepositoryPath8(const QString& path) { return ConvertQStringToStdString(path, "GB18030"); }

QString MapTypeText(int mapType) {
    QString name;
    CMapTypeManager::getInstance()->enumMapTypeToString(mapType, name);
    return name.isEmpty() ? QString::number(mapType) : QStringLiteral("%1 %2").arg(mapType).arg(name);
}

QString TileModelText(int tileModel) {
    switch (tileModel) {
    case TILE_MODEL_MERCATOR: return QStringLiteral("Web Mercator");
    case TILE_MODEL_GEOGRAPHIC: return QStringLiteral("geographic");
    case TILE_MODEL_BAIDU: return QStringLiteral("Baidu");
    default: return QStringLiteral("none");
    }
}

QString StateText(int taskState) {
    return ConvertStdStringToQString(SymblizeTaskState(static_cast<ENUM_TASK_STATE>(taskState)), "GB18030");
}

QString FormatCount(long long n) { return QLocale::c().toString(n); }

int RunVtcore(const QStringList& args, QTextStream& out, QTextStream& err) {
    Io io{out, err};
    if (args.isEmpty() || args[0] == QLatin1String("help") || args[0] == QLatin1String("--help") ||
        args[0] == QLatin1String("-h")) {
        (args.isEmpty() ? err : out) << kUsage;
        return args.isEmpty() ? kExitError : kExitOk;
    }
    const QString command = args[0];
    const QStringList rest = args.mid(1);
    int code = kExitError;
    if (command == QLatin1String("plan")) code = CmdPlan(rest, io);
    else if (command == QLatin1String("download")) code = CmdDownload(rest, io);
    else if (command == QLatin1String("info")) code = CmdInfo(rest, io);
    else if (command == QLatin1String("verify")) code = CmdVerify(rest, io);
    else if (command == QLatin1String("export")) code = CmdExport(rest, io);
    else if (command == QLatin1String("tasks")) code = CmdTasks(rest, io);
    else if (command == QLatin1String("convert")) code = CmdConvert(rest, io);
    else if (command == QLatin1String("sheet")) code = CmdSheet(rest, io);
    else if (command == QLatin1String("serve")) code = CmdServe(rest, io);
    else {
        err << "vtcore: unknown command '" << command << "'\n\n" << kUsage;
        code = kExitError;
    }
    out.flush();
    err.flush();
    return code;
}

}  // namespace VtCli
