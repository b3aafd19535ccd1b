#include "CoreTest.h"
#include "core/PluginDirVisitor.h"
#include "core/VtPluginModule.h"
#include "core/io/XDir.h"
#include "core/platform/Platform.h"

#include <algorithm>

namespace {

// Records the files it is asked to load.
struct RecordingModule : CVtPluginModule {
    std::vector<std::string> files;
    bool LoadPlugin(const std::string& file) override { return files.push_back(file), false; }
};

struct SuffixPlatform : CVtNativePlatform {
    std::string LibrarySuffix() const override { return ".dll"; }
};

}  // namespace

TEST(PluginDirVisitor, LoadsFilesNamedPluginWithThePlatformsLibrarySuffixOnlyWithTheirFullPaths) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath("PluginSub.dll/PluginInner.dll"));  // directories are not loaded
    for (const char* f :
         {"PluginMap.dll", "Plugin.Tools.dll", "pluginx.dll", "MyPlugin.dll", "PluginMap.dll.bak", "PluginMap.DLL", "PluginMap.so"})
        ASSERT_TRUE(touch(dir.filePath(f)));
    SuffixPlatform platform;
    IVtPlatform* previous = SetVtPlatform(&platform);
    RecordingModule module;
    CPluginDirVisitor visitor(&module);
    EXPECT_FALSE(IOx::XDir(dir.path().toStdString()).Travel(visitor));
    SetVtPlatform(previous);
    const std::string prefix = IOx::XPath::Normalize(dir.path().toStdString()) + "/";
    std::sort(module.files.begin(), module.files.end());
    EXPECT_EQ(module.files, (std::vector<std::string>{prefix + "Plugin.Tools.dll", prefix + "PluginMap.dll"}));
}
