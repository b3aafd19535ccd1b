#include "core/platform/RegistryFile.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTextStream>

#include <mutex>

namespace {

// Decodes the quoted string that starts at text[0] == '"'; false for a damaged value.
bool decodeQuoted(const QString& text, QString& out) {
    if (text.isEmpty() || text[0] != QLatin1Char('"')) return false;
    out.clear();
    for (int i = 1; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\\')) {
            if (i + 1 >= text.size()) return false;
            out += text[++i];
        } else if (c == QLatin1Char('"')) {
            return text.mid(i + 1).trimmed().isEmpty();
        } else {
            out += c;
        }
    }
    return false;  // no closing quote
}

std::mutex& registryFileMutex() {
    static std::mutex m;
    return m;
}

std::string& registryFileOverride() {
    static std::string path;
    return path;
}

}  // namespace

IVtPlatform::E_REGISTRY_RESULT ReadRegistryFileDefault(const QString& file, const std::string& fullKey,
                                                      std::size_t bufferBytes, std::string& value) {
    value.clear();
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly | QIODevice::Text)) return IVtPlatform::REGISTRY_OPEN_FAILED;
    QTextStream stream(&in);
    stream.setCodec("UTF-8");
    stream.setAutoDetectUnicode(true);  // exported files are often UTF-16 with a byte-order mark

    const QString wanted = QString::fromStdString(fullKey);
    bool keyFound = false;
    bool inKey = false;
    QString line;
    while (stream.readLineInto(&line)) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';'))) continue;
        if (line.startsWith(QLatin1Char('['))) {
            if (!line.endsWith(QLatin1Char(']'))) {
                inKey = false;
                continue;
            }
            if (inKey) break;  // the wanted key's values have ended
            inKey = line.mid(1, line.size() - 2).compare(wanted, Qt::CaseInsensitive) == 0;
            keyFound = keyFound || inKey;
            continue;
        }
        if (!inKey || !line.startsWith(QLatin1String("@="))) continue;
        QString decoded;
        if (!decodeQuoted(line.mid(2).trimmed(), decoded)) return IVtPlatform::REGISTRY_READ_FAILED;
        const QByteArray bytes = decoded.toLocal8Bit();
        if (static_cast<std::size_t>(bytes.size()) + 1 > bufferBytes) return IVtPlatform::REGISTRY_READ_FAILED;
        value.assign(bytes.constData(), static_cast<std::size_t>(bytes.size()));
        return IVtPlatform::REGISTRY_OK;
    }
    return keyFound ? IVtPlatform::REGISTRY_READ_FAILED : IVtPlatform::REGISTRY_OPEN_FAILED;
}

void SetVtRegistryFile(const std::string& path) {
    std::lock_guard<std::mutex> lock(registryFileMutex());
    registryFileOverride() = path;
}

std::string GetVtRegistryFile() {
    {
        std::lock_guard<std::mutex> lock(registryFileMutex());
        if (!registryFileOverride().empty()) return registryFileOverride();
    }
    const QByteArray env = qgetenv("VTCORE_REGISTRY_FILE");
    if (!env.isEmpty()) return env.toStdString();
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return QDir(base).filePath(QStringLiteral("VtCore141/registry.reg")).toStdString();
}

