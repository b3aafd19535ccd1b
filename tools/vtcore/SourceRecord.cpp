#include "tools/vtcore/SourceRecord.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace VtCli {

const QStringList kSourceOptionNames = {QStringLiteral("source"),     QStringLiteral("subdomains"),
                                        QStringLiteral("baidu-style"), QStringLiteral("custom-maps"),
                                        QStringLiteral("header"),      QStringLiteral("referer"),
                                        QStringLiteral("user-agent")};
const QStringList kSourceIdentityNames = {QStringLiteral("source"), QStringLiteral("baidu-style"),
                                          QStringLiteral("custom-maps")};

namespace {

// A record is a few hundred bytes; anything much larger is not one.
constexpr qint64 kMaxRecordBytes = 1 << 20;

QString HeaderName(const QString& header) { return header.left(header.indexOf(QLatin1Char(':'))).trimmed(); }

}  // namespace

QString SourceRecordPath(const QString& idxPath) {
    const QFileInfo fi(idxPath);
    return fi.path() + QLatin1Char('/') + fi.completeBaseName() + QStringLiteral(".source.json");
}

bool LoadSourceRecord(const QString& idxPath, SourceRecord& record, QString& error) {
    error.clear();
    QFile f(SourceRecordPath(idxPath));
    if (!f.exists()) return false;
    if (!f.open(QIODevice::ReadOnly) || f.size() > kMaxRecordBytes) {
        error = QStringLiteral("cannot read %1").arg(f.fileName());
        return false;
    }
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(f.readAll(), &parseError);
    const QJsonObject options = doc.object().value(QStringLiteral("options")).toObject();
    if (parseError.error != QJsonParseError::NoError || !doc.isObject() || options.isEmpty()) {
        error = QStringLiteral("%1 is not a source record").arg(f.fileName());
        return false;
    }
    record = SourceRecord();
    for (auto it = options.begin(); it != options.end(); ++it) {
        if (!kSourceOptionNames.contains(it.key())) continue;  // written by a later version
        QStringList values;
        for (const QJsonValue& v : it.value().toArray()) values << v.toString();
        record.options.insert(it.key(), values);
    }
    for (const QJsonValue& v : doc.object().value(QStringLiteral("withheldHeaders")).toArray())
        record.withheldHeaders << v.toString();
    return true;
}

bool SaveSourceRecord(const QString& idxPath, const SourceRecord& record, QString& error) {
    QJsonObject options;
    for (auto it = record.options.begin(); it != record.options.end(); ++it)
        options.insert(it.key(), QJsonArray::fromStringList(it.value()));
    const QJsonObject doc{{QStringLiteral("options"), options},
                          {QStringLiteral("withheldHeaders"), QJsonArray::fromStringList(record.withheldHeaders)}};
    QSaveFile f(SourceRecordPath(idxPath));
    if (!f.open(QIODevice::WriteOnly) || f.write(QJsonDocument(doc).toJson(QJsonDocument::Indented)) < 0 ||
        !f.commit()) {
        error = QStringLiteral("cannot write %1").arg(f.fileName());
        return false;
    }
    return true;
}

bool IsSecretHeader(const QString& name) {
    const QString n = name.trimmed().toLower();
    if (n == QLatin1String("authorization") || n == QLatin1String("proxy-authorization") ||
        n == QLatin1String("cookie"))
        return true;
    for (const char* part : {"token", "key", "secret", "auth", "session", "password", "signature"})
        if (n.contains(QLatin1String(part))) return true;
    return false;
}

SourceOptions::SourceOptions(const QCommandLineParser& parser, const SourceRecord& recorded)
    : m_parser(parser), m_recorded(recorded) {}

bool SourceOptions::isSet(const QString& name) const {
    return m_parser.isSet(name) || m_recorded.options.contains(name);
}

QString SourceOptions::value(const QString& name) const {
    if (!m_parser.isSet(name) && m_recorded.options.contains(name) && !m_recorded.options.value(name).isEmpty())
        return m_recorded.options.value(name).last();
    return m_parser.value(name);
}

QStringList SourceOptions::values(const QString& name) const {
    if (name != QLatin1String("header"))
        return m_parser.isSet(name) || !m_recorded.options.contains(name) ? m_parser.values(name)
                                                                          : m_recorded.options.value(name);
    const QStringList given = m_parser.values(name);
    QStringList givenNames;
    for (const QString& h : given) givenNames << HeaderName(h).toLower();
    QStringList merged;
    for (const QString& h : m_recorded.options.value(name))
        if (!givenNames.contains(HeaderName(h).toLower())) merged << h;
    return merged + given;
}

SourceRecord SourceOptions::ToRecord() const {
    SourceRecord r;
    // What chooses the tiles is recorded with the defaults it used too, so that a later run can
    // tell a change from a repetition.
    for (const QString& name : kSourceIdentityNames)
        if (!value(name).isEmpty()) r.options.insert(name, {value(name)});
    for (const QString& name : kSourceOptionNames) {
        if (!isSet(name) || kSourceIdentityNames.contains(name)) continue;
        QStringList kept;
        for (const QString& v : values(name)) {
            if (name == QLatin1String("header") && IsSecretHeader(HeaderName(v))) {
                r.withheldHeaders << HeaderName(v);
                continue;
            }
            kept << v;
        }
        if (!kept.isEmpty()) r.options.insert(name, kept);
    }
    // Credentials left out before and not given again are still missing.
    for (const QString& name : m_recorded.withheldHeaders)
        if (!r.withheldHeaders.contains(name, Qt::CaseInsensitive)) r.withheldHeaders << name;
    return r;
}

}  // namespace VtCli
