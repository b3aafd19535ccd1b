#pragma once

#include "core/VtCoreExport.h"

#include <string>

class CPluginModule;

// The kernel's plug-in object. A plug-in library creates exactly one and hands it over through
// the entry points that VT_PLUGIN_ENTRY defines (see README, "Plug-ins").
class VTCORE_EXPORT IPlugin {
public:
    virtual ~IPlugin();

    virtual std::string GetPluginName() const = 0;
    // Called once after the object was created, with the options text of the loading call or of
    // the configuration entry; false makes the load fail (the object is then destroyed and the
    // library unloaded).
    virtual bool Install(CPluginModule* module, const std::string& options);
    // Called once before the object is destroyed and its library unloaded.
    virtual void Uninstall();
};

// Version of the entry-point contract; a library reporting another one is refused.
#define VT_PLUGIN_KERNEL_VERSION 1

#define VT_PLUGIN_ENTRY_EXPORT extern "C" VTCORE_PLUGIN_EXPORT

// Placed once in a plug-in library's source: defines the three entry points the kernel resolves.
// ClassName must derive from IPlugin and be default-constructible.
#define VT_PLUGIN_ENTRY(ClassName)                                                    \
    VT_PLUGIN_ENTRY_EXPORT int VtPluginKernelVersion() { return VT_PLUGIN_KERNEL_VERSION; } \
    VT_PLUGIN_ENTRY_EXPORT IPlugin* VtCreatePlugin() {                                \
        try {                                                                         \
            return new ClassName();                                                   \
        } catch (...) {                                                               \
            return nullptr;                                                           \
        }                                                                             \
    }                                                                                 \
    VT_PLUGIN_ENTRY_EXPORT void VtDestroyPlugin(IPlugin* plugin) { delete plugin; }
