#include "core/PluginDirVisitor.h"

#include "core/VtPluginModule.h"
#include "core/platform/Platform.h"

bool CPluginDirVisitor::VisitDir(const IOx::XPath& /*entry*/) { return false; }

bool CPluginDirVisitor::VisitFile(const IOx::XPath& entry) {
    if (m_pModule == nullptr) return false;
    const std::string& path = entry.ToString();
    const std::string suffix = GetVtPlatform().LibrarySuffix();
    const bool plugin = entry.BaseName().rfind("Plugin", 0) == 0 && path.size() >= suffix.size() &&
                        path.compare(path.size() - suffix.size(), suffix.size(), suffix) == 0;
    if (plugin) m_pModule->LoadPlugin(path);
    return false;
}
