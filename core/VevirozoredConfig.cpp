#include "core/VevirozoredConfig.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtGlobal>

const char* const VEVIROZORED_CONFIG::kFileName = "vevirozoredCloud.json";

namespace {

struct CONFIG_ITEM {
    const char* key;  // member of the profile file
    const char* env;  // environment variable
    QString VEVIROZORED_CONFIG::*field;
    bool bAddress;  // an origin: trailing "/" dropped
};

const CONFIG_ITEM kItems[] = {
    {"passportUrl", "VT_CLOUD_PASSPORT_URL", &VEVIROZORED_CONFIG::m_strPassportUrl, true},
    {"apiUrl", "VT_CLOUD_API_URL", &VEVIROZORED_CONFIG::m_strApiUrl, true},
    {"businessUrl", "VT_CLOUD_BUSINESS_URL", &VEVIROZORED_CONFIG::m_strBusinessUrl, false},
    {"referer", "VT_CLOUD_REFERER", &VEVIROZORED_CONFIG::m_strReferer, false},
    {"secretId", "VT_CLOUD_SECRET_ID", &VEVIROZORED_CONFIG::m_strSecretId, false},
    {"secretKey", "VT_CLOUD_SECRET_KEY", &VEVIROZORED_CONFIG::m_strSecretKey, false},
    {"channel", "VT_CLOUD_CHANNEL", &VEVIROZORED_CONFIG::m_strChannel, false},
};

QJsonObject ReadProfile(const QString& profileDir) {
    QFile file(QDir(profileDir).filePath(QLatin1String(VEVIROZORED_CONFIG::kFileName)));
    if (!file.open(QIODevice::ReadOnly)) return QJsonObject();
    return QJsonDocument::fromJson(file.readAll()).object();
}

}  // namespace

VEVIROZORED_CONFIG VEVIROZORED_CONFIG::Load(const QString& profileDir) {
    VEVIROZORED_CONFIG config;
    const QJsonObject profile = profileDir.isEmpty() ? QJsonObject() : ReadProfile(profileDir);
    for (const CONFIG_ITEM& item : kItems) {
        QString value = profile.value(QLatin1String(item.key)).toString();
        if (qEnvironmentVariableIsSet(item.env)) value = qEnvironmentVariable(item.env);
        value = value.trimmed();
        if (item.bAddress) {
            while (value.endsWith(QLatin1Char('/'))) value.chop(1);
        }
        config.*item.field = value;
    }
    return config;
}
