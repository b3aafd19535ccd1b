#include "catalog/MapCustomResourceObject.h"
#include "catalog/MapResourceObjectModule.h"
#include "catalog/MapSettingsLocation_p.h"
#include "catalog/MapTypeManager.h"
#include "core/VtPluginModule.h"
#include "core/log/VtLog.h"
#include "support/FakeHttpServer.h"

#include <QElapsedTimer>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace {

// A resource of a name, type and level range; Base is the plain or the custom resource interface.
template <class Base>
class FakeResourceOf : public Base {
public:
    FakeResourceOf(std::string name, int mapType, int minLevel = 1, int maxLevel = 18)
        : m_name(std::move(name)), m_mapType(mapType), m_min(minLevel), m_max(maxLevel) {}
    std::string GetName() const override { return m_name; }
    std::string GetUUID() const override { return ""; }
    int GetMapType() const override { return m_mapType; }
    std::string GetResourceName() const override { return m_name; }
    QString GetDisplayName() const override { return QString::fromStdString(m_name); }
    E_TILE_MODEL GetTileModel() const override { return TILE_MODEL_MERCATOR; }
    QString GetTileUrl(const CTileKey&) const override { return QString(); }
    int GetMaxLevel() const override { return m_max; }
    int GetMinLevel() const override { return m_min; }

private:
    std::string m_name;
    int m_mapType, m_min, m_max;
};
using FakeResource = FakeResourceOf<IMapResourceObject>;

class FakeCustomResource : public FakeResourceOf<IMapCustomResourceObject> {
public:
    using FakeResourceOf::FakeResourceOf;
    QString GetUrlTemplate() const override { return "http://x/{z}/{x}/{y}"; }
};

class Collector : public IMapResourceObjectModule::IMapResourceObjectVisitor {
public:
    void Visit(IMapResourceObjectModule* module, const std::string& name, IMapResourceObject* object) override {
        modules.push_back(module);
        names.push_back(name);
        objects.push_back(object);
    }
    std::vector<IMapResourceObjectModule*> modules;
    std::vector<std::string> names;
    std::vector<IMapResourceObject*> objects;
};

using UrlList = QVector<QPair<QString, int>>;

// Points "config.ini" of a temporary settings directory at a server, for one test.
class RemoteConfigTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        SetMapSettingsDirectory(m_dir.path());
    }
    void TearDown() override { SetMapSettingsDirectory(QString()); }
    void PointAt(const QString& server) {
        QSettings settings(m_dir.filePath("config.ini"), QSettings::IniFormat);
        settings.setIniCodec("SYSTEM");
        settings.setValue(CMapResourceObjectModule::kMapTypeUrlServerKey, server);
    }
    static FAKE_HTTP_RESPONSE Json(const char* text) { return {200, QByteArray(text), false}; }

    QTemporaryDir m_dir;
};

const char* const kConfig = R"({"data":[
    {"MapType": 5, "MapUrl": [{"url": "http://a/{z}/{x}/{y}", "weight": 3}, {"url": "http://b/{z}", "weight": 1}]},
    {"MapType": 7, "MapUrl": [{"url": "http://old"}]},
    {"MapType": 7, "MapUrl": [{"weight": 9}, {"url": "http://new", "weight": 2}]},
    {"MapUrl": [{"url": "http://no-type", "weight": 1}]},
    {"MapType": 8, "MapUrl": "not a list"}
]})";

}  // namespace

TEST(MapResourceObjectModule, RegistersLooksUpAndVisitsByName) {
    CMapResourceObjectModule module;
    FakeResource a1("alpha", 10), a2("alpha", 11), beta("beta", 11), gamma("gamma", 12);
    FakeCustomResource custom("custom", 13);
    CVtLogCapture capture;
    EXPECT_FALSE(module.RegisterMapResource(nullptr));
    EXPECT_TRUE(module.RegisterMapResource(&gamma));
    EXPECT_TRUE(module.RegisterMapResource(&beta));
    EXPECT_TRUE(module.RegisterMapResource(&a1));
    EXPECT_TRUE(module.RegisterMapResource(&a2));  // same name: replaces a1
    EXPECT_TRUE(module.RegisterMapResource(&custom));
    EXPECT_TRUE(capture.Contains(VTLOG_LEVEL_DEBUG, "[CMapResourceObjectModule::RegisterMapResource] 注册地图资源，MapType: 11"));

    EXPECT_EQ(module.GetMapResourceByName("alpha"), &a2);
    EXPECT_EQ(module.GetMapResourceByName("delta"), nullptr);
    EXPECT_EQ(module.GetMapResource(11), &a2);  // "alpha" sorts before "beta"
    EXPECT_EQ(module.GetMapResource(10), nullptr);
    EXPECT_EQ(module.GetCustomMapResource(13), &custom);
    EXPECT_EQ(module.GetCustomMapResource(11), nullptr);
    EXPECT_EQ(module.GetAllMapType(), (std::vector<int>{11, 11, 13, 12}));

    Collector visitor;
    module.Accept(visitor);
    EXPECT_EQ(visitor.names, (std::vector<std::string>{"alpha", "beta", "custom", "gamma"}));
    EXPECT_EQ(visitor.modules.front(), &module);
    EXPECT_EQ(visitor.objects.back(), &gamma);

    module.UnregisterMapResource(nullptr);
    module.UnregisterMapResource(&a1);  // the entry named "alpha" goes, whichever object holds it
    module.UnregisterMapResource(&beta);
    EXPECT_EQ(module.GetMapResource(11), nullptr);
    EXPECT_EQ(module.GetAllMapType(), (std::vector<int>{13, 12}));
}

TEST(MapResourceObjectModule, SingletonOwnsAPluginModuleAndAnswersTheSupportedRange) {
    IMapResourceObjectModule* module = GetOrCreateMapResourceObjectModule();
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(module, GetOrCreateMapResourceObjectModule());
    EXPECT_NE(module->GetPluginModule(), nullptr);

    FakeResource limited("limited", 77001, 3, 9);
    module->RegisterMapResource(&limited);
    const CMapTypeManager* types = CMapTypeManager::getInstance();
    struct Case {
        int id, level;
        bool expected;
    };
    const Case cases[] = {
        {77001, 2, false}, {77001, 3, true}, {77001, 9, true}, {77001, 10, false},  // borders inclusive
        {77002, 5, false},                                                         // nothing registered
    };
    for (const Case& c : cases) EXPECT_EQ(types->IsInSupportMapRange(c.id, c.level), c.expected) << c.level;
    module->UnregisterMapResource(&limited);
    EXPECT_FALSE(types->IsInSupportMapRange(77001, 5));

    DestroyMapResourceObjectModule();
    DestroyMapResourceObjectModule();  // a second call does nothing
    IMapResourceObjectModule* fresh = GetOrCreateMapResourceObjectModule();
    EXPECT_EQ(fresh->GetMapResource(77001), nullptr);
    EXPECT_EQ(fresh->GetAllMapType(), std::vector<int>{});
}

TEST_F(RemoteConfigTest, FetchesOnceAndKeepsTheLastListOfARepeatedMapType) {
    CFakeHttpServer server([](const FAKE_HTTP_REQUEST&) { return Json(kConfig); });
    ASSERT_TRUE(server.Start());
    PointAt(server.Origin() + "/");
    CMapResourceObjectModule module;

    EXPECT_EQ(module.GetMapTypeUrls(5), (UrlList{{"http://a/{z}/{x}/{y}", 3}, {"http://b/{z}", 1}}));
    ASSERT_EQ(server.Requests().size(), 1);
    EXPECT_EQ(server.Requests()[0].method, "GET");
    EXPECT_EQ(server.Requests()[0].path, "/updateq7/MapTypeUrlConifg.json");

    EXPECT_EQ(module.GetMapTypeUrls(7), (UrlList{{"", 9}, {"http://new", 2}}));
    EXPECT_EQ(module.GetMapTypeUrls(0), (UrlList{{"http://no-type", 1}}));
    EXPECT_EQ(module.GetMapTypeUrls(8), UrlList{});
    EXPECT_EQ(module.GetMapTypeUrls(404), UrlList{});  // not listed: no new fetch
    EXPECT_EQ(server.Requests().size(), 1);
}

TEST_F(RemoteConfigTest, MalformedRepliesLeaveTheCacheEmptySoTheNextCallFetchesAgain) {
    const char* replies[] = {"", "{\"data\": [", "<html>oops</html>", "{}", "{\"data\": {\"MapType\": 5}}",
                             "{\"data\": []}"};
    int served = 0;
    CFakeHttpServer server([&](const FAKE_HTTP_REQUEST&) { return Json(replies[served++]); });
    ASSERT_TRUE(server.Start());
    PointAt(server.Origin());
    CMapResourceObjectModule module;
    for (const char* reply : replies) EXPECT_EQ(module.GetMapTypeUrls(5), UrlList{}) << reply;
    EXPECT_EQ(server.Requests().size(), static_cast<int>(std::size(replies)));

    server.SetHandler([](const FAKE_HTTP_REQUEST&) { return Json(kConfig); });
    EXPECT_EQ(module.GetMapTypeUrls(5).size(), 2);
}

TEST_F(RemoteConfigTest, AnUnansweredRequestGivesUpAfterThreeSeconds) {
    CFakeHttpServer server([](const FAKE_HTTP_REQUEST&) { return FAKE_HTTP_RESPONSE{200, {}, true}; });
    ASSERT_TRUE(server.Start());
    PointAt(server.Origin());
    CMapResourceObjectModule module;
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(module.GetMapTypeUrls(5), UrlList{});
    // Never earlier than the limit (a precise timer); the upper side is left to the suite's timeout.
    EXPECT_GE(clock.elapsed(), CMapResourceObjectModule::kFetchTimeoutMs - 50);
    EXPECT_EQ(server.Requests().size(), 1);

    server.SetHandler([](const FAKE_HTTP_REQUEST&) { return Json(kConfig); });
    EXPECT_EQ(module.GetMapTypeUrls(7).size(), 2);
    EXPECT_EQ(server.Requests().size(), 2);
}

TEST_F(RemoteConfigTest, NoConfiguredServerOrAClosedPortGivesAnEmptyList) {
    CMapResourceObjectModule module;
    EXPECT_EQ(CMapResourceObjectModule::MapTypeUrlConfigAddress(), "");
    EXPECT_EQ(module.GetMapTypeUrls(5), UrlList{});

    QString closedOrigin;
    {
        CFakeHttpServer gone(nullptr);
        ASSERT_TRUE(gone.Start());
        closedOrigin = gone.Origin();
    }
    PointAt(closedOrigin);
    EXPECT_EQ(CMapResourceObjectModule::MapTypeUrlConfigAddress(), closedOrigin + "/updateq7/MapTypeUrlConifg.json");
    EXPECT_EQ(module.GetMapTypeUrls(5), UrlList{});
}
