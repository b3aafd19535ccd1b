#pragma once

#include "catalog/DataFactory.h"
#include "catalog/MapSettingsLocation_p.h"

#include <QDataStream>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonObject>
#include <QSettings>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <future>
#include <set>
#include <thread>
#include <tuple>
#include <vector>

// Shared by the catalog tests: database files written and read behind the library's back, polygons,
// and a fresh application directory per test.

// A second, independent connection to a database file, for preparing old databases and for
// reading what was really stored.
class RawDb {
public:
    explicit RawDb(const QString& path) : m_name(QString("raw-db-%1").arg(quintptr(this))) {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", m_name);
        db.setDatabaseName(path);
        db.open();
    }
    ~RawDb() {
        QSqlDatabase::database(m_name, false).close();
        QSqlDatabase::removeDatabase(m_name);
    }
    bool exec(const QString& sql, const QVariantList& values = {}) {
        QSqlQuery q(QSqlDatabase::database(m_name, false));
        if (!q.prepare(sql)) return false;
        for (const QVariant& v : values) q.addBindValue(v);
        return q.exec();
    }
    // The first column of the first row, or an invalid variant; `table_info` gives the column names.
    QVariant value(const QString& sql) { return values(sql).value(0); }
    QVariantList values(const QString& sql, int column = 0) {
        QVariantList result;
        QSqlQuery q(QSqlDatabase::database(m_name, false));
        for (q.exec(sql); q.next();) result.append(q.value(column));
        return result;
    }
    QVariantList columns(const QString& table) { return values(QString("pragma table_info(%1)").arg(table), 1); }

private:
    QString m_name;
};

inline QString u8(const char* utf8) { return QString::fromUtf8(utf8); }
inline QPolygonF poly(std::initializer_list<QPointF> points) { return QPolygonF(QVector<QPointF>(points)); }
// A square of side 1 whose lower left corner is (x, y).
inline QPolygonF square(double x, double y) { return poly({{x, y}, {x + 1, y}, {x + 1, y + 1}, {x, y + 1}}); }

inline bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}
inline QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The region outline format: i32 polygon count, then per polygon i32 point count and the points.
inline QByteArray outlineBlob(const QList<QPolygonF>& polygons) {
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << qint32(polygons.size());
    for (const QPolygonF& polygon : polygons) {
        out << qint32(polygon.size());
        for (const QPointF& p : polygon) out << p.x() << p.y();
    }
    return bytes;
}

// A region database: the "cities" table (id, UTF-8 name, English name, parent id, outline or null)
// and the two 3D city tables (name, province, centre x and y, pinyin), of which cities_sg3 stays empty.
using Area = std::tuple<int, const char*, const char*, int, QByteArray>;
using City3D = std::tuple<const char*, const char*, double, double, const char*>;
inline bool writeRegionDb(const QString& path, const std::vector<Area>& areas, const std::vector<City3D>& eds = {}) {
    RawDb db(path);
    bool ok = db.exec("create table cities (id integer primary key, name text, englishname text, reid integer, region blob)");
    for (const char* table : {"cities_eds", "cities_sg3"})
        ok = db.exec(QString("create table %1 (name text, province text, centerx double, centery double, py text)").arg(table)) && ok;
    for (const auto& [id, name, english, reid, region] : areas)
        ok = db.exec("insert into cities values (?, ?, ?, ?, ?)",
                     {id, u8(name), english, reid, region.isNull() ? QVariant(QVariant::ByteArray) : region}) && ok;
    for (const auto& [name, province, x, y, py] : eds)
        ok = db.exec("insert into cities_eds values (?, ?, ?, ?, ?)", {u8(name), u8(province), x, y, py}) && ok;
    return ok;
}

// Each test gets its own empty application directory for the databases.
class AppDirTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        DataFactory::setApplicationDir(m_dir.path());
    }
    void TearDown() override { DataFactory::setApplicationDir(QString()); }
    QString file(const QString& name) const { return QDir(m_dir.path()).filePath(name); }
    // Closes the connections, so that the next operation opens the files again.
    void reopen() { DataFactory::setApplicationDir(m_dir.path()); }

    QTemporaryDir m_dir;
};

// Each test gets its own empty settings directory ("config.ini", "mapver.dll"); the caches are dropped on entry and exit.
class SettingsDirTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        SetMapSettingsDirectory(m_dir.path());
    }
    void TearDown() override { SetMapSettingsDirectory(QString()); }
    // Writes or reads a value as another program (or the user) would, behind the caches' back.
    void Write(const char* file, const QString& key, const QVariant& value) const {
        QSettings(m_dir.filePath(file), QSettings::IniFormat).setValue(key, value);
    }
    QVariant Read(const char* file, const QString& key) const { return QSettings(m_dir.filePath(file), QSettings::IniFormat).value(key); }

    QTemporaryDir m_dir;
};
