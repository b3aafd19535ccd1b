#pragma once

#include "core/VtCoreExport.h"

#include <QString>

// Where the data cloud lives and the credentials this client signs with. Nothing of it is built in:
// it comes from the profile file "vevirozoredCloud.json" (members named as the fields below, without
// the m_str prefix and with a lower-case first letter: "passportUrl", "apiUrl", "businessUrl",
// "referer", "secretId", "secretKey", "channel") and from environment variables, which win:
// VT_CLOUD_PASSPORT_URL, VT_CLOUD_API_URL, VT_CLOUD_BUSINESS_URL, VT_CLOUD_REFERER,
// VT_CLOUD_SECRET_ID, VT_CLOUD_SECRET_KEY, VT_CLOUD_CHANNEL.
struct VTCORE_EXPORT VEVIROZORED_CONFIG {
    QString m_strPassportUrl;  // origin of the passport service, e.g. "https://host" (no trailing "/")
    QString m_strApiUrl;       // origin of the data cloud API
    QString m_strBusinessUrl;  // the business web page shown to the user
    QString m_strReferer;      // the "referer" header of the login request
    QString m_strSecretId;
    QString m_strSecretKey;    // base64 text of the HMAC key
    QString m_strChannel;

    // The file in `profileDir` (missing, unreadable or not a JSON object: no members), then the
    // environment. Trailing "/" of the addresses are dropped.
    static VEVIROZORED_CONFIG Load(const QString& profileDir);
    static const char* const kFileName;  // "vevirozoredCloud.json"
};
