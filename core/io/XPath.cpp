#include "core/io/XPath.h"

#include <vector>

namespace IOx {

std::string XPath::Normalize(const std::string& path) {
    if (path.empty()) return std::string();
    const bool rooted = path[0] == '/' || path[0] == '\\';
    std::vector<std::string> parts;
    std::string part;
    auto flush = [&]() {
        if (part.empty() || part == ".") {
            // dropped
        } else if (part == "..") {
            if (!parts.empty() && parts.back() != "..") parts.pop_back();
            else if (!rooted) parts.push_back(part);  // a relative path keeps what it cannot resolve
        } else {
            parts.push_back(part);
        }
        part.clear();
    };
    // Split only at character boundaries: the second byte of a GB18030 pair may be 0x5C ("誠" is
    // D5 5C), which must not be taken for a separator.
    const size_t size = path.size();
    for (size_t i = 0; i < size;) {
        const unsigned char c = static_cast<unsigned char>(path[i]);
        size_t length = 1;
        if (c >= 0x81 && c <= 0xFE && i + 1 < size) {
            const unsigned char next = static_cast<unsigned char>(path[i + 1]);
            length = (next >= 0x30 && next <= 0x39 && i + 3 < size) ? 4 : 2;
        }
        if (length == 1 && (c == '/' || c == '\\')) flush();
        else part.append(path, i, length);
        i += length;
    }
    flush();
    std::string out = rooted ? "/" : "";
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) out += '/';
        out += parts[i];
    }
    return out;
}

XPath::XPath(const std::string& path) : m_strPath(Normalize(path)) {}

std::string XPath::FileName() const {
    const size_t slash = m_strPath.rfind('/');
    return slash == std::string::npos ? m_strPath : m_strPath.substr(slash + 1);
}

std::string XPath::BaseName() const {
    const std::string name = FileName();
    return name.substr(0, name.find('.'));
}

XPath XPath::Parent() const {
    const size_t slash = m_strPath.rfind('/');
    if (slash == std::string::npos) return XPath();
    if (slash == 0) return m_strPath.size() > 1 ? XPath("/") : XPath();
    return XPath(m_strPath.substr(0, slash));
}

XPath XPath::operator/(const std::string& child) const {
    if (m_strPath.empty()) return XPath(child);
    return XPath(m_strPath + "/" + child);
}

}  // namespace IOx
