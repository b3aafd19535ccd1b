#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>

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
        {
            QSqlDatabase db = QSqlDatabase::database(m_name, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(m_name);
    }
    RawDb(const RawDb&) = delete;
    RawDb& operator=(const RawDb&) = delete;

    bool isOpen() const { return QSqlDatabase::database(m_name, false).isOpen(); }
    bool exec(const QString& sql, const QVariantList& values = {}) {
        QSqlQuery q(QSqlDatabase::database(m_name, false));
        if (values.isEmpty()) return q.exec(sql);
        if (!q.prepare(sql)) return false;
        for (const QVariant& v : values) q.addBindValue(v);
        return q.exec();
    }
    // The first column of the first row, or an invalid variant.
    QVariant value(const QString& sql) {
        QSqlQuery q(QSqlDatabase::database(m_name, false));
        if (!q.exec(sql) || !q.next()) return QVariant();
        return q.value(0);
    }
    QStringList columns(const QString& table) {
        QStringList names;
        QSqlQuery q(QSqlDatabase::database(m_name, false));
        if (!q.exec(QString("pragma table_info(%1)").arg(table))) return names;
        while (q.next()) names.append(q.value(1).toString());
        return names;
    }

private:
    QString m_name;
};
