#include "catalog/DataFactory.h"

#include "RegionDbBuilder.h"

#include <QDir>
#include <QFile>
#include <QMutexLocker>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <set>
#include <thread>
#include <tuple>
#include <vector>

namespace {

// Every field with a column set away from its default.
DownloadTask sampleTask(const QString& name) {
    DownloadTask t;
    t.name = name, t.path = "D:/tiles/" + name, t.state = TASK_STATE_DOWNLOADING, t.count = 77;
    t.extent = {116.3, 39.75, 116.55, 40.0625}, t.level = {3, 4, 5}, t.maptype = 12, t.MapItemType = 3;
    t.threadcount = 16, t.rangetype = 2, t.geDate = 20240101, t.DownImgeType = 2, t.IsDownFinisedExport = true;
    t.bIsOverTagge = true, t.IsClip = false, t.bIsCreateCoordFile = false, t.IsDownFinishedOpenFile = true;
    t.levelExportList = {4, 5}, t.exportExtent = {116.35, 39.8, 116.5, 40.0}, t.ExportCoord = 14;
    t.nExportEPSG = 4490, t.strExportCoordName = "CGCS2000", t.ExportType = EXPORT_MBTILES;
    t.ExportImgType = SAVE_IMAGE_PNG, t.strExportSavePath = "E:/export/out.mbtiles", t.buyState = 1;
    t.CustomRowCount = 6, t.CustomColCount = 7, t.TitleCutomIS16 = true, t.TitleCutomBigFont = true;
    t.TitleCutomIsSix = true, t.strTitleCutom = "{z}/{x}/{y}", t.bIsOverLabel = false, t.nDuDai = 6, t.nZYJX = 117;
    for (int i = 0; i < 7; ++i) t.dSevenData[i] = 0.5 * (i + 1);
    t.bIsSetExportParam = true, t.bIsTransParent = false, t.nPointState = 1, t.nDemCorrect = 3, t.bIsSheetDown = true;
    t.nBackGroundColor[0] = 10, t.nBackGroundColor[1] = 20, t.nBackGroundColor[2] = 30, t.nBackGroundColor[3] = 0;
    t.createTm = "2024-01-01 08:00:00", t.resampleAlg = 2, t.ExportBySpace = 1, t.exportSpace = QPointF(0.5, 2.25);
    return t;
}

// The fields that operator== leaves out.
auto unequalled(const DownloadTask& t) {
    return std::make_tuple(t.level, t.IsDownFinisedExport, t.IsDownFinishedOpenFile, t.nExportEPSG, t.strExportCoordName);
}

// The task blob of one polygon (no marker word).
QByteArray singlePolygonBlob(const QPolygonF& polygon) {
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << quint32(polygon.size());
    for (const QPointF& p : polygon) out << p.x() << p.y();
    return bytes;
}

// The template's base tables as an older application left them.
void writeBaseSchema(RawDb& raw) {
    raw.exec("create table task ([id] INTEGER PRIMARY KEY AUTOINCREMENT, [state] integer, [name] text, "
             "[path] text, [count] numeric, [minx] double, [miny] double, [maxx] double, [maxy] double, "
             "[size] text, [level] text, [maptype] integer, [threadcount] integer, [rangetype] integer, "
             "[rangepoints] blob, [progress] text, [bIsNovice] integer)");
    raw.exec("create table novicetask ([id] INTEGER PRIMARY KEY AUTOINCREMENT, [state] integer, "
             "[count] numeric, [progress] text, [rangepoints] blob)");
}

class DataFactoryTaskTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        DataFactory::setApplicationDir(m_dir.path());
    }
    void TearDown() override { DataFactory::setApplicationDir(QString()); }

    QString dbPath() const { return QDir(m_dir.path()).filePath("task.db"); }
    // Closes the connection, so that the next operation opens the file again.
    void reopen() { DataFactory::setApplicationDir(m_dir.path()); }
    int add(const DownloadTask& task, long long count = 10) {
        DownloadTask copy = task;
        int id = -1;
        EXPECT_TRUE(DataFactory::addNewTask(copy, count, &id));
        return id;
    }
    DownloadTask load(int id) {
        for (const DownloadTask& t : DataFactory::getTaskList())
            if (t.ID == id) return t;
        ADD_FAILURE() << "no task " << id;
        return DownloadTask();
    }
    QVariant stored(const QString& column, int id) {
        return RawDb(dbPath()).value(QString("select %1 from task where id = %2").arg(column).arg(id));
    }
    void expectCurrentSchema() {
        RawDb raw(dbPath());
        const QStringList task = raw.columns("task");
        EXPECT_EQ(task.size(), 17 + 51);
        for (const char* c : {"geDate", "ExportCoord", "TitleCutomIsSix", "dSevenData7", "MapItemType", "bIsNovice"})
            EXPECT_TRUE(task.contains(c)) << c;
        EXPECT_EQ(raw.columns("novicetask").size(), 5 + 1);
        EXPECT_EQ(raw.value("select versionid from taskversion where id = 1").toInt(), 10);
    }

    QTemporaryDir m_dir;
};

}  // namespace

TEST_F(DataFactoryTaskTest, FreshDirectoryGetsACurrentDatabase) {
    EXPECT_TRUE(DataFactory::getTaskList().isEmpty());
    {
        // A host holding the public mutex reaches the connection: getTaskDB takes no lock itself.
        QMutexLocker hostLock(&DataFactory::mutex);
        std::future<bool> open = std::async(std::launch::async, [] { return DataFactory::getTaskDB().isOpen(); });
        const bool returned = open.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
        hostLock.unlock();
        EXPECT_TRUE(returned) << "getTaskDB waited for the mutex";
        EXPECT_TRUE(open.get());
    }
    ASSERT_TRUE(QFile::exists(dbPath()));
    expectCurrentSchema();
}

TEST_F(DataFactoryTaskTest, EveryColumnFieldRoundTripsAndAlterTaskRewritesExportSettingsOnly) {
    const DownloadTask task = sampleTask("round trip");
    const int id = add(task, 12345);
    ASSERT_GT(id, 0);
    DownloadTask expected = task;
    expected.ID = id;
    expected.state = expected.savedState = TASK_STATE_ENDED;  // new rows start ended
    expected.count = 12345;                                   // the argument, not task.count
    DownloadTask loaded = load(id);
    EXPECT_TRUE(loaded == expected);
    EXPECT_EQ(unequalled(loaded), unequalled(task));
    EXPECT_FALSE(loaded.bIsGoogleOffset);
    EXPECT_TRUE(loaded.rangepoints.isEmpty());
    EXPECT_EQ(stored("size", id).toString(), "2314.69 MB");

    ASSERT_TRUE(DataFactory::saveProgress(id, "12/40"));
    auto exportSettings = [](DownloadTask& t) {
        t.ExportCoord = 5, t.levelExportList = {6, 7}, t.exportExtent = {1, 2, 3, 4}, t.strExportSavePath = "F:/new";
        t.nBackGroundColor[2] = 99, t.IsClip = true, t.IsDownFinishedOpenFile = false, t.nExportEPSG = 3857;
        t.strExportCoordName = "Web Mercator", t.exportSpace = QPointF(1.5, 3), t.MapItemType = 8, t.createTm = "2025-05-05";
    };
    exportSettings(expected);
    DownloadTask changed = sampleTask("after");  // the name and path stay as stored
    exportSettings(changed);
    changed.ID = id, changed.levelExportList = {7, 6};  // stored sorted
    changed.level = {9}, changed.threadcount = 3, changed.maptype = 99, changed.geDate = 19990101;
    changed.IsDownFinisedExport = false, changed.DownImgeType = 7, changed.bIsOverLabel = true;
    ASSERT_TRUE(DataFactory::alterTask(changed));
    loaded = load(id);
    EXPECT_TRUE(loaded == expected);
    EXPECT_EQ(unequalled(loaded), std::make_tuple(QList<int>({3, 4, 5}), true, false, 3857, QString("Web Mercator")));
    EXPECT_EQ(DataFactory::getProgress(id), "12/40");
    EXPECT_EQ(DataFactory::getProgress(DataFactory::getTaskDB(), id), "12/40");
    EXPECT_EQ(DataFactory::getProgress(DataFactory::getTaskDB(), id + 1000), QString());
}

TEST_F(DataFactoryTaskTest, NumbersAreStoredInTheirStatementForms) {
    DownloadTask task = sampleTask("formats");
    task.dSevenData[0] = 0.123456789, task.dSevenData[1] = 1234567.0, task.extent.minx = 116.3;
    task.extent.miny = 1e-20;  // below the 16th decimal
    task.nZYJX = 117.5, task.exportSpace = QPointF(0.1234567, 1e-7);
    const int id = add(task);
    const std::pair<const char*, double> cases[] = {
        {"dSevenData1", 0.123457},                              // 'g', six significant digits
        {"dSevenData2", 1.23457e+06},
        {"minx", QString("116.2999999999999972").toDouble()},  // 16 decimals of the double
        {"miny", 0.0},
        {"nZYJX", 117.5},                                       // the int column keeps the fraction
        {"ExportSpaceX", 0.123457},
        {"ExportSpaceY", 1e-07},
    };
    for (const auto& [column, value] : cases) EXPECT_EQ(stored(column, id).toDouble(), value) << column;
    EXPECT_EQ(stored("ExportSpaceX", id).toString(), "0.123457");  // text column
    const DownloadTask loaded = load(id);
    EXPECT_EQ(loaded.nZYJX, 117.0);  // read back as a whole number
    EXPECT_EQ(loaded.dSevenData[0], 0.123457);
    EXPECT_EQ(loaded.extent.minx, 116.3);
    EXPECT_EQ(loaded.extent.miny, 0.0);
}

TEST_F(DataFactoryTaskTest, ThreadCountsAndLevelsAsStored) {
    DownloadTask task = sampleTask("offset");
    task.threadcount = 1008, task.levelExportList.clear();
    const int id = add(task);
    struct ThreadCase {
        int stored, threads;
        bool offset;
    };
    // Above a thousand means offset tiles. The first row is the added task's own count.
    const ThreadCase threadCases[] = {{1008, 8, true}, {1000, 1000, false}, {1001, 1, true}, {20, 20, false}, {0, 0, false}};
    for (const ThreadCase& c : threadCases) {
        if (&c != &threadCases[0]) {
            ASSERT_TRUE(DataFactory::alterTaskThread(id, c.stored));
        }
        EXPECT_EQ(stored("threadcount", id).toInt(), c.stored);
        const DownloadTask loaded = load(id);
        EXPECT_EQ(loaded.threadcount, c.threads) << c.stored;
        EXPECT_EQ(loaded.bIsGoogleOffset, c.offset) << c.stored;
    }
    // Levels are parsed and sorted; an empty export list is a copy of them.
    const std::pair<const char*, QList<int>> levelCases[] = {{",5,,3", {3, 5}}, {"12,3,7", {3, 7, 12}}, {"", {}}, {"4", {4}}};
    for (const auto& [text, levels] : levelCases) {
        ASSERT_TRUE(RawDb(dbPath()).exec(QString("update task set level = ? where id = %1").arg(id), {QString(text)}));
        const DownloadTask loaded = load(id);
        EXPECT_EQ(loaded.level, levels) << text;
        EXPECT_EQ(loaded.levelExportList, levels) << text;
    }
    ASSERT_TRUE(DataFactory::alterTaskLevel(id, {9, 2, 5}));
    EXPECT_EQ(stored("level", id).toString(), "9,2,5");
    EXPECT_EQ(load(id).level, QList<int>({2, 5, 9}));
}

TEST_F(DataFactoryTaskTest, QuotesAndHostileTextsAreOnlyData) {
    const QString hostile = "x' OR '1'='1";
    const QString dropper = "a'); drop table task; --";
    const int quoted = add(sampleTask("it's"));
    const int dropped = add(sampleTask(dropper));
    ASSERT_GT(quoted, 0);
    ASSERT_GT(dropped, 0);
    EXPECT_TRUE(DataFactory::existTask("it's"));
    EXPECT_TRUE(DataFactory::existTask(dropper));
    EXPECT_FALSE(DataFactory::existTask(hostile));
    EXPECT_FALSE(DataFactory::existTask("it"));  // whole names only
    EXPECT_FALSE(DataFactory::existTask("%"));

    ASSERT_TRUE(DataFactory::saveProgress(quoted, hostile));
    EXPECT_EQ(DataFactory::getProgress(quoted), hostile);
    ASSERT_TRUE(DataFactory::saveUpExportPath(quoted, "C:/it's/'here'"));
    EXPECT_EQ(load(quoted).upExportPath, "C:/it's/'here'");
    ASSERT_TRUE(DataFactory::updateupExportPath(dropped, dropper));
    EXPECT_EQ(load(dropped).upExportPath, dropper);

    DownloadTask quotedExport = load(quoted);
    quotedExport.strExportSavePath = "D:/'; delete from task; --", quotedExport.strTitleCutom = "'{z}'", quotedExport.createTm = "'";
    ASSERT_TRUE(DataFactory::alterTask(quotedExport));
    const QList<DownloadTask> tasks = DataFactory::getTaskList();
    ASSERT_EQ(tasks.size(), 2);
    EXPECT_EQ(tasks[0].name, "it's");
    EXPECT_EQ(tasks[0].strExportSavePath, "D:/'; delete from task; --");
    EXPECT_EQ(tasks[0].strTitleCutom, "'{z}'");
    EXPECT_EQ(tasks[0].createTm, "'");
    EXPECT_EQ(tasks[1].name, dropper);
    add(sampleTask("it's"));  // a name stored twice is still found
    EXPECT_TRUE(DataFactory::existTask("it's"));
}

TEST_F(DataFactoryTaskTest, StateCountPolygonAndNoviceOperations) {
    const int id = add(sampleTask("states"));
    bool ok = false;
    EXPECT_EQ(DataFactory::getTaskState(id, &ok), TASK_STATE_ENDED);
    EXPECT_FALSE(ok);  // a row was found: the flag is left as it was
    ASSERT_TRUE(DataFactory::alterTaskState(id, TASK_STATE_PAUSED));
    EXPECT_EQ(DataFactory::getTaskState(id), TASK_STATE_PAUSED);
    ASSERT_TRUE(DataFactory::updateTaskState(id, TASK_STATE_COMPLETED));
    EXPECT_EQ(DataFactory::getTaskState(id), TASK_STATE_COMPLETED);
    EXPECT_EQ(load(id).savedState, TASK_STATE_COMPLETED);
    EXPECT_EQ(DataFactory::getTaskState(id + 100, &ok), TASK_STATE_NONE);
    EXPECT_TRUE(ok);  // no row, but the query ran
    ASSERT_TRUE(DataFactory::alterTileTotal(id, 5000000000LL));
    EXPECT_EQ(load(id).count, 5000000000LL);

    // The region polygons' way there and back (the decoder's own cases are PolygonBlob's).
    QByteArray truncated = singlePolygonBlob(regiondb::square(5, 5));
    truncated.chop(20);
    const std::pair<QByteArray, QList<QPolygonF>> polygonCases[] = {
        {singlePolygonBlob(regiondb::square(5, 5)), {regiondb::square(5, 5)}},  // one polygon
        {QByteArray(), {}},                                                     // empty blob
        {truncated, {regiondb::polygon({QPointF(5, 5), QPointF(6, 5)})}},       // whole points only
    };
    for (const auto& [blob, polygons] : polygonCases) {
        ASSERT_TRUE(DataFactory::insertPolygonData(id, blob));
        EXPECT_EQ(load(id).rangepoints, polygons) << blob.size();
    }
    ASSERT_TRUE(DataFactory::insertIsNoviceModel(id, true));
    EXPECT_EQ(stored("bIsNovice", id).toInt(), 1);
    ASSERT_TRUE(DataFactory::deleteTask(id));
    EXPECT_TRUE(DataFactory::getTaskList().isEmpty());

    // The novice table: adding is not offered, the rest works on rows the application made.
    DownloadTask novice = sampleTask("novice");
    int noviceId = -1;
    EXPECT_FALSE(DataFactory::addNoviceNewTask(novice, 10, &noviceId));
    RawDb raw(dbPath());
    EXPECT_EQ(raw.value("select count(*) from novicetask").toInt(), 0);
    ASSERT_TRUE(raw.exec("insert into novicetask (id, state, count, progress) values (7, 1, 3, 'half')"));
    EXPECT_EQ(DataFactory::getNoviceProgress(7), "half");
    ASSERT_TRUE(DataFactory::alterNoviceTaskState(7, TASK_STATE_PAUSED));
    EXPECT_EQ(DataFactory::getNoviceTaskState(7), TASK_STATE_PAUSED);
    ASSERT_TRUE(DataFactory::updateNoviceTaskState(7, TASK_STATE_FAILED));
    EXPECT_EQ(DataFactory::getNoviceTaskState(7), TASK_STATE_FAILED);
    ASSERT_TRUE(DataFactory::alterNovectTileTotal(7, 99));
    EXPECT_EQ(raw.value("select count from novicetask where id = 7").toLongLong(), 99);
    const QByteArray blob = singlePolygonBlob(regiondb::square(1, 2));
    ASSERT_TRUE(DataFactory::insertNovicePolygonData(7, blob));
    EXPECT_EQ(raw.value("select rangepoints from novicetask where id = 7").toByteArray(), blob);
    ASSERT_TRUE(DataFactory::deleteNoviceTask(7));
    ok = false;
    EXPECT_EQ(DataFactory::getNoviceTaskState(7, &ok), TASK_STATE_NONE);
    EXPECT_TRUE(ok);
    EXPECT_EQ(DataFactory::getNoviceProgress(7), QString());
}

TEST_F(DataFactoryTaskTest, BaseSchemaDatabaseIsUpgradedAndKeepsItsRows) {
    {
        RawDb raw(dbPath());
        writeBaseSchema(raw);
        ASSERT_TRUE(raw.exec("insert into task (state, name, path, count, minx, miny, maxx, maxy, size, level, "
                             "maptype, threadcount, rangetype, progress) values (2, 'old one', 'C:/old', 4096, "
                             "1.5, 2.5, 3.5, 4.5, '0.75 MB', '1,2', 5, 1010, 0, '7/9')"));
        ASSERT_TRUE(raw.exec("insert into task (state, name) values (5, 'old two')"));
    }
    const QList<DownloadTask> tasks = DataFactory::getTaskList();
    ASSERT_EQ(tasks.size(), 2);
    const DownloadTask& t = tasks[0];
    EXPECT_EQ(t.name, "old one");
    EXPECT_EQ(t.state, TASK_STATE_PAUSED);
    EXPECT_EQ(t.count, 4096);
    EXPECT_EQ(t.extent.maxy, 4.5);
    EXPECT_EQ(t.level, QList<int>({1, 2}));
    EXPECT_EQ(t.levelExportList, QList<int>({1, 2}));
    EXPECT_EQ(t.threadcount, 10);
    EXPECT_TRUE(t.bIsGoogleOffset);
    // NULL rules of the added columns.
    for (int c : t.nBackGroundColor) EXPECT_EQ(c, 255);
    EXPECT_FALSE(t.bIsTransParent);
    EXPECT_EQ(t.nPointState, 2);
    EXPECT_EQ(t.resampleAlg, 0);
    EXPECT_EQ(t.nExportEPSG, -1);
    EXPECT_TRUE(t.strExportCoordName.isEmpty());
    EXPECT_EQ(t.ExportCoord, 3);  // NULL is code 0, which the old numbering calls 3
    EXPECT_FALSE(t.IsClip);
    EXPECT_EQ(t.nDuDai, 0);
    EXPECT_TRUE(t.strTitleCutom.isEmpty());
    EXPECT_EQ(DataFactory::getProgress(t.ID), "7/9");
    EXPECT_EQ(tasks[1].name, "old two");
    expectCurrentSchema();
    EXPECT_TRUE(RawDb(dbPath()).columns("novicetask").contains("geDate"));
    EXPECT_GT(add(sampleTask("new")), tasks[1].ID);  // new rows work on the upgraded table
}

TEST_F(DataFactoryTaskTest, Version0ExportCodesAreConvertedOnce) {
    {
        RawDb raw(dbPath());
        writeBaseSchema(raw);
        raw.exec("alter table task add column ExportCoord int");
        raw.exec("CREATE TABLE [taskversion] ([id] INTEGER PRIMARY KEY AUTOINCREMENT, [versionid] INTEGER NOT NULL)");
        raw.exec("insert into taskversion (versionid) values (0)");
        for (int code : {0, 1, 2, 3, 4, 5, 6, 7, 8, 1000})
            ASSERT_TRUE(raw.exec(QString("insert into task (name, ExportCoord) values ('c%1', %1)").arg(code)));
    }
    for (int round = 0; round < 3; ++round) {
        QList<int> codes;
        for (const DownloadTask& t : DataFactory::getTaskList()) codes.append(t.ExportCoord);
        EXPECT_EQ(codes, QList<int>({3, 4, 16, 14, 0, 1, 2, 5, 8, 1000})) << "listing " << round;
        if (round == 1) reopen();  // a later run must not convert again
    }
    RawDb raw(dbPath());
    EXPECT_EQ(raw.value("select ExportCoord from task where name = 'c3'").toInt(), 14);
    EXPECT_EQ(raw.value("select versionid from taskversion where id = 1").toInt(), 10);
}

TEST_F(DataFactoryTaskTest, DamagedOrUnopenableDatabasesFailCleanly) {
    add(sampleTask("one"));
    add(sampleTask("two"));
    reopen();
    QFile source(dbPath());
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    const QByteArray good = source.readAll();
    source.close();
    ASSERT_GT(good.size(), 1024);
    const QByteArray damaged[] = {
        QByteArray(8192, 'x'),                                   // not a database
        good.left(100),                                          // header only
        good.left(good.size() / 2),                              // cut in half
        good.left(1024) + QByteArray(good.size() - 1024, '\0'),  // pages zeroed
    };
    for (int i = 0; i < 4; ++i) {
        reopen();
        QFile::remove(dbPath());
        QFile file(dbPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(damaged[i]);
        file.close();
        // Whatever the damage, each operation returns; the first two cannot be read at all.
        const bool unreadable = i < 2;
        EXPECT_LE(DataFactory::getTaskList().size(), unreadable ? 0 : 2) << i;
        DownloadTask task = sampleTask("three");
        int id = -1;
        const bool added = DataFactory::addNewTask(task, 1, &id);
        const bool exists = DataFactory::existTask("one");
        const QString progress = DataFactory::getProgress(1);
        DataFactory::saveProgress(1, "x");
        bool ok = false;
        DataFactory::getTaskState(1, &ok);
        if (unreadable) {
            EXPECT_FALSE(added || exists) << i;
            EXPECT_EQ(progress, QString()) << i;
        }
    }

    DataFactory::setApplicationDir(QDir(m_dir.path()).filePath("no/such/folder"));
    DownloadTask task = sampleTask("nowhere");
    EXPECT_TRUE(DataFactory::getTaskList().isEmpty());
    EXPECT_FALSE(DataFactory::addNewTask(task, 1, nullptr));
    EXPECT_FALSE(DataFactory::alterTask(task));
    EXPECT_FALSE(DataFactory::saveProgress(1, "x"));
    EXPECT_FALSE(DataFactory::deleteTask(1));
    bool ok = true;
    EXPECT_EQ(DataFactory::getTaskState(1, &ok), TASK_STATE_NONE);
    EXPECT_FALSE(ok);
    EXPECT_EQ(DataFactory::getProgress(1), QString());
    QSqlDatabase closed;
    EXPECT_EQ(DataFactory::getProgress(closed, 1), QString());
}

TEST_F(DataFactoryTaskTest, ManyThreadsShareTheDatabaseWithoutLosingUpdates) {
    {
        regiondb::Writer region(QDir(m_dir.path()).filePath("region.dll"));
        region.add(regiondb::Area{1, "广东省", "Guangdong", 0, regiondb::outlineBlob({regiondb::square(110, 20)})});
    }
    const QList<QPolygonF> outline = {regiondb::square(110, 20)};
    constexpr int kThreads = 8, kTasksEach = 6;
    std::atomic<int> failures{0};
    std::vector<std::vector<int>> ids(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kTasksEach; ++i) {
                DownloadTask task = sampleTask(QString("t%1-%2").arg(t).arg(i));
                int id = -1;
                if (!DataFactory::addNewTask(task, i, &id) || id <= 0) {
                    ++failures;
                    continue;
                }
                ids[static_cast<size_t>(t)].push_back(id);
                if (!DataFactory::saveProgress(id, QString("%1 of '%2'").arg(i).arg(t))) ++failures;
                if (!DataFactory::alterTileTotal(id, 1000 * t + i)) ++failures;
                if (!DataFactory::alterTaskState(id, TASK_STATE_DOWNLOADING)) ++failures;
                if (!DataFactory::existTask(task.name)) ++failures;
                if (i % 2 == 0 && DataFactory::getTaskList().isEmpty()) ++failures;
                // The region database shares the lock: its connection serves every thread too.
                if (i % 2 == 1 && DataFactory::getCityRegion(QString::fromUtf8("广东省")) != outline) ++failures;
            }
        });
    }
    for (std::thread& th : threads) th.join();
    EXPECT_EQ(failures.load(), 0);
    std::set<int> allIds;
    for (const auto& list : ids) allIds.insert(list.begin(), list.end());
    EXPECT_EQ(allIds.size(), static_cast<size_t>(kThreads * kTasksEach));  // every insert read its own id
    const QList<DownloadTask> tasks = DataFactory::getTaskList();
    ASSERT_EQ(tasks.size(), kThreads * kTasksEach);
    for (const DownloadTask& task : tasks) {
        const QStringList parts = task.name.mid(1).split('-');
        ASSERT_EQ(parts.size(), 2) << task.name.toStdString();
        const int t = parts[0].toInt(), i = parts[1].toInt();
        EXPECT_EQ(task.count, 1000 * t + i) << task.name.toStdString();
        EXPECT_EQ(task.state, TASK_STATE_DOWNLOADING);
        EXPECT_EQ(DataFactory::getProgress(task.ID), QString("%1 of '%2'").arg(i).arg(t));
    }
}
