#pragma once

#include "core/VtCoreExport.h"

#include <QHash>
#include <QMutex>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QWaitCondition>

// Hands out SQLite connections to the mark database (Whole::m_markDb) to callers on any thread,
// at most ten at a time. A borrower that finds all ten taken waits up to five intervals of 200 ms
// for one to be given back, then gets an invalid QSqlDatabase and the debug message
// "Cannot create more connections.".
//
// Connection names are "Connection-1", "Connection-2", ... A QSqlDatabase may only be used on the
// thread that created it, so the pool never hands a thread a connection made by another: when a
// name given back on one thread is borrowed on another, its connection is made anew (same name,
// same database) on the borrowing thread.
//
// Pair every valid openConnection() with one closeConnection() on the same thread; call release()
// once at shutdown, when nothing is borrowed.
class VTCORE_EXPORT ConnectionPool {
public:
    // A borrowed, open connection, or an invalid QSqlDatabase when none can be had.
    static QSqlDatabase openConnection();
    // Gives a borrowed connection back; it stays open and registered for reuse. A connection that
    // the pool did not hand out changes nothing.
    static void closeConnection(QSqlDatabase connection);
    // Destroys the pool and removes every connection it created from Qt's registry; names start
    // again at "Connection-1" on the next borrow.
    static void release();

    ConnectionPool(const ConnectionPool&) = delete;
    ConnectionPool& operator=(const ConnectionPool&) = delete;

private:
    friend struct ConnectionPoolProbe;  // lets tests observe a borrower that is waiting

    static ConnectionPool& getInstance();
    ConnectionPool();
    ~ConnectionPool();
    QSqlDatabase createConnection(const QString& connectionName);
    QString nameForNewConnection(int total) const;

    QStringList usedConnectionNames;
    QStringList idleConnectionNames;

    QString hostName;
    QString databaseName;
    QString username;
    QString password;
    QString databaseType;

    bool testOnBorrow;
    QString testOnBorrowSql;

    int maxWaitTime;       // ms
    int waitInterval;      // ms
    int maxConnectionCount;

    QHash<QString, quint64> creatorThreads;  // registered name -> token of the thread that made it
    int waitingBorrowers = 0;                // borrowers blocked on waitConnection right now

    static ConnectionPool* instance;
    static QMutex mutex;
    static QWaitCondition waitConnection;
};
