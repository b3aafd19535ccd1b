#include "catalog/ConnectionPool.h"
#include "core/Whole.h"
#include "CatalogTest.h"

#include <QSqlDriver>
#include <QThread>

struct ConnectionPoolProbe {
    static int waitingBorrowers() {
        QMutexLocker locker(&ConnectionPool::mutex);
        return ConnectionPool::instance ? ConnectionPool::instance->waitingBorrowers : 0;
    }
};

namespace {

QMutex g_lock;
QStringList g_messages;  // Qt's debug output during the test

class ConnectionPoolTest : public ::testing::Test {
protected:
    void SetUp() override {
        ConnectionPool::release();
        ASSERT_TRUE(m_dir.isValid());
        m_savedMarkDb = Whole::m_markDb;
        Whole::m_markDb = m_dir.filePath("mark.db");
        g_messages.clear();
        m_previousHandler = qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& message) {
            QMutexLocker locker(&g_lock);
            g_messages.append(message);
        });
    }
    void TearDown() override {
        qInstallMessageHandler(m_previousHandler);
        ConnectionPool::release();
        Whole::m_markDb = m_savedMarkDb;
    }
    static int logged(const QString& text) {
        QMutexLocker locker(&g_lock);
        return static_cast<int>(g_messages.filter(text).size());
    }

    QTemporaryDir m_dir;
    QString m_savedMarkDb;
    QtMessageHandler m_previousHandler = nullptr;
};

bool runsSelectOne(QSqlDatabase db) {
    QSqlQuery query(db);
    return query.exec("SELECT 1") && query.next() && query.value(0).toInt() == 1;
}

}  // namespace

TEST_F(ConnectionPoolTest, UnopenableDatabaseFreesItsNumberAndGiveBacksAreTestedOnBorrow) {
    Whole::m_markDb = m_dir.filePath("missing-folder/mark.db");
    // The second borrow fetches the failed connection, still registered under its name, and fails to reopen it.
    for (int borrow = 1; borrow <= 2; ++borrow) {
        EXPECT_FALSE(ConnectionPool::openConnection().isValid());
        EXPECT_EQ(logged("Open datatabase error: "), borrow);
    }
    // Its number is not skipped: once the folder exists the same name opens.
    ASSERT_TRUE(QDir(m_dir.path()).mkdir("missing-folder"));
    QSqlDatabase db = ConnectionPool::openConnection();
    EXPECT_EQ(std::make_tuple(db.connectionName(), db.databaseName(), db.isOpen()), std::make_tuple(QString("Connection-1"), Whole::m_markDb, true));

    // Given back closed and twice, it is reopened and handed out once; a connection the pool never made changes nothing.
    db.close();
    ConnectionPool::closeConnection(db);
    ConnectionPool::closeConnection(db);
    ConnectionPool::closeConnection(QSqlDatabase::addDatabase("QSQLITE", "Foreign"));
    QSqlDatabase::removeDatabase("Foreign");
    QSqlDatabase reused = ConnectionPool::openConnection(), fresh = ConnectionPool::openConnection();
    EXPECT_EQ(std::make_pair(reused.connectionName(), fresh.connectionName()), std::make_pair(QString("Connection-1"), QString("Connection-2")));
    EXPECT_TRUE(runsSelectOne(reused));
    // Release removes the connections.
    db = reused = fresh = QSqlDatabase();
    ConnectionPool::release();
    EXPECT_FALSE(QSqlDatabase::contains("Connection-1") || QSqlDatabase::contains("Connection-2"));
}

TEST_F(ConnectionPoolTest, TenConnectionsAtMostAndAWaitingBorrowerGetsOneGivenBack) {
    std::vector<QSqlDatabase> held;
    std::set<QString> names, expected;
    QElapsedTimer opening;  // while connections can be made, nobody waits for one to come back
    opening.start();
    for (int i = 1; i <= 10; ++i) {
        held.push_back(ConnectionPool::openConnection());
        names.insert(held.back().isOpen() ? held.back().connectionName() : QString());
        expected.insert(QString("Connection-%1").arg(i));
    }
    EXPECT_EQ(names, expected);
    EXPECT_LT(opening.elapsed(), 5000);

    // The eleventh, on any thread, waits for a connection to come back before giving up.
    const qint64 waited = std::async(std::launch::async, [] {
        QElapsedTimer clock;
        clock.start();
        return ConnectionPool::openConnection().isValid() ? -1 : clock.elapsed();
    }).get();
    EXPECT_GE(waited, 900);
    EXPECT_EQ(logged("Cannot create more connections."), 1);

    // The one given back is rebuilt on the borrowing thread, not handed over as the main thread's connection.
    std::future<std::pair<QString, bool>> borrowed = std::async(std::launch::async, [] {
        QSqlDatabase db = ConnectionPool::openConnection();
        const bool works = db.isOpen() && db.driver()->thread() == QThread::currentThread() && runsSelectOne(db);
        ConnectionPool::closeConnection(db);
        return std::make_pair(db.connectionName(), works);
    });
    // Give back only once the borrower is really blocked in the pool.
    QElapsedTimer deadline;
    deadline.start();
    while (ConnectionPoolProbe::waitingBorrowers() == 0 && deadline.elapsed() < 30000) std::this_thread::yield();
    EXPECT_GT(ConnectionPoolProbe::waitingBorrowers(), 0);
    const QString givenBack = held[3].connectionName();
    ConnectionPool::closeConnection(held[3]);
    EXPECT_EQ(borrowed.get(), std::make_pair(givenBack, true));
}

// Eight borrowers never exhaust ten connections, and each only ever uses one made on its own thread.
TEST_F(ConnectionPoolTest, ManyThreadsOnlyEverUseConnectionsTheyCreated) {
    std::atomic<int> faults{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&] {
            for (int r = 0; r < 40; ++r) {
                QSqlDatabase db = ConnectionPool::openConnection();
                faults += !db.isOpen() || db.driver()->thread() != QThread::currentThread() || !runsSelectOne(db);
                ConnectionPool::closeConnection(db);
            }
        });
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(faults.load(), 0);
}
