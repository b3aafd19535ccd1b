#pragma once

#include "core/VtCoreExport.h"
#include "core/VtModule.h"

// What a plug-in object of this system implements besides the kernel's IPlugin; plug-ins that
// are not one are skipped by IVtPluginModule::Accept. Its name and UUID identify the plug-in.
class VTCORE_EXPORT IVtPlugin : public IVtModule {
public:
    ~IVtPlugin() override;
};
