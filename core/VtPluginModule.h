#pragma once

#include "core/VtCoreExport.h"
#include "core/VtModule.h"
#include "core/VtPlugin.h"

#include <string>

class CPluginModule;

// The library's plug-in manager as hosts see it. Used from one thread.
class VTCORE_EXPORT IVtPluginModule : public IVtModule {
public:
    // The host's visitor of loaded plug-ins.
    class VTCORE_EXPORT IVtPlginVisitor {
    public:
        virtual ~IVtPlginVisitor();
        // Once per loaded plug-in that is an IVtPlugin, in load order.
        virtual void Visit(IVtPlugin* plugin) = 0;
    };

    virtual bool Initialise(const std::string& name) = 0;
    virtual void Uninitialise() = 0;
    // One plug-in library file; false when it was not loaded.
    virtual bool LoadPlugin(const std::string& file) = 0;
    // The libraries of a plug-in configuration file (see README, "Plug-ins"); false on failure.
    virtual bool LoadPluginsFromFile(const std::string& configFile) = 0;
    virtual void UnloadPlugin(const std::string& name) = 0;
    virtual void UnloadPLugin(IVtPlugin* plugin) = 0;
    // Unloads every plug-in; afterwards loads fail and Accept visits nothing.
    virtual void UnloadAllPlugin() = 0;
    virtual void Accept(IVtPlginVisitor& visitor) = 0;
};

// A thin module over one kernel CPluginModule, which it creates and which UnloadAllPlugin
// destroys. The destructor leaves loaded plug-ins (and their manager) alone: call
// UnloadAllPlugin first.
class VTCORE_EXPORT CVtPluginModule : public IVtPluginModule {
public:
    CVtPluginModule();
    ~CVtPluginModule() override;
    CVtPluginModule(const CVtPluginModule&) = delete;
    CVtPluginModule& operator=(const CVtPluginModule&) = delete;

    // Always "PluginModule".
    std::string GetName() const override;
    // Always "90D13959-5D38-437B-84E8-FA7DD3A64EC9", the identifier of this module type.
    std::string GetUUID() const override;
    // Stores the name; true.
    bool Initialise(const std::string& name) override;
    void Uninitialise() override;
    // Writes "加载插件[file]成功" or "...失败"; false without a record once unloaded.
    bool LoadPlugin(const std::string& file) override;
    bool LoadPluginsFromFile(const std::string& configFile) override;
    // Single plug-ins are not unloaded on their own; these do nothing.
    void UnloadPlugin(const std::string& name) override;
    void UnloadPLugin(IVtPlugin* plugin) override;
    void UnloadAllPlugin() override;
    void Accept(IVtPlginVisitor& visitor) override;

    // The name given to Initialise.
    const std::string& GetModuleName() const { return m_strName; }

private:
    std::string m_strName;
    CPluginModule* m_pKernel;  // owned; null after UnloadAllPlugin
};

// The process-wide module, created (and initialised as "VtPluginModule") on first use; null if
// initialisation failed. Not synchronised: first use belongs to one thread.
VTCORE_EXPORT IVtPluginModule* GetOrCreateVtPluginModule();
// Uninitialises and deletes the process-wide module; the next GetOrCreateVtPluginModule makes a new one.
VTCORE_EXPORT void DestroyVtPluginModule();

// Process-wide id counters: object ids from 4096, module ids from 256, one more per call.
VTCORE_EXPORT int GenerateVtObjectID();
VTCORE_EXPORT int GenerateVtModuleID();
