#include "core/VevirozoredResource.h"

#include "core/CloudSignature_p.h"
#include "core/ReplyWait_p.h"
#include "core/TextConvert.h"
#include "core/VtCoreApplication.h"
#include "core/log/VtLog.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QSaveFile>
#include <QUrl>

#include <cmath>
#include <mutex>

namespace {

const char* const kSettingsFileName = "vevirozoredResource.json";
constexpr int kTokenLifetimeMs = 1680000;  // 28 minutes
constexpr int kHistoryLimit = 10;
constexpr int kRequestTimeoutMs = 10000;

std::mutex g_instanceMutex;
CVevirozoredResource* g_instance = nullptr;

// The reply text for a failure record: the service answers in UTF-8, the log takes GB18030.
std::string BodyText(const QByteArray& body) {
    return ConvertQStringToStdString(QString::fromUtf8(body), "GB18030");
}

// A JSON number as an integer; a value beyond +-2^62 (or not a number) reads as 0 rather than
// overflowing the conversion.
long long JsonInteger(const QJsonValue& v) {
    const double d = v.toDouble();
    if (!std::isfinite(d) || std::fabs(d) > 4.6e18) return 0;
    return static_cast<long long>(d);
}

// ISO 8601 text ("2024-05-01T10:00:00.000+08:00", "...Z", without ms) to ms since the epoch;
// -1 when it is not such a text.
long long IsoToMs(const QString& text) {
    const QDateTime time = QDateTime::fromString(text, Qt::ISODateWithMs);
    return time.isValid() ? time.toMSecsSinceEpoch() : -1;
}

}  // namespace

IVevirozoredResource::~IVevirozoredResource() = default;

CVevirozoredResource::CVevirozoredResource()
    : CVevirozoredResource(
          ConvertStdStringToQString(CVtCoreApplication::GetInstance()->GetProfileDir(), "GB18030"),
          VEVIROZORED_CONFIG::Load(
              ConvertStdStringToQString(CVtCoreApplication::GetInstance()->GetProfileDir(), "GB18030"))) {}

CVevirozoredResource::CVevirozoredResource(const QString& profileDir, const VEVIROZORED_CONFIG& config,
                                           QObject* parent)
    : QObject(parent),
      m_bBusy(false),
      m_bRefreshing(false),
      m_nTokenLifetime(kTokenLifetimeMs),
      m_nHistoryLimit(kHistoryLimit),
      m_llTokenTime(0),
      m_strBusinessUrl(config.m_strBusinessUrl),
      m_strSecretId(config.m_strSecretId),
      m_strSecretKey(config.m_strSecretKey),
      m_strChannel(config.m_strChannel),
      m_strSettingsFilePath(QDir(profileDir).filePath(QLatin1String(kSettingsFileName))),
      m_strHistoryKey(QStringLiteral("historyPhone")),
      m_strHistorySeparator(QStringLiteral(";")),
      m_strPassportUrl(config.m_strPassportUrl),
      m_strApiUrl(config.m_strApiUrl),
      m_strReferer(config.m_strReferer),
      m_nRequestTimeoutMs(kRequestTimeoutMs),
      m_fnClock([] { return QDateTime::currentMSecsSinceEpoch(); }) {
    LoadSettings();
}

CVevirozoredResource::~CVevirozoredResource() = default;

void CVevirozoredResource::SetClock(std::function<long long()> clock) {
    if (clock) m_fnClock = std::move(clock);
}

bool CVevirozoredResource::IsValidPhone(const QString& phone) {
    // [0-9] rather than \d, which also takes other scripts' digits; anchored so that a trailing
    // line feed does not pass as it would with "$".
    static const QRegularExpression pattern(QRegularExpression::anchoredPattern(
        QStringLiteral("(13[0-9]|14[01456879]|15[0-35-9]|16[2567]|17[0-8]|18[0-9]|19[0-35-9])[0-9]{8}")));
    return !phone.isEmpty() && pattern.match(phone).hasMatch();
}

void CVevirozoredResource::LoginByPhone(const QString& phone) {
    if (!IsValidPhone(phone)) return;
    m_strPreToken = m_strToken;
    m_strPreAppId = m_strAppId;
    m_bBusy = true;
    m_strPhone = phone;
    RequestTokenByPhone();
    m_bBusy = false;
}

void CVevirozoredResource::AddHistoryPhone(const QString& phone) {
    if (!IsValidPhone(phone)) return;
    if (!m_listHistoryPhone.isEmpty() && m_listHistoryPhone.first() == phone) return;
    m_listHistoryPhone.removeAll(phone);
    m_listHistoryPhone.prepend(phone);
    while (m_listHistoryPhone.size() > m_nHistoryLimit) m_listHistoryPhone.removeLast();
    SaveSettings();
}

QString CVevirozoredResource::GetToken() {
    if (m_strToken.isEmpty()) LoginByPhone(m_strPhone);
    if (Now() - m_llTokenTime >= m_nTokenLifetime) {
        // Re-entered from the event loop of a running refresh: the old token is still good.
        if (m_bRefreshing) return m_strPreToken;
        if (!m_bBusy) {
            m_strPreToken = m_strToken;
            m_strPreAppId = m_strAppId;
            m_bRefreshing = true;
            RefreshToken();
            m_bRefreshing = false;
        }
    }
    return !m_bBusy && !m_bRefreshing ? m_strToken : m_strPreToken;
}

long long CVevirozoredResource::GetTrafficBalance() {
    if (m_strAppId.isEmpty()) LoginByPhone(m_strPhone);
    const QString appId = m_bBusy || m_bRefreshing ? m_strPreAppId : m_strAppId;
    const QString path = QStringLiteral("/v1/cloudapi/developer/devDataPackUsage");
    const QString query = QStringLiteral("appId=%1&channel=%2").arg(appId, m_strChannel);
    const REPLY reply = Send(m_strApiUrl + path + QLatin1Char('?') + query,
                             {{QByteArrayLiteral("authorization"), Sign(QStringLiteral("GET"), path, query, {})}},
                             false, QByteArray());
    if (!reply.bFinished) {
        VtLogInfo() << VtGB("[VevirozoredResource]vu账户流量余额网络请求超时!");
        return -1;
    }
    const QJsonDocument document = QJsonDocument::fromJson(reply.body);
    const QJsonObject data = document.object().value(QStringLiteral("data")).toObject();
    const QJsonObject dataPack = data.value(QStringLiteral("dataPack")).toObject();
    const QJsonObject traffic = dataPack.value(QStringLiteral("traffic")).toObject();
    if (document.isEmpty() || data.isEmpty() || dataPack.isEmpty() || traffic.isEmpty()) {
        VtLogInfo() << VtGB("[VevirozoredResource]vu账户流量余额请求失败:") << BodyText(reply.body);
        return -1;
    }
    return JsonInteger(traffic.value(QStringLiteral("quota"))) -
           JsonInteger(dataPack.value(QStringLiteral("currentUsage")));
}

void CVevirozoredResource::RequestTokenByPhone() {
    if (m_strPhone.isEmpty()) return;
    const QString path = QStringLiteral("/datacloud/auth/phone");
    const QString query = QStringLiteral("phone=%1&channel=%2").arg(m_strPhone, m_strChannel);
    const REPLY reply = Send(m_strPassportUrl + QStringLiteral("/passport") + path + QLatin1Char('?') + query,
                             {{QByteArrayLiteral("referer"), m_strReferer.toUtf8()},
                              {QByteArrayLiteral("auth"), Sign(QStringLiteral("GET"), path, query, {})}},
                             false, QByteArray());
    if (!reply.bFinished) {
        VtLogInfo() << VtGB("[VevirozoredResource]vu账户token网络请求超时!");
        return;
    }
    const QJsonDocument document = QJsonDocument::fromJson(reply.body);
    const QJsonObject data = document.object().value(QStringLiteral("Data")).toObject();
    if (document.isEmpty() || data.isEmpty()) {
        VtLogInfo() << VtGB("[VevirozoredResource]vu账户token请求失败:") << BodyText(reply.body);
        return;
    }
    m_strToken = data.value(QStringLiteral("token")).toString();
    m_strAppId = data.value(QStringLiteral("appId")).toString();
    m_llTokenTime = JsonInteger(data.value(QStringLiteral("updatedTime")));
}

void CVevirozoredResource::RefreshToken() {
    if (m_strAppId.isEmpty() || m_strPhone.isEmpty()) return;
    QJsonObject request;
    request.insert(QStringLiteral("channel"), m_strChannel);
    request.insert(QStringLiteral("mobile"), m_strPhone);
    const QByteArray body = QJsonDocument(request).toJson(QJsonDocument::Indented);
    const QString path = QStringLiteral("/v1/cloudapi/apps/public/%1/refresh").arg(m_strAppId);
    const REPLY reply =
        Send(m_strApiUrl + path,
             {{QByteArrayLiteral("authorization"), Sign(QStringLiteral("POST"), path, QString(), body)},
              {QByteArrayLiteral("Content-Type"), QByteArrayLiteral("application/json")},
              {QByteArrayLiteral("Content-Length"), QByteArray::number(body.size())}},
             true, body);
    if (!reply.bFinished) {
        VtLogInfo() << VtGB("[VevirozoredResource]vu账户token更新网络请求超时!");
        return;
    }
    const QJsonDocument document = QJsonDocument::fromJson(reply.body);
    const QJsonObject data = document.object().value(QStringLiteral("data")).toObject();
    const QJsonArray tokens = data.value(QStringLiteral("tokens")).toArray();
    if (document.isEmpty() || data.isEmpty() || tokens.isEmpty()) {
        VtLogInfo() << VtGB("[VevirozoredResource]vu账户token更新失败:") << BodyText(reply.body);
        return;
    }
    if (!m_bRefreshing) return;
    const QJsonObject first = tokens.first().toObject();
    m_strToken = first.value(QStringLiteral("token")).toString();
    const long long updated = IsoToMs(first.value(QStringLiteral("updateTime")).toString());
    // Without a readable time the new token counts from now, so that it is not refreshed again on
    // every call.
    m_llTokenTime = updated >= 0 ? updated : Now();
}

QByteArray CVevirozoredResource::Sign(const QString& method, const QString& path, const QString& query,
                                      const QByteArray& body) const {
    return CloudSignatureHeader(m_strSecretId, m_strSecretKey, method, path, query, QString::fromUtf8(body),
                                CloudNonce(), Now())
        .toUtf8();
}

CVevirozoredResource::REPLY CVevirozoredResource::Send(const QString& url,
                                                       const QList<QPair<QByteArray, QByteArray>>& headers,
                                                       bool post, const QByteArray& body) {
    QNetworkRequest request{QUrl(url)};
    for (const auto& header : headers) request.setRawHeader(header.first, header.second);

    REPLY result;
    QNetworkAccessManager manager;
    QNetworkReply* reply = post ? manager.post(request, body) : manager.get(request);
    result.bFinished = WaitForReply(reply, m_nRequestTimeoutMs);
    if (result.bFinished) result.body = reply->readAll();
    reply->deleteLater();
    return result;
}

void CVevirozoredResource::LoadSettings() {
    QFile file(m_strSettingsFilePath);
    if (!file.open(QIODevice::ReadOnly)) return;
    const QJsonObject root = QJsonDocument::fromJson(file.readAll()).object();
    if (root.isEmpty()) return;
    m_listHistoryPhone =
        root.value(m_strHistoryKey).toString().split(m_strHistorySeparator, Qt::SkipEmptyParts);
    if (!m_listHistoryPhone.isEmpty()) m_strPhone = m_listHistoryPhone.first();
}

void CVevirozoredResource::SaveSettings() {
    QJsonObject root;
    root.insert(m_strHistoryKey, m_listHistoryPhone.join(m_strHistorySeparator));
    const QByteArray bytes = QJsonDocument(root).toJson();
    QSaveFile file(m_strSettingsFilePath);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit()) return;
    VtLogWarn() << VtGB("[VevirozoredResource]保存手机号历史失败:")
                << ConvertQStringToStdString(m_strSettingsFilePath, "GB18030");
}

IVevirozoredResource* GetVevirozoredResource() {
    std::lock_guard<std::mutex> lock(g_instanceMutex);
    // Never deleted: the client may be asked for its token until the very end of the process.
    if (g_instance == nullptr) g_instance = new CVevirozoredResource();
    return g_instance;
}
