#include "core/VtPluginModule.h"

#include "core/PluginVisitor.h"
#include "core/kernel/Plugin.h"
#include "core/kernel/PluginModule.h"
#include "core/log/VtLog.h"

#include <atomic>

namespace {

IVtPluginModule* g_processModule = nullptr;
std::atomic<int> g_nextObjectId{4096};
std::atomic<int> g_nextModuleId{256};

}  // namespace

IVtPluginModule::IVtPlginVisitor::~IVtPlginVisitor() = default;

void CPluginVisitor::Visit(const CPluginModule::PluginInfo& /*info*/, IPlugin*& plugin) {
    // A cross-cast: the plug-in's class derives from both interfaces.
    if (auto* vtPlugin = dynamic_cast<IVtPlugin*>(plugin)) m_visitor.Visit(vtPlugin);
}

CVtPluginModule::CVtPluginModule() : m_pKernel(new CPluginModule()) {}

CVtPluginModule::~CVtPluginModule() {
    // Loaded plug-ins outlive a module deleted without UnloadAllPlugin, so that objects the host
    // took from them stay valid; an empty kernel manager has nothing to keep alive.
    if (m_pKernel != nullptr && m_pKernel->GetPluginCount() == 0) delete m_pKernel;
}

std::string CVtPluginModule::GetName() const { return "PluginModule"; }

std::string CVtPluginModule::GetUUID() const { return "90D13959-5D38-437B-84E8-FA7DD3A64EC9"; }

bool CVtPluginModule::Initialise(const std::string& name) {
    m_strName = name;
    return true;
}

void CVtPluginModule::Uninitialise() {}

bool CVtPluginModule::LoadPlugin(const std::string& file) {
    if (m_pKernel == nullptr) return false;
    const bool loaded = m_pKernel->LoadPlugin("-", file, "", "system");
    VtLogInfo() << VtGB("加载插件[") << file << "]" << VtGB(loaded ? "成功" : "失败");
    return loaded;
}

bool CVtPluginModule::LoadPluginsFromFile(const std::string& configFile) {
    if (m_pKernel == nullptr) return false;
    return m_pKernel->LoadPluginsFromFile(configFile, "system");
}

void CVtPluginModule::UnloadPlugin(const std::string& /*name*/) {}

void CVtPluginModule::UnloadPLugin(IVtPlugin* /*plugin*/) {}

void CVtPluginModule::UnloadAllPlugin() {
    if (m_pKernel == nullptr) return;
    m_pKernel->UnloadAllPlugins();
    delete m_pKernel;
    m_pKernel = nullptr;
}

void CVtPluginModule::Accept(IVtPlginVisitor& visitor) {
    if (m_pKernel == nullptr) return;
    CPluginVisitor adapter(visitor);
    m_pKernel->Travel(adapter);
}

IVtPluginModule* GetOrCreateVtPluginModule() {
    if (g_processModule == nullptr) {
        auto* module = new CVtPluginModule();
        if (!module->Initialise("VtPluginModule")) {
            delete module;
            return nullptr;
        }
        g_processModule = module;
    }
    return g_processModule;
}

void DestroyVtPluginModule() {
    if (g_processModule == nullptr) return;
    g_processModule->Uninitialise();
    delete g_processModule;
    g_processModule = nullptr;
}

int GenerateVtObjectID() { return g_nextObjectId++; }

int GenerateVtModuleID() { return g_nextModuleId++; }
