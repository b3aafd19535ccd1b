#pragma once

#include "core/VtPluginModule.h"
#include "core/kernel/PluginModule.h"

// Adapts a host's IVtPlginVisitor to the kernel's travel: hands over the plug-ins that are
// IVtPlugin and skips the others.
class CPluginVisitor : public CPluginModule::PluginInfoVisitor {
public:
    explicit CPluginVisitor(IVtPluginModule::IVtPlginVisitor& visitor) : m_visitor(visitor) {}
    void Visit(const CPluginModule::PluginInfo& info, IPlugin*& plugin) override;

private:
    IVtPluginModule::IVtPlginVisitor& m_visitor;
};
