#include "../CoreTest.h"
#include "core/io/XDir.h"

#include <set>

using IOx::XDir;
using IOx::XPath;

namespace {

std::set<std::string> names(const std::vector<XPath>& entries) {
    std::set<std::string> out;
    for (const XPath& e : entries) out.insert(e.FileName());
    return out;
}

// Stops at the n-th file it sees.
struct StopAfter : XDir::DirVisitor {
    explicit StopAfter(int n) : m_nLeft(n) {}
    bool VisitFile(const XPath&) override { return --m_nLeft == 0; }
    int m_nLeft;
};

}  // namespace

TEST(XDir, FilterFollowsWindowsWildcardsWalkListsOneLevelWithHiddenEntriesIsTrueOnlyWhenStoppedRemovesTreesNotLinkTargets) {
    const struct Row { const char* pattern; const char* name; bool match; } rows[] = {
        {"*.*", "PluginMap.dll", true}, {"*.*", "README", true},   {"*.dll", "a.DLL", true},
        {"*.dll", "a.dll.bak", false},  {"Plugin?.dll", "PluginA.dll", true}, {"Plugin?.dll", "Plugin.dll", false},
        {"a.*", "a", true},             {"*", "", true},           {"a*b*c", "axxbyyc", true},
        {"a*b*c", "axxbyy", false},
    };
    for (const Row& row : rows) EXPECT_EQ(XDir::MatchFilter(row.pattern, row.name), row.match) << row.pattern << " " << row.name;

    QTemporaryDir tmp;
    const QString root = tmp.filePath(QString::fromUtf8("插件 誠信目录"));
    ASSERT_TRUE(QDir().mkpath(root + "/sub/inner") && QDir().mkpath(root + "/.hiddendir"));
    for (const char* f : {"PluginMap.dll", "Plugin.Tools.dll", "notes", ".hidden", "sub/deep.dll", "sub/inner/.h"}) ASSERT_TRUE(touch(root + "/" + f));
    ASSERT_TRUE(touch(root + QString::fromUtf8("/地图 \"1\".dll")));
    const XDir dir(gb(root));

    std::vector<XPath> dirs, files, dlls;
    IOx::DirListVisitor dirList(dirs);
    IOx::FileListVisitor fileList(files, "*.*");
    IOx::FileListVisitor dllList(dlls, "*.dll");
    EXPECT_FALSE(dir.Travel(dirList));
    EXPECT_FALSE(dir.Travel(fileList));
    EXPECT_FALSE(dir.Travel(dllList));
    EXPECT_EQ(names(dirs), (std::set<std::string>{"sub", ".hiddendir"}));
    EXPECT_EQ(names(files), (std::set<std::string>{"PluginMap.dll", "Plugin.Tools.dll", "notes", ".hidden",
                                                   gb(QString::fromUtf8("地图 \"1\".dll"))}));
    EXPECT_EQ(names(dlls).size(), 3u);
    for (const XPath& e : files) {
        EXPECT_TRUE(QFileInfo::exists(ConvertStdStringToQString(e.ToString(), "GB18030"))) << e.ToString();
    }
    // A walk is true only when a visitor stops it; with nothing to list it is false.
    StopAfter stopper(2), never(100);
    EXPECT_TRUE(dir.Travel(stopper));
    EXPECT_EQ(stopper.m_nLeft, 0);
    EXPECT_FALSE(dir.Travel(never));
    EXPECT_EQ(never.m_nLeft, 95);
    XDir::DirVisitor visitor;
    EXPECT_FALSE(XDir(gb(tmp.filePath("missing"))).Travel(visitor));
    EXPECT_FALSE(XDir(gb(root + "/notes")).Travel(visitor));
    EXPECT_FALSE(XDir(std::string("\xFF\xFF")).Exists());  // not GB18030

    ASSERT_TRUE(touch(tmp.filePath("outside/keep")) && QFile::link(tmp.filePath("outside"), root + "/link"));
    IOx::RemoveDirVisitor remover;
    EXPECT_FALSE(dir.Travel(remover));
    EXPECT_TRUE(QDir(root).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot));
    EXPECT_TRUE(QFileInfo::exists(tmp.filePath("outside/keep")));
}
