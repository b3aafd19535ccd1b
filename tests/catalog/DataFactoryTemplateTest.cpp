#include "catalog/DataFactory.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibrary>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// Registers the stand-in application resources for the rest of the run.
bool loadAppResources() {
    static QLibrary library(QString(VT_TEST_BINARY_DIR) + "/catalog/fixtures/VtFixtureAppResources");
    return library.isLoaded() || library.load();
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class DataFactoryTemplateTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(loadAppResources());
        ASSERT_TRUE(QFile::exists(":/file/Icon/files/task.tdb"));
        ASSERT_TRUE(m_dir.isValid());
        DataFactory::setApplicationDir(m_dir.path());
    }
    void TearDown() override { DataFactory::setApplicationDir(QString()); }

    QString file(const char* name) const { return QDir(m_dir.path()).filePath(name); }

    QTemporaryDir m_dir;
};

}  // namespace

// A fresh directory gets a writable copy of the template and the colour table; existing files are kept.
TEST_F(DataFactoryTemplateTest, FreshDirectoryGetsTheTemplateAndColourTableOnce) {
    EXPECT_TRUE(DataFactory::getTaskList().isEmpty());
    ASSERT_TRUE(QFile::exists(file("task.db")));
    EXPECT_TRUE(QFileInfo(file("task.db")).isWritable());  // the resource copy was read-only
    EXPECT_EQ(readAll(file("color_relief.txt")), readAll(":/file/Icon/files/color_relief.txt"));
    EXPECT_FALSE(readAll(file("color_relief.txt")).isEmpty());
    DownloadTask task;
    task.name = "from template";
    ASSERT_TRUE(DataFactory::addNewTask(task, 3, nullptr));

    QFile colours(file("color_relief.txt"));
    ASSERT_TRUE(colours.open(QIODevice::WriteOnly | QIODevice::Truncate));
    colours.write("mine\n");
    colours.close();
    DataFactory::setApplicationDir(m_dir.path());  // reopen: nothing may be copied again
    EXPECT_EQ(DataFactory::getTaskList().value(0).name, "from template");
    EXPECT_EQ(DataFactory::getTaskList().size(), 1);
    EXPECT_EQ(readAll(file("color_relief.txt")), "mine\n");
}
