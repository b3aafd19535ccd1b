#pragma once

#include "core/VtCoreExport.h"
#include "core/kernel/EventObserver.h"
#include "core/kernel/Module.h"
#include "core/kernel/VariantSetObject.h"

#include <memory>
#include <string>
#include <vector>

class IPlugin;
class CPluginModule;

// Told about plug-ins as they come and go, on the thread that loads or unloads them.
class VTCORE_EXPORT CPluginModuleObserver {
public:
    virtual ~CPluginModuleObserver();
    virtual void OnPluginLoaded(CPluginModule* module, IPlugin* plugin);
    virtual void OnPluginUnloading(CPluginModule* module, IPlugin* plugin);
};

class VTCORE_EXPORT IPluginModule : public IModule {
public:
    virtual bool RegisterObserver(CPluginModuleObserver* observer) = 0;
    virtual void UnregisterObserver(CPluginModuleObserver* observer) = 0;
    // True when a plug-in of that name, or from that library file, is loaded.
    virtual bool IsPluginLoaded(const std::string& nameOrFile) = 0;
};

// The kernel's plug-in manager: loads plug-in libraries, keeps their IPlugin objects in load
// order and unloads them in reverse order. Used from one thread; not synchronised, except for the
// values of its variant set, which any thread may read and write.
class VTCORE_EXPORT CPluginModule : public IPluginModule, public CEventObserver, public CVariantSetObject {
public:
    // What the manager knows about one loaded plug-in.
    struct PluginInfo {
        std::string owner;    // the loading caller's tag ("-" for none)
        std::string file;     // absolute path of the library actually loaded
        std::string options;  // free text handed over by the loading caller
        std::string group;    // e.g. "system"
        std::string name;     // IPlugin::GetPluginName()
    };

    class VTCORE_EXPORT PluginInfoVisitor {
    public:
        virtual ~PluginInfoVisitor();
        // Once per loaded plug-in, in load order.
        virtual void Visit(const PluginInfo& info, IPlugin*& plugin) = 0;
    };

    CPluginModule();
    ~CPluginModule() override;  // unloads what is still loaded
    CPluginModule(const CPluginModule&) = delete;
    CPluginModule& operator=(const CPluginModule&) = delete;

    const std::string& GetObjectName() const override;
    void SetObjectName(const std::string& name) override;
    int GetID() override;
    std::string GetName() override;
    bool RegisterObserver(CPluginModuleObserver* observer) override;
    void UnregisterObserver(CPluginModuleObserver* observer) override;
    bool IsPluginLoaded(const std::string& nameOrFile) override;

    // Loads one plug-in library. `file` may omit the platform's library suffix. False (with a
    // warning record naming the reason) when the file is not a loadable library, lacks the
    // plug-in entry points, reports another kernel version, creates no object, refuses Install,
    // or is already loaded.
    bool LoadPlugin(const std::string& owner, const std::string& file, const std::string& options,
                    const std::string& group);
    // Loads every enabled library listed in a plug-in configuration file (see README,
    // "Plug-ins"); relative paths are taken from the file's directory. True when the file was
    // read and every enabled entry loaded; a failed entry does not stop the others.
    bool LoadPluginsFromFile(const std::string& configFile, const std::string& group);
    // Uninstalls, destroys and unloads every plug-in, the last loaded first.
    void UnloadAllPlugins();
    void Travel(PluginInfoVisitor& visitor);

    std::size_t GetPluginCount() const;

protected:
    // Hands the event to every loaded plug-in that is an event observer; true when one handled it.
    bool OnNotify(CEventObject& event) override;

private:
    struct Entry;
    std::vector<std::unique_ptr<Entry>> m_vecPlugins;
    std::vector<CPluginModuleObserver*> m_vecObservers;
    std::string m_strName;
    int m_nID;
};
