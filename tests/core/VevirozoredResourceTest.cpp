#include "CoreTest.h"
#include "core/VevirozoredResource.h"
#include "support/FakeHttpServer.h"
#include "support/TestHmac.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <QUuid>

namespace {

constexpr long long kT0 = 1700000000000LL;  // the token time of the first login
constexpr long long kMinute = 60000;
const char* const kLogin = R"({"Data":{"token":"t1","appId":"app1","updatedTime":1700000000000}})";

// The data cloud as far as this client uses it. Every request's signature is checked with the
// test's own HMAC (fields, a fresh hex nonce, the signed text); a request that fails gets 401 and
// is counted in m_nRejected.
class FakeCloud {
public:
    FakeCloud() : m_server([this](const FAKE_HTTP_REQUEST& r) { return Handle(r); }) {
        for (int i = 0; i < 64; ++i) m_key.append(static_cast<char>(QRandomGenerator::global()->bounded(256)));
        m_config.m_strSecretId = "vt_test_client_0123456789ab";
        m_config.m_strSecretKey = QString::fromLatin1(m_key.toBase64());
        m_config.m_strChannel = QUuid::createUuid().toString(QUuid::WithoutBraces);
        m_config.m_strReferer = "https://site.test";
        m_bStarted = m_server.Start();
        m_config.m_strPassportUrl = m_config.m_strApiUrl = m_server.Origin();
    }
    const QList<FAKE_HTTP_REQUEST>& Requests() const { return m_server.Requests(); }

    VEVIROZORED_CONFIG m_config;
    QByteArray m_key;
    bool m_bStarted = false;
    int m_nRejected = 0;
    // Replies; a test changes them as it goes.
    QByteArray m_loginReply = kLogin;
    QByteArray m_refreshReply;  // default: a new token "t2" issued 28 minutes after kT0
    QByteArray m_trafficReply = R"({"data":{"dataPack":{"currentUsage":250,"traffic":{"quota":1000}}}})";
    bool m_bSilent = false;             // accept requests and never answer
    std::function<void()> m_onRefresh;  // runs inside the client's wait

private:
    FAKE_HTTP_RESPONSE Handle(const FAKE_HTTP_REQUEST& r) {
        if (m_bSilent) return {200, {}, true};
        const bool login = r.path == "/passport/datacloud/auth/phone";
        const QString signedPath = login ? r.path.mid(QString("/passport").size()) : r.path;
        if (!Verify(r.headers.value(login ? "auth" : "authorization"), QString::fromLatin1(r.method), signedPath, r.query, r.body)) {
            ++m_nRejected;
            return {401, R"({"code":401,"msg":"signature"})", false};
        }
        if (login) return {r.headers.value("referer") == m_config.m_strReferer.toUtf8() ? 200 : 403, m_loginReply, false};
        if (r.path.startsWith("/v1/cloudapi/apps/public/") && r.path.endsWith("/refresh") && r.method == "POST") {
            if (QJsonDocument::fromJson(r.body).object().value("channel").toString() != m_config.m_strChannel ||
                r.headers.value("content-type") != "application/json")
                return {400, "{}", false};
            if (m_onRefresh) m_onRefresh();
            if (!m_refreshReply.isEmpty()) return {200, m_refreshReply, false};
            const QString issued = QDateTime::fromMSecsSinceEpoch(kT0 + 28 * kMinute, Qt::UTC).toString(Qt::ISODateWithMs);
            return {200, QString(R"({"data":{"tokens":[{"token":"t2","updateTime":"%1"}]}})").arg(issued).toUtf8(), false};
        }
        if (r.path == "/v1/cloudapi/developer/devDataPackUsage") return {200, m_trafficReply, false};
        return {404, "{}", false};
    }

    bool Verify(const QByteArray& header, const QString& method, const QString& path, const QString& query,
                const QByteArray& body) {
        QMap<QString, QString> fields;
        for (const QString& part : QString::fromUtf8(header).split(',')) {
            const int eq = part.indexOf('=');
            if (eq > 0) fields.insert(part.left(eq), part.mid(eq + 1));
        }
        const QString nonce = fields.value("nonceStr");
        static const QRegularExpression hex("^[0-9a-f]{32}$");
        if (fields.value("secretId") != m_config.m_strSecretId || fields.value("service") != "zadeda-data-cloud" ||
            !hex.match(nonce).hasMatch() || m_nonces.contains(nonce))
            return false;
        m_nonces.insert(nonce);
        const QString text = QStringList{"zadeda-data-cloud", method, path, query, QString::fromUtf8(body), nonce,
                                         fields.value("timestamp")}.join('\n');
        return fields.value("signature") == QString::fromLatin1(TestHmacSha256(m_key, text.toUtf8()).toHex());
    }

    CFakeHttpServer m_server;
    QSet<QString> m_nonces;
};

}  // namespace

TEST(VevirozoredResource, PhoneHistoryRoundTripsAndFailedRefusedOrUnansweredRepliesAgainstOneSigningCloud) {
    QTemporaryDir dir;
    FakeCloud cloud;
    ASSERT_TRUE(dir.isValid() && cloud.m_bStarted);
    long long now = kT0;
    const auto Client = [&](const VEVIROZORED_CONFIG& config) {
        auto client = std::make_unique<CVevirozoredResource>(dir.path(), config);
        client->SetClock([&] { return now; });
        client->SetRequestTimeout(2000);
        return client;
    };

    // Unreadable settings leave the history empty, and with no phone nothing is sent.
    for (const char* content : {"", "[1,2]", "{\"historyPhone\": 5}", "\xFF\xFE garbage"}) {
        ASSERT_TRUE(touch(dir.filePath("vevirozoredResource.json"), content));
        auto client = Client(cloud.m_config);
        EXPECT_TRUE(client->GetHistoryPhones().isEmpty()) << content;
        EXPECT_EQ(client->GetToken(), "") << content;
    }
    auto client = Client(cloud.m_config);
    ASSERT_TRUE(QFile::remove(client->GetSettingsFilePath()));
    // Ten and twelve digits, unknown prefixes, white space, other scripts' digits, a query injection.
    for (const char* phone : {"", "1380013800", "138001380001", "12800138000", "14200138000", "15400138000", "16100138000",
                              "17900138000", "19400138000", "13800138000\n", " 13800138000", "１３８００１３８０００", "13800138000&x=1"}) {
        EXPECT_FALSE(CVevirozoredResource::IsValidPhone(QString::fromUtf8(phone))) << phone;
        client->LoginByPhone(QString::fromUtf8(phone));
        client->AddHistoryPhone(QString::fromUtf8(phone));
    }
    for (const char* phone : {"13000000000", "14900000000", "15300000000", "16200000000", "17800000000", "18900000000", "19900000000"})
        EXPECT_TRUE(CVevirozoredResource::IsValidPhone(phone)) << phone;
    EXPECT_TRUE(cloud.Requests().isEmpty());
    EXPECT_TRUE(client->GetHistoryPhones().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(client->GetSettingsFilePath()));

    QStringList added;
    for (int i = 0; i < 11; ++i) {
        added.prepend(QString("1380000%1").arg(i, 4, 10, QChar('0')));
        client->AddHistoryPhone(added.first());
    }
    client->AddHistoryPhone(added[5]);  // moves to the front, the oldest drops out
    added.move(5, 0);
    EXPECT_EQ(client->GetHistoryPhones(), added.mid(0, 10));

    ASSERT_TRUE(touch(client->GetSettingsFilePath(), R"({"historyPhone":"15912345678;;13800138000"})"));
    auto reloaded = Client(cloud.m_config);
    EXPECT_EQ(reloaded->GetHistoryPhones(), (QStringList{"15912345678", "13800138000"}));
    EXPECT_EQ(reloaded->GetToken(), "t1");  // logs in with the first history entry
    ASSERT_EQ(cloud.Requests().size(), 1);
    EXPECT_TRUE(cloud.Requests()[0].query.startsWith("phone=15912345678&"));
    reloaded->AddHistoryPhone("13900000000");
    EXPECT_EQ(QJsonDocument::fromJson(readText(reloaded->GetSettingsFilePath()).toUtf8()).object().value("historyPhone").toString(),
              "13900000000;15912345678;13800138000");

    // One round trip for the login, one for the refresh, one for the balance.
    client->LoginByPhone("13800138000");
    ASSERT_EQ(cloud.Requests().size(), 2);
    EXPECT_EQ(cloud.Requests()[1].method, "GET");
    EXPECT_EQ(cloud.Requests()[1].query, "phone=13800138000&channel=" + cloud.m_config.m_strChannel);
    now = kT0 + 28 * kMinute - 1;
    EXPECT_EQ(client->GetToken(), "t1");
    EXPECT_EQ(cloud.Requests().size(), 2);  // no request while the token is young

    // At 28 minutes the token is refreshed once; a token asked for during the refresh (re-entered
    // from its wait) is the previous one and starts no second refresh.
    now = kT0 + 28 * kMinute;
    QString during;
    cloud.m_onRefresh = [&] { during = client->GetToken(); };
    EXPECT_EQ(client->GetToken(), "t2");
    EXPECT_EQ(during, "t1");
    cloud.m_onRefresh = nullptr;
    now = kT0 + 56 * kMinute - 1;
    EXPECT_EQ(client->GetToken(), "t2");  // the refreshed token counts from its own time
    EXPECT_EQ(client->GetTrafficBalance(), 750);
    ASSERT_EQ(cloud.Requests().size(), 4);
    EXPECT_EQ(cloud.Requests()[2].path, "/v1/cloudapi/apps/public/app1/refresh");
    EXPECT_EQ(cloud.Requests()[3].query, "appId=app1&channel=" + cloud.m_config.m_strChannel);

    CVtLogCapture capture;
    for (const char* reply : {R"({"Data":{}})", "not json"}) {
        cloud.m_loginReply = reply;
        client->LoginByPhone("13800138000");
        EXPECT_EQ(capture.Count(std::string("[VevirozoredResource]vu账户token请求失败:") + reply), 1);
    }
    cloud.m_loginReply = kLogin;
    client->LoginByPhone("13800138000");
    now = kT0 + 30 * kMinute;
    for (const char* reply : {R"({"data":{"tokens":[]}})", R"({"data":{}})", "[]", "garbage"}) {
        cloud.m_refreshReply = reply;
        capture.Clear();
        EXPECT_EQ(client->GetToken(), "t1") << reply;  // the old token stays
        EXPECT_EQ(capture.Count("[VevirozoredResource]vu账户token更新失败:"), 1) << reply;
    }
    const struct Case { const char* reply; long long expected; } balances[] = {
        {R"({"data":{"dataPack":{"currentUsage":250}}})", -1},             // no "traffic"
        {R"({"data":{}})", -1},
        {"", -1},
        {R"({"data":{"dataPack":{"traffic":{"quota":5}}}})", 5},  // no usage: 0
        {R"({"data":{"dataPack":{"currentUsage":9000000000,"traffic":{"quota":10000000000}}}})", 1000000000},
        {R"({"data":{"dataPack":{"currentUsage":1e300,"traffic":{"quota":7}}}})", 7},  // absurd usage reads as 0
    };
    for (const Case& c : balances) {
        cloud.m_trafficReply = c.reply;
        capture.Clear();
        EXPECT_EQ(client->GetTrafficBalance(), c.expected) << c.reply;
        EXPECT_EQ(capture.Count("[VevirozoredResource]vu账户流量余额请求失败:"), c.expected == -1 ? 1 : 0) << c.reply;
    }
    EXPECT_EQ(cloud.m_nRejected, 0);

    // A wrong secret is refused by the server. Without a token the balance logs in first (with the
    // history's phone): two requests, each refused on its own signature.
    VEVIROZORED_CONFIG wrong = cloud.m_config;
    QByteArray key = cloud.m_key;
    key[0] = static_cast<char>(key[0] ^ 1);
    wrong.m_strSecretKey = QString::fromLatin1(key.toBase64());
    capture.Clear();
    EXPECT_EQ(Client(wrong)->GetTrafficBalance(), -1);
    EXPECT_EQ(cloud.m_nRejected, 2);
    EXPECT_EQ(capture.Count(VTLOG_LEVEL_INFO, "[VevirozoredResource]vu账户token请求失败:{\"code\":401"), 1);

    // Unanswered requests time out, the token stays, and each writes its record.
    client->SetRequestTimeout(150);
    cloud.m_bSilent = true;
    capture.Clear();
    EXPECT_EQ(client->GetToken(), "t1");
    EXPECT_EQ(capture.Count("[VevirozoredResource]vu账户token更新网络请求超时!"), 1);
    EXPECT_EQ(client->GetTrafficBalance(), -1);
    EXPECT_EQ(capture.Count("[VevirozoredResource]vu账户流量余额网络请求超时!"), 1);
    client->LoginByPhone("13800138000");
    EXPECT_EQ(capture.Count("[VevirozoredResource]vu账户token网络请求超时!"), 1);

}

TEST(VevirozoredConfig, ProfileFileAndEnvironmentWithTheEnvironmentWinning) {
    QTemporaryDir dir;
    ASSERT_TRUE(touch(dir.filePath("vevirozoredCloud.json"),
                      R"({"passportUrl":"https://passport.test//","apiUrl":" https://api.test ","secretId":"id_from_file",
                          "channel":"chan-file","businessUrl":"https://b.test/x/"})"));
    const QByteArray saved = qgetenv("VT_CLOUD_SECRET_ID");
    const bool wasSet = qEnvironmentVariableIsSet("VT_CLOUD_SECRET_ID");
    qunsetenv("VT_CLOUD_SECRET_ID");
    VEVIROZORED_CONFIG config = VEVIROZORED_CONFIG::Load(dir.path());
    EXPECT_EQ(config.m_strPassportUrl, "https://passport.test");
    EXPECT_EQ(config.m_strApiUrl, "https://api.test");
    EXPECT_EQ(config.m_strSecretId, "id_from_file");
    EXPECT_EQ(config.m_strBusinessUrl, "https://b.test/x/");  // a page, not an origin: kept as written
    qputenv("VT_CLOUD_SECRET_ID", "id_from_env");
    config = VEVIROZORED_CONFIG::Load(dir.path());
    EXPECT_EQ(config.m_strSecretId, "id_from_env");
    EXPECT_EQ(config.m_strChannel, "chan-file");
    if (wasSet) qputenv("VT_CLOUD_SECRET_ID", saved);
    else qunsetenv("VT_CLOUD_SECRET_ID");
    EXPECT_EQ(VEVIROZORED_CONFIG::Load(dir.filePath("missing")).m_strSecretKey, qEnvironmentVariable("VT_CLOUD_SECRET_KEY").trimmed());
}
