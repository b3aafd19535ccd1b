#pragma once

#include "TaskDbRaw.h"

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
    explicit Writer(const QString& path) : m_db(path) {
        m_ok = m_db.isOpen() &&
               m_db.exec("create table cities (id integer primary key, name text, englishname text, reid integer, region blob)") &&
               m_db.exec("create table cities_eds (name text, province text, centerx double, centery double, py text)") &&
               m_db.exec("create table cities_sg3 (name text, province text, centerx double, centery double, py text)");
    }

    bool ok() const { return m_ok; }

    void add(const Area& a) {
        m_ok = m_db.exec("insert into cities (id, name, englishname, reid, region) values (?, ?, ?, ?, ?)",
                         {a.id, QString::fromUtf8(a.name), QString::fromUtf8(a.englishName), a.reid,
                          a.region.isNull() ? QVariant(QVariant::ByteArray) : QVariant(a.region)}) &&
               m_ok;
    }
    void add(const char* table, const City3D& c) {
        m_ok = m_db.exec(QString("insert into %1 (name, province, centerx, centery, py) values (?, ?, ?, ?, ?)").arg(table),
                         {QString::fromUtf8(c.name), QString::fromUtf8(c.province), c.centerx, c.centery,
                          QString::fromUtf8(c.py)}) &&
               m_ok;
    }

private:
    RawDb m_db;
    bool m_ok = false;
};

}  // namespace regiondb
