#include "CoreTest.h"
#include "core/VtCoreApplication.h"
#include "core/platform/Platform.h"

#include <QDateTime>

namespace {

// A platform whose executable path, memory counters and trimming the test decides.
struct FakePlatform : CVtNativePlatform {
    std::string exe;
    bool countersReadable = true;
    std::uint64_t workingSet = 0;
    int trims = 0;
    std::string ExecutablePath() const override { return exe; }
    bool WorkingSetBytes(std::uint64_t& bytes) const override {
        bytes = workingSet;
        return countersReadable;
    }
    bool TrimWorkingSet() override { return ++trims > 0; }
};

// Installs a fake platform and resets the application's stored directories for one test.
class CoreApplication : public ::testing::Test {
protected:
    void SetUp() override { m_previous = SetVtPlatform(&m_platform); }
    void TearDown() override {
        m_app->SetProductDir("");
        SetVtPlatform(m_previous);
    }
    std::string tempDir() const { return m_dir.path().toStdString() + "/"; }

    FakePlatform m_platform;
    IVtPlatform* m_previous = nullptr;
    CVtCoreApplication* m_app = CVtCoreApplication::GetInstance();
    QTemporaryDir m_dir;
};

}  // namespace

TEST_F(CoreApplication, DirectoryTreeFollowsTheExecutablePathMemoryFiguresTheProcessCountersFileFormatListsAreKeptApart) {
    const struct Row { const char* exe; const char* executeDir; const char* productDir; } rows[] = {
        {"C:/P/Bin/Releasex64/App.exe", "C:/P/Bin/Releasex64/", "C:/P/"},
        {"C:\\P\\Bin\\Releasex64\\App.exe", "C:/P/Bin/Releasex64/", "C:/P/"},          // Windows separators
        {"C:/P/Bin/./Tools/../Releasex64/App.exe", "C:/P/Bin/Releasex64/", "C:/P/"},  // dot parts resolved
        {"/opt/vt/bin/release/vtapp", "/opt/vt/bin/release/", "/opt/vt/"},
    };
    for (const Row& row : rows) {
        m_platform.exe = row.exe;
        EXPECT_EQ(m_app->GetExecuteDir(), row.executeDir) << row.exe;
        EXPECT_EQ(m_app->GetProductDir(), row.productDir) << row.exe;
    }

    EXPECT_GT(m_app->GetMemorySafeThreshold(), 0.0);
    m_platform.workingSet = (3u << 20) + (512u << 10);  // 3.5 MB: whole MB only
    EXPECT_EQ(m_app->CheckCurrentMemorySize(), 3.0);
    EXPECT_FALSE(m_app->IsBeyondMemorySafeThreshold());
    m_platform.workingSet = static_cast<std::uint64_t>(m_app->GetMemorySafeThreshold() + 2) << 20;
    EXPECT_TRUE(m_app->IsBeyondMemorySafeThreshold());
    m_platform.countersReadable = false;
    EXPECT_EQ(m_app->CheckCurrentMemorySize(), -1.0);
    EXPECT_FALSE(m_app->IsBeyondMemorySafeThreshold());

    CVtLogCapture capture;
    m_app->TrimMemoryChip();
    EXPECT_EQ(m_platform.trims, 1);
    const std::string id = m_app->GetCpuID();  // the processor signature: eight upper-case hex digits
    EXPECT_EQ(id.size(), 8u);
    EXPECT_EQ(id.find_first_not_of("0123456789ABCDEF"), std::string::npos) << id;

    m_app->SetSupportFileFormat({}, true);
    m_app->SetSupportFileFormat({}, false);
    // Only patterns with a star-dot (anywhere) are kept, each once.
    for (const char* pattern : {"*.tif", "tif", "*", "*.tif", "*.TIFF", "x*.png"})
        m_app->AddSupportFileFormat(pattern, true);
    EXPECT_EQ(m_app->GetSupportFileFormat(true), (std::vector<std::string>{"*.tif", "*.TIFF", "x*.png"}));
    EXPECT_TRUE(m_app->GetSupportFileFormat(false).empty());

    m_app->AddSupportFileFormats({"*.img", "*.img", "*.dem"}, false);
    const struct Ask { const char* name; bool listA; bool supported; } asks[] = {
        {"TIF", true, true}, {"tif", true, true}, {"TI", true, true},  // a prefix of the extension
        {"TIFFS", true, false}, {"", true, false},                     // longer than any; empty
        {"img", true, false}, {"IMG", false, true},                    // only in list B
    };
    for (const Ask& ask : asks)
        EXPECT_EQ(m_app->IsSupportFileFormat(ask.name, ask.listA), ask.supported) << ask.name << ask.listA;

    m_app->RemoveSupportFileFormats({"*.TIFF", "*.none"}, true);
    EXPECT_EQ(m_app->GetSupportFileFormat(true), (std::vector<std::string>{"*.tif", "x*.png"}));
    m_app->SetSupportFileFormat({}, true);
    EXPECT_FALSE(m_app->IsSupportFileFormat("tif", true));
    m_app->SetSupportFileFormat({}, false);
}

TEST_F(CoreApplication, CadControlNeedsEveryFileAndARegistrationInsideTheProductArrangeLogsKeepsTheTwentyOneYoungest) {
    m_app->SetProductDir(tempDir());
    // Each check names the first missing file in check order, and only that one: supplying the named
    // file each time walks the whole list in order.
    const std::string named = "CAD 不完整，缺少文件：" + tempDir();
    std::vector<std::string> files;
    while (files.size() <= 50) {
        CVtLogCapture capture;
        if (m_app->IsMxCtrlComplete()) break;
        const std::vector<VtLogRecord> records = capture.Records();
        ASSERT_EQ(records.size(), 1u);
        ASSERT_EQ(records[0].level, VTLOG_LEVEL_ERROR);
        ASSERT_EQ(records[0].utf8.substr(0, named.size()), named);
        files.push_back(records[0].utf8.substr(named.size()));
        ASSERT_TRUE(touch(m_dir.filePath(QString::fromStdString(files.back()))));
    }
    ASSERT_EQ(files.size(), 50u);
    EXPECT_EQ(files.front(), "Bin/CADx64/1mxmenu.mnu");
    EXPECT_EQ(files.back(), "Bin/Releasex64/china.dll");

    CVtLogCapture capture;

    // The registration must point into the product.
    m_app->SetProductDir("C:/P/");
    const QString reg = m_dir.filePath("registry.reg");
    const QByteArray section = "[HKEY_CLASSES_ROOT\\CLSID\\{74a777f8-7a8f-4e7c-af47-7074828086e2}\\InprocServer32]\n";
    // A null content: no registry file at all.
    const struct Row { const char* what; QByteArray content; bool available; std::string record; } rows[] = {
        {"no registry", QByteArray(), false, "CAD 不可用，打开注册表失败"},
        {"no default value", section + "\"ThreadingModel\"=\"Apartment\"\n", false, "CAD 不可用，读取注册表失败"},
        {"elsewhere", section + "@=\"D:\\\\Other\\\\Bin\\\\CADx64\\\\MxDrawX.ocx\"\n", false,
         "CAD 不可用，注册路径不一致，1=d:/other/bin/cadx64/mxdrawx.ocx，2=c:/p/bin/cadx64/mxdrawx.ocx"},
        {"same path, other case and form", section + "@=\"c:\\\\p\\\\Bin\\\\x\\\\..\\\\CADX64\\\\.\\\\MXDRAWX.OCX\"\n", true, ""},
    };
    SetVtRegistryFile(reg.toStdString());
    for (const Row& row : rows) {
        QFile::remove(reg);
        ASSERT_TRUE(row.content.isNull() || touch(reg, "Windows Registry Editor Version 5.00\n\n" + row.content));
        capture.Clear();
        EXPECT_EQ(m_app->IsMxCtrlAvailable(), row.available) << row.what;
        EXPECT_TRUE(row.record.empty() ? capture.Records().empty() : capture.Contains(VTLOG_LEVEL_ERROR, row.record)) << row.what;
    }
    SetVtRegistryFile("");

    // Arranging the logs keeps the 21 youngest run directories and removes the older ones.
    m_platform.exe = tempDir() + "bin/app";
    m_app->SetProductDir(tempDir());
    const QDateTime now = QDateTime::currentDateTime();
    for (int total : {21, 22}) {
        const QString log = m_dir.filePath("Data/Log");
        QDir(log).removeRecursively();
        std::vector<QString> names;
        for (int i = 0; i < total; ++i) {
            // Distinct stamps an hour apart, listed out of age order on purpose.
            const int hoursAgo = (i * 7) % total;
            names.push_back("VtCoreLog" + now.addSecs(-3600 * (hoursAgo + 1)).toString("yyyyMMddhhmmss"));
            ASSERT_TRUE(touch(log + "/" + names.back() + "/VtCore.log"));
        }
        ASSERT_TRUE(QDir(log).mkpath("VtCoreLogNotATime"));
        ASSERT_TRUE(QDir(log).mkpath("OtherLog20000101000000"));
        m_app->ArrangeLogs();
        const QString oldest = "VtCoreLog" + now.addSecs(-3600 * total).toString("yyyyMMddhhmmss");
        for (const QString& name : names) {
            const bool kept = total == 21 || name != oldest;
            EXPECT_EQ(QFileInfo(log + "/" + name).isDir(), kept) << total << " " << name.toStdString();
        }
        EXPECT_TRUE(QFileInfo(log + "/VtCoreLogNotATime").isDir());
        EXPECT_TRUE(QFileInfo(log + "/OtherLog20000101000000").isDir());
    }
    // Beside the executable only empty log directories go (the prefix is case-sensitive).
    ASSERT_TRUE(QDir(m_dir.path()).mkpath("bin/VtCoreLogEmpty") && QDir(m_dir.path()).mkpath("bin/vtcorelogLower"));
    ASSERT_TRUE(touch(m_dir.filePath("bin/VtCoreLogFull/VtCore.log")));
    capture.Clear();
    m_app->ArrangeLogs();
    EXPECT_FALSE(QFileInfo::exists(m_dir.filePath("bin/VtCoreLogEmpty")));
    EXPECT_TRUE(QFileInfo(m_dir.filePath("bin/VtCoreLogFull/VtCore.log")).exists());
    EXPECT_TRUE(QFileInfo(m_dir.filePath("bin/vtcorelogLower")).isDir());
    EXPECT_TRUE(capture.Contains(VTLOG_LEVEL_WARN, "警告：退出时，删除可执行目录下VtCoreLogFull失败"));
}
