#include "tools/vtcore/Vtcore.h"

#include "catalog/MapTypeManager.h"
#include "core/TextConvert.h"
#include "storage/TaskEnums.h"
#include "tile/TileKey.h"
#include "tools/vtcore/Commands_p.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>

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
    "vtcore <command> --help describes a command's options; vtcore --version prints the version.\n";

}  // namespace

int Fail(Io& io, const QString& text) {
    io.err << "vtcore: " << text << "\n";
    io.err.flush();
    return kExitError;
}

int Interrupted(Io& io, const QString& text) {
    io.err << "vtcore: interrupted" << (text.isEmpty() ? QString() : QStringLiteral("; ") + text) << "\n";
    io.err.flush();
    return kExitInterrupted;
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
        // Qt names the program by the file it was started from; the usage line names the command.
        QString text = parser.helpText();
        const int end = text.indexOf(QLatin1Char('\n'));
        QString usage = text.left(end).section(QLatin1Char(' '), 2);
        text = QStringLiteral("usage: vtcore %1 %2").arg(command, usage) + text.mid(end);
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
    // The data file names its depository too; taken as the index it would be read as slots and,
    // being its own data file, written over.
    else if (fi.suffix().compare(QLatin1String("dat"), Qt::CaseInsensitive) == 0)
        path = fi.absolutePath() + QLatin1Char('/') + fi.completeBaseName() + QStringLiteral(".idx");
    return QDir::cleanPath(path);
}

bool CheckIndexFile(const QString& idxPath, QString& error) {
    QFile f(idxPath);
    if (!f.open(QIODevice::ReadOnly)) return true;  // absent or unreadable: the caller reports it
    // No index starts with the data file's header: its first slot would hold map ID 0xCC012E4AD1.
    static const char kDataFileCode[] = {'\xD1', '\x4A', '\x2E', '\x01'};
    if (f.read(4) != QByteArray(kDataFileCode, 4)) return true;
    error = QStringLiteral("%1 is a depository's data file, not its index file").arg(idxPath);
    return false;
}

std::string DepositoryPath8(const QString& path) { return ConvertQStringToStdString(path, "GB18030"); }

QString EnglishMapTypeName(const QString& name) {
    // Words of the catalogue's names, longer ones first where one contains another.
    static const QList<QPair<QString, QString>> kWords = {
        {QStringLiteral("自定义墨卡托地图"), QStringLiteral("custom Web Mercator map")},
        {QStringLiteral("自定义WGS84地图"), QStringLiteral("custom WGS84 map")},
        {QStringLiteral("历史卫星"), QStringLiteral("historical satellite")},
        {QStringLiteral("高清影像"), QStringLiteral("high-resolution imagery")},
        {QStringLiteral("历史影像"), QStringLiteral("historical imagery")},
        {QStringLiteral("电子地图"), QStringLiteral("street map")},
        {QStringLiteral("地表地形图"), QStringLiteral("terrain map")},
        {QStringLiteral("地表地形"), QStringLiteral("terrain")},
        {QStringLiteral("地表覆盖"), QStringLiteral("land cover")},
        {QStringLiteral("数字表面模型"), QStringLiteral("digital surface model")},
        {QStringLiteral("代理服务器"), QStringLiteral("proxy server")},
        {QStringLiteral("实时地球"), QStringLiteral("live earth")},
        {QStringLiteral("天地图"), QStringLiteral("Tianditu")},
        {QStringLiteral("阿里云"), QStringLiteral("Aliyun")},
        {QStringLiteral("船讯网"), QStringLiteral("Shipxy")},
        {QStringLiteral("吉林一号"), QStringLiteral("Jilin-1")},
        {QStringLiteral("海丝1号"), QStringLiteral("Haisi-1")},
        {QStringLiteral("E都市"), QStringLiteral("Edushi")},
        {QStringLiteral("地形图"), QStringLiteral("terrain map")},
        {QStringLiteral("专题图"), QStringLiteral("thematic map")},
        {QStringLiteral("地质图"), QStringLiteral("geological map")},
        {QStringLiteral("有偏移"), QStringLiteral("offset")},
        {QStringLiteral("大字体"), QStringLiteral("large font")},
        {QStringLiteral("可见光"), QStringLiteral("visible light")},
        {QStringLiteral("墨卡托"), QStringLiteral("Mercator")},
        {QStringLiteral("含海底"), QStringLiteral("with sea floor")},
        {QStringLiteral("自定义"), QStringLiteral("custom")},
        {QStringLiteral("百度"), QStringLiteral("Baidu")},
        {QStringLiteral("高德"), QStringLiteral("Gaode")},
        {QStringLiteral("腾讯"), QStringLiteral("Tencent")},
        {QStringLiteral("必应"), QStringLiteral("Bing")},
        {QStringLiteral("雅虎"), QStringLiteral("Yahoo")},
        {QStringLiteral("搜狗"), QStringLiteral("Sogou")},
        {QStringLiteral("维基"), QStringLiteral("Wiki")},
        {QStringLiteral("超图"), QStringLiteral("SuperMap")},
        {QStringLiteral("卫星"), QStringLiteral("satellite")},
        {QStringLiteral("电子"), QStringLiteral("street map")},
        {QStringLiteral("地貌"), QStringLiteral("relief")},
        {QStringLiteral("轨迹"), QStringLiteral("track")},
        {QStringLiteral("骑行"), QStringLiteral("cycling")},
        {QStringLiteral("三维"), QStringLiteral("3-D")},
        {QStringLiteral("矢量"), QStringLiteral("vector")},
        {QStringLiteral("建筑"), QStringLiteral("buildings")},
        {QStringLiteral("海图"), QStringLiteral("nautical chart")},
        {QStringLiteral("全国"), QStringLiteral("China")},
        {QStringLiteral("全球"), QStringLiteral("world")},
        {QStringLiteral("高程"), QStringLiteral("elevation")},
        {QStringLiteral("覆盖"), QStringLiteral("coverage")},
        {QStringLiteral("风格"), QStringLiteral("style")},
        {QStringLiteral("标签"), QStringLiteral("labels")},
        {QStringLiteral("地图"), QStringLiteral("map")},
        {QStringLiteral("约"), QStringLiteral("about")},
        {QStringLiteral("米"), QStringLiteral("m")},
        {QStringLiteral("号"), QString()},
        {QStringLiteral("（"), QStringLiteral("(")},
        {QStringLiteral("）"), QStringLiteral(")")},
    };
    QString out;
    for (int i = 0; i < name.size();) {
        bool matched = false;
        for (const auto& w : kWords) {
            if (name.midRef(i).startsWith(w.first)) {
                out += QLatin1Char(' ') + w.second + QLatin1Char(' ');
                i += w.first.size();
                matched = true;
                break;
            }
        }
        if (!matched) out += name[i++];
    }
    out = out.simplified();
    out.replace(QStringLiteral("( "), QStringLiteral("(")).replace(QStringLiteral(" )"), QStringLiteral(")"));
    out.replace(QRegularExpression(QStringLiteral("(\\S)\\(")), QStringLiteral("\\1 ("));
    // A name with words the table lacks is not shown half translated.
    for (const QChar c : out)
        if (c.unicode() >= 0x2E80) return QString();
    return out;
}

QString MapTypeText(int mapType) {
    const CMapTypeManager* types = CMapTypeManager::getInstance();
    const QString name = EnglishMapTypeName(types->SymbolizeMapTypeEx(mapType));
    const QString category = EnglishMapTypeName(types->SymbolizeMapTypeWithCategory(mapType));
    // The category adds to the name only where the name does not say it already ("labels").
    QString text = name;
    if (!category.isEmpty() && !name.contains(category, Qt::CaseInsensitive))
        text += (text.isEmpty() ? QString() : QStringLiteral(", ")) + category;
    return text.isEmpty() ? QString::number(mapType) : QStringLiteral("%1 %2").arg(mapType).arg(text);
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
    switch (taskState) {
    case TASK_STATE_INVALID: return QStringLiteral("invalid");
    case TASK_STATE_NONE: return QStringLiteral("none");
    case TASK_STATE_DOWNLOADING: return QStringLiteral("downloading");
    case TASK_STATE_PAUSED: return QStringLiteral("paused");
    case TASK_STATE_SCHEDULED: return QStringLiteral("scheduled");
    case TASK_STATE_ENDED: return QStringLiteral("ended");
    case TASK_STATE_COMPLETED: return QStringLiteral("completed");
    case TASK_STATE_JOINING: return QStringLiteral("joining");
    case TASK_STATE_FAILED: return QStringLiteral("failed");
    case TASK_STATE_REDOWNLOAD: return QStringLiteral("download again");
    case TASK_STATE_RECYCLED: return QStringLiteral("recycled");
    case TASK_STATE_EXPORT: return QStringLiteral("exporting");
    case TASK_STATE_WAIT_EXPORT: return QStringLiteral("waiting for export");
    default: return QString::number(taskState);
    }
}

QString FormatCount(long long n) { return QLocale::c().toString(n); }

int RunVtcore(const QStringList& args, QTextStream& out, QTextStream& err) {
    Io io{out, err};
    if (args.isEmpty() || args[0] == QLatin1String("help") || args[0] == QLatin1String("--help") ||
        args[0] == QLatin1String("-h")) {
        (args.isEmpty() ? err : out) << kUsage;
        return args.isEmpty() ? kExitError : kExitOk;
    }
    if (args[0] == QLatin1String("--version") || args[0] == QLatin1String("version")) {
        out << "vtcore " << VTCORE_VERSION_TEXT << "\n";
        out.flush();
        return kExitOk;
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
