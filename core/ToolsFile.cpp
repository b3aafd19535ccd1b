// Tools: paths, names, directories, disk space and shell actions.
#include "core/Tools.h"

#include "core/TextConvert.h"
#include "core/log/VtLog.h"
#include "core/platform/DiskSpace.h"
#include "core/platform/Shell.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>

#include <cstdint>

namespace {

const char* const kGb = "GB18030";

// Renaming gives up after this many taken candidates instead of looping for ever on a hostile tree.
constexpr int kMaxRenameCandidates = 100000;

QString fromGb(const std::string& text) { return ConvertStdStringToQString(text, kGb); }
std::string toGb(const QString& text) { return ConvertQStringToStdString(text, kGb); }

// Anything at all there, a dangling link included (writing through it would land elsewhere).
bool somethingAt(const QString& path) {
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

bool isDirectory(const QString& path) { return !path.isEmpty() && QFileInfo(path).isDir(); }

QString numbered(int n) { return QStringLiteral("(%1)").arg(n); }

// Deletes the visible entries of a directory (hidden and system entries are not listed), each
// subdirectory emptied and removed in turn. Links are removed, their targets left alone.
void emptyDirectory(const QString& dir) {
    const QFileInfoList entries = QDir(dir).entryInfoList(
        QDir::Dirs | QDir::Files | QDir::Drives | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QFileInfo& entry : entries) {
        if (entry.isSymLink() || !entry.isDir()) {
            QFile::remove(entry.absoluteFilePath());
        } else {
            emptyDirectory(entry.absoluteFilePath());
            // rmdir, not rmpath: removing parents here would take the directory being walked.
            QDir().rmdir(entry.absoluteFilePath());
        }
    }
}

}  // namespace

std::string Tools::GetNonRepeatFilePath(std::string path) {
    const QString qpath = fromGb(path);
    if (qpath.isEmpty() || !somethingAt(qpath)) return path;
    // Split in UTF-16: in GB18030 bytes a "\" (0x5C) can be the second byte of a character.
    const int nameStart = qMax(qpath.lastIndexOf(QLatin1Char('/')), qpath.lastIndexOf(QLatin1Char('\\'))) + 1;
    const int lastDot = qpath.lastIndexOf(QLatin1Char('.'));
    const bool hasDot = lastDot >= nameStart;
    const QString stem = hasDot ? qpath.left(lastDot) : qpath;
    const QString extension = hasDot ? qpath.mid(qpath.indexOf(QLatin1Char('.'), nameStart) + 1) : QString();
    for (int n = 2; n < kMaxRenameCandidates; ++n) {
        const QString candidate = hasDot ? stem + numbered(n) + QLatin1Char('.') + extension : stem + numbered(n);
        if (!somethingAt(candidate)) return toGb(candidate);
    }
    VtLogError() << "[Tools::GetNonRepeatFilePath] " << VtGB("找不到可用的文件名：") << path;
    return std::string();
}

bool Tools::createDirectory(QString& path, bool rename) {
    if (path.isEmpty()) return false;
    if (isDirectory(path)) {
        if (!rename) return true;
        for (int n = 2; n < kMaxRenameCandidates; ++n) {
            const QString candidate = path + numbered(n);
            if (somethingAt(candidate)) continue;
            path = candidate;
            return QDir().mkpath(candidate) && isDirectory(candidate);
        }
        return false;
    }
    return QDir().mkpath(path) && isDirectory(path);
}

std::string Tools::CreateFileReNameDir(const std::string& dir) {
    const QString qdir = fromGb(dir);
    if (qdir.isEmpty()) return dir;
    if (!isDirectory(qdir)) {
        if (!QDir().mkdir(qdir)) VtLogError() << "[Tools::CreateFileReNameDir] " << VtGB("创建目录失败：") << dir;
        return dir;
    }
    for (int n = 2; n < kMaxRenameCandidates; ++n) {
        const QString candidate = qdir + numbered(n);
        if (isDirectory(candidate)) continue;
        if (!QDir().mkdir(candidate)) {
            VtLogError() << "[Tools::CreateFileReNameDir] " << VtGB("创建目录失败：") << toGb(candidate);
        }
        return toGb(candidate);
    }
    return dir;
}

bool Tools::deleteDir(const QString& dir) {
    if (dir.isEmpty()) return false;
    const QFileInfo info(dir);
    if (info.isSymLink()) return QFile::remove(dir);  // the link goes; what it points to stays
    if (!QDir(dir).exists()) return true;
    emptyDirectory(dir);
    return QDir().rmpath(QDir::cleanPath(dir));
}

QString Tools::GetExistTaskReName(const QString& dir, const QString& name) {
    QString base = name;
    const int open = name.lastIndexOf(QLatin1Char('('));
    if (open >= 0 && name.endsWith(QLatin1Char(')'))) {
        static const QRegularExpression digits(QStringLiteral("^\\d+$"));
        const QString inner = name.mid(open + 1, name.size() - open - 2);
        if (digits.match(inner).hasMatch()) base = name.left(open);
    }
    const QDir parent(dir);
    auto taken = [&parent](const QString& candidate) { return isDirectory(parent.absoluteFilePath(candidate)); };
    if (!taken(base)) return base;
    const QString label = QString::fromUtf8("_标签");
    for (int n = 2; n < kMaxRenameCandidates; ++n) {
        const QString candidate = base + numbered(n);
        if (!taken(candidate) && !taken(candidate + label)) return candidate;
    }
    return QString();
}

namespace {

QString taskBase(const DownloadTask& task) {
    if (task.path.endsWith(QLatin1String(".idx")) || task.path.endsWith(QLatin1String(".dat"))) {
        return task.path.left(task.path.lastIndexOf(QLatin1Char('.')));
    }
    return task.path + QLatin1Char('/') + task.name;
}

// An unencodable path gives "" rather than the bare suffix, which would name a file in the
// current directory.
std::string withSuffix(const QString& base, const std::string& suffix) {
    const std::string bytes = toGb(base);
    return bytes.empty() ? std::string() : bytes + suffix;
}

}  // namespace

std::string Tools::CalculateTaskValidPath(const DownloadTask& task, const std::string& suffix) {
    return withSuffix(taskBase(task), suffix);
}

std::string Tools::CalculateTaskLabelValidPath(const DownloadTask& task, const std::string& suffix) {
    return withSuffix(taskBase(task) + QString::fromUtf8("_标签"), suffix);
}

bool Tools::IsTaskNameValidity(const QString& name) {
    QString text = name;
    text.replace(QString::fromUtf8("："), QStringLiteral(":"))
        .replace(QString::fromUtf8("？"), QStringLiteral("?"))
        .replace(QString::fromUtf8("“"), QStringLiteral("\""))
        .replace(QString::fromUtf8("”"), QStringLiteral("\""))
        .replace(QString::fromUtf8("《"), QStringLiteral("<"))
        .replace(QString::fromUtf8("》"), QStringLiteral(">"));
    static const QRegularExpression valid(QStringLiteral("^[^\\/:*?\"<>|]+$"));
    return valid.match(text).hasMatch();
}

double Tools::getDiskFreeSpace(QString path) {
    if (path.isEmpty()) return 0.0;
    // The target directory often does not exist yet: measure its nearest existing ancestor, which
    // lives on the same drive / file system.
    QString probe = QFileInfo(path).absolutePath();
    while (!QFileInfo::exists(probe)) {
        const QString parent = QFileInfo(probe).path();
        if (parent == probe) return 0.0;
        probe = parent;
    }
    std::uint64_t freeBytes = 0;
    if (!VtQueryDiskFreeBytes(QFile::encodeName(probe).toStdString(), freeBytes)) return 0.0;
    return static_cast<double>(freeBytes) / 1024.0 / 1024.0;
}

// The folder URL is built with QUrl::fromLocalFile rather than by prefixing "file:///": it keeps
// "#", "%" and "?" in directory names as part of the path and is right for POSIX absolute paths.
void Tools::openFolder(QString dir) {
    VtLOG(1) << VtGB("[Tools::openFolder] 打开指定文件目录：") << toGb(dir);
    if (!dir.isEmpty()) VtShellOpenUrl(QUrl::fromLocalFile(QDir::fromNativeSeparators(dir)));
}

void Tools::openFolderAndSelect(QString file) {
    VtLOG(1) << VtGB("[Tools::openFolderAndSelect] 打开指定文件目录并选中：") << toGb(file);
    if (!file.isEmpty() && QFileInfo::exists(file)) {
        VtShellRevealFile(QFileInfo(file).absoluteFilePath());
    } else {
        VtLOG(1) << VtGB("[Tools::openFolderAndSelect] 指定文件目录不存在！");
    }
}

void Tools::openSites(QString url) {
    VtLOG(1) << VtGB("[Tools::openSites] 链接URL：") << toGb(url);
    if (!url.trimmed().isEmpty()) VtShellOpenUrl(QUrl::fromUserInput(url));
}
