#include "core/io/XDir.h"

#include "core/TextConvert.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace IOx {

namespace {

const char* const kPathCodec = "GB18030";

QString toQt(const XPath& path) { return ConvertStdStringToQString(path.ToString(), kPathCodec); }

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Classic wildcard match with one backtrack point per "*": linear in practice, O(n*m) at worst.
bool wildcard(const std::string& p, const std::string& s) {
    size_t pi = 0, si = 0, starP = std::string::npos, starS = 0;
    while (si < s.size()) {
        if (pi < p.size() && (p[pi] == '?' || (p[pi] != '*' && lowerAscii(p[pi]) == lowerAscii(s[si])))) {
            ++pi;
            ++si;
        } else if (pi < p.size() && p[pi] == '*') {
            starP = pi++;
            starS = si;
        } else if (starP != std::string::npos) {
            pi = starP + 1;
            si = ++starS;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == '*') ++pi;
    return pi == p.size();
}

}  // namespace

XDir::DirVisitor::~DirVisitor() = default;
bool XDir::DirVisitor::VisitDir(const XPath&) { return false; }
bool XDir::DirVisitor::VisitFile(const XPath&) { return false; }

bool XDir::MatchFilter(const std::string& pattern, const std::string& name) {
    if (wildcard(pattern, name)) return true;
    // Windows' listing rule: "x.*" also finds "x" itself.
    if (pattern.size() >= 2 && pattern.compare(pattern.size() - 2, 2, ".*") == 0 &&
        name.find('.') == std::string::npos) {
        return wildcard(pattern.substr(0, pattern.size() - 2), name);
    }
    return false;
}

bool XDir::Exists() const {
    const QString dir = toQt(m_path);
    return !dir.isEmpty() && QFileInfo(dir).isDir();
}

bool XDir::Travel(DirVisitor& visitor) const {
    const QString dir = toQt(m_path);
    const QFileInfo dirInfo(dir);
    if (dir.isEmpty() || !dirInfo.isDir() || !dirInfo.isReadable()) return false;
    const QFileInfoList entries = QDir(dir).entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QFileInfo& info : entries) {
        const std::string name = ConvertQStringToStdString(info.fileName(), kPathCodec);
        if (name.empty() || !MatchFilter(visitor.GetFilter(), name)) continue;
        const XPath entry = m_path / name;
        // A link is an entry of its own: following it could walk (or empty) a tree elsewhere.
        const bool stop = (info.isDir() && !info.isSymLink()) ? visitor.VisitDir(entry) : visitor.VisitFile(entry);
        if (stop) return true;
    }
    return false;
}

bool DirListVisitor::VisitDir(const XPath& entry) {
    m_list.push_back(entry);
    return false;
}

bool FileListVisitor::VisitFile(const XPath& entry) {
    m_list.push_back(entry);
    return false;
}

bool RemoveDirVisitor::VisitDir(const XPath& entry) {
    RemoveDirVisitor inner;
    XDir(entry).Travel(inner);
    QDir().rmdir(toQt(entry));
    return false;
}

bool RemoveDirVisitor::VisitFile(const XPath& entry) {
    QFile::remove(toQt(entry));
    return false;
}

}  // namespace IOx
