#pragma once

#include "core/VtCoreExport.h"
#include "storage/DownloadTask.h"
#include "storage/TaskEnums.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QMutex>
#include <QPointF>
#include <QPolygonF>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

// The application's SQLite databases, reached only through static operations:
// - the task database "task.db" in the application directory: download tasks (table `task`) and
//   the tasks of the simplified mode (table `novicetask`). It is created when missing and its
//   schema is brought up to date when the connection "TASKDB" opens, once per process.
// - the region database ("region.dll", else "china.dll", in the application directory), read-only:
//   administrative areas with their outlines and the cities of the two 3D city map sources.
// Every public operation but getTaskDB holds `mutex` from start to end, so all callers, on any
// thread, share one connection per database in turn. Nothing is logged; failures are the empty result named below.
class VTCORE_EXPORT DataFactory {
public:
    DataFactory() = default;
    virtual ~DataFactory() = default;

    // The folder of the database files: QCoreApplication::applicationDirPath() unless
    // setApplicationDir() named another.
    static QString applicationDir();
    // Moves the databases to another folder (hosts that keep data elsewhere, tests). Open
    // connections are closed; the next operation opens the files of the new folder. An empty
    // path restores the application directory.
    static void setApplicationDir(const QString& dir);

    // ---- task database. Operations return false (0, an empty text or list) when the database
    // cannot be opened or the statement fails. Every value is bound as a parameter, so names and
    // texts may hold any character, quotes included.

    // The open (or, on failure, closed) connection "TASKDB"; opens it and upgrades the schema first.
    // Takes no lock, so a host already holding `mutex` may call it; a caller on a thread of its own
    // holds `mutex` around the call and every use of the connection.
    static QSqlDatabase& getTaskDB();
    // Every task in id order. A stored thread count above 1000 loads as offset tiles
    // (bIsGoogleOffset) with the count minus 1000; see the column rules in DataFactory.cpp.
    static QList<DownloadTask> getTaskList();
    // Stores a new task in state 4 (TASK_STATE_ENDED, whatever task.state holds) with `count` as
    // its tile total; `newId`, when given, receives the new row's id.
    static bool addNewTask(DownloadTask& task, long long count, int* newId = nullptr);
    // Not supported for the simplified mode: always false, stores nothing.
    static bool addNoviceNewTask(DownloadTask& task, long long count, int* newId = nullptr);
    // Rewrites the export settings of the row task.ID (not state, name, path, tile total, extents
    // of the download, levels, map type, thread count, region, progress).
    static bool alterTask(DownloadTask& task);
    static bool deleteTask(int id);
    static bool deleteNoviceTask(int id);
    static bool updateTaskState(int id, int state);
    static bool updateNoviceTaskState(int id, int state);
    static bool updateupExportPath(int id, QString path);
    static bool saveUpExportPath(int id, QString path);
    // The region polygons as the application encodes them (see PolygonBlob_p.h for the layout).
    static bool insertPolygonData(int id, const QByteArray& data);
    static bool insertNovicePolygonData(int id, const QByteArray& data);
    static bool insertIsNoviceModel(int id, bool isNovice);
    // True when at least one task has exactly this name.
    static bool existTask(QString name);
    // Levels stored comma-separated in list order.
    static bool alterTaskLevel(int id, QList<int> levels);
    // Stored as given (add 1000 for offset tiles).
    static bool alterTaskThread(int id, int threadCount);
    static bool alterTaskState(int id, ENUM_TASK_STATE state);
    static bool alterNoviceTaskState(int id, ENUM_TASK_STATE state);
    // The state of row `id`. No row: 0, and `ok` receives whether the query ran; database not
    // open: 0 and `ok` false; a row found leaves `ok` untouched.
    static ENUM_TASK_STATE getTaskState(int id, bool* ok = nullptr);
    static ENUM_TASK_STATE getNoviceTaskState(int id, bool* ok = nullptr);
    static bool alterTileTotal(int id, long long count);
    static bool alterNovectTileTotal(int id, long long count);
    static bool saveProgress(int id, QString text);
    // The progress text of row `id`, or an empty text.
    static QString getProgress(int id);
    static QString getProgress(QSqlDatabase& db, int id);  // on a connection of the caller's
    static QString getNoviceProgress(int id);

    // ---- region database. Without a database file every query gives its empty result and
    // `ok` (where given) false; otherwise `ok` says whether the query ran.

    // id -> name of every area.
    static QMap<int, QString> getIdAndName();
    // id -> English name of every area.
    static QMap<int, QString> getIdAndEnglishName();
    // parent id -> names of its children that have an outline, in id order of the parents.
    static QMap<int, QStringList> getParentIdAndName();
    // child id -> name of the children of `reid`.
    static QMap<int, QString> getParentIdToIdName(int reid);
    // The names equal to `name` (one entry per matching row).
    static QList<QString> findCity(const QString& name, bool* ok = nullptr);
    // Outline blobs of area `id`, or of the area named `name` (as for getCityRegion).
    static QList<QByteArray> getCityRegionPrivate(const int& id, bool* ok = nullptr);
    static QList<QByteArray> getCityRegionPrivate(const QString& name, bool* ok = nullptr);
    // The polygons of the (first) outline of area `id`, or of the area named `name`; an empty list when the
    // area is unknown or has no outline. `name` may be "parent|child" to tell apart areas of the
    // same name; a name that matches no area exactly is looked up as a substring.
    static QList<QPolygonF> getCityRegion(const int& id, bool* ok = nullptr);
    static QList<QPolygonF> getCityRegion(const QString& name, bool* ok = nullptr);
    // The cities of the first (EDS) and second (SG3) 3D city source, under the single top-level key
    // "中国": province -> its city names; a municipality (province "中国" or "直辖市") is a key of its
    // own with an empty list. The key "中国" is present even when the table is empty.
    static QMap<QString, QMap<QString, QStringList>> getEDSCityTree(bool* ok = nullptr);
    static QMap<QString, QMap<QString, QStringList>> getSG3CityTree(bool* ok = nullptr);
    // Centre (x = centerx, y = centery) and pinyin of a 3D city; false when no row was read.
    static bool getEDSCityCenter(QString name, QPointF& center, QString& py);
    static bool getSG3CityCenter(QString name, QPointF& center, QString& py);

    static QSqlDatabase taskdb;        // "TASKDB", opened on first use
    static int m_nTaskDBVersion;       // schema version found when taskdb opened; 10 is current
    static QSqlDatabase chinadb;  // "CHINADB", opened on first use
    static QMutex mutex;          // non-recursive; guards both databases

private:
    // Rewrites the export coordinate code of one row; takes no lock.
    static bool alterTaskCoordType(int id, int code);
    // Adds `column` to `table` unless the table's CREATE text already names it; failures ignored.
    static void addOneColumn(QSqlDatabase& db, QString table, QString column, QString type);
    // The region database connection, opened when a file exists; takes no lock.
    static QSqlDatabase& getChinaDB();
    static void closeConnectionsLocked();
};
