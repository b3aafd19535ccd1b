#include "catalog/CustomMapManager.h"
#include "catalog/CustomMapTraits_p.h"
#include "catalog/MapTypeManager.h"
#include "core/Tools.h"
#include "CatalogTest.h"

#include <climits>

namespace {

using MapSettingsTest = SettingsDirTest;
const char* const kConfig = "config.ini";
const char* const kVersion = "mapver.dll";

}  // namespace

// No file (reading creates none), a corrupt one or values that are not numbers: the defaults. The setters write
// the files; a value is read once and cached, unless a setter stored the not-read value; the map source is read on
// every call.
TEST_F(MapSettingsTest, ValuesAreReadOnceCachedAndWrittenUnderKmtr) {
    auto read = [](const char* key) {
        return std::make_tuple(Tools::getGoogleServerType(key), Tools::getLanType(key), Tools::getMapLanType(key),
                               Tools::getMapSourceType(key));
    };
    const auto defaults = std::make_tuple(GOOGLE_SERVER_2, 1, QString("x-local"), 1);
    EXPECT_EQ(read("k"), defaults);
    EXPECT_EQ(Tools::getMapSourceType(), 1);
    EXPECT_TRUE(QDir(m_dir.path()).isEmpty());
    ASSERT_TRUE(writeFile(m_dir.filePath(kConfig), QByteArray("\x00\xff[kmtr\n=\n\xfe garbage=[[[\n", 24)));
    EXPECT_EQ(read("x"), defaults);
    QFile::remove(m_dir.filePath(kConfig));
    Write(kConfig, "kmtr/bad", "abc"), Write(kVersion, "kmtr/bad", "12x"), Write(kVersion, "kmtr/mapsosurce", "");
    EXPECT_EQ(read("bad"), std::make_tuple(GOOGLE_SERVER_2, 0, QString("abc"), 0));  // a server of 0 means the second
    EXPECT_EQ(Tools::getMapSourceType(), 0);

    Tools::setMapLanType("label", QString::fromUtf8("中文-本地")), Tools::setLanType("bing", 28);
    Tools::setMapLanType("google", "zh-cn"), Tools::setGoogleServerType("google", GOOGLE_SERVER_3);  // one key
    Tools::setGoogleServerType("set-zero", GOOGLE_SERVER_0);
    Tools::setMapSourceType(MAP_SOURCE_JS_XZ), Tools::setMapSourceType("tianditu", 17031);
    EXPECT_EQ(std::make_tuple(Read(kConfig, "kmtr/google"), Read(kConfig, "kmtr/bing"), Read(kConfig, "kmtr/set-zero"),
                              Read(kVersion, "kmtr/mapsosurce"), Read(kVersion, "kmtr/tianditu")),
              std::make_tuple(QVariant("3"), QVariant("28"), QVariant("0"), QVariant("1703"), QVariant("17031")));
    SetMapSettingsDirectory(m_dir.path());  // a fresh process reads the files
    EXPECT_EQ(std::make_tuple(Tools::getLanType("bing"), Tools::getGoogleServerType("google"), Tools::getGoogleServerType("set-zero"),
                              Tools::getMapSourceType(), Tools::getMapSourceType("tianditu"), Tools::getMapLanType("label")),
              std::make_tuple(28, GOOGLE_SERVER_3, GOOGLE_SERVER_2, 1703, 17031, QString::fromUtf8("中文-本地")));

    EXPECT_EQ(read("k"), defaults);
    Tools::setMapLanType("lang", ""), Tools::setLanType("lan", 0), Tools::setGoogleServerType("srv", GOOGLE_SERVER_NOT_READ);
    Write(kConfig, "kmtr/k", 3), Write(kConfig, "kmtr/lang", "fr"), Write(kConfig, "kmtr/lan", 7), Write(kConfig, "kmtr/srv", 1);
    Write(kVersion, "kmtr/mapsosurce", 3301), Write(kVersion, "kmtr/fam", "-4");
    EXPECT_EQ(std::make_tuple(Tools::getGoogleServerType("k"), Tools::getLanType("k"), Tools::getMapLanType("k")),
              std::make_tuple(GOOGLE_SERVER_2, 1, QString("x-local")));
    EXPECT_EQ(std::make_tuple(Tools::getMapLanType("lang"), Tools::getLanType("lan"), Tools::getGoogleServerType("srv"),
                              Tools::getMapSourceType(), Tools::getMapSourceType("fam")),
              std::make_tuple(QString("fr"), 7, GOOGLE_SERVER_1, 3301, -4));
}

TEST(ToolsMapType, DataSourceAndLanguageCodes) {
    const std::pair<int, const char*> sources[] = {
        {1, "CN"}, {10, "HN"}, {12, "HN2"}, {15, "HN3"}, {17, "JS"}, {25, "SX2"}, {27, "SC"}, {28, "TJ"}, {33, "ZJ"},
        {1701, "JS_CZ"}, {1703, "JS_XZ"}, {3301, "ZJ_WZ"}, {17031, "JS_XZ_PX"}, {17035, "JS_XZ_PZ"},
        {0, ""}, {26, ""}, {31, ""}, {34, ""}, {-1, ""}, {1704, ""}, {17036, ""}, {INT_MAX, ""}, {INT_MIN, ""},
    };
    for (const auto& [source, code] : sources)
        EXPECT_EQ(Tools::getTDMapDataSrcStrCode(static_cast<ENUM_MAP_SOURCE>(source)), QString(code)) << source;

    // Every language round-trips, except the Dutch aliases, which read back as the first.
    for (int lang = 0; lang <= 30; ++lang) {
        const QString code = Tools::getGoogleMapLangStrCode(static_cast<ENUM_MAP_LANG_TYPE>(lang));
        ASSERT_FALSE(code.isEmpty()) << lang;
        EXPECT_EQ(Tools::langStr2Enum(code), (lang >= 13 && lang <= 15) ? 12 : lang) << code.toStdString();
    }
    EXPECT_EQ(Tools::getGoogleMapLangStrCode(MAP_LANG_ZH_CN), "zh-cn");
    for (int lang : {31, -1}) EXPECT_EQ(Tools::getGoogleMapLangStrCode(static_cast<ENUM_MAP_LANG_TYPE>(lang)), "");
    for (const char* code : {"NL", "zh-CN", "", " en"}) EXPECT_EQ(Tools::langStr2Enum(code), MAP_LANG_LOCAL) << code;
}

// The custom map stored under the key, as the manager holds it, refines the offset and elevation of the custom types.
TEST(ToolsMapType, CustomMapRefinesTheOffsetOfCustomTypes) {
    CCustomMapManager* manager = CCustomMapManager::Instance();
    const QList<int> before = manager->keys();
    // 9991: elevation; 9992: GCJ-02; 9993: BD-09; 9994: both flags as stored (offset wins); 9995: offline; others absent.
    const std::pair<int, QJsonObject> maps[] = {
        {9991, {{"type", "online"}, {"DemMap", true}}}, {9992, {{"type", "online"}, {"WGS84", false}, {"Offset", true}}},
        {9993, {{"type", "online"}, {"BD09", true}}}, {9994, {{"type", "online"}, {"Offset", true}, {"BD09", true}}},
        {9995, {{"type", "offline"}, {"DemMap", true}, {"Offset", true}}}};
    for (const auto& [key, object] : maps) manager->insert(key, CCustomMapObj(object));
    const std::tuple<int, int, int> offsets[] = {  // map type, custom key, offset
        {601, 9992, 1}, {602, 9992, 1}, {606, 9992, 1}, {607, 9992, 1},  // GCJ-02 custom map
        {601, 9993, 2}, {607, 9993, 2},                                  // BD-09 custom map
        {602, 9994, 1},                                                  // offset is tested first
        {601, 9991, 0}, {601, 9995, 0}, {601, 42, 0}, {601, -1, 0},      // no datum flag, offline, absent, none: the catalogue
        {1, 9992, 0},   {44, 9992, 2},  {102, 9993, 1}, {60, 9993, 3}, {99999, 9992, 3},  // other types ignore the key
    };
    for (const auto& [mapType, key, offset] : offsets) EXPECT_EQ(Tools::getOffsetType(mapType, key), offset) << mapType << " key " << key;
    // Only the custom WGS84 type asks the custom map whether it is elevation.
    const std::tuple<int, int, bool> dem[] = {{601, 9991, true}, {7, 9992, true}, {601, 9992, false}, {601, 9995, false},
                                              {601, 42, false}, {602, 9991, false}, {606, 9991, false}};
    for (const auto& [mapType, key, expected] : dem) EXPECT_EQ(Tools::isDem(mapType, key), expected) << mapType << " key " << key;
    for (const auto& entry : maps) manager->remove(entry.first);
    EXPECT_EQ(manager->keys(), before);

    // The key -1 names no custom map: it never reaches a provider, even one that finds every key.
    SetCustomMapTraitsProvider([](int) { return CUSTOM_MAP_TRAITS{true, true, true, true}; });
    EXPECT_EQ(std::make_pair(Tools::isDem(601, -1), Tools::getOffsetType(601, -1)), std::make_pair(false, COORD_OFFSET_NONE));
    EXPECT_EQ(Tools::getOffsetType(601, 5), COORD_OFFSET_GCJ02);  // while any other key does
    SetCustomMapTraitsProvider(nullptr);
}
