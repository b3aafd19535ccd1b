#pragma once

#include "core/VtCoreExport.h"
#include "core/io/XPath.h"

#include <string>
#include <utility>
#include <vector>

namespace IOx {

// One directory and a one-level walk over its entries with a visitor.
class VTCORE_EXPORT XDir {
public:
    // Sees the entries of a walk. The filter is a wildcard pattern ("*" any run, "?" one character,
    // letters compared without case as on Windows; a pattern ending in ".*" also matches names
    // without a dot, so the default "*.*" matches every entry).
    class VTCORE_EXPORT DirVisitor {
    public:
        explicit DirVisitor(std::string filter = "*.*") : m_strFilter(std::move(filter)) {}
        virtual ~DirVisitor();
        // Return true to stop the walk.
        virtual bool VisitDir(const XPath& entry);
        virtual bool VisitFile(const XPath& entry);

        const std::string& GetFilter() const { return m_strFilter; }

    protected:
        std::string m_strFilter;
    };

    explicit XDir(const XPath& path) : m_path(path) {}
    explicit XDir(const std::string& path) : m_path(path) {}

    const XPath& Path() const { return m_path; }
    bool Exists() const;

    // Lists this directory (not its subdirectories), hidden entries included, in the order the file
    // system gives them, keeps the names that match the visitor's filter and calls VisitDir for each
    // subdirectory and VisitFile for everything else (files, and symbolic links, which are never
    // followed). Returns true when a visitor stopped the walk; false when it ran to the end or the
    // directory cannot be listed.
    bool Travel(DirVisitor& visitor) const;

    // The filter rule of DirVisitor, exposed for its own tests and for callers that filter names.
    static bool MatchFilter(const std::string& pattern, const std::string& name);

private:
    XPath m_path;
};

// Appends every subdirectory entry to the list it was given.
class VTCORE_EXPORT DirListVisitor : public XDir::DirVisitor {
public:
    explicit DirListVisitor(std::vector<XPath>& list) : m_list(list) {}
    bool VisitDir(const XPath& entry) override;

private:
    std::vector<XPath>& m_list;
};

// Appends every file entry that matches its filter to the list it was given.
class VTCORE_EXPORT FileListVisitor : public XDir::DirVisitor {
public:
    FileListVisitor(std::vector<XPath>& list, const std::string& filter) : DirVisitor(filter), m_list(list) {}
    bool VisitFile(const XPath& entry) override;

private:
    std::vector<XPath>& m_list;
};

// Empties a directory: each subdirectory is emptied with a new RemoveDirVisitor and then removed,
// each file (or link) deleted. The walked directory itself stays. Failures are skipped, not reported.
class VTCORE_EXPORT RemoveDirVisitor : public XDir::DirVisitor {
public:
    RemoveDirVisitor() = default;
    bool VisitDir(const XPath& entry) override;
    bool VisitFile(const XPath& entry) override;
};

}  // namespace IOx
