#include "CoreTest.h"
#include "core/PluginDirVisitor.h"
#include "core/VtPluginModule.h"
#include "core/platform/Platform.h"

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

TEST(PluginDirVisitor, LoadsFilesNamedPluginWithThePlatformsLibrarySuffixOnlyWithTheirFullPathsNeverStops) {
    SuffixPlatform platform;
    IVtPlatform* previous = SetVtPlatform(&platform);
    RecordingModule module;
    CPluginDirVisitor visitor(&module);
    EXPECT_FALSE(visitor.VisitDir(IOx::XPath("/opt/PluginSub.dll")));  // directories are not loaded
    for (const char* f :
         {"PluginMap.dll", "Plugin.Tools.dll", "pluginx.dll", "MyPlugin.dll", "PluginMap.dll.bak", "PluginMap.DLL", "PluginMap.so"})
        EXPECT_FALSE(visitor.VisitFile(IOx::XPath(std::string("/opt/") + f))) << f;
    SetVtPlatform(previous);
    EXPECT_EQ(module.files, (std::vector<std::string>{"/opt/PluginMap.dll", "/opt/Plugin.Tools.dll"}));
}
