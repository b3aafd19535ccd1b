#pragma once

#include <QByteArray>
#include <QDataStream>
#include <QIODevice>
#include <QList>
#include <QPolygonF>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>
#include <QVector>

#include <initializer_list>

// Writes small region databases for the tests: the "cities" table and the two 3D city tables.
namespace regiondb {

// The outline format: i32 polygon count, then per polygon i32 point count and the points.
inline QByteArray outlineBlob(const QList<QPolygonF>& polygons) {
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.setFloatingPointPrecision(QDataStream::DoublePrecision);
    out << qint32(polygons.size());
    for (const QPolygonF& polygon : polygons) {
        out << qint32(polygon.size());
        for (const QPointF& p : polygon) out << p.x() << p.y();
    }
    return bytes;
}

inline QPolygonF polygon(std::initializer_list<QPointF> points) { return QPolygonF(QVector<QPointF>(points)); }

// A square of side 1 whose lower left corner is (x, y).
inline QPolygonF square(double x, double y) {
    return QPolygonF({QPointF(x, y), QPointF(x + 1, y), QPointF(x + 1, y + 1), QPointF(x, y + 1)});
}

struct Area {
    int id;
    const char* name;  // UTF-8
    const char* englishName;
    int reid;
    QByteArray region;  // null for no outline
};

struct City3D {
    const char* name;
    const char* province;
    double centerx;
    double centery;
    const char* py;
};

class Writer {
public:
    explicit Writer(const QString& path) : m_name(QString("regiondb-writer-%1").arg(quintptr(this))) {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", m_name);
        db.setDatabaseName(path);
        m_ok = db.open();
        exec("create table cities (id integer primary key, name text, englishname text, reid integer, region blob)");
        exec("create table cities_eds (name text, province text, centerx double, centery double, py text)");
        exec("create table cities_sg3 (name text, province text, centerx double, centery double, py text)");
    }
    ~Writer() {
        {
            QSqlDatabase db = QSqlDatabase::database(m_name, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(m_name);
    }
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    bool ok() const { return m_ok; }

    void add(const Area& a) {
        QSqlQuery q(QSqlDatabase::database(m_name, false));
        q.prepare("insert into cities (id, name, englishname, reid, region) values (?, ?, ?, ?, ?)");
        q.addBindValue(a.id);
        q.addBindValue(QString::fromUtf8(a.name));
        q.addBindValue(QString::fromUtf8(a.englishName));
        q.addBindValue(a.reid);
        q.addBindValue(a.region.isNull() ? QVariant(QVariant::ByteArray) : QVariant(a.region));
        m_ok = q.exec() && m_ok;
    }
    void add(const char* table, const City3D& c) {
        QSqlQuery q(QSqlDatabase::database(m_name, false));
        q.prepare(QString("insert into %1 (name, province, centerx, centery, py) values (?, ?, ?, ?, ?)").arg(table));
        q.addBindValue(QString::fromUtf8(c.name));
        q.addBindValue(QString::fromUtf8(c.province));
        q.addBindValue(c.centerx);
        q.addBindValue(c.centery);
        q.addBindValue(QString::fromUtf8(c.py));
        m_ok = q.exec() && m_ok;
    }

private:
    void exec(const char* sql) {
        QSqlQuery q(QSqlDatabase::database(m_name, false));
        m_ok = q.exec(sql) && m_ok;
    }

    QString m_name;
    bool m_ok = false;
};

}  // namespace regiondb
