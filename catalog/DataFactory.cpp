#include "catalog/DataFactory.h"

#include <QCoreApplication>
#include <QMutexLocker>

QSqlDatabase DataFactory::chinadb;
QMutex DataFactory::mutex;

namespace {

// The folder chosen with setApplicationDir; its own lock, taken after DataFactory::mutex when both
// are held, so that applicationDir() is usable inside and outside locked operations.
QMutex s_dirLock;
QString s_dirOverride;

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
    if (chinadb.isValid()) {
        const QString name = chinadb.connectionName();
        chinadb.close();
        chinadb = QSqlDatabase();  // drop our reference first, or Qt reports the connection in use
        QSqlDatabase::removeDatabase(name);
    }
}
