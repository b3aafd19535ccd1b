#include "CatalogTest.h"

namespace {

// Every field with a column set away from its default.
DownloadTask sampleTask(const QString& name) {
    DownloadTask t;
    t.name = name, t.path = "D:/tiles/" + name, t.state = TASK_STATE_DOWNLOADING, t.count = 77, t.threadcount = 16;
    t.extent = {116.3, 39.75, 116.55, 40.0625}, t.level = {3, 4, 5}, t.maptype = 12, t.MapItemType = 3, t.rangetype = 2;
    t.geDate = 20240101, t.DownImgeType = 2, t.IsDownFinisedExport = true, t.bIsOverTagge = true, t.IsClip = false;
    t.bIsCreateCoordFile = false, t.IsDownFinishedOpenFile = true, t.levelExportList = {4, 5}, t.ExportCoord = 14;
    t.exportExtent = {116.35, 39.8, 116.5, 40.0}, t.nExportEPSG = 4490, t.strExportCoordName = "CGCS2000";
    t.ExportType = EXPORT_MBTILES, t.ExportImgType = SAVE_IMAGE_PNG, t.strExportSavePath = "E:/export/out.mbtiles";
    t.buyState = 1, t.CustomRowCount = 6, t.CustomColCount = 7, t.TitleCutomIS16 = true, t.TitleCutomBigFont = true;
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

class DataFactoryTaskTest : public AppDirTest {
protected:
    QString dbPath() const { return file("task.db"); }
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
        const QVariantList task = raw.columns("task");
        EXPECT_EQ(task.size(), 17 + 51);
        for (const char* c : {"geDate", "ExportCoord", "TitleCutomIsSix", "dSevenData7", "MapItemType", "bIsNovice"})
            EXPECT_TRUE(task.contains(c)) << c;
        EXPECT_EQ(raw.columns("novicetask").size(), 5 + 1);
        EXPECT_EQ(raw.value("select versionid from taskversion where id = 1").toInt(), 10);
    }
};

}  // namespace

TEST_F(DataFactoryTaskTest, FreshDatabaseKeepsEveryColumnAndAlterTaskRewritesExportSettingsOnly) {
    EXPECT_TRUE(DataFactory::getTaskList().isEmpty());
    expectCurrentSchema();

    const DownloadTask task = sampleTask("round trip");
    const int id = add(task, 12345);
    DownloadTask expected = task;
    expected.ID = id, expected.count = 12345;                 // the argument, not task.count
    expected.state = expected.savedState = TASK_STATE_ENDED;  // new rows start ended
    DownloadTask loaded = load(id);
    EXPECT_TRUE(loaded == expected);
    EXPECT_EQ(unequalled(loaded), unequalled(task));
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
    EXPECT_EQ(std::make_pair(DataFactory::getProgress(id), DataFactory::getProgress(DataFactory::getTaskDB(), id)),
              std::make_pair(QString("12/40"), QString("12/40")));
    EXPECT_EQ(DataFactory::getProgress(DataFactory::getTaskDB(), id + 1000), QString());
}

// Single-column operations on rows; quotes and hostile texts are only data.
TEST_F(DataFactoryTaskTest, RowOperationsStoreTheirValuesAsData) {
    const QString hostile = "x' OR '1'='1", dropper = "a'); drop table task; --";
    DownloadTask task = sampleTask("it's");
    task.threadcount = 1008, task.levelExportList.clear();
    const int id = add(task), dropped = add(sampleTask(dropper));
    for (const QString& name : {QString("it's"), dropper}) EXPECT_TRUE(DataFactory::existTask(name)) << name.toStdString();
    for (const QString& name : {hostile, QString("it"), QString("%")}) EXPECT_FALSE(DataFactory::existTask(name)) << name.toStdString();
    ASSERT_TRUE(DataFactory::saveProgress(id, hostile) && DataFactory::saveUpExportPath(id, "C:/it's/'here'") &&
                DataFactory::updateupExportPath(dropped, dropper));
    EXPECT_EQ(std::make_tuple(DataFactory::getProgress(id), load(id).upExportPath, load(dropped).upExportPath),
              std::make_tuple(hostile, QString("C:/it's/'here'"), dropper));
    DownloadTask quotedExport = load(id);
    quotedExport.strExportSavePath = "D:/'; delete from task; --", quotedExport.strTitleCutom = "'{z}'", quotedExport.createTm = "'";
    ASSERT_TRUE(DataFactory::alterTask(quotedExport));
    const DownloadTask altered = load(id);
    EXPECT_EQ(std::make_tuple(DataFactory::getTaskList().size(), altered.name, altered.strExportSavePath, altered.strTitleCutom, altered.createTm),
              std::make_tuple(2, QString("it's"), QString("D:/'; delete from task; --"), QString("'{z}'"), QString("'")));

    // Above a thousand threads means offset tiles. The first row is the added task's own count.
    const std::tuple<int, int, bool> threadCases[] = {{1008, 8, true}, {1000, 1000, false}, {1001, 1, true}, {0, 0, false}};
    for (const auto& [count, threads, offset] : threadCases) {
        ASSERT_TRUE(count == 1008 || DataFactory::alterTaskThread(id, count));
        const DownloadTask loaded = load(id);
        EXPECT_EQ(std::make_tuple(stored("threadcount", id).toInt(), loaded.threadcount, loaded.bIsGoogleOffset),
                  std::make_tuple(count, threads, offset));
    }
    // Levels are parsed and sorted; an empty export list is a copy of them.
    const std::pair<const char*, QList<int>> levelCases[] = {{",5,,3", {3, 5}}, {"12,3,7", {3, 7, 12}}, {"", {}}};
    for (const auto& [text, levels] : levelCases) {
        ASSERT_TRUE(RawDb(dbPath()).exec(QString("update task set level = ?, levelExportList = '' where id = %1").arg(id), {QString(text)}));
        const DownloadTask loaded = load(id);
        EXPECT_EQ(std::make_pair(loaded.level, loaded.levelExportList), std::make_pair(levels, levels)) << text;
    }
    ASSERT_TRUE(DataFactory::alterTaskLevel(id, {9, 2, 5}));
    EXPECT_EQ(std::make_pair(stored("level", id).toString(), load(id).level), std::make_pair(QString("9,2,5"), QList<int>({2, 5, 9})));

    bool ok = false;
    EXPECT_EQ(DataFactory::getTaskState(id, &ok), TASK_STATE_ENDED);
    EXPECT_FALSE(ok);  // a row was found: the flag is left as it was
    ASSERT_TRUE(DataFactory::alterTaskState(id, TASK_STATE_PAUSED));
    EXPECT_EQ(DataFactory::getTaskState(id), TASK_STATE_PAUSED);
    ASSERT_TRUE(DataFactory::updateTaskState(id, TASK_STATE_COMPLETED));
    EXPECT_EQ(DataFactory::getTaskState(id + 100, &ok), TASK_STATE_NONE);
    EXPECT_TRUE(ok);  // no row, but the query ran
    // The task polygon format with its marker word: the outline format follows it.
    ASSERT_TRUE(DataFactory::alterTileTotal(id, 5000000000LL) && DataFactory::insertIsNoviceModel(id, true) &&
                DataFactory::insertPolygonData(id, QByteArray(4, '\xff') + outlineBlob({square(5, 5), square(1, 2)})));
    const DownloadTask loaded = load(id);
    EXPECT_EQ(std::make_tuple(loaded.savedState, loaded.count, loaded.rangepoints, stored("bIsNovice", id).toInt()),
              std::make_tuple(int(TASK_STATE_COMPLETED), 5000000000LL, QList<QPolygonF>({square(5, 5), square(1, 2)}), 1));
    ASSERT_TRUE(DataFactory::deleteTask(id) && DataFactory::deleteTask(dropped));
    EXPECT_TRUE(DataFactory::getTaskList().isEmpty());

    // The novice table: adding is not offered, the rest works on rows the application made.
    DownloadTask novice = sampleTask("novice");
    EXPECT_FALSE(DataFactory::addNoviceNewTask(novice, 10, nullptr));
    RawDb raw(dbPath());
    ASSERT_TRUE(raw.exec("insert into novicetask (id, state, count, progress) values (7, 1, 3, 'half')"));
    EXPECT_EQ(DataFactory::getNoviceProgress(7), "half");
    ASSERT_TRUE(DataFactory::alterNoviceTaskState(7, TASK_STATE_PAUSED));
    EXPECT_EQ(DataFactory::getNoviceTaskState(7), TASK_STATE_PAUSED);
    ASSERT_TRUE(DataFactory::updateNoviceTaskState(7, TASK_STATE_FAILED) && DataFactory::alterNovectTileTotal(7, 99) &&
                DataFactory::insertNovicePolygonData(7, "blob"));
    EXPECT_EQ(DataFactory::getNoviceTaskState(7), TASK_STATE_FAILED);
    EXPECT_EQ(raw.value("select count || rangepoints from novicetask where id = 7").toString(), "99blob");
    ASSERT_TRUE(DataFactory::deleteNoviceTask(7));
    ok = false;
    EXPECT_EQ(std::make_tuple(DataFactory::getNoviceTaskState(7, &ok), ok, DataFactory::getNoviceProgress(7)),
              std::make_tuple(TASK_STATE_NONE, true, QString()));
}

TEST_F(DataFactoryTaskTest, OlderDatabasesAreUpgradedAndKeepTheirRows) {
    {
        // The template's base tables as an older application left them.
        RawDb raw(dbPath());
        ASSERT_TRUE(raw.exec("create table task ([id] INTEGER PRIMARY KEY AUTOINCREMENT, [state] integer, [name] text, "
                             "[path] text, [count] numeric, [minx] double, [miny] double, [maxx] double, [maxy] double, "
                             "[size] text, [level] text, [maptype] integer, [threadcount] integer, [rangetype] integer, "
                             "[rangepoints] blob, [progress] text, [bIsNovice] integer)"));
        ASSERT_TRUE(raw.exec("create table novicetask ([id] INTEGER PRIMARY KEY AUTOINCREMENT, [state] integer, "
                             "[count] numeric, [progress] text, [rangepoints] blob)"));
        ASSERT_TRUE(raw.exec("insert into task (state, name, path, count, minx, miny, maxx, maxy, size, level, "
                             "maptype, threadcount, rangetype, progress) values (2, 'old one', 'C:/old', 4096, "
                             "1.5, 2.5, 3.5, 4.5, '0.75 MB', '1,2', 5, 1010, 0, '7/9')"));
        ASSERT_TRUE(raw.exec("insert into task (state, name) values (5, 'old two')"));
    }
    const QList<DownloadTask> tasks = DataFactory::getTaskList();
    ASSERT_EQ(tasks.size(), 2);
    const DownloadTask& t = tasks[0];
    EXPECT_EQ(std::make_tuple(t.name, t.state, t.count, t.extent.maxy, t.levelExportList, t.threadcount, t.bIsGoogleOffset),
              std::make_tuple(QString("old one"), int(TASK_STATE_PAUSED), 4096LL, 4.5, QList<int>({1, 2}), 10, true));
    // NULL rules of the added columns; a NULL ExportCoord is code 0, which the old numbering calls 3.
    EXPECT_EQ(std::vector<int>(std::begin(t.nBackGroundColor), std::end(t.nBackGroundColor)), std::vector<int>(4, 255));
    EXPECT_EQ(std::make_tuple(t.bIsTransParent, t.nPointState, t.resampleAlg, t.nExportEPSG, t.ExportCoord, t.IsClip, t.nDuDai),
              std::make_tuple(false, 2, 0, -1, 3, false, 0));
    EXPECT_EQ(DataFactory::getProgress(t.ID), "7/9");
    expectCurrentSchema();
    EXPECT_GT(add(sampleTask("new")), tasks[1].ID);  // new rows work on the upgraded table

    // Version 0 stored export codes in the old numbering: they are converted once, not on a later run.
    reopen();
    {
        RawDb raw(dbPath());
        ASSERT_TRUE(raw.exec("delete from task") && raw.exec("update taskversion set versionid = 0"));
        for (int code : {0, 1, 2, 3, 4, 5, 6, 7, 8, 1000})
            ASSERT_TRUE(raw.exec(QString("insert into task (name, ExportCoord) values ('c%1', %1)").arg(code)));
    }
    for (int round = 0; round < 3; ++round) {
        QList<int> codes;
        for (const DownloadTask& task : DataFactory::getTaskList()) codes.append(task.ExportCoord);
        EXPECT_EQ(codes, QList<int>({3, 4, 16, 14, 0, 1, 2, 5, 8, 1000})) << "listing " << round;
        if (round == 1) reopen();
    }
    RawDb raw(dbPath());
    EXPECT_EQ(raw.values("select ExportCoord from task where name = 'c3' union all select versionid from taskversion"),
              QVariantList({14, 10}));
}

TEST_F(DataFactoryTaskTest, DamagedOrUnopenableDatabasesFailCleanly) {
    add(sampleTask("one"));
    reopen();
    // A file that is not a database, in place of the one the task was added to: nothing of it is read.
    ASSERT_TRUE(QFile::remove(dbPath()) && writeFile(dbPath(), QByteArray(8192, 'x')));
    DownloadTask task = sampleTask("three");
    EXPECT_TRUE(DataFactory::getTaskList().isEmpty() && DataFactory::getProgress(1).isNull());
    EXPECT_FALSE(DataFactory::addNewTask(task, 1, nullptr) || DataFactory::existTask("one") || DataFactory::saveProgress(1, "x"));

    DataFactory::setApplicationDir(file("no/such/folder"));
    EXPECT_TRUE(DataFactory::getTaskList().isEmpty());
    EXPECT_FALSE(DataFactory::addNewTask(task, 1, nullptr) || DataFactory::alterTask(task) ||
                 DataFactory::saveProgress(1, "x") || DataFactory::deleteTask(1));
    bool ok = true;
    QSqlDatabase closed;
    EXPECT_EQ(DataFactory::getTaskState(1, &ok), TASK_STATE_NONE);
    EXPECT_TRUE(!ok && DataFactory::getProgress(1).isNull() && DataFactory::getProgress(closed, 1).isNull());
}

TEST_F(DataFactoryTaskTest, ManyThreadsShareTheDatabaseWithoutLosingUpdates) {
    ASSERT_TRUE(writeRegionDb(file("region.dll"), {{1, "广东省", "Guangdong", 0, outlineBlob({square(110, 20)})}}));
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 6; ++i) {
                DownloadTask task = sampleTask(QString("t%1-%2").arg(t).arg(i));
                int id = -1;
                // Every insert reads its own id: the progress written through it is its own.
                const bool done = DataFactory::addNewTask(task, i, &id) && DataFactory::saveProgress(id, task.name) &&
                                  DataFactory::getProgress(id) == task.name && DataFactory::existTask(task.name);
                if (!done || (i % 2 == 0 && DataFactory::getTaskList().isEmpty())) ++failures;
                // The region database shares the lock: its connection serves every thread too.
                if (i % 2 == 1 && DataFactory::getCityRegion(u8("广东省")) != QList<QPolygonF>{square(110, 20)}) ++failures;
            }
        });
    }
    for (std::thread& th : threads) th.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(DataFactory::getTaskList().size(), 8 * 6);
}
