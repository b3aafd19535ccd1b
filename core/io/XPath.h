#pragma once

#include "core/VtCoreExport.h"

#include <string>

namespace IOx {

// A path held in normalised form: separators "/" and "\" both split, "." parts dropped, each ".."
// removes the part before it, parts joined with "/". Bytes are GB18030 like every 8-bit text of
// the library. A leading "/" (root) is kept; empty parts elsewhere are dropped; ".." never climbs
// above the root, and leading ".." of a relative path are kept.
class VTCORE_EXPORT XPath {
public:
    XPath() = default;
    explicit XPath(const std::string& path);

    static std::string Normalize(const std::string& path);

    const std::string& ToString() const { return m_strPath; }
    bool IsEmpty() const { return m_strPath.empty(); }
    // The last part ("" for an empty path or the root).
    std::string FileName() const;
    // The last part up to its first "." (PluginMap.dll.bak -> PluginMap).
    std::string BaseName() const;
    // Everything before the last part ("" when there is none; "/" for a child of the root).
    XPath Parent() const;
    // This path with `child` appended and the result normalised.
    XPath operator/(const std::string& child) const;

    bool operator==(const XPath& o) const { return m_strPath == o.m_strPath; }
    bool operator!=(const XPath& o) const { return m_strPath != o.m_strPath; }
    bool operator<(const XPath& o) const { return m_strPath < o.m_strPath; }

private:
    std::string m_strPath;
};

}  // namespace IOx
