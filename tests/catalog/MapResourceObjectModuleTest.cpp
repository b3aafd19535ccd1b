#include "catalog/MapCustomResourceObject.h"
#include "catalog/MapResourceObjectModule.h"
#include "catalog/MapTypeManager.h"
#include "core/VtPluginModule.h"
#include "core/log/VtLog.h"
#include "support/FakeHttpServer.h"
#include "CatalogTest.h"

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
        EXPECT_NE(module, nullptr);
        visits.emplace_back(name, object);
    }
    std::vector<std::pair<std::string, IMapResourceObject*>> visits;
};

using UrlList = QVector<QPair<QString, int>>;
using RemoteConfigTest = SettingsDirTest;
FAKE_HTTP_RESPONSE Json(const char* text) { return {200, QByteArray(text), false}; }

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
    for (IMapResourceObject* object : std::vector<IMapResourceObject*>{&gamma, &beta, &a1, &a2, &custom})
        EXPECT_TRUE(module.RegisterMapResource(object));  // a2 replaces a1 under the same name
    EXPECT_TRUE(capture.Contains(VTLOG_LEVEL_DEBUG, "[CMapResourceObjectModule::RegisterMapResource] 注册地图资源，MapType: 11"));

    // By name; by type the first name in order ("alpha" before "beta"); custom only when it is one.
    EXPECT_EQ(std::vector<IMapResourceObject*>({module.GetMapResourceByName("alpha"), module.GetMapResourceByName("delta"),
                                                module.GetMapResource(11), module.GetMapResource(10), module.GetCustomMapResource(13),
                                                module.GetCustomMapResource(11)}),
              std::vector<IMapResourceObject*>({&a2, nullptr, &a2, nullptr, &custom, nullptr}));
    EXPECT_EQ(module.GetAllMapType(), (std::vector<int>{11, 11, 13, 12}));
    Collector visitor;
    module.Accept(visitor);
    EXPECT_EQ(visitor.visits, (decltype(visitor.visits){{"alpha", &a2}, {"beta", &beta}, {"custom", &custom}, {"gamma", &gamma}}));

    module.UnregisterMapResource(nullptr);
    module.UnregisterMapResource(&a1);  // the entry named "alpha" goes, whichever object holds it
    module.UnregisterMapResource(&beta);
    EXPECT_EQ(std::make_pair(module.GetMapResource(11), module.GetAllMapType()), std::make_pair(static_cast<IMapResourceObject*>(nullptr), std::vector<int>{13, 12}));
}

TEST(MapResourceObjectModule, SingletonOwnsAPluginModuleAndAnswersTheSupportedRange) {
    IMapResourceObjectModule* module = GetOrCreateMapResourceObjectModule();
    ASSERT_TRUE(module != nullptr && module->GetPluginModule() != nullptr);
    EXPECT_EQ(module, GetOrCreateMapResourceObjectModule());

    FakeResource limited("limited", 77001, 3, 9);
    module->RegisterMapResource(&limited);
    const CMapTypeManager* types = CMapTypeManager::getInstance();
    // Borders inclusive; 77002 has nothing registered.
    const std::tuple<int, int, bool> cases[] = {{77001, 2, false}, {77001, 3, true}, {77001, 9, true}, {77001, 10, false}, {77002, 5, false}};
    for (const auto& [id, level, expected] : cases) EXPECT_EQ(types->IsInSupportMapRange(id, level), expected) << level;
    module->UnregisterMapResource(&limited);

    DestroyMapResourceObjectModule();
    DestroyMapResourceObjectModule();  // a second call does nothing
    EXPECT_EQ(GetOrCreateMapResourceObjectModule()->GetAllMapType(), std::vector<int>{});
}

// No server configured, malformed or unanswered replies: an empty list, and the next call fetches
// again. The first whole list is kept: later calls never fetch, and a map type listed twice keeps its last list.
TEST_F(RemoteConfigTest, FetchesUntilAWholeListCameAndKeepsIt) {
    CMapResourceObjectModule module;
    EXPECT_EQ(CMapResourceObjectModule::MapTypeUrlConfigAddress(), "");
    EXPECT_EQ(module.GetMapTypeUrls(5), UrlList{});

    const char* replies[] = {"", "{\"data\": [", "<html>oops</html>", "{}", "{\"data\": {\"MapType\": 5}}", "{\"data\": []}"};
    int served = 0;
    CFakeHttpServer server([&](const FAKE_HTTP_REQUEST&) { return Json(replies[served++]); });
    ASSERT_TRUE(server.Start());
    Write("config.ini", CMapResourceObjectModule::kMapTypeUrlServerKey, server.Origin());
    for (const char* reply : replies) EXPECT_EQ(module.GetMapTypeUrls(5), UrlList{}) << reply;
    server.SetHandler([](const FAKE_HTTP_REQUEST&) { return FAKE_HTTP_RESPONSE{200, {}, true}; });
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(module.GetMapTypeUrls(5), UrlList{});
    // Never earlier than the limit (a precise timer); the upper side is left to the suite's timeout.
    EXPECT_GE(clock.elapsed(), CMapResourceObjectModule::kFetchTimeoutMs - 50);
    EXPECT_EQ(server.Requests().size(), static_cast<int>(std::size(replies)) + 1);

    server.SetHandler([](const FAKE_HTTP_REQUEST&) { return Json(kConfig); });
    Write("config.ini", CMapResourceObjectModule::kMapTypeUrlServerKey, server.Origin() + "//");
    EXPECT_EQ(module.GetMapTypeUrls(5), (UrlList{{"http://a/{z}/{x}/{y}", 3}, {"http://b/{z}", 1}}));
    EXPECT_EQ(module.GetMapTypeUrls(7), (UrlList{{"", 9}, {"http://new", 2}}));
    EXPECT_EQ(module.GetMapTypeUrls(0), (UrlList{{"http://no-type", 1}}));
    EXPECT_EQ(module.GetMapTypeUrls(8), UrlList{});
    ASSERT_EQ(server.Requests().size(), static_cast<int>(std::size(replies)) + 2);
    EXPECT_EQ(server.Requests().last().method, "GET");
    EXPECT_EQ(server.Requests().last().path, "/updateq7/MapTypeUrlConifg.json");
}
