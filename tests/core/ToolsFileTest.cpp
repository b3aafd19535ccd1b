#include "core/TextConvert.h"
#include "core/Tools.h"
#include "core/log/VtLog.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QUrl>

#include <thread>
#include <vector>

namespace {

std::string gb(const QString& text) { return ConvertQStringToStdString(text, "GB18030"); }
QString ungb(const std::string& text) { return ConvertStdStringToQString(text, "GB18030"); }

bool touch(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write("x", 1) == 1;
}

// Names that have broken path code before: spaces, Chinese, quotes, shell and URL characters,
// and long names (the longest still leave room for "(n)" within 255 bytes).
std::vector<QString> awkwardNames() {
    return {QStringLiteral("plain"),
            QStringLiteral("with  spaces "),
            QString::fromUtf8("中文 任务"),
            QStringLiteral("quote's \"double\""),
            QStringLiteral("hash#percent%20amp&"),
            QString(200, QLatin1Char('n')),
            QString(70, QChar(0x6D4B))};
}

class UrlCatcher : public QObject {
    Q_OBJECT
public:
    std::vector<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls.push_back(url); }
};

// Routes "file", "http" and "https" URLs to a catcher for the lifetime of the test.
class ShellActions : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* scheme : {"file", "http", "https"}) QDesktopServices::setUrlHandler(scheme, &catcher, "open");
    }
    void TearDown() override {
        for (const char* scheme : {"file", "http", "https"}) QDesktopServices::unsetUrlHandler(scheme);
    }
    UrlCatcher catcher;
};

}  // namespace

TEST(ToolsFile, NonRepeatFilePathCountsFromTwo) {
    QTemporaryDir tmp;
    for (const QString& name : awkwardNames()) {
        const QString base = tmp.filePath(name);
        EXPECT_EQ(ungb(Tools::GetNonRepeatFilePath(gb(base + ".tif"))), base + ".tif") << "nothing there yet";
        ASSERT_TRUE(touch(base + ".tif"));
        EXPECT_EQ(ungb(Tools::GetNonRepeatFilePath(gb(base + ".tif"))), base + "(2).tif");
        ASSERT_TRUE(touch(base + "(2).tif"));
        EXPECT_EQ(ungb(Tools::GetNonRepeatFilePath(gb(base + ".tif"))), base + "(3).tif");
    }
    ASSERT_TRUE(QDir(tmp.path()).mkdir("dir.d"));
    const std::pair<const char*, const char*> forms[] = {
        {"a.b.tif", "a.b(2).b.tif"},        // stem to the last dot, extension from the first
        {"dir.d/noext", "dir.d/noext(2)"},  // a dot in the directory is not the name's
        {"dir.d", "dir(2).d"},              // an existing directory counts too
    };
    for (const auto& [existing, expected] : forms) {
        const QString path = tmp.filePath(existing);
        ASSERT_TRUE(QFileInfo::exists(path) || touch(path));
        EXPECT_EQ(ungb(Tools::GetNonRepeatFilePath(gb(path))), tmp.filePath(expected)) << existing;
    }
}

TEST(ToolsFile, CreateDirectoryRenamesOnlyWhenAsked) {
    QTemporaryDir tmp;
    for (const QString& name : awkwardNames()) {
        QString path = tmp.filePath(name + "/deep/er");
        ASSERT_TRUE(Tools::createDirectory(path, true)) << name.toStdString();
        EXPECT_EQ(path, tmp.filePath(name + "/deep/er"));  // created with its parents, not renamed
        EXPECT_TRUE(Tools::createDirectory(path, false));
        EXPECT_EQ(path, tmp.filePath(name + "/deep/er"));
        ASSERT_TRUE(Tools::createDirectory(path, true));
        EXPECT_EQ(path, tmp.filePath(name + "/deep/er(2)"));
        EXPECT_TRUE(QFileInfo(path).isDir());
    }
    QString file = tmp.filePath("file");
    ASSERT_TRUE(touch(file));
    EXPECT_FALSE(Tools::createDirectory(file, true));  // a file is in the way
    QString empty;
    EXPECT_FALSE(Tools::createDirectory(empty, false));
}

TEST(ToolsFile, CreateFileReNameDirSkipsExistingDirectories) {
    QTemporaryDir tmp;
    for (const QString& name : awkwardNames()) {
        const std::string dir = gb(tmp.filePath(name));
        EXPECT_EQ(Tools::CreateFileReNameDir(dir), dir);
        EXPECT_TRUE(QFileInfo(tmp.filePath(name)).isDir());
        EXPECT_EQ(ungb(Tools::CreateFileReNameDir(dir)), tmp.filePath(name + "(2)"));
        EXPECT_EQ(ungb(Tools::CreateFileReNameDir(dir)), tmp.filePath(name + "(3)"));
        EXPECT_TRUE(QFileInfo(tmp.filePath(name + "(3)")).isDir());
    }
}

TEST(ToolsFile, DeleteDirRemovesTreeAndEmptyParentsButNotHiddenEntriesOrLinkTargets) {
    QTemporaryDir tmp;
    const QString root = tmp.filePath(QString::fromUtf8("任务 one"));
    ASSERT_TRUE(QDir().mkpath(root + "/a/b/c"));
    ASSERT_TRUE(touch(root + "/a/b/c/tile.png"));
    ASSERT_TRUE(touch(root + "/a/f.dat"));
    ASSERT_TRUE(touch(tmp.filePath("keep")));
    EXPECT_TRUE(Tools::deleteDir(root));
    EXPECT_FALSE(QFileInfo::exists(root));
    EXPECT_TRUE(QFileInfo::exists(tmp.filePath("keep")));  // a parent that is not empty stays

    // An otherwise empty parent chain goes with it.
    ASSERT_TRUE(QDir().mkpath(tmp.filePath("p/q/r")));
    EXPECT_TRUE(Tools::deleteDir(tmp.filePath("p/q/r")));
    EXPECT_FALSE(QFileInfo::exists(tmp.filePath("p")));

    EXPECT_TRUE(Tools::deleteDir(tmp.filePath("never-there")));
    EXPECT_FALSE(Tools::deleteDir(QString()));

    // Hidden entries are not listed, so not deleted; links go, but not what they point to.
    ASSERT_TRUE(QDir().mkpath(tmp.filePath("hidden")));
    ASSERT_TRUE(touch(tmp.filePath("hidden/.secret")));
    EXPECT_FALSE(Tools::deleteDir(tmp.filePath("hidden")));
    EXPECT_TRUE(QFileInfo::exists(tmp.filePath("hidden/.secret")));

    ASSERT_TRUE(QDir().mkpath(tmp.filePath("target")));
    ASSERT_TRUE(touch(tmp.filePath("target/precious")));
    ASSERT_TRUE(QDir().mkpath(tmp.filePath("walk")));
    ASSERT_TRUE(QFile::link(tmp.filePath("target"), tmp.filePath("walk/link")));
    EXPECT_TRUE(Tools::deleteDir(tmp.filePath("walk")));
    EXPECT_FALSE(QFileInfo::exists(tmp.filePath("walk")));
    EXPECT_TRUE(QFileInfo::exists(tmp.filePath("target/precious")));

    ASSERT_TRUE(QFile::link(tmp.filePath("target"), tmp.filePath("dirlink")));
    EXPECT_TRUE(Tools::deleteDir(tmp.filePath("dirlink")));
    EXPECT_TRUE(QFileInfo::exists(tmp.filePath("target/precious")));
}

TEST(ToolsFile, ExistTaskReNameSkipsTaskAndLabelDirectories) {
    QTemporaryDir tmp;
    QDir dir(tmp.path());
    const QString label = QString::fromUtf8("_标签");
    for (const QString& name : awkwardNames()) {
        EXPECT_EQ(Tools::GetExistTaskReName(tmp.path(), name), name);
        ASSERT_TRUE(dir.mkdir(name));
        EXPECT_EQ(Tools::GetExistTaskReName(tmp.path(), name), name + "(2)");
        EXPECT_EQ(Tools::GetExistTaskReName(tmp.path(), name + "(3)"), name + "(2)");  // number dropped, recounted
        ASSERT_TRUE(dir.mkdir(name + "(2)" + label));  // only the label depository exists
        EXPECT_EQ(Tools::GetExistTaskReName(tmp.path(), name), name + "(3)");
    }
    ASSERT_TRUE(dir.mkdir("task(x)"));
    EXPECT_EQ(Tools::GetExistTaskReName(tmp.path(), "task(x)"), QStringLiteral("task(x)(2)"));
    EXPECT_EQ(Tools::GetExistTaskReName(tmp.path(), "t()"), QStringLiteral("t()"));
    ASSERT_TRUE(touch(tmp.filePath("file")));
    EXPECT_EQ(Tools::GetExistTaskReName(tmp.path(), "file"), QStringLiteral("file"));  // files do not collide
}

TEST(ToolsFile, TaskPathsDropDepositorySuffix) {
    struct Row {
        const char* path;
        const char* name;
        const char* expected;
    };
    const std::vector<Row> rows = {
        {"D:/maps/task.idx", "ignored", "D:/maps/task"},
        {"D:/maps/task.v2.dat", "ignored", "D:/maps/task.v2"},
        {"D:/maps/task.IDX", "n", "D:/maps/task.IDX/n"},  // case-sensitive
        {"D:/maps", "北京 影像", "D:/maps/北京 影像"},
    };
    for (const Row& row : rows) {
        DownloadTask task;
        task.path = QString::fromUtf8(row.path);
        task.name = QString::fromUtf8(row.name);
        const QString expected = QString::fromUtf8(row.expected);
        EXPECT_EQ(Tools::CalculateTaskValidPath(task, ".idx"), gb(expected) + ".idx") << row.path;
        EXPECT_EQ(Tools::CalculateTaskLabelValidPath(task, ".dat"), gb(expected + QString::fromUtf8("_标签")) + ".dat");
    }
    DownloadTask broken;
    broken.path = QString(QChar(0xD800));
    EXPECT_EQ(Tools::CalculateTaskValidPath(broken, ".idx"), "");
}

TEST(ToolsFile, TaskNameValidity) {
    struct Row {
        const char* name;
        bool valid;
    };
    const std::vector<Row> rows = {
        {"", false},         {"a|b", false},      {"a？b", false},      {"a：b", false},     {"a“b", false},
        {"《a》", false},    {"a/b", false},      {"a*b", false},       {"a<b", false},      {"a\"b", false},
        {"a\\b", true},      {"北京 2024", true}, {"it's (2)", true},   {" ", true},
    };
    for (const Row& row : rows) EXPECT_EQ(Tools::IsTaskNameValidity(QString::fromUtf8(row.name)), row.valid) << row.name;
    EXPECT_TRUE(Tools::IsTaskNameValidity(QString(5000, QLatin1Char('n'))));
}

TEST(ToolsFile, DiskFreeSpaceOfTheHoldingFileSystem) {
    QTemporaryDir tmp;
    const QStorageInfo storage(tmp.path());
    const double expected = static_cast<double>(storage.bytesFree()) / 1024.0 / 1024.0;
    // Other processes write while the test runs: allow 1% or 256 MB of drift.
    const double slack = std::max(expected * 0.01, 256.0);
    EXPECT_NEAR(Tools::getDiskFreeSpace(tmp.path()), expected, slack);
    EXPECT_NEAR(Tools::getDiskFreeSpace(tmp.filePath(QString::fromUtf8("尚未/创建/任务.idx"))), expected, slack);
    EXPECT_GT(expected, 0.0);
    EXPECT_EQ(Tools::getDiskFreeSpace(QString()), 0.0);
}

TEST_F(ShellActions, OpenFolderAndOpenFolderAndSelectLogAndHandTheFolderToTheDesktop) {
    QTemporaryDir tmp;
    CVtLogCapture capture;
    for (const QString& name : awkwardNames()) {
        const QString dir = tmp.filePath(name);
        Tools::openFolder(dir);
        ASSERT_FALSE(catcher.urls.empty());
        EXPECT_EQ(catcher.urls.back().toLocalFile(), dir);
        EXPECT_TRUE(capture.Contains(VTLOG_LEVEL_LOG, ("[Tools::openFolder] 打开指定文件目录：" + dir).toStdString()));
    }
    // Selecting a file needs the file.
    catcher.urls.clear();
    const QString file = tmp.filePath(QString::fromUtf8("影像 \"1\".tif"));
    Tools::openFolderAndSelect(file);
    EXPECT_TRUE(catcher.urls.empty());
    EXPECT_TRUE(capture.Contains(VTLOG_LEVEL_LOG, "[Tools::openFolderAndSelect] 指定文件目录不存在！"));
    ASSERT_TRUE(touch(file));
    capture.Clear();
    Tools::openFolderAndSelect(file);
    ASSERT_EQ(catcher.urls.size(), 1u);
    EXPECT_EQ(catcher.urls[0].toLocalFile(), tmp.path());
    EXPECT_TRUE(capture.Contains(VTLOG_LEVEL_LOG, ("打开指定文件目录并选中：" + file).toStdString()));
    EXPECT_FALSE(capture.Contains("不存在"));
}

TEST_F(ShellActions, OpenSitesFromAnotherThreadIsQueuedToTheGuiThread) {
    CVtLogCapture capture;
    std::thread worker([] { Tools::openSites(QStringLiteral("http://127.0.0.1:9/a b?q=中")); });
    worker.join();
    EXPECT_TRUE(catcher.urls.empty());  // nothing ran on the worker
    QDeadlineTimer deadline(30000);
    while (catcher.urls.empty() && !deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    ASSERT_EQ(catcher.urls.size(), 1u);
    EXPECT_EQ(catcher.urls[0].host(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(catcher.urls[0].path(), QStringLiteral("/a b"));
    EXPECT_TRUE(capture.Contains(VTLOG_LEVEL_LOG, "[Tools::openSites] 链接URL：http://127.0.0.1:9/a b?q=中"));
}

TEST(ToolsFile, ShellActionsWithoutHandlersReturnOnOffscreenDesktops) {
    // The test program runs on the offscreen platform, which has no desktop services: the calls
    // must come back (not block, not crash) and still write their records.
    CVtLogCapture capture;
    Tools::openFolder(QDir::tempPath());
    Tools::openSites(QStringLiteral("https://127.0.0.1/"));
    EXPECT_TRUE(capture.Contains(VTLOG_LEVEL_LOG, "[Tools::openFolder]"));
    EXPECT_TRUE(capture.Contains(VTLOG_LEVEL_LOG, "[Tools::openSites]"));
}

#include "ToolsFileTest.moc"
