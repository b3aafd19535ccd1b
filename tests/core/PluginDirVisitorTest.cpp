#include "core/PluginDirVisitor.h"
#include "core/VtPluginModule.h"
#include "core/io/XDir.h"
#include "core/platform/Platform.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

// Records the files it is asked to load.
struct RecordingModule : CVtPluginModule {
    std::vector<std::string> files;
    bool LoadPlugin(const std::string& file) override {
        files.push_back(file);
        return false;
    }
};

struct SuffixPlatform : CVtNativePlatform {
    std::string suffix;
    std::string LibrarySuffix() const override { return suffix; }
};

// The names of the files handed over, each of which must come with its full path.
std::vector<std::string> scan(const QTemporaryDir& dir, const std::vector<const char*>& files, const char* suffix) {
    for (const char* f : files) QFile(dir.filePath(f)).open(QIODevice::WriteOnly);
    SuffixPlatform platform;
    platform.suffix = suffix;
    IVtPlatform* previous = SetVtPlatform(&platform);
    RecordingModule module;
    CPluginDirVisitor visitor(&module);
    const bool stopped = IOx::XDir(dir.path().toStdString()).Travel(visitor);
    SetVtPlatform(previous);
    EXPECT_FALSE(stopped);
    const std::string prefix = IOx::XPath::Normalize(dir.path().toStdString()) + "/";
    std::vector<std::string> names;
    for (const std::string& f : module.files) {
        EXPECT_EQ(f.substr(0, prefix.size()), prefix);
        names.push_back(f.substr(prefix.size()));
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

TEST(PluginDirVisitor, LoadsFilesNamedPluginWithTheLibrarySuffixOnly) {
    struct Row {
        const char* suffix;
        std::vector<const char*> files;
        std::vector<std::string> loaded;
    };
    const Row rows[] = {
        {".dll",
         {"PluginMap.dll", "Plugin.Tools.dll", "pluginx.dll", "MyPlugin.dll", "PluginMap.dll.bak"},
         {"Plugin.Tools.dll", "PluginMap.dll"}},
        {".so",
         {"PluginMap.so", "Plugin.Tools.so", "pluginx.so", "MyPlugin.so", "PluginMap.so.bak", "PluginMap.SO",
          "PluginMap.dll"},
         {"Plugin.Tools.so", "PluginMap.so"}},
    };
    for (const Row& row : rows) {
        QTemporaryDir dir;
        ASSERT_TRUE(QDir(dir.path()).mkpath("PluginSub.so/PluginInner.so"));  // directories are not loaded
        EXPECT_EQ(scan(dir, row.files, row.suffix), row.loaded) << row.suffix;
    }
}
