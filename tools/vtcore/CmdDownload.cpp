#include "catalog/DataFactory.h"
#include "catalog/CustomMapManager.h"
#include "catalog/MapTypeManager.h"
#include "core/Tools.h"
#include "core/log/VtLog.h"
#include "storage/IdxFileDepository.h"
#include "tools/vtcore/Commands_p.h"
#include "tools/vtcore/DepositoryLock.h"
#include "tools/vtcore/Downloader.h"
#include "tools/vtcore/SourceRecord.h"
#include "tools/vtcore/TilePlan.h"
#include "tools/vtcore/TileSource.h"
#include "tools/vtcore/Vtcore.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <algorithm>
#include <climits>
#include <cmath>

namespace VtCli {
namespace {

struct SourceChoice {
    std::unique_ptr<ITileSource> source;
    bool custom = false;      // a custom map: it decides the map type and datum
    int customMapType = 0;
    Datum customDatum = Datum::Wgs84;
    bool customElevation = false;
};

bool MakeSource(const SourceOptions& parser, int mapType, SourceChoice& choice, QString& error) {
    const QString sourceText = parser.value(QStringLiteral("source"));
    HeaderList headers;
    for (const QString& h : parser.values(QStringLiteral("header"))) {
        QByteArray name;
        QByteArray value;
        if (!ParseHeader(h, name, value, error)) return false;
        headers.append({name, value});
    }
    if (parser.isSet(QStringLiteral("referer")))
        headers.append({QByteArrayLiteral("Referer"), parser.value(QStringLiteral("referer")).toUtf8()});
    if (parser.isSet(QStringLiteral("user-agent")))
        headers.append({QByteArrayLiteral("User-Agent"), parser.value(QStringLiteral("user-agent")).toUtf8()});
    if (sourceText == QLatin1String("grid")) {
        choice.source = MakeGridSource();
        return true;
    }
    if (sourceText == QLatin1String("baidu")) {
        int style = 0;
        if (!ParseInt(parser.value(QStringLiteral("baidu-style")), 0, 1000, style, error)) return false;
        choice.source = MakeBaiduSource(mapType, style, headers);
        if (!choice.source) error = QStringLiteral("map type %1 has no Baidu tile service (use --map-type 44, 45, "
                                                   "46, 47, 144, 145, 146, 205 or 206)")
                                        .arg(mapType);
        return choice.source != nullptr;
    }
    if (sourceText.startsWith(QLatin1String("custom:"))) {
        int key = 0;
        if (!ParseInt(sourceText.mid(7), 0, 9998, key, error)) return false;
        const QString file = parser.isSet(QStringLiteral("custom-maps")) ? parser.value(QStringLiteral("custom-maps"))
                                                                         : CCustomMapManager::DefaultFilePath();
        CustomMapSource custom;
        if (!MakeCustomMapSource(file, key, headers, custom, error)) return false;
        choice.source = std::move(custom.source);
        choice.custom = true;
        choice.customMapType = custom.mapType;
        choice.customDatum = custom.offsetKind == 2 ? Datum::Bd09 : custom.offsetKind == 1 ? Datum::Gcj02 : Datum::Wgs84;
        choice.customElevation = custom.elevation;
        return true;
    }
    // Anything else is a URL template: http, https or file URLs, or a plain path of tile files.
    const QString scheme = QUrl(sourceText).scheme().toLower();
    if (!sourceText.contains(QLatin1String("://")) ? sourceText.contains(QLatin1Char('{'))
                                             : (scheme == QLatin1String("http") || scheme == QLatin1String("https") ||
                                                scheme == QLatin1String("file"))) {
        const QStringList subdomains = parser.value(QStringLiteral("subdomains")).split(QLatin1Char(','), Qt::SkipEmptyParts);
        choice.source = MakeUrlTemplateSource(
            sourceText, CDatIndexConvert(mapType, EXTENT{0, 0, 0, 0}).GetTileModel() == TILE_MODEL_GEOGRAPHIC, headers,
            subdomains, error);
        return choice.source != nullptr;
    }
    error = QStringLiteral("unknown source '%1' (grid, baidu, custom:<key>, or a tile URL template such as "
                           "https://host/{z}/{x}/{y}.png)")
                .arg(sourceText);
    return false;
}

QString ProgressLine(const DownloadCounts& c) {
    const long long done = c.present + c.stored + c.failed + c.absent + c.knownAbsent;
    const int percent = c.planned > 0 ? int(100.0 * double(done) / double(c.planned)) : 100;
    // What is left, at the mean size of the tiles this source has sent so far.
    const double meanBytes = c.stored > 0 ? double(c.bytes) / double(c.stored) : kTypicalTileBytes;
    const double leftMB = double(std::max(0LL, c.planned - done)) * meanBytes / (1024.0 * 1024.0);
    return QStringLiteral("%1/%2 tiles (%3%): %4 stored, %5 failed, %6 absent, %7 present, about %8 MB to go")
        .arg(done)
        .arg(c.planned)
        .arg(percent)
        .arg(c.stored)
        .arg(c.failed)
        .arg(c.absent + c.knownAbsent)
        .arg(c.present)
        .arg(leftMB, 0, 'f', 1);
}

QString ProgressBar(const DownloadCounts& c, double seconds) {
    constexpr int kWidth = 30;
    const long long done = c.present + c.stored + c.failed + c.absent + c.knownAbsent;
    const double f = c.planned > 0 ? double(done) / double(c.planned) : 1.0;
    const int filled = int(f * kWidth);
    const double rate = seconds > 0 ? double(c.stored + c.failed + c.absent) / seconds : 0.0;
    return QStringLiteral("\r[%1%2] %3% %4/%5 tiles, %6 failed, %7 tiles/s ")
        .arg(QString(filled, QLatin1Char('#')), QString(kWidth - filled, QLatin1Char('.')))
        .arg(int(f * 100))
        .arg(done)
        .arg(c.planned)
        .arg(c.failed)
        .arg(int(rate));
}

// The task row of a depository (by its index path); -1 when there is none.
int FindTaskRow(const QString& idxPath) {
    for (const DownloadTask& t : DataFactory::getTaskList())
        if (QDir::cleanPath(QFileInfo(t.path).absoluteFilePath()) == idxPath) return t.ID;
    return -1;
}

// The library's log file for one command; closed again at the end so that a later command in the
// same process (tests) does not write into it.
struct LogSession {
    bool open = false;
    explicit LogSession(const QString& path) { open = InitVtLogFile(QFile::encodeName(path).constData()); }
    ~LogSession() {
        if (open) VtCloseLog();
    }
    LogSession(const LogSession&) = delete;
    LogSession& operator=(const LogSession&) = delete;
};

bool SameExtent(const EXTENT& a, const EXTENT& b) {
    // The header keeps doubles exactly; a region re-derived from the same options matches to the bit,
    // but text round trips of the user's numbers may differ in the last digits.
    return std::fabs(a.minx - b.minx) < 1e-9 && std::fabs(a.miny - b.miny) < 1e-9 &&
           std::fabs(a.maxx - b.maxx) < 1e-9 && std::fabs(a.maxy - b.maxy) < 1e-9;
}

// An index cut short (a download stopped while the index was filled, or a damaged copy) ends before
// its last slots, which then read as empty slots without a map ID: tiles written into them would be
// found by nobody that checks the ID. Writes those slots whole, the cut slot included: map ID, state
// "empty" on the selected levels (to be downloaded, as before) and "skipped" on the others. Returns
// the number of slots restored, or -1 when the index cannot be written.
long long RestoreIndexTail(CIdxFileDepository& dep, const QString& idxPath) {
    constexpr long long kSlot = CIdxFileDepository::kSlotSize;
    const long long total = dep.GetMaxIndex();
    const long long size = QFileInfo(idxPath).size();
    if (size >= total * kSlot) return 0;
    const std::vector<int> levels = dep.GetLevelList();
    const long long first = size / kSlot + 1;
    QFile file(idxPath);
    if (!file.open(QIODevice::ReadWrite) || !file.seek((first - 1) * kSlot)) return -1;
    QByteArray batch;
    auto putLE = [&batch](unsigned long long v, int bytes) {
        for (int b = 0; b < bytes; ++b) batch.append(static_cast<char>((v >> (8 * b)) & 0xFF));
    };
    for (long long slot = first; slot <= total; ++slot) {
        long long mapId = 0;
        int level = 0;
        if (!dep.ConvertDatIndexToMapIndex(mapId, level, slot)) return -1;
        const bool selected = std::find(levels.begin(), levels.end(), level) != levels.end();
        putLE(static_cast<unsigned long long>(mapId), 8);
        putLE(selected ? BLOCK_EMPTY : BLOCK_SKIPPED_LEVEL, 8);
        putLE(0, 4);
        if (batch.size() >= (1 << 20) || slot == total) {
            if (file.write(batch) != batch.size()) return -1;
            batch.clear();
        }
    }
    return file.flush() ? total - first + 1 : -1;
}

}  // namespace

int CmdDownload(const QStringList& args, Io& io) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Downloads a region's tiles into a depository (<name>.idx + <name>.dat) and keeps a task row in the "
        "task database. Run again on the same depository to resume; the region may then be left out."));
    parser.addPositionalArgument(QStringLiteral("depository"), QStringLiteral("Index file (.idx added when missing)."));
    AddRegionOptions(parser);
    parser.addOption({QStringLiteral("map-type"), QStringLiteral("Map type id (default 602, custom Web Mercator)."),
                      QStringLiteral("id")});
    parser.addOption({QStringLiteral("levels"), QStringLiteral("One-based levels: 12, 1-12 or 3,5,7-9."),
                      QStringLiteral("list")});
    parser.addOption({QStringLiteral("source"),
                      QStringLiteral("Tile source: grid (default, drawn locally), a URL template "
                                     "(https://host/{z}/{x}/{y}.png, file:///dir/{z}/{x}/{y}.png or a path; zero-based "
                                     "zoom, column, row from the north; {-y} the row from the south (TMS), {q} or "
                                     "{quadkey} the quadkey, {s} a subdomain), baidu (Baidu map types), or "
                                     "custom:<key> (a custom map of MyMap.bin)."),
                      QStringLiteral("source"), QStringLiteral("grid")});
    parser.addOption({QStringLiteral("subdomains"),
                      QStringLiteral("Values of {s} in the URL template, comma-separated (default a,b,c)."),
                      QStringLiteral("list")});
    parser.addOption({QStringLiteral("source-change"),
                      QStringLiteral("Resume from another --source than the one the depository was downloaded from.")});
    parser.addOption({QStringLiteral("custom-maps"),
                      QStringLiteral("Custom map catalogue for custom:<key> (default: MyMap.bin of the data folder)."),
                      QStringLiteral("file")});
    parser.addOption({QStringLiteral("baidu-style"), QStringLiteral("Street-map style of Baidu map type 47 (0..15)."),
                      QStringLiteral("n"), QStringLiteral("0")});
    parser.addOption({QStringLiteral("threads"), QStringLiteral("Concurrent requests (default 8)."),
                      QStringLiteral("n"), QStringLiteral("8")});
    parser.addOption({QStringLiteral("retries"), QStringLiteral("Further attempts of a failed tile (default 3)."),
                      QStringLiteral("n"), QStringLiteral("3")});
    parser.addOption({QStringLiteral("backoff"), QStringLiteral("Delay before the first retry, doubled after each (ms, default 250)."),
                      QStringLiteral("ms"), QStringLiteral("250")});
    parser.addOption({QStringLiteral("rate"), QStringLiteral("At most this many requests a second (default: no limit)."),
                      QStringLiteral("n"), QStringLiteral("0")});
    parser.addOption({QStringLiteral("timeout"), QStringLiteral("Time allowed for one request (ms, default 15000)."),
                      QStringLiteral("ms"), QStringLiteral("15000")});
    parser.addOption({QStringLiteral("header"), QStringLiteral("Extra request header \"Name: value\" (repeatable)."),
                      QStringLiteral("header")});
    parser.addOption({QStringLiteral("referer"), QStringLiteral("Referer header."), QStringLiteral("url")});
    parser.addOption({QStringLiteral("user-agent"), QStringLiteral("User-Agent header."), QStringLiteral("text")});
    parser.addOption({QStringLiteral("name"), QStringLiteral("Task name (default: the depository's file name)."),
                      QStringLiteral("name")});
    parser.addOption({QStringLiteral("db-dir"),
                      QStringLiteral("Folder of the task database task.db (default: the depository's folder)."),
                      QStringLiteral("dir")});
    parser.addOption({QStringLiteral("overwrite"), QStringLiteral("Start again: replace an existing depository.")});
    parser.addOption({QStringLiteral("retry-absent"),
                      QStringLiteral("Ask again for tiles an earlier run found absent at the source (404, 410, empty).")});
    parser.addOption({QStringLiteral("log"),
                      QStringLiteral("Log file (default: <depository>.log beside the index file)."), QStringLiteral("file")});
    parser.addOption({QStringLiteral("quiet"), QStringLiteral("No progress output.")});
    parser.addOption({QStringLiteral("progress-interval"),
                      QStringLiteral("Milliseconds between progress lines (default 2000; the bar: 200)."),
                      QStringLiteral("ms")});
    int code = kExitOk;
    if (!ParseCommand(parser, QStringLiteral("download"), args, io, code)) return code;
    StopFlag() = false;  // raised by an earlier command of this process, not by this one's user
    if (parser.positionalArguments().size() != 1)
        return Fail(io, QStringLiteral("download: give one depository (see vtcore download --help)"));

    QString error;
    DownloadOptions options;
    double rate = 0;
    if (!ParseInt(parser.value(QStringLiteral("threads")), 1, 256, options.threads, error) ||
        !ParseInt(parser.value(QStringLiteral("retries")), 0, 100, options.retries, error) ||
        !ParseInt(parser.value(QStringLiteral("backoff")), 0, 600000, options.backoffMs, error) ||
        !ParseInt(parser.value(QStringLiteral("timeout")), 1, 3600000, options.timeoutMs, error) ||
        !ParseDouble(parser.value(QStringLiteral("rate")), 0, 1e6, rate, error))
        return Fail(io, error);
    options.ratePerSecond = rate;
    options.retryAbsent = parser.isSet(QStringLiteral("retry-absent"));
    options.maxBackoffMs = std::max(options.backoffMs, 8000);
    const bool bar = !parser.isSet(QStringLiteral("quiet")) && StderrIsTerminal();
    int interval = bar ? 200 : 2000;
    if (parser.isSet(QStringLiteral("progress-interval")) &&
        !ParseInt(parser.value(QStringLiteral("progress-interval")), 10, 3600000, interval, error))
        return Fail(io, error);

    const QString idxPath = DepositoryPath(parser.positionalArguments().first());
    const std::string idx8 = DepositoryPath8(idxPath);
    if (idx8.empty()) return Fail(io, QStringLiteral("cannot use the path %1").arg(idxPath));
    const QString datPath = QFileInfo(idxPath).path() + QLatin1Char('/') + QFileInfo(idxPath).completeBaseName() +
                            QStringLiteral(".dat");

    // The task database lives beside the depository unless told otherwise.
    DataFactory::setApplicationDir(parser.isSet(QStringLiteral("db-dir")) ? parser.value(QStringLiteral("db-dir"))
                                                                         : QFileInfo(idxPath).path());
    QDir().mkpath(DataFactory::applicationDir());
    // One writer per depository, taken before looking at the files: two downloads into one
    // depository would append each other's tiles under the wrong slots.
    QDir().mkpath(QFileInfo(idxPath).path());
    CDepositoryLock lock;
    if (!lock.Acquire(idxPath, error)) return Fail(io, error);
    if (!CheckIndexFile(idxPath, error)) return Fail(io, error);
    const bool exists = QFileInfo::exists(idxPath) || QFileInfo::exists(datPath);
    const bool create = !exists || parser.isSet(QStringLiteral("overwrite"));

    CIdxFileDepository dep;
    dep.SetIndexFile(idx8);
    int mapType = kDefaultMapType;
    if (parser.isSet(QStringLiteral("map-type")) &&
        !ParseInt(parser.value(QStringLiteral("map-type")), INT_MIN, INT_MAX, mapType, error))
        return Fail(io, error);
    QList<int> levels;
    if (parser.isSet(QStringLiteral("levels")) &&
        !ParseLevels(parser.value(QStringLiteral("levels")), 1, kMaxDepositoryLevel, levels, error))
        return Fail(io, error);

    if (!create) {
        // The map type of an existing depository decides the source's tile scheme.
        const STRUCT_DOWNLOAD_TASK stored = CIdxFileDepository::ReadDatFileInfo(DepositoryPath8(datPath));
        if (stored.version == 0)
            return Fail(io, QStringLiteral("%1 is not a readable depository (use --overwrite to start again)")
                                .arg(idxPath));
        if (parser.isSet(QStringLiteral("map-type")) && mapType != stored.maptype)
            return Fail(io, QStringLiteral("the depository holds map type %1, not %2").arg(stored.maptype).arg(mapType));
        mapType = stored.maptype;
    }
    // A resumed depository fetches from the source it was started with; another one only on request.
    SourceRecord recorded;
    bool saveRecord = create;
    if (!create) {
        const bool haveRecord = LoadSourceRecord(idxPath, recorded, error);
        if (!haveRecord && !error.isEmpty()) return Fail(io, error);
        if (!haveRecord && !parser.isSet(QStringLiteral("source")))
            return Fail(io, QStringLiteral("%1 does not record where its tiles come from; give --source (grid for "
                                           "locally drawn tiles)")
                                .arg(idxPath));
        saveRecord = !haveRecord;
        QStringList changed;
        for (const QString& name : kSourceIdentityNames)
            if (haveRecord && parser.isSet(name) && recorded.options.value(name).value(0) != parser.value(name))
                changed << name;
        if (!changed.isEmpty()) {
            if (!parser.isSet(QStringLiteral("source-change")))
                return Fail(io, QStringLiteral("the depository was downloaded from %1; give --source-change to fetch "
                                               "the rest from %2")
                                    .arg(recorded.options.value(QStringLiteral("source")).value(0),
                                         SourceOptions(parser, SourceRecord()).value(QStringLiteral("source"))));
            recorded = SourceRecord();  // the new source starts without the old one's options
            saveRecord = true;
        }
        if (parser.isSet(QStringLiteral("header")) || parser.isSet(QStringLiteral("referer")) ||
            parser.isSet(QStringLiteral("user-agent")))
            saveRecord = true;
    }
    const SourceOptions sourceOptions(parser, recorded);
    for (const QString& name : recorded.withheldHeaders) {
        bool givenAgain = false;
        for (const QString& h : parser.values(QStringLiteral("header")))
            givenAgain = givenAgain || h.section(QLatin1Char(':'), 0, 0).trimmed().compare(name, Qt::CaseInsensitive) == 0;
        if (!givenAgain) io.err << "vtcore: note: the " << name << " header is never stored; give it again with --header\n";
    }
    // The source is checked before anything is written: a typo must not leave an empty depository.
    SourceChoice choice;
    if (!MakeSource(sourceOptions, mapType, choice, error)) return Fail(io, error);
    // The library's log from here on: what the depository, the task database and every failed tile
    // report. Records made earlier are kept and written then.
    const QString logPath = parser.isSet(QStringLiteral("log"))
                                ? QFileInfo(parser.value(QStringLiteral("log"))).absoluteFilePath()
                                : QFileInfo(idxPath).path() + QLatin1Char('/') + QFileInfo(idxPath).completeBaseName() +
                                      QStringLiteral(".log");
    LogSession log(logPath);
    if (!log.open) io.err << "vtcore: warning: cannot write the log " << logPath << "\n";
    VtLogInfo() << "[vtcore download] " << DepositoryPath8(idxPath) << " from "
                << VtGB(choice.source->Describe().toStdString());
    if (choice.custom && create && !parser.isSet(QStringLiteral("map-type"))) mapType = choice.customMapType;
    const Datum datum = choice.custom ? choice.customDatum : MapTypeDatum(mapType, -1);

    DownloadTask task;
    int taskId = -1;
    TilePlan plan;
    if (create) {
        if (!HasRegionOption(parser) || levels.isEmpty())
            return Fail(io, QStringLiteral("download: a new depository needs a region and --levels"));
        Region region;
        if (!RegionFromOptions(parser, datum, region, error)) return Fail(io, error);
        if (!MakeTilePlan(mapType, region, levels, plan, error, &StopFlag()))
            return StopFlag() ? Interrupted(io, QStringLiteral("nothing was written")) : Fail(io, error);
        if (plan.indexSlots > kMaxDepositorySlots)
            return Fail(io, QStringLiteral("the region needs an index of %1 slots (at most %2); choose fewer levels or "
                                           "a smaller region")
                                .arg(FormatCount(plan.indexSlots), FormatCount(kMaxDepositorySlots)));
        task.name = parser.isSet(QStringLiteral("name")) ? parser.value(QStringLiteral("name"))
                                                         : QFileInfo(idxPath).completeBaseName();
        task.path = idxPath;
        task.extent = region.extent;
        task.level = levels;
        task.maptype = mapType;
        task.threadcount = options.threads;
        task.rangetype = region.IsShaped() ? 1 : 0;
        task.rangepoints = region.polygons;
        task.bIsGoogleOffset = datum == Datum::Gcj02;
        task.createTm = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
        task.state = TASK_STATE_DOWNLOADING;
        // A shaped region's slots start outside it; the tiles that meet its polygons are then marked.
        if (!dep.Create(task, true, nullptr, region.IsShaped() ? BLOCK_SKIPPED_LEVEL : BLOCK_WAITING))
            return Fail(io, QStringLiteral("cannot create the depository %1").arg(idxPath));
        if (!dep.Open(false)) return Fail(io, QStringLiteral("cannot open the depository %1").arg(idxPath));
        if (region.IsShaped()) {
            const CDatIndexConvert& conv = dep.GetIndexConverter();
            bool marked = true;
            bool whole = true;
            for (int level : levels)
                whole = whole && ForEachRegionTile(mapType, region, level, [&](const CTileKey& key) {
                    marked = dep.SetFileIndexStatus(conv.ConvertToDatIndex(key), BLOCK_WAITING, false);
                    return marked;
                }, &StopFlag());
            dep.FlushIdxFile();
            if (!whole) {
                // Resumed, a part-marked depository would pass for the whole region: it goes.
                dep.Close();
                QFile::remove(idxPath);
                QFile::remove(datPath);
                return Interrupted(io, QStringLiteral("the unfinished depository was removed"));
            }
            if (!marked) return Fail(io, QStringLiteral("cannot mark the region's tiles in %1").arg(idxPath));
        }
        // A replaced depository's old row goes too, so the database holds one row per depository.
        for (int old = FindTaskRow(idxPath); old >= 0; old = FindTaskRow(idxPath))
            if (!DataFactory::deleteTask(old)) break;
        DownloadTask row = task;
        if (task.bIsGoogleOffset) row.threadcount += 1000;  // how the task table records offset tiles
        if (!DataFactory::addNewTask(row, plan.totalTiles, &taskId))
            io.err << "vtcore: warning: no task row written to " << DataFactory::applicationDir() << "/task.db\n";
        else if (region.IsShaped())
            DataFactory::insertPolygonData(taskId, EncodeTaskPolygons(region.polygons));
        io.out << "depository " << idxPath << " (new)\n";
    } else {
        if (!dep.Open(false)) return Fail(io, QStringLiteral("cannot open the depository %1").arg(idxPath));
        static_cast<STRUCT_DOWNLOAD_TASK&>(task) = dep.GetDatFileInfo();
        if (!levels.isEmpty() && levels != task.level)
            return Fail(io, QStringLiteral("the depository holds levels %1, not %2 (use --overwrite to start again)")
                                .arg(FormatLevels(task.level), FormatLevels(levels)));
        if (HasRegionOption(parser)) {
            Region region;
            if (!RegionFromOptions(parser, datum, region, error)) return Fail(io, error);
            if (!SameExtent(region.extent, task.extent))
                return Fail(io, QStringLiteral("the depository holds another region (use --overwrite to start again)"));
        }
        Region stored;
        stored.extent = task.extent;
        if (!MakeTilePlan(mapType, stored, task.level, plan, error)) return Fail(io, error);
        taskId = FindTaskRow(idxPath);
        if (taskId < 0) {
            DownloadTask row;
            static_cast<STRUCT_DOWNLOAD_TASK&>(row) = task;
            row.threadcount = options.threads + (task.bIsGoogleOffset ? 1000 : 0);
            row.createTm = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
            DataFactory::addNewTask(row, plan.totalTiles, &taskId);
        }
        io.out << "depository " << idxPath << " (resumed)\n";
        const long long restored = RestoreIndexTail(dep, idxPath);
        if (restored < 0) return Fail(io, QStringLiteral("cannot restore the cut index of %1").arg(idxPath));
        if (restored > 0) {
            io.out << "index was cut short: " << FormatCount(restored) << " slots restored for download\n";
            VtLogWarn() << "[vtcore download] " << DepositoryPath8(idxPath) << ": index cut short, " << static_cast<unsigned long long>(restored)
                        << " slots restored";
        }
    }

    if (saveRecord && !SaveSourceRecord(idxPath, sourceOptions.ToRecord(), error)) return Fail(io, error);
    options.invalidImageSize = CMapTypeManager::getInstance()->getMaptypeInvalidImgeSize(mapType);
    options.acceptAnyBody = Tools::isDem(mapType, -1) || choice.customElevation;

    io.out << "task       " << (taskId >= 0 ? QString::number(taskId) : QStringLiteral("-")) << " in "
           << QDir::toNativeSeparators(DataFactory::applicationDir() + QStringLiteral("/task.db")) << "\n";
    io.out << "map type   " << MapTypeText(mapType) << " (" << TileModelText(plan.tileModel) << " tiles)\n";
    io.out << "source     " << choice.source->Describe() << "\n";
    io.out << "levels     " << FormatLevels(task.level) << "\n";
    io.out.flush();

    if (taskId >= 0) DataFactory::alterTaskState(taskId, TASK_STATE_DOWNLOADING);
    QElapsedTimer clock;
    clock.start();
    qint64 lastSaved = 0;
    CTileDownloader downloader(dep, *choice.source, options);
    const bool quiet = parser.isSet(QStringLiteral("quiet"));
    const DownloadEnd end = downloader.Run(
        StopFlag(),
        [&](const DownloadCounts& c) {
            if (!quiet) {
                if (bar) io.err << ProgressBar(c, clock.elapsed() / 1000.0);
                else io.err << "progress " << ProgressLine(c) << "\n";
                io.err.flush();
            }
            if (taskId >= 0 && clock.elapsed() - lastSaved >= 2000) {
                lastSaved = clock.elapsed();
                DataFactory::saveProgress(taskId, QStringLiteral("%1/%2").arg(c.present + c.stored).arg(c.planned));
            }
        },
        interval);
    if (bar && !quiet) {
        io.err << "\n";  // the bar's last state stays on its own line
        io.err.flush();
    }
    dep.FlushIdxFile();
    dep.FlushDATFile();
    dep.Close();

    const DownloadCounts c = downloader.Counts();
    const long long have = c.present + c.stored;
    ENUM_TASK_STATE state = TASK_STATE_COMPLETED;
    int exitCode = kExitOk;
    if (end == DownloadEnd::WriteFailed) {
        state = TASK_STATE_FAILED;
        exitCode = Fail(io, downloader.LastError());
    } else if (end == DownloadEnd::Interrupted) {
        state = TASK_STATE_PAUSED;
        exitCode = kExitInterrupted;
    } else if (have + c.absent + c.knownAbsent < c.planned) {
        // Tiles the source does not have are an answer, not a failure.
        state = TASK_STATE_FAILED;
        exitCode = kExitIncomplete;
    }
    if (taskId >= 0) {
        DataFactory::saveProgress(taskId, QStringLiteral("%1/%2").arg(have).arg(c.planned));
        DataFactory::alterTaskState(taskId, state);
    }
    io.out << "tiles      " << FormatCount(have) << " of " << FormatCount(c.planned) << " in the depository ("
           << FormatCount(c.stored) << " fetched now, " << FormatCount(c.present) << " before)\n";
    if (c.absent + c.knownAbsent > 0)
        io.out << "absent     " << FormatCount(c.absent + c.knownAbsent) << " absent at the source ("
               << FormatCount(c.absent) << " found now, " << FormatCount(c.knownAbsent)
               << " before; not asked for again without --retry-absent)\n";
    if (c.failed > 0) {
        io.out << "failed     " << FormatCount(c.failed) << " failed; run again to retry them\n";
        for (const FailureGroup& g : downloader.Failures())
            io.out << QString::asprintf("  %10s  ", qPrintable(FormatCount(g.count))) << g.reason << ", e.g. "
                   << g.exampleUrl << "\n";
    }
    if (c.unreadable > 0) io.out << "unreadable " << FormatCount(c.unreadable) << " slots (run vtcore verify)\n";
    if (end == DownloadEnd::Interrupted) io.out << "stopped    interrupted; run the same command again to resume\n";
    if (!logPath.isEmpty()) io.out << "log        " << QDir::toNativeSeparators(logPath) << "\n";
    io.out << "state      " << StateText(state) << QString::asprintf(" (%.1f s)\n", clock.elapsed() / 1000.0);
    VtLogInfo() << "[vtcore download] "
                << VtGB(QStringLiteral("%1: %2 of %3 tiles, %4 fetched now, %5 absent, %6 failed")
                       .arg(StateText(state))
                       .arg(have)
                       .arg(c.planned)
                       .arg(c.stored)
                       .arg(c.absent + c.knownAbsent)
                       .arg(c.failed)
                       .toStdString());
    return exitCode;
}

}  // namespace VtCli
