// The region database: read-only administrative areas and the 3D city tables.
#include "catalog/DataFactory.h"

#include "catalog/PolygonBlob_p.h"

#include <QDir>
#include <QFile>
#include <QMutexLocker>
#include <QSqlQuery>
#include <QVariant>

namespace {

const char* const kChinaConnection = "CHINADB";

// Runs a prepared query whose first two columns are an id and a text.
QMap<int, QString> idToText(QSqlQuery& query) {
    QMap<int, QString> result;
    if (!query.exec()) return result;
    while (query.next()) result.insert(query.value(0).toInt(), query.value(1).toString());
    return result;
}

QList<QByteArray> collectRegions(QSqlQuery& query) {
    QList<QByteArray> blobs;
    while (query.next()) blobs.append(query.value(0).toByteArray());
    return blobs;
}

// Region blobs of the area with this id. The id is compared as text, as the stored statements
// have always done ("id = '5'"), which SQLite's column affinity turns into a numeric match.
QList<QByteArray> regionsById(QSqlDatabase& db, int id, bool* ok) {
    QSqlQuery query(db);
    query.prepare("select [region] from cities where id = :id");
    query.bindValue(":id", QString::number(id));
    const bool ran = query.exec();
    if (ok) *ok = ran;
    return ran ? collectRegions(query) : QList<QByteArray>();
}

// "parent|child" asks for the child of that parent; a plain name for every area of that name;
// when either finds nothing, any area whose name contains the whole text.
QList<QByteArray> regionsByName(QSqlDatabase& db, const QString& name, bool* ok) {
    QSqlQuery query(db);
    bool ran = false;
    if (name.contains('|')) {
        const QStringList parts = name.split('|');
        if (parts.size() == 2) {
            query.prepare("select [region] from cities where name = :child and reid = "
                          "(select [id] from cities where name = :parent)");
            query.bindValue(":child", parts.at(1));
            query.bindValue(":parent", parts.at(0));
            ran = query.exec();
        }
    } else {
        query.prepare("select [region] from cities where name = :name");
        query.bindValue(":name", name);
        ran = query.exec();
    }
    QList<QByteArray> blobs;
    if (ran) blobs = collectRegions(query);
    if (blobs.isEmpty()) {
        // The pattern's own % and _ stay wildcards, as in a name written into the statement.
        QSqlQuery like(db);
        like.prepare("select [region] from cities where name like :pattern");
        like.bindValue(":pattern", QString("%%1%").arg(name));
        ran = like.exec();
        if (ran) blobs = collectRegions(like);
    }
    if (ok) *ok = ran;
    return blobs;
}

QMap<QString, QMap<QString, QStringList>> cityTree(QSqlDatabase& db, const char* table, bool* ok) {
    const QString china = QString::fromUtf8("中国");
    const QString municipality = QString::fromUtf8("直辖市");
    QMap<QString, QMap<QString, QStringList>> tree;
    QMap<QString, QStringList>& inner = tree[china];
    QSqlQuery query(db);
    const bool ran = query.exec(QString("select [name], [province] from %1").arg(table));
    if (ok) *ok = ran;
    while (ran && query.next()) {
        const QString name = query.value(0).toString();
        const QString province = query.value(1).toString();
        if (province == china || province == municipality)
            inner[name];  // a key of its own, with an empty list
        else
            inner[province].append(name);
    }
    return tree;
}

bool cityCenter(QSqlDatabase& db, const char* table, const QString& name, QPointF& center, QString& py) {
    QSqlQuery query(db);
    query.prepare(QString("select centerx, centery, py from %1 where name = :name").arg(table));
    query.bindValue(":name", name);
    if (!query.exec() || !query.next()) return false;
    center = QPointF(query.value(0).toDouble(), query.value(1).toDouble());
    py = query.value(2).toString();
    return true;
}

}  // namespace

QSqlDatabase& DataFactory::getChinaDB() {
    const QDir dir(applicationDir());
    const QString region = dir.filePath("region.dll");
    const QString china = dir.filePath("china.dll");
    QString path;
    if (QFile::exists(region)) {
        // "region.dll" replaces the older "china.dll", which is not kept beside it.
        if (QFile::exists(china)) QFile::remove(china);
        path = region;
    } else if (QFile::exists(china)) {
        path = china;
    }
    if (chinadb.isOpen() || path.isEmpty()) return chinadb;

    if (!chinadb.isValid()) chinadb = QSqlDatabase::addDatabase("QSQLITE", kChinaConnection);
    chinadb.setDatabaseName(path);
    // Read-only: a query can never change the shipped data, and no journal file is made.
    chinadb.setConnectOptions("QSQLITE_OPEN_READONLY");
    chinadb.open();
    return chinadb;
}

QMap<int, QString> DataFactory::getIdAndName() {
    QMutexLocker locker(&mutex);
    QSqlDatabase& db = getChinaDB();
    if (!db.isOpen()) return {};
    QSqlQuery query(db);
    query.prepare("select [id], [name] from cities order by [id]");
    return idToText(query);
}

QMap<int, QString> DataFactory::getIdAndEnglishName() {
    QMutexLocker locker(&mutex);
    QSqlDatabase& db = getChinaDB();
    if (!db.isOpen()) return {};
    QSqlQuery query(db);
    query.prepare("select [id], [englishname], [region] from cities order by [id]");
    return idToText(query);
}

QMap<int, QStringList> DataFactory::getParentIdAndName() {
    QMutexLocker locker(&mutex);
    QMap<int, QStringList> result;
    QSqlDatabase& db = getChinaDB();
    if (!db.isOpen()) return result;
    QSqlQuery query(db);
    if (!query.exec("select [reid], [name] from cities where [region] not null order by [reid]")) return result;
    while (query.next()) result[query.value(0).toInt()].append(query.value(1).toString());
    return result;
}

QMap<int, QString> DataFactory::getParentIdToIdName(int reid) {
    QMutexLocker locker(&mutex);
    QSqlDatabase& db = getChinaDB();
    if (!db.isOpen()) return {};
    QSqlQuery query(db);
    query.prepare("select [id], [name] from cities where reid = :reid order by [id]");
    query.bindValue(":reid", QString::number(reid));  // compared as text, like the id of regionsById
    return idToText(query);
}

QList<QString> DataFactory::findCity(const QString& name, bool* ok) {
    QMutexLocker locker(&mutex);
    if (ok) *ok = false;
    QList<QString> result;
    QSqlDatabase& db = getChinaDB();
    if (!db.isOpen()) return result;
    QSqlQuery query(db);
    query.prepare("select [name] from cities where name = :name");
    query.bindValue(":name", name);
    const bool ran = query.exec();
    if (ok) *ok = ran;
    while (ran && query.next()) result.append(query.value(0).toString());
    return result;
}

QList<QByteArray> DataFactory::getCityRegionPrivate(const int& id, bool* ok) {
    QMutexLocker locker(&mutex);
    if (ok) *ok = false;
    QSqlDatabase& db = getChinaDB();
    if (!db.isOpen()) return {};
    return regionsById(db, id, ok);
}

QList<QByteArray> DataFactory::getCityRegionPrivate(const QString& name, bool* ok) {
    QMutexLocker locker(&mutex);
    if (ok) *ok = false;
    QSqlDatabase& db = getChinaDB();
    if (!db.isOpen()) return {};
    return regionsByName(db, name, ok);
}

QList<QPolygonF> DataFactory::getCityRegion(const int& id, bool* ok) {
    bool ran = false;
    const QList<QByteArray> blobs = getCityRegionPrivate(id, &ran);
    if (ok) *ok = ran;
    if (!ran || blobs.isEmpty()) return {};
    return PolygonBlob::decodeOutline(blobs.first());
}

QList<QPolygonF> DataFactory::getCityRegion(const QString& name, bool* ok) {
    bool ran = false;
    const QList<QByteArray> blobs = getCityRegionPrivate(name, &ran);
    if (ok) *ok = ran;
    if (!ran || blobs.isEmpty()) return {};
    return PolygonBlob::decodeOutline(blobs.first());
}

QMap<QString, QMap<QString, QStringList>> DataFactory::getEDSCityTree(bool* ok) {
    QMutexLocker locker(&mutex);
    if (ok) *ok = false;
    QSqlDatabase& db = getChinaDB();
    if (!db.isOpen()) return {};
    return cityTree(db, "cities_eds", ok);
}

QMap<QString, QMap<QString, QStringList>> DataFactory::getSG3CityTree(bool* ok) {
    QMutexLocker locker(&mutex);
    if (ok) *ok = false;
    QSqlDatabase& db = getChinaDB();
    if (!db.isOpen()) return {};
    return cityTree(db, "cities_sg3", ok);
}

bool DataFactory::getEDSCityCenter(QString name, QPointF& center, QString& py) {
    QMutexLocker locker(&mutex);
    QSqlDatabase& db = getChinaDB();
    if (!db.isOpen()) return false;
    return cityCenter(db, "cities_eds", name, center, py);
}

bool DataFactory::getSG3CityCenter(QString name, QPointF& center, QString& py) {
    QMutexLocker locker(&mutex);
    QSqlDatabase& db = getChinaDB();
    if (!db.isOpen()) return false;
    return cityCenter(db, "cities_sg3", name, center, py);
}
