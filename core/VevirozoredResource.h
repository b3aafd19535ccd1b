#pragma once

#include "core/VevirozoredConfig.h"
#include "core/VtCoreExport.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

// The VEVIRO Zored data cloud as the host's imagery accounts use it: a token for a phone number,
// refreshed lazily before it ages out, the account's remaining traffic, and a short history of
// phone numbers. Requests are synchronous: each blocks its caller in a local event loop until
// the reply or the timeout. Failures write a record and leave the state as it was.
class VTCORE_EXPORT IVevirozoredResource {
public:
    virtual ~IVevirozoredResource();
    // Requests a token for a valid mainland mobile number (11 digits, known prefixes); an invalid
    // number sends nothing.
    virtual void LoginByPhone(const QString& phone) = 0;
    // Puts a valid number first in the history (at most 10, most recent first) and saves it.
    virtual void AddHistoryPhone(const QString& phone) = 0;
    virtual QStringList GetHistoryPhones() = 0;
    // The current token: logs in when there is none and refreshes it once it is 28 minutes old.
    // During a running login or refresh, the token from before it.
    virtual QString GetToken() = 0;
    // The account's remaining traffic (quota minus usage); -1 when it cannot be obtained.
    virtual long long GetTrafficBalance() = 0;
    virtual QString GetBusinessUrl() = 0;
};

class VTCORE_EXPORT CVevirozoredResource : public QObject, public IVevirozoredResource {
    Q_OBJECT
public:
    // The core application's profile directory and the configuration found there (and in the
    // environment, see VEVIROZORED_CONFIG).
    CVevirozoredResource();
    // Keeps the phone history in `profileDir` + "vevirozoredResource.json" and talks to the service
    // that `config` names. Loads the history.
    CVevirozoredResource(const QString& profileDir, const VEVIROZORED_CONFIG& config, QObject* parent = nullptr);
    ~CVevirozoredResource() override;

    void LoginByPhone(const QString& phone) override;
    void AddHistoryPhone(const QString& phone) override;
    QStringList GetHistoryPhones() override { return m_listHistoryPhone; }
    QString GetToken() override;
    long long GetTrafficBalance() override;
    QString GetBusinessUrl() override { return m_strBusinessUrl; }

    // 11 ASCII digits with one of the mainland mobile prefixes; nothing before or after.
    static bool IsValidPhone(const QString& phone);

    // The time source for token ageing and request time stamps, in ms since the epoch (default:
    // the system clock). Lets a host or a test move time without waiting.
    void SetClock(std::function<long long()> clock);
    // How long one request may take, in ms (default 10000).
    void SetRequestTimeout(int ms) { m_nRequestTimeoutMs = ms; }
    QString GetSettingsFilePath() const { return m_strSettingsFilePath; }

private:
    struct REPLY {
        bool bFinished = false;
        QByteArray body;
    };

    void RequestTokenByPhone();
    void RefreshToken();
    // Sends a GET (or a POST of `body`) with the headers and waits for the reply or the timeout.
    REPLY Send(const QString& url, const QList<QPair<QByteArray, QByteArray>>& headers, bool post,
               const QByteArray& body);
    QByteArray Sign(const QString& method, const QString& path, const QString& query, const QByteArray& body) const;
    void LoadSettings();
    void SaveSettings();
    long long Now() const { return m_fnClock(); }

    bool m_bBusy;                 // a login is running
    bool m_bRefreshing;           // a token refresh is running
    int m_nTokenLifetime;         // ms
    int m_nHistoryLimit;
    long long m_llTokenTime;      // ms since the epoch, when the token was issued or updated
    QString m_strPhone;
    QString m_strToken;
    QString m_strPreToken;
    QString m_strBusinessUrl;
    QString m_strSecretId;
    QString m_strSecretKey;       // base64
    QString m_strChannel;
    QString m_strAppId;
    QString m_strPreAppId;
    QString m_strSettingsFilePath;
    QString m_strHistoryKey;
    QString m_strHistorySeparator;
    QStringList m_listHistoryPhone;

    QString m_strPassportUrl;
    QString m_strApiUrl;
    QString m_strReferer;
    int m_nRequestTimeoutMs;
    std::function<long long()> m_fnClock;
};

// The process-wide client, created on first use under a mutex; it lives until the process exits.
VTCORE_EXPORT IVevirozoredResource* GetVevirozoredResource();
