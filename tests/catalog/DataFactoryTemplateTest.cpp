#include "CatalogTest.h"

#include <QFileInfo>
#include <QLibrary>

using DataFactoryTemplateTest = AppDirTest;

// A fresh directory gets a writable copy of the template and the colour table; existing files are kept.
TEST_F(DataFactoryTemplateTest, FreshDirectoryGetsTheTemplateAndColourTableOnce) {
    // Registers the stand-in application resources for the rest of the run.
    static QLibrary resources(QString(VT_TEST_BINARY_DIR) + "/catalog/fixtures/VtFixtureAppResources");
    ASSERT_TRUE(resources.isLoaded() || resources.load());
    ASSERT_TRUE(QFile::exists(":/file/Icon/files/task.tdb"));

    EXPECT_TRUE(DataFactory::getTaskList().isEmpty());
    EXPECT_TRUE(QFileInfo(file("task.db")).isWritable());  // the resource copy was read-only
    EXPECT_EQ(readFile(file("color_relief.txt")), readFile(":/file/Icon/files/color_relief.txt"));
    EXPECT_FALSE(readFile(file("color_relief.txt")).isEmpty());
    DownloadTask task;
    task.name = "from template";
    ASSERT_TRUE(DataFactory::addNewTask(task, 3, nullptr));

    ASSERT_TRUE(writeFile(file("color_relief.txt"), "mine\n"));
    reopen();  // nothing may be copied again
    const QList<DownloadTask> tasks = DataFactory::getTaskList();
    ASSERT_EQ(tasks.size(), 1);
    EXPECT_EQ(tasks[0].name, "from template");
    EXPECT_EQ(readFile(file("color_relief.txt")), "mine\n");
}
