#pragma once

#include "core/io/XDir.h"

class IVtPluginModule;

// Loads the plug-in libraries of one directory into a module: every file whose base name (up to
// the first ".") begins with "Plugin" and whose path ends with the platform's library suffix,
// both compared with case. Never stops the walk.
class CPluginDirVisitor : public IOx::XDir::DirVisitor {
public:
    explicit CPluginDirVisitor(IVtPluginModule* module) : m_pModule(module) {}
    bool VisitDir(const IOx::XPath& entry) override;
    bool VisitFile(const IOx::XPath& entry) override;

private:
    IVtPluginModule* m_pModule;  // not owned
};
