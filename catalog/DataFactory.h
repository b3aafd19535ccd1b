#pragma once

#include "core/VtCoreExport.h"

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
// - the region database ("region.dll", else "china.dll", in the application directory), read-only:
//   administrative areas with their outlines and the cities of the two 3D city map sources.
// Every public operation holds `mutex` from start to end, so all callers, on any thread, share one
// connection per database in turn. Nothing is logged; failures are the empty result named below.
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

    static QSqlDatabase chinadb;  // "CHINADB", opened on first use
    static QMutex mutex;          // non-recursive; guards both databases

private:
    // The region database connection, opened when a file exists; takes no lock.
    static QSqlDatabase& getChinaDB();
    static void closeConnectionsLocked();
};
