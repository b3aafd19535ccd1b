#include "catalog/CustomMapTraits_p.h"
#include "catalog/MapTypeManager.h"
#include "core/Tools.h"
#include "CatalogTest.h"

#include <climits>

namespace {

using MapSettingsTest = SettingsDirTest;
const char* const kConfig = "config.ini";
const char* const kVersion = "mapver.dll";

// Key 1: an elevation map; 2: a GCJ-02 map; 3: a BD-09 map; 4: both flags (offset wins); others absent.
int g_lookups = 0;
CUSTOM_MAP_TRAITS FakeCustomMaps(int key) {
    ++g_lookups;
    CUSTOM_MAP_TRAITS traits;
    traits.bFound = key >= 1 && key <= 4;
    traits.bDem = key == 1;
    traits.bOffset = key == 2 || key == 4;
    traits.bBD09 = key == 3 || key == 4;
    return traits;
}

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

TEST(ToolsMapType, CustomMapRefinesTheOffsetOfCustomTypes) {
    SetCustomMapTraitsProvider(&FakeCustomMaps);
    const std::tuple<int, int, int> offsets[] = {  // map type, custom key, offset
        {601, 2, 1}, {602, 2, 1}, {606, 2, 1}, {607, 2, 1},  // GCJ-02 custom map
        {601, 3, 2}, {607, 3, 2},                            // BD-09 custom map
        {602, 4, 1},                                         // offset is tested first
        {601, 1, 0}, {601, 42, 0}, {601, -1, 0},             // no datum flag, absent, none: the catalogue
        {1, 2, 0},   {44, 2, 2},   {102, 3, 1}, {60, 3, 3}, {99999, 2, 3},  // other types ignore the key
    };
    for (const auto& [mapType, key, offset] : offsets) EXPECT_EQ(Tools::getOffsetType(mapType, key), offset) << mapType << " key " << key;
    // Only the custom WGS84 type asks the custom map whether it is elevation, and never for key -1.
    const std::tuple<int, int, bool> dem[] = {{601, 1, true}, {7, 2, true}, {601, 2, false}, {601, 42, false}, {602, 1, false}, {606, 1, false}};
    for (const auto& [mapType, key, expected] : dem) EXPECT_EQ(Tools::isDem(mapType, key), expected) << mapType << " key " << key;
    g_lookups = 0;
    EXPECT_FALSE(Tools::isDem(601, -1));
    EXPECT_EQ(g_lookups, 0);
    SetCustomMapTraitsProvider(nullptr);  // the manager's answers again for later tests
}
