#include "catalog/ConnectionPool.h"

#include "core/Whole.h"

#include <QDir>
#include <QElapsedTimer>
#include <QMutex>
#include <QMutexLocker>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>
#include <QVariant>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <set>
#include <thread>
#include <vector>

struct ConnectionPoolProbe {
    static int waitingBorrowers() {
        QMutexLocker locker(&ConnectionPool::mutex);
        return ConnectionPool::instance ? ConnectionPool::instance->waitingBorrowers : 0;
    }
};

namespace {

// Collects Qt's debug output while it lives.
class QtMessageCapture {
public:
    QtMessageCapture() { s_previous = qInstallMessageHandler(&handler); }
    ~QtMessageCapture() {
        qInstallMessageHandler(s_previous);
        QMutexLocker locker(&s_lock);
        s_messages.clear();
    }
    int count(const QString& text) const {
        QMutexLocker locker(&s_lock);
        return static_cast<int>(s_messages.filter(text).size());
    }

private:
    static void handler(QtMsgType, const QMessageLogContext&, const QString& message) {
        QMutexLocker locker(&s_lock);
        s_messages.append(message);
    }
    static inline QtMessageHandler s_previous = nullptr;
    static inline QMutex s_lock;
    static inline QStringList s_messages;
};

class ConnectionPoolTest : public ::testing::Test {
protected:
    void SetUp() override {
        ConnectionPool::release();
        ASSERT_TRUE(m_dir.isValid());
        m_savedMarkDb = Whole::m_markDb;
        Whole::m_markDb = QDir(m_dir.path()).filePath("mark.db");
    }
    void TearDown() override {
        ConnectionPool::release();
        Whole::m_markDb = m_savedMarkDb;
    }

    QTemporaryDir m_dir;
    QString m_savedMarkDb;
};

bool runsSelectOne(QSqlDatabase db) {
    QSqlQuery query(db);
    return query.exec("SELECT 1") && query.next() && query.value(0).toInt() == 1;
}

}  // namespace

TEST_F(ConnectionPoolTest, ConnectionsAreTestedReopenedAndReusedUnderTheirNames) {
    QtMessageCapture capture;
    QSqlDatabase first = ConnectionPool::openConnection();
    ASSERT_TRUE(first.isOpen());
    EXPECT_EQ(first.connectionName(), "Connection-1");
    EXPECT_EQ(first.databaseName(), Whole::m_markDb);
    EXPECT_EQ(capture.count("Test connection on borrow"), 0);  // a new connection is not tested
    ConnectionPool::closeConnection(first);
    QSqlDatabase again = ConnectionPool::openConnection();
    EXPECT_EQ(again.connectionName(), "Connection-1");
    EXPECT_TRUE(runsSelectOne(again));
    EXPECT_EQ(capture.count("Test connection on borrow, execute: SELECT 1 , for Connection-1"), 1);
    again.close();  // "SELECT 1" now fails on it: it is reopened before it is handed out
    ConnectionPool::closeConnection(again);
    QSqlDatabase one = ConnectionPool::openConnection();
    EXPECT_TRUE(runsSelectOne(one));

    {
        QSqlDatabase foreign = QSqlDatabase::addDatabase("QSQLITE", "ForeignConnection");
        ConnectionPool::closeConnection(foreign);  // never handed out: changes nothing
    }
    QSqlDatabase::removeDatabase("ForeignConnection");
    QSqlDatabase two = ConnectionPool::openConnection();
    EXPECT_EQ(two.connectionName(), "Connection-2");  // the idle list stayed empty
    ConnectionPool::closeConnection(one);
    ConnectionPool::closeConnection(one);  // second give-back of the same name
    QSqlDatabase reused = ConnectionPool::openConnection(), fresh = ConnectionPool::openConnection();
    EXPECT_EQ(reused.connectionName(), "Connection-1");
    EXPECT_EQ(fresh.connectionName(), "Connection-3");
    for (const QSqlDatabase& db : {two, reused, fresh}) ConnectionPool::closeConnection(db);

    // Release removes the connections and restarts the numbering.
    first = again = one = two = reused = fresh = QSqlDatabase();
    ConnectionPool::release();
    for (const char* name : {"Connection-1", "Connection-2", "Connection-3"}) EXPECT_FALSE(QSqlDatabase::contains(name)) << name;
    QSqlDatabase db = ConnectionPool::openConnection();
    EXPECT_EQ(db.connectionName(), "Connection-1");
    ConnectionPool::closeConnection(db);
}

TEST_F(ConnectionPoolTest, UnopenableDatabaseGivesInvalidConnectionAndFreesItsNumber) {
    Whole::m_markDb = QDir(m_dir.path()).filePath("missing-folder/mark.db");
    QtMessageCapture capture;
    QSqlDatabase db = ConnectionPool::openConnection();
    EXPECT_FALSE(db.isValid());
    EXPECT_EQ(capture.count("Open datatabase error:"), 1);

    // The failed name stays registered; once the path is good, the same number opens.
    Whole::m_markDb = QDir(m_dir.path()).filePath("mark.db");
    QSqlDatabase second = ConnectionPool::openConnection();
    EXPECT_EQ(second.connectionName(), "Connection-1");
    ConnectionPool::closeConnection(second);
}

TEST_F(ConnectionPoolTest, EleventhBorrowOnAnyThreadFailsWhileTenAreHeld) {
    std::promise<void> release;
    const std::shared_future<void> hold = release.get_future().share();
    std::atomic<int> ready{0};
    std::vector<QString> names(10);
    std::vector<std::thread> holders;
    for (int i = 0; i < 10; ++i) {
        holders.emplace_back([&, i] {
            QSqlDatabase db = ConnectionPool::openConnection();
            names[static_cast<size_t>(i)] = db.isOpen() ? db.connectionName() : QString();
            ++ready;
            hold.wait();
            ConnectionPool::closeConnection(db);
        });
    }
    while (ready.load() < 10) std::this_thread::yield();

    QtMessageCapture capture;
    QElapsedTimer waited;
    waited.start();
    QSqlDatabase eleventh = ConnectionPool::openConnection();
    EXPECT_GE(waited.elapsed(), 900);  // it waits for a connection to come back before giving up
    EXPECT_FALSE(eleventh.isValid());
    EXPECT_EQ(capture.count("Cannot create more connections."), 1);
    release.set_value();
    for (std::thread& t : holders) t.join();

    std::set<QString> distinct(names.begin(), names.end());
    EXPECT_EQ(distinct.size(), 10u);
    EXPECT_EQ(distinct.count(QString()), 0u);
    for (int i = 1; i <= 10; ++i) EXPECT_EQ(distinct.count(QString("Connection-%1").arg(i)), 1u) << i;
}

TEST_F(ConnectionPoolTest, WaitingBorrowerGetsTheConnectionGivenBackMeanwhile) {
    QtMessageCapture quiet;  // the rebuild warns that the main thread still holds a copy
    std::vector<QSqlDatabase> held;
    for (int i = 0; i < 10; ++i) held.push_back(ConnectionPool::openConnection());
    ASSERT_TRUE(held.back().isOpen());

    QString gotName;
    bool ownThread = false;
    bool works = false;
    std::thread borrower([&] {
        QSqlDatabase db = ConnectionPool::openConnection();
        gotName = db.connectionName();
        ownThread = db.isValid() && db.driver()->thread() == QThread::currentThread();
        works = db.isOpen() && runsSelectOne(db);
        ConnectionPool::closeConnection(db);
    });
    // Give back only once the borrower is really blocked in the pool.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (ConnectionPoolProbe::waitingBorrowers() == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    ASSERT_GT(ConnectionPoolProbe::waitingBorrowers(), 0);
    const QString givenBack = held[3].connectionName();
    ConnectionPool::closeConnection(held[3]);
    borrower.join();

    EXPECT_EQ(gotName, givenBack);
    EXPECT_TRUE(ownThread);  // rebuilt on the borrowing thread, not the main thread's connection
    EXPECT_TRUE(works);
    for (size_t i = 0; i < held.size(); ++i)
        if (i != 3) ConnectionPool::closeConnection(held[i]);
}

TEST_F(ConnectionPoolTest, ManyThreadsOnlyEverUseConnectionsTheyCreated) {
    constexpr int kThreads = 8;
    constexpr int kRounds = 40;
    QtMessageCapture quiet;
    std::atomic<int> invalid{0};
    std::atomic<int> foreign{0};
    std::atomic<int> failedQueries{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&] {
            for (int r = 0; r < kRounds; ++r) {
                QSqlDatabase db = ConnectionPool::openConnection();
                if (!db.isOpen()) {
                    ++invalid;
                    continue;
                }
                if (db.driver()->thread() != QThread::currentThread()) ++foreign;
                if (!runsSelectOne(db)) ++failedQueries;
                ConnectionPool::closeConnection(db);
            }
        });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(invalid.load(), 0);  // eight borrowers never exhaust ten connections
    EXPECT_EQ(foreign.load(), 0);
    EXPECT_EQ(failedQueries.load(), 0);
}
