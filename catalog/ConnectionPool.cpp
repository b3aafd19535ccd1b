#include "catalog/ConnectionPool.h"

#include "core/Whole.h"

#include <QDebug>
#include <QMutexLocker>
#include <QSqlError>
#include <QSqlQuery>

#include <atomic>

ConnectionPool* ConnectionPool::instance = nullptr;
QMutex ConnectionPool::mutex;
QWaitCondition ConnectionPool::waitConnection;

namespace {

// A token per thread that is never reused, unlike QThread pointers or native ids, so a connection
// made on a thread that has ended is never mistaken for one of a new thread at the same address.
quint64 currentThreadToken() {
    static std::atomic<quint64> next{1};
    thread_local const quint64 token = next.fetch_add(1);
    return token;
}

}  // namespace

ConnectionPool::ConnectionPool()
    : databaseType(QStringLiteral("QSQLITE")),
      testOnBorrow(true),
      testOnBorrowSql(QStringLiteral("SELECT 1")),
      maxWaitTime(1000),
      waitInterval(200),
      maxConnectionCount(10) {}

ConnectionPool::~ConnectionPool() {
    QStringList names = usedConnectionNames + idleConnectionNames + creatorThreads.keys();
    names.removeDuplicates();
    for (const QString& name : names) QSqlDatabase::removeDatabase(name);
}

// Called with `mutex` held.
ConnectionPool& ConnectionPool::getInstance() {
    if (instance == nullptr) instance = new ConnectionPool();
    return *instance;
}

QSqlDatabase ConnectionPool::openConnection() {
    QMutexLocker locker(&mutex);
    ConnectionPool* pool = &getInstance();
    int total = pool->usedConnectionNames.size() + pool->idleConnectionNames.size();

    for (int waited = 0; waited < pool->maxWaitTime; waited += pool->waitInterval) {
        if (!pool->idleConnectionNames.isEmpty() || total != pool->maxConnectionCount) break;
        ++pool->waitingBorrowers;
        waitConnection.wait(&mutex, static_cast<unsigned long>(pool->waitInterval));
        --pool->waitingBorrowers;
        pool = &getInstance();  // a release() while we waited leaves a fresh pool
        total = pool->usedConnectionNames.size() + pool->idleConnectionNames.size();
    }

    QString name;
    if (!pool->idleConnectionNames.isEmpty()) {
        // Prefer a name whose connection this thread made: it needs no rebuild.
        int pick = 0;
        const quint64 token = currentThreadToken();
        for (int i = 0; i < pool->idleConnectionNames.size(); ++i) {
            if (pool->creatorThreads.value(pool->idleConnectionNames.at(i)) == token) {
                pick = i;
                break;
            }
        }
        name = pool->idleConnectionNames.takeAt(pick);
    } else if (total < pool->maxConnectionCount) {
        name = pool->nameForNewConnection(total);
    } else {
        qDebug() << "Cannot create more connections.";
        return QSqlDatabase();
    }

    QSqlDatabase db = pool->createConnection(name);
    if (db.isOpen()) pool->usedConnectionNames.append(name);
    return db;
}

// "Connection-<total + 1>", unless a reused connection that failed to reopen left a gap below a
// name still in the lists; then the lowest free number, so two borrowers never share a name.
QString ConnectionPool::nameForNewConnection(int total) const {
    auto taken = [this](const QString& n) {
        return usedConnectionNames.contains(n) || idleConnectionNames.contains(n);
    };
    QString name = QStringLiteral("Connection-%1").arg(total + 1);
    for (int n = 1; taken(name); ++n) name = QStringLiteral("Connection-%1").arg(n);
    return name;
}

QSqlDatabase ConnectionPool::createConnection(const QString& connectionName) {
    const quint64 token = currentThreadToken();
    bool registered = QSqlDatabase::contains(connectionName);
    auto creator = creatorThreads.find(connectionName);
    if (registered && creator != creatorThreads.end() && creator.value() != token) {
        // Made on another thread, which Qt forbids us to use here: rebuild it on this one.
        QSqlDatabase::removeDatabase(connectionName);
        creatorThreads.erase(creator);
        registered = false;
    }

    if (registered) {
        QSqlDatabase db = QSqlDatabase::database(connectionName, false);
        if (!db.isOpen()) db.open();
        if (testOnBorrow) {
            qDebug().noquote() << "Test connection on borrow, execute:" << testOnBorrowSql << ", for"
                               << connectionName;
            bool failed = false;
            {
                // A connection that did not open runs nothing and reports no error: not active either way.
                QSqlQuery query(testOnBorrowSql, db);
                failed = !query.isActive() || query.lastError().type() != QSqlError::NoError;
            }
            if (failed) {
                db.close();
                if (!db.open()) {
                    qDebug().noquote() << "Open datatabase error:" << db.lastError().text();
                    return QSqlDatabase();
                }
            }
        }
        return db;
    }

    QSqlDatabase db = QSqlDatabase::addDatabase(databaseType, connectionName);
    creatorThreads.insert(connectionName, token);
    db.setDatabaseName(Whole::m_markDb);
    if (db.open()) return db;
    qDebug().noquote() << "Open datatabase error:" << db.lastError().text();
    return QSqlDatabase();
}

void ConnectionPool::closeConnection(QSqlDatabase connection) {
    const QString name = connection.connectionName();
    QMutexLocker locker(&mutex);
    if (instance == nullptr || !instance->usedConnectionNames.contains(name)) return;
    instance->usedConnectionNames.removeOne(name);
    instance->idleConnectionNames.append(name);
    waitConnection.wakeOne();
}

void ConnectionPool::release() {
    QMutexLocker locker(&mutex);
    delete instance;
    instance = nullptr;
}
