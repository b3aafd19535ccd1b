#include "core/VtModule.h"
#include "core/VtPlugin.h"

// Out of line so the type descriptions live in this library only: plug-ins and hosts then share
// them, which the run-time type checks across libraries rely on.
IVtModule::~IVtModule() = default;
IVtPlugin::~IVtPlugin() = default;
