// The task tables: listing, inserting, updating and the single-column operations.
#include "catalog/DataFactory.h"

#include "catalog/PolygonBlob_p.h"

#include <QMutexLocker>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <utility>

namespace {

constexpr int kCurrentTaskDBVersion = 10;
constexpr int kOffsetThreadBase = 1000;      // stored thread count above this: offset tiles
constexpr double kBytesPerTile = 196608.0;   // 256 x 256 x 3, for the size estimate

using Binding = std::pair<const char*, QVariant>;

// Runs one statement whose values are all bound; false when the database is closed or it fails.
bool execBound(QSqlDatabase& db, const QString& sql, std::initializer_list<Binding> values) {
    if (!db.isOpen()) return false;
    QSqlQuery query(db);
    if (!query.prepare(sql)) return false;
    for (const Binding& v : values) query.bindValue(QString::fromLatin1(v.first), v.second);
    return query.exec();
}

// The values keep the forms the statements have always written, so that SQLite stores the same
// numbers: extents rounded to 16 decimals, the seven parameters, nZYJX and the spacing to
// QString::arg's 6 significant digits.
QVariant fixed16(double value) { return QString::number(value, 'f', 16).toDouble(); }
QVariant sixDigits(double value) { return QString("%1").arg(value).toDouble(); }
QVariant sixDigitsText(double value) { return QString("%1").arg(value); }
QVariant flag(bool value) { return value ? 1 : 0; }

QString joinLevels(const QList<int>& levels) {
    QStringList parts;
    for (int level : levels) parts.append(QString::number(level));
    return parts.join(',');
}

// "3,,5" -> {3, 5}: empty parts skipped, sorted ascending.
QList<int> parseLevels(const QString& text) {
    QList<int> levels;
    for (const QString& part : text.split(',', Qt::SkipEmptyParts)) levels.append(part.toInt());
    std::sort(levels.begin(), levels.end());
    return levels;
}

// Export coordinate codes of version-0 databases in today's numbering.
int convertVersion0ExportCoord(int code) {
    static constexpr int kNewCode[] = {3, 4, 16, 14, 0, 1, 2, 5};
    return code >= 0 && code < 8 ? kNewCode[code] : code;
}

// One result row read by column name; a column the table lacks reads as NULL.
class Row {
public:
    Row(const QSqlQuery& query, const QSqlRecord& record) : m_query(query), m_record(record) {}
    QVariant operator()(const char* column) const {
        const int index = m_record.indexOf(QString::fromLatin1(column));
        return index < 0 ? QVariant() : m_query.value(index);
    }
    int intOr(const char* column, int whenNull) const {
        const QVariant v = (*this)(column);
        return v.isNull() ? whenNull : v.toInt();
    }

private:
    const QSqlQuery& m_query;
    const QSqlRecord& m_record;
};

DownloadTask readTask(const Row& row, int version) {
    DownloadTask task;
    task.ID = row("ID").toInt();
    task.state = row("state").toInt();
    task.savedState = task.state;
    task.path = row("path").toString();
    task.name = row("name").toString();
    task.extent = {row("minx").toDouble(), row("miny").toDouble(), row("maxx").toDouble(), row("maxy").toDouble()};
    task.buyState = row("buyState").toInt();
    task.level = parseLevels(row("level").toString());
    task.count = static_cast<long long>(row("count").toDouble());
    const int threads = row("threadcount").toInt();
    task.bIsGoogleOffset = threads > kOffsetThreadBase;
    task.threadcount = task.bIsGoogleOffset ? threads - kOffsetThreadBase : threads;
    task.maptype = row("maptype").toInt();
    task.geDate = row("geDate").toInt();
    task.rangetype = row("rangetype").toInt();
    task.IsDownFinisedExport = row("IsDownFinisedExport").toBool();
    task.IsClip = row("IsClip").toBool();
    task.IsDownFinishedOpenFile = row("IsDownFinishedOpenFile").toBool();
    const int coord = row("ExportCoord").toInt();
    task.ExportCoord = version == 0 ? convertVersion0ExportCoord(coord) : coord;
    task.ExportType = row("ExportType").toInt();
    task.ExportImgType = row("ExportImgType").toInt();
    task.strExportSavePath = row("strExportSavePath").toString();
    task.DownImgeType = row("DownImgeType").toInt();
    task.exportExtent = {row("ExportMinx").toDouble(), row("ExportMiny").toDouble(), row("ExportMaxx").toDouble(),
                         row("ExportMaxy").toDouble()};
    task.levelExportList = parseLevels(row("levelExportList").toString());
    if (task.levelExportList.isEmpty()) task.levelExportList = task.level;
    const QByteArray polygons = row("rangepoints").toByteArray();
    if (!polygons.isEmpty()) task.rangepoints = PolygonBlob::decodeTaskPolygons(polygons);
    task.CustomRowCount = row("CustomRowCount").toInt();
    task.CustomColCount = row("CustomColCount").toInt();
    task.TitleCutomIS16 = row("TitleCutomIS16").toBool();
    task.TitleCutomBigFont = row("TitleCutomBigFont").toBool();
    task.strTitleCutom = row("strTitleCutom").toString();
    task.bIsOverLabel = row("bIsOverLabel").toBool();
    task.nDuDai = row("nDuDai").toInt();
    // The column is declared int: whole degrees, the fraction dropped.
    task.nZYJX = std::trunc(row("nZYJX").toDouble());
    static const char* const kSeven[] = {"dSevenData1", "dSevenData2", "dSevenData3", "dSevenData4",
                                         "dSevenData5", "dSevenData6", "dSevenData7"};
    for (int i = 0; i < 7; ++i) task.dSevenData[i] = row(kSeven[i]).toDouble();
    task.bIsSetExportParam = row("bIsSetExportParam").toBool();
    task.bIsOverTagge = row("bIsOverTagge").toBool();
    task.bIsCreateCoordFile = row("bIsCreateCoordFile").toBool();
    static const char* const kColour[] = {"nBackGroundColorR", "nBackGroundColorG", "nBackGroundColorB",
                                          "nBackGroundColorA"};
    for (int i = 0; i < 4; ++i) task.nBackGroundColor[i] = row.intOr(kColour[i], 255);
    task.bIsTransParent = row("bIsTransParent").toBool();  // NULL: false
    task.nPointState = row.intOr("nPointState", 2);
    task.TitleCutomIsSix = row("TitleCutomIsSix").toBool();
    task.nDemCorrect = row("nDemCorrect").toInt();
    task.bIsSheetDown = row("bIsSheetDown").toBool();
    task.createTm = row("createTm").toString();
    task.resampleAlg = row.intOr("resampleAlg", 0);
    task.nExportEPSG = row.intOr("nExportEPSG", -1);
    task.strExportCoordName = row("strExportCoordName").toString();
    task.upExportPath = row("upExportPath").toString();
    task.ExportBySpace = row("ExportBySpace").toInt();
    task.exportSpace = QPointF(row("ExportSpaceX").toDouble(), row("ExportSpaceY").toDouble());
    task.MapItemType = row("MapItemType").toInt();
    return task;
}

}  // namespace

QList<DownloadTask> DataFactory::getTaskList() {
    QMutexLocker locker(&mutex);
    QList<DownloadTask> tasks;
    QSqlDatabase& db = getTaskDB();
    if (!db.isOpen()) return tasks;
    {
        QSqlQuery query(db);
        if (!query.exec("select * from task order by [id]")) return tasks;
        const QSqlRecord record = query.record();
        const Row row(query, record);
        while (query.next()) tasks.append(readTask(row, m_nTaskDBVersion));
    }

    if (m_nTaskDBVersion != kCurrentTaskDBVersion) {
        // The codes were converted while reading; store them so it happens once per database.
        db.transaction();
        for (const DownloadTask& task : tasks) alterTaskCoordType(task.ID, task.ExportCoord);
        db.commit();
        execBound(db, "update taskversion set [versionid] = :versionid where [id] = 1",
                  {{":versionid", kCurrentTaskDBVersion}});
        m_nTaskDBVersion = kCurrentTaskDBVersion;
    }
    return tasks;
}

bool DataFactory::alterTaskCoordType(int id, int code) {
    return execBound(taskdb, "update task set [ExportCoord] = :ExportCoord where [id] = :id",
                     {{":ExportCoord", code}, {":id", id}});
}

bool DataFactory::addNewTask(DownloadTask& task, long long count, int* newId) {
    QMutexLocker locker(&mutex);
    QSqlDatabase& db = getTaskDB();
    if (!db.isOpen()) return false;

    static const char* const kColumns[] = {
        "state", "name", "path", "count", "minx", "miny", "maxx", "maxy", "size", "level", "maptype",
        "threadcount", "rangetype", "geDate", "IsDownFinisedExport", "IsClip", "IsDownFinishedOpenFile",
        "ExportCoord", "ExportType", "ExportImgType", "strExportSavePath", "levelExportList", "DownImgeType",
        "ExportMinx", "ExportMiny", "ExportMaxx", "ExportMaxy", "buyState", "CustomRowCount", "CustomColCount",
        "TitleCutomIS16", "TitleCutomBigFont", "strTitleCutom", "bIsOverLabel", "nDuDai", "nZYJX",
        "dSevenData1", "dSevenData2", "dSevenData3", "dSevenData4", "dSevenData5", "dSevenData6", "dSevenData7",
        "bIsSetExportParam", "bIsOverTagge", "bIsCreateCoordFile", "nBackGroundColorR", "nBackGroundColorG",
        "nBackGroundColorB", "nBackGroundColorA", "bIsTransParent", "nPointState", "nDemCorrect",
        "TitleCutomIsSix", "bIsSheetDown", "createTm", "resampleAlg", "nExportEPSG", "strExportCoordName",
        "ExportBySpace", "ExportSpaceX", "ExportSpaceY", "MapItemType"};
    const QString size = QString::number(count * kBytesPerTile / 1048576.0, 'f', 2) + " MB";
    const QVariant values[] = {
        TASK_STATE_ENDED,  // every new row starts ended, whatever the record says
        task.name, task.path, count,
        fixed16(task.extent.minx), fixed16(task.extent.miny), fixed16(task.extent.maxx), fixed16(task.extent.maxy),
        size, joinLevels(task.level), task.maptype,
        task.threadcount,  // as held: the caller adds 1000 for offset tiles
        task.rangetype, task.geDate, flag(task.IsDownFinisedExport), flag(task.IsClip),
        flag(task.IsDownFinishedOpenFile), task.ExportCoord, task.ExportType, task.ExportImgType,
        task.strExportSavePath, joinLevels(task.levelExportList), task.DownImgeType,
        fixed16(task.exportExtent.minx), fixed16(task.exportExtent.miny), fixed16(task.exportExtent.maxx),
        fixed16(task.exportExtent.maxy), task.buyState, task.CustomRowCount, task.CustomColCount,
        flag(task.TitleCutomIS16), flag(task.TitleCutomBigFont), task.strTitleCutom, flag(task.bIsOverLabel),
        task.nDuDai, sixDigits(task.nZYJX),
        sixDigits(task.dSevenData[0]), sixDigits(task.dSevenData[1]), sixDigits(task.dSevenData[2]),
        sixDigits(task.dSevenData[3]), sixDigits(task.dSevenData[4]), sixDigits(task.dSevenData[5]),
        sixDigits(task.dSevenData[6]),
        flag(task.bIsSetExportParam), flag(task.bIsOverTagge), flag(task.bIsCreateCoordFile),
        task.nBackGroundColor[0], task.nBackGroundColor[1], task.nBackGroundColor[2], task.nBackGroundColor[3],
        flag(task.bIsTransParent), task.nPointState, task.nDemCorrect, flag(task.TitleCutomIsSix),
        flag(task.bIsSheetDown), task.createTm, task.resampleAlg, task.nExportEPSG, task.strExportCoordName,
        task.ExportBySpace, sixDigitsText(task.exportSpace.x()), sixDigitsText(task.exportSpace.y()),
        task.MapItemType};
    static_assert(sizeof kColumns / sizeof kColumns[0] == 63, "63 columns are inserted");
    static_assert(sizeof values / sizeof values[0] == 63, "one value per inserted column");

    QStringList columns;
    QStringList placeholders;
    for (const char* column : kColumns) {
        columns.append(QString("[%1]").arg(column));
        placeholders.append(QString(":%1").arg(column));
    }
    QSqlQuery query(db);
    if (!query.prepare(QString("insert into task (%1) values (%2)").arg(columns.join(", "), placeholders.join(", "))))
        return false;
    for (int i = 0; i < 63; ++i) query.bindValue(placeholders.at(i), values[i]);
    if (!query.exec()) return false;
    if (newId == nullptr) return true;

    QSqlQuery maxId(db);
    if (!maxId.exec("select max([id]) as maxid from task")) return false;
    if (maxId.next()) *newId = maxId.value(0).toInt();
    return true;
}

bool DataFactory::addNoviceNewTask(DownloadTask&, long long, int*) { return false; }

bool DataFactory::alterTask(DownloadTask& task) {
    QMutexLocker locker(&mutex);
    QSqlDatabase& db = getTaskDB();
    return execBound(
        db,
        "update task set [buyState] = :buyState, [CustomRowCount] = :CustomRowCount, "
        "[CustomColCount] = :CustomColCount, [TitleCutomIS16] = :TitleCutomIS16, "
        "[TitleCutomBigFont] = :TitleCutomBigFont, [nDuDai] = :nDuDai, [nZYJX] = :nZYJX, "
        "[strExportSavePath] = :strExportSavePath, [levelExportList] = :levelExportList, "
        "[ExportMinx] = :ExportMinx, [ExportMiny] = :ExportMiny, [ExportMaxx] = :ExportMaxx, "
        "[ExportMaxy] = :ExportMaxy, [ExportCoord] = :ExportCoord, [ExportType] = :ExportType, "
        "[ExportImgType] = :ExportImgType, [dSevenData1] = :dSevenData1, [dSevenData2] = :dSevenData2, "
        "[dSevenData3] = :dSevenData3, [dSevenData4] = :dSevenData4, [dSevenData5] = :dSevenData5, "
        "[dSevenData6] = :dSevenData6, [dSevenData7] = :dSevenData7, [strTitleCutom] = :strTitleCutom, "
        "[bIsSetExportParam] = :bIsSetExportParam, [bIsOverTagge] = :bIsOverTagge, "
        "[bIsCreateCoordFile] = :bIsCreateCoordFile, [nBackGroundColorR] = :nBackGroundColorR, "
        "[nBackGroundColorG] = :nBackGroundColorG, [nBackGroundColorB] = :nBackGroundColorB, "
        "[nBackGroundColorA] = :nBackGroundColorA, [bIsTransParent] = :bIsTransParent, [IsClip] = :IsClip, "
        "[nPointState] = :nPointState, [IsDownFinishedOpenFile] = :IsDownFinishedOpenFile, "
        "[nDemCorrect] = :nDemCorrect, [TitleCutomIsSix] = :TitleCutomIsSix, [bIsSheetDown] = :bIsSheetDown, "
        "[createTm] = :createTm, [resampleAlg] = :resampleAlg, [nExportEPSG] = :nExportEPSG, "
        "[strExportCoordName] = :strExportCoordName, [ExportBySpace] = :ExportBySpace, "
        "[ExportSpaceX] = :ExportSpaceX, [ExportSpaceY] = :ExportSpaceY, [MapItemType] = :MapItemType "
        "where [id] = :id",
        {{":buyState", task.buyState},
         {":CustomRowCount", task.CustomRowCount},
         {":CustomColCount", task.CustomColCount},
         {":TitleCutomIS16", flag(task.TitleCutomIS16)},
         {":TitleCutomBigFont", flag(task.TitleCutomBigFont)},
         {":nDuDai", task.nDuDai},
         {":nZYJX", sixDigits(task.nZYJX)},
         {":strExportSavePath", task.strExportSavePath},
         {":levelExportList", joinLevels(task.levelExportList)},
         {":ExportMinx", fixed16(task.exportExtent.minx)},
         {":ExportMiny", fixed16(task.exportExtent.miny)},
         {":ExportMaxx", fixed16(task.exportExtent.maxx)},
         {":ExportMaxy", fixed16(task.exportExtent.maxy)},
         {":ExportCoord", task.ExportCoord},
         {":ExportType", task.ExportType},
         {":ExportImgType", task.ExportImgType},
         {":dSevenData1", sixDigits(task.dSevenData[0])},
         {":dSevenData2", sixDigits(task.dSevenData[1])},
         {":dSevenData3", sixDigits(task.dSevenData[2])},
         {":dSevenData4", sixDigits(task.dSevenData[3])},
         {":dSevenData5", sixDigits(task.dSevenData[4])},
         {":dSevenData6", sixDigits(task.dSevenData[5])},
         {":dSevenData7", sixDigits(task.dSevenData[6])},
         {":strTitleCutom", task.strTitleCutom},
         {":bIsSetExportParam", flag(task.bIsSetExportParam)},
         {":bIsOverTagge", flag(task.bIsOverTagge)},
         {":bIsCreateCoordFile", flag(task.bIsCreateCoordFile)},
         {":nBackGroundColorR", task.nBackGroundColor[0]},
         {":nBackGroundColorG", task.nBackGroundColor[1]},
         {":nBackGroundColorB", task.nBackGroundColor[2]},
         {":nBackGroundColorA", task.nBackGroundColor[3]},
         {":bIsTransParent", flag(task.bIsTransParent)},
         {":IsClip", flag(task.IsClip)},
         {":nPointState", task.nPointState},
         {":IsDownFinishedOpenFile", flag(task.IsDownFinishedOpenFile)},
         {":nDemCorrect", task.nDemCorrect},
         {":TitleCutomIsSix", flag(task.TitleCutomIsSix)},
         {":bIsSheetDown", flag(task.bIsSheetDown)},
         {":createTm", task.createTm},
         {":resampleAlg", task.resampleAlg},
         {":nExportEPSG", task.nExportEPSG},
         {":strExportCoordName", task.strExportCoordName},
         // These three were written quoted; SQLite's column affinity stores the same values.
         {":ExportBySpace", task.ExportBySpace},
         {":ExportSpaceX", sixDigitsText(task.exportSpace.x())},
         {":ExportSpaceY", sixDigitsText(task.exportSpace.y())},
         {":MapItemType", task.MapItemType},
         {":id", task.ID}});
}

bool DataFactory::deleteTask(int id) {
    QMutexLocker locker(&mutex);
    return execBound(getTaskDB(), "delete from task where [id] = :id", {{":id", id}});
}

bool DataFactory::deleteNoviceTask(int id) {
    QMutexLocker locker(&mutex);
    return execBound(getTaskDB(), "delete from novicetask where [id] = :id", {{":id", id}});
}

bool DataFactory::updateTaskState(int id, int state) {
    QMutexLocker locker(&mutex);
    return execBound(getTaskDB(), "update task set state = :state where id = :id;",
                     {{":state", state}, {":id", id}});
}

bool DataFactory::updateNoviceTaskState(int id, int state) {
    QMutexLocker locker(&mutex);
    return execBound(getTaskDB(), "update novicetask set state = :state where id = :id;",
                     {{":state", state}, {":id", id}});
}

bool DataFactory::updateupExportPath(int id, QString path) {
    QMutexLocker locker(&mutex);
    return execBound(getTaskDB(), "update task set upExportPath = :upExportPath where id = :id;",
                     {{":upExportPath", path}, {":id", id}});
}

bool DataFactory::saveUpExportPath(int id, QString path) {
    QMutexLocker locker(&mutex);
    return execBound(getTaskDB(), "update task set [upExportPath] = :upExportPath where [id] = :id",
                     {{":upExportPath", path}, {":id", id}});
}

bool DataFactory::insertPolygonData(int id, const QByteArray& data) {
    QMutexLocker locker(&mutex);
    return execBound(getTaskDB(), "update [task] set [rangepoints] = :PloygonData where [id] = :id",
                     {{":PloygonData", data}, {":id", id}});
}

bool DataFactory::insertNovicePolygonData(int id, const QByteArray& data) {
    QMutexLocker locker(&mutex);
    return execBound(getTaskDB(), "update [novicetask] set [rangepoints] = :PloygonData where [id] = :id",
                     {{":PloygonData", data}, {":id", id}});
}

bool DataFactory::insertIsNoviceModel(int id, bool isNovice) {
    QMutexLocker locker(&mutex);
    return execBound(getTaskDB(), "update [task] set [bIsNovice] = :bIsNovice where [id] = :id",
                     {{":bIsNovice", flag(isNovice)}, {":id", id}});
}

bool DataFactory::existTask(QString name) {
    QMutexLocker locker(&mutex);
    QSqlDatabase& db = getTaskDB();
    if (!db.isOpen()) return false;
    QSqlQuery query(db);
    query.prepare("select count(*) as [count] from task where name = :name");
    query.bindValue(":name", name);
    return query.exec() && query.next() && query.value(0).toInt() > 0;
}

bool DataFactory::alterTaskLevel(int id, QList<int> levels) {
    QMutexLocker locker(&mutex);
    return execBound(getTaskDB(), "update task set [level] = :level where [id] = :id",
                     {{":level", joinLevels(levels)}, {":id", id}});
}

bool DataFactory::alterTaskThread(int id, int threadCount) {
    QMutexLocker locker(&mutex);
    return execBound(getTaskDB(), "update task set [threadcount] = :threadcount where [id] = :id",
                     {{":threadcount", threadCount}, {":id", id}});
}

bool DataFactory::alterTaskState(int id, ENUM_TASK_STATE state) {
    QMutexLocker locker(&mutex);
    return execBound(getTaskDB(), "update task set [state] = :state where [id] = :id",
                     {{":state", static_cast<int>(state)}, {":id", id}});
}

bool DataFactory::alterNoviceTaskState(int id, ENUM_TASK_STATE state) {
    QMutexLocker locker(&mutex);
    return execBound(getTaskDB(), "update novicetask set [state] = :state where [id] = :id",
                     {{":state", static_cast<int>(state)}, {":id", id}});
}

namespace {

ENUM_TASK_STATE readState(QSqlDatabase& db, const char* sql, int id, bool* ok) {
    if (!db.isOpen()) {
        if (ok) *ok = false;
        return TASK_STATE_NONE;
    }
    QSqlQuery query(db);
    query.prepare(sql);
    query.bindValue(":id", id);
    const bool ran = query.exec();
    if (ran && query.next()) return static_cast<ENUM_TASK_STATE>(query.value(0).toInt());
    if (ok) *ok = ran;
    return TASK_STATE_NONE;
}

QString readProgress(QSqlDatabase& db, const char* sql, int id) {
    if (!db.isOpen()) return QString();
    QSqlQuery query(db);
    query.prepare(sql);
    query.bindValue(":id", id);
    if (!query.exec() || !query.next()) return QString();
    return query.value(0).toString();
}

}  // namespace

ENUM_TASK_STATE DataFactory::getTaskState(int id, bool* ok) {
    QMutexLocker locker(&mutex);
    return readState(getTaskDB(), "select state from task where [id] = :id", id, ok);
}

ENUM_TASK_STATE DataFactory::getNoviceTaskState(int id, bool* ok) {
    QMutexLocker locker(&mutex);
    return readState(getTaskDB(), "select state from novicetask where [id] = :id", id, ok);
}

bool DataFactory::alterTileTotal(int id, long long count) {
    QMutexLocker locker(&mutex);
    return execBound(getTaskDB(), "update task set [count] = :count where [id] = :id",
                     {{":count", count}, {":id", id}});
}

bool DataFactory::alterNovectTileTotal(int id, long long count) {
    QMutexLocker locker(&mutex);
    return execBound(getTaskDB(), "update novicetask set [count] = :count where [id] = :id",
                     {{":count", count}, {":id", id}});
}

bool DataFactory::saveProgress(int id, QString text) {
    QMutexLocker locker(&mutex);
    return execBound(getTaskDB(), "update task set [progress] = :progress where [id] = :id",
                     {{":progress", text}, {":id", id}});
}

QString DataFactory::getProgress(int id) {
    QMutexLocker locker(&mutex);
    return readProgress(getTaskDB(), "select [progress] from task where [id] = :id", id);
}

QString DataFactory::getProgress(QSqlDatabase& db, int id) {
    QMutexLocker locker(&mutex);
    return readProgress(db, "select [progress] from task where [id] = :id", id);
}

QString DataFactory::getNoviceProgress(int id) {
    QMutexLocker locker(&mutex);
    return readProgress(getTaskDB(), "select [progress] from novicetask where [id] = :id", id);
}
