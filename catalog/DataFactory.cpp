#include "catalog/DataFactory.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMutexLocker>
#include <QSqlQuery>
#include <QVariant>

QSqlDatabase DataFactory::taskdb;
int DataFactory::m_nTaskDBVersion = 0;
QSqlDatabase DataFactory::chinadb;
QMutex DataFactory::mutex;

namespace {

// The folder chosen with setApplicationDir; its own lock, taken after DataFactory::mutex when both
// are held, so that applicationDir() is usable inside and outside locked operations.
QMutex s_dirLock;
QString s_dirOverride;

const char* const kTaskConnection = "TASKDB";
const char* const kTemplateResource = ":/file/Icon/files/task.tdb";
const char* const kColorReliefResource = ":/file/Icon/files/color_relief.txt";
constexpr int kCurrentTaskDBVersion = 10;

struct AddedColumn {
    const char* table;
    const char* column;
    const char* type;
};

// Columns added to the template's base tables over the versions, in the order they were added.
constexpr AddedColumn kAddedColumns[] = {
    {"task", "geDate", "int"},
    {"novicetask", "geDate", "int"},
    {"task", "buyState", "int"},
    {"task", "IsDownFinisedExport", "bool"},
    {"task", "IsDownFinishedOpenFile", "bool"},
    {"task", "ExportCoord", "int"},
    {"task", "ExportType", "int"},
    {"task", "ExportImgType", "int"},
    {"task", "strExportSavePath", "nvarchar(256)"},
    {"task", "levelExportList", "nvarchar(128)"},
    {"task", "DownImgeType", "int"},
    {"task", "ExportMinx", "double"},
    {"task", "ExportMiny", "double"},
    {"task", "ExportMaxx", "double"},
    {"task", "ExportMaxy", "double"},
    {"task", "CustomRowCount", "int"},
    {"task", "CustomColCount", "int"},
    {"task", "TitleCutomIS16", "bool"},
    {"task", "TitleCutomIsSix", "bool"},
    {"task", "TitleCutomBigFont", "bool"},
    {"task", "strTitleCutom", "nvarchar(128)"},
    {"task", "nDuDai", "int"},
    {"task", "nZYJX", "int"},
    {"task", "dSevenData1", "double"},
    {"task", "dSevenData2", "double"},
    {"task", "dSevenData3", "double"},
    {"task", "dSevenData4", "double"},
    {"task", "dSevenData5", "double"},
    {"task", "dSevenData6", "double"},
    {"task", "dSevenData7", "double"},
    {"task", "IsClip", "bool"},
    {"task", "bIsSetExportParam", "bool"},
    {"task", "bIsOverTagge", "bool"},
    {"task", "bIsOverLabel", "bool"},
    {"task", "bIsCreateCoordFile", "bool"},
    {"task", "nBackGroundColorR", "int"},
    {"task", "nBackGroundColorG", "int"},
    {"task", "nBackGroundColorB", "int"},
    {"task", "nBackGroundColorA", "int"},
    {"task", "bIsTransParent", "bool"},
    {"task", "nPointState", "int"},
    {"task", "nDemCorrect", "int"},
    {"task", "bIsSheetDown", "bool"},
    {"task", "createTm", "nvarchar(22)"},
    {"task", "resampleAlg", "int"},
    {"task", "nExportEPSG", "int"},
    {"task", "strExportCoordName", "nvarchar(50)"},
    {"task", "upExportPath", "nvarchar(256)"},
    {"task", "ExportBySpace", "int"},
    {"task", "ExportSpaceX", "nvarchar(22)"},
    {"task", "ExportSpaceY", "nvarchar(22)"},
    {"task", "MapItemType", "int"},
};
static_assert(sizeof kAddedColumns / sizeof kAddedColumns[0] == 52, "52 columns are added to the template");

// The base tables of the application's template "task.tdb", for a directory that has neither the
// database nor the template.
const char* const kCreateBaseTask =
    "create table if not exists [task] ([id] INTEGER PRIMARY KEY AUTOINCREMENT, [state] integer, "
    "[name] text, [path] text, [count] numeric, [minx] double, [miny] double, [maxx] double, "
    "[maxy] double, [size] text, [level] text, [maptype] integer, [threadcount] integer, "
    "[rangetype] integer, [rangepoints] blob, [progress] text, [bIsNovice] integer)";
const char* const kCreateBaseNoviceTask =
    "create table if not exists [novicetask] ([id] INTEGER PRIMARY KEY AUTOINCREMENT, "
    "[state] integer, [count] numeric, [progress] text, [rangepoints] blob)";

// Copies a resource of the application when the file is missing. A copied resource is read-only;
// the copy is made writable like any file of the application directory.
bool copyResourceIfMissing(const QString& resource, const QString& path) {
    if (QFile::exists(path) || !QFile::exists(resource)) return false;
    if (!QFile::copy(resource, path)) return false;
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser |
                                    QFile::ReadGroup | QFile::ReadOther);
    return true;
}

bool tableExists(QSqlDatabase& db, const char* table) {
    QSqlQuery query(db);
    query.prepare("select count(*) from sqlite_master where type = 'table' and name = :name");
    query.bindValue(":name", QString::fromLatin1(table));
    return query.exec() && query.next() && query.value(0).toInt() > 0;
}

void dropConnection(QSqlDatabase& db) {
    if (!db.isValid()) return;
    const QString name = db.connectionName();
    db.close();
    db = QSqlDatabase();  // drop our reference first, or Qt reports the connection in use
    QSqlDatabase::removeDatabase(name);
}

}  // namespace

QString DataFactory::applicationDir() {
    {
        QMutexLocker locker(&s_dirLock);
        if (!s_dirOverride.isEmpty()) return s_dirOverride;
    }
    return QCoreApplication::applicationDirPath();
}

void DataFactory::setApplicationDir(const QString& dir) {
    QMutexLocker locker(&mutex);
    closeConnectionsLocked();
    QMutexLocker dirLocker(&s_dirLock);
    s_dirOverride = dir;
}

void DataFactory::closeConnectionsLocked() {
    dropConnection(taskdb);
    dropConnection(chinadb);
    m_nTaskDBVersion = 0;
}

QSqlDatabase& DataFactory::getTaskDB() {
    const QDir dir(applicationDir());
    copyResourceIfMissing(kColorReliefResource, dir.filePath("color_relief.txt"));
    const QString path = dir.filePath("task.db");
    copyResourceIfMissing(kTemplateResource, path);
    if (taskdb.isOpen()) return taskdb;

    if (!taskdb.isValid()) taskdb = QSqlDatabase::addDatabase("QSQLITE", kTaskConnection);
    taskdb.setDatabaseName(path);
    if (!taskdb.open()) return taskdb;

    // Without the application's template the base tables are made here. Such a database never
    // held the old export codes, so it starts at the current version.
    bool createdHere = false;
    if (!tableExists(taskdb, "task")) {
        QSqlQuery create(taskdb);
        createdHere = create.exec(kCreateBaseTask);
    }
    if (!tableExists(taskdb, "novicetask")) {
        QSqlQuery create(taskdb);
        create.exec(kCreateBaseNoviceTask);
    }

    // One transaction for the whole check: a failing ALTER only fails its own statement, and the
    // file is synced once instead of once per column.
    const bool batched = taskdb.transaction();
    for (const AddedColumn& c : kAddedColumns) addOneColumn(taskdb, c.table, c.column, c.type);
    if (batched) taskdb.commit();

    QSqlQuery version(taskdb);
    if (version.exec("CREATE TABLE [taskversion] ([id] INTEGER PRIMARY KEY AUTOINCREMENT, [versionid] INTEGER NOT NULL);")) {
        // A new version table: the database predates versioning and holds the old codes.
        m_nTaskDBVersion = createdHere ? kCurrentTaskDBVersion : 0;
        QSqlQuery insert(taskdb);
        insert.prepare("insert into taskversion ([versionid]) values (:versionid)");
        insert.bindValue(":versionid", m_nTaskDBVersion);
        insert.exec();
    } else {
        m_nTaskDBVersion = 0;
        if (version.exec("select [versionid] from taskversion where id = 1"))
            while (version.next()) m_nTaskDBVersion = version.value(0).toInt();
        if (m_nTaskDBVersion != kCurrentTaskDBVersion) {
            // Only the stored number moves on here; the held version stays old until the first
            // listing has converted the export codes.
            QSqlQuery update(taskdb);
            update.prepare("update taskversion set [versionid] = :versionid where [id] = 1");
            update.bindValue(":versionid", kCurrentTaskDBVersion);
            update.exec();
        }
    }
    return taskdb;
}

void DataFactory::addOneColumn(QSqlDatabase& db, QString table, QString column, QString type) {
    QSqlQuery query(db);
    query.prepare("select sql from sqlite_master where name = :name;");
    query.bindValue(":name", table);
    if (!query.exec()) return;
    const QString createText = query.next() ? query.value(0).toString() : QString();
    // A plain, case-sensitive substring test, as the column names have always been checked.
    if (createText.contains(column, Qt::CaseSensitive)) return;
    // Identifiers cannot be bound; these come only from the fixed column table above.
    QSqlQuery alter(db);
    alter.exec(QString("alter table %1 add column %2 %3;").arg(table, column, type));
}
