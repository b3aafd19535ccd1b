#include "catalog/CustomMapTraits_p.h"
#include "catalog/MapSettingsLocation_p.h"
#include "catalog/MapTypeManager.h"
#include "core/Tools.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <climits>
#include <vector>

namespace {

// Every test gets its own empty application directory; the caches are dropped on entry and exit.
class MapSettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        SetMapSettingsDirectory(m_dir.path());
    }
    void TearDown() override { SetMapSettingsDirectory(QString()); }

    QString ConfigPath() const { return m_dir.path() + "/config.ini"; }
    QString MapVersionPath() const { return m_dir.path() + "/mapver.dll"; }

    // Writes a value as another program (or the user) would, behind the caches' back.
    static void WriteIni(const QString& path, const QString& key, const QVariant& value) {
        QSettings settings(path, QSettings::IniFormat);
        settings.setValue(key, value);
    }
    static QVariant ReadIni(const QString& path, const QString& key) {
        return QSettings(path, QSettings::IniFormat).value(key);
    }

    QTemporaryDir m_dir;
};

// Installs a custom map provider for one test and removes it again.
class ScopedCustomMaps {
public:
    explicit ScopedCustomMaps(CustomMapTraitsProvider provider) { SetCustomMapTraitsProvider(provider); }
    ~ScopedCustomMaps() { SetCustomMapTraitsProvider(nullptr); }
};

int g_nLookups = 0;
std::vector<int> g_lookedUpKeys;

// Key 1: an elevation map; 2: a GCJ-02 map; 3: a BD-09 map; 4: both flags (offset wins); others absent.
CUSTOM_MAP_TRAITS FakeCustomMaps(int key) {
    ++g_nLookups;
    g_lookedUpKeys.push_back(key);
    CUSTOM_MAP_TRAITS traits;
    traits.bFound = key >= 1 && key <= 4;
    traits.bDem = key == 1;
    traits.bOffset = key == 2 || key == 4;
    traits.bBD09 = key == 3 || key == 4;
    return traits;
}

}  // namespace

// No file, a corrupt one and values that are not numbers: the defaults, and reading never creates a file.
TEST_F(MapSettingsTest, MissingCorruptOrNonNumericValuesGiveTheDefaults) {
    EXPECT_EQ(Tools::getGoogleServerType("google"), GOOGLE_SERVER_2);
    EXPECT_EQ(Tools::getLanType("google"), 1);
    EXPECT_EQ(Tools::getMapLanType("google"), "x-local");
    EXPECT_EQ(Tools::getMapSourceType(), 1);
    EXPECT_EQ(Tools::getMapSourceType("tianditu"), 1);
    EXPECT_FALSE(QFile::exists(ConfigPath()));
    EXPECT_FALSE(QFile::exists(MapVersionPath()));

    QFile file(ConfigPath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray("\x00\xff[kmtr\n=\n\xfe garbage=[[[\n", 24));
    file.close();
    EXPECT_EQ(Tools::getLanType("x"), 1);
    EXPECT_EQ(Tools::getMapLanType("x"), "x-local");
    EXPECT_EQ(Tools::getGoogleServerType("x"), GOOGLE_SERVER_2);

    QFile::remove(ConfigPath());
    WriteIni(ConfigPath(), "kmtr/bad", "abc");
    WriteIni(ConfigPath(), "kmtr/zero", 0);
    WriteIni(MapVersionPath(), "kmtr/bad", "12x");
    WriteIni(MapVersionPath(), "kmtr/mapsosurce", "");
    EXPECT_EQ(Tools::getLanType("bad"), 0);
    EXPECT_EQ(Tools::getGoogleServerType("bad"), GOOGLE_SERVER_2);  // 0, then read as 2
    EXPECT_EQ(Tools::getGoogleServerType("zero"), GOOGLE_SERVER_2);
    EXPECT_EQ(Tools::getMapSourceType("bad"), 0);
    EXPECT_EQ(Tools::getMapSourceType(), 0);
    Tools::setGoogleServerType("set-zero", GOOGLE_SERVER_0);
    EXPECT_EQ(Tools::getGoogleServerType("set-zero"), GOOGLE_SERVER_2);
    EXPECT_EQ(ReadIni(ConfigPath(), "kmtr/set-zero").toInt(), 0);  // the file keeps what was set
}

TEST_F(MapSettingsTest, SettersWriteTheFilesUnderKmtr) {
    Tools::setMapLanType("google", "zh-cn");
    Tools::setLanType("bing", 28);
    Tools::setGoogleServerType("google", GOOGLE_SERVER_3);
    Tools::setMapSourceType(MAP_SOURCE_JS_XZ);
    Tools::setMapSourceType("tianditu", 17031);
    Tools::setMapLanType("label", QString::fromUtf8("中文-本地"));
    EXPECT_EQ(ReadIni(ConfigPath(), "kmtr/google").toString(), "3");  // the later write to the same key
    EXPECT_EQ(ReadIni(ConfigPath(), "kmtr/bing").toInt(), 28);
    EXPECT_EQ(ReadIni(MapVersionPath(), "kmtr/mapsosurce").toInt(), 1703);
    EXPECT_EQ(ReadIni(MapVersionPath(), "kmtr/tianditu").toInt(), 17031);
    // A fresh process (caches dropped) reads the values back from the files.
    SetMapSettingsDirectory(m_dir.path());
    EXPECT_EQ(Tools::getLanType("bing"), 28);
    EXPECT_EQ(Tools::getGoogleServerType("google"), GOOGLE_SERVER_3);
    EXPECT_EQ(Tools::getMapSourceType(), 1703);
    EXPECT_EQ(Tools::getMapSourceType("tianditu"), 17031);
    EXPECT_EQ(Tools::getMapLanType("label"), QString::fromUtf8("中文-本地"));
}

// A value is read once and cached, unless a setter stored the not-read value; the map source is read on every call.
TEST_F(MapSettingsTest, CachedValuesAreNotReadAgain) {
    EXPECT_EQ(Tools::getLanType("k"), 1);
    EXPECT_EQ(Tools::getMapLanType("k"), "x-local");
    EXPECT_EQ(Tools::getGoogleServerType("k"), GOOGLE_SERVER_2);
    Tools::setMapLanType("lang", "");
    Tools::setLanType("lan", 0);
    Tools::setGoogleServerType("srv", GOOGLE_SERVER_NOT_READ);
    Tools::setMapSourceType(MAP_SOURCE_ZJ);
    EXPECT_EQ(Tools::getMapSourceType(), 33);
    // The files change behind the caches' back.
    WriteIni(ConfigPath(), "kmtr/k", 3);
    WriteIni(ConfigPath(), "kmtr/lang", "fr");
    WriteIni(ConfigPath(), "kmtr/lan", 7);
    WriteIni(ConfigPath(), "kmtr/srv", 1);
    WriteIni(MapVersionPath(), "kmtr/mapsosurce", 3301);
    WriteIni(MapVersionPath(), "kmtr/fam", "-4");
    EXPECT_EQ(Tools::getLanType("k"), 1);
    EXPECT_EQ(Tools::getMapLanType("k"), "x-local");
    EXPECT_EQ(Tools::getGoogleServerType("k"), GOOGLE_SERVER_2);
    EXPECT_EQ(Tools::getMapLanType("lang"), "fr");
    EXPECT_EQ(Tools::getLanType("lan"), 7);
    EXPECT_EQ(Tools::getGoogleServerType("srv"), GOOGLE_SERVER_1);
    EXPECT_EQ(Tools::getMapSourceType(), 3301);
    EXPECT_EQ(Tools::getMapSourceType("fam"), -4);
}

TEST(ToolsMapType, DataSourceCodes) {
    struct Case {
        int source;
        const char* code;
    };
    const Case kCases[] = {
        {1, "CN"},         {10, "HN"},        {12, "HN2"},       {15, "HN3"},      {17, "JS"},
        {25, "SX2"},       {27, "SC"},        {33, "ZJ"},        {1701, "JS_CZ"},  {1703, "JS_XZ"},
        {3301, "ZJ_WZ"},   {17031, "JS_XZ_PX"}, {17035, "JS_XZ_PZ"},
        {0, ""},           {26, ""},          {31, ""},          {34, ""},         {-1, ""},
        {1704, ""},        {17036, ""},       {INT_MAX, ""},     {INT_MIN, ""},
    };
    for (const Case& c : kCases) {
        EXPECT_EQ(Tools::getTDMapDataSrcStrCode(static_cast<ENUM_MAP_SOURCE>(c.source)), QString(c.code)) << c.source;
    }
}

TEST(ToolsMapType, LanguageCodesRoundTripExceptDutchAliases) {
    for (int lang = 0; lang <= 30; ++lang) {
        const QString code = Tools::getGoogleMapLangStrCode(static_cast<ENUM_MAP_LANG_TYPE>(lang));
        ASSERT_FALSE(code.isEmpty()) << lang;
        const int expected = (lang >= 13 && lang <= 15) ? 12 : lang;
        EXPECT_EQ(Tools::langStr2Enum(code), expected) << code.toStdString();
    }
    EXPECT_EQ(Tools::getGoogleMapLangStrCode(MAP_LANG_ZH_CN), "zh-cn");
    EXPECT_EQ(Tools::getGoogleMapLangStrCode(static_cast<ENUM_MAP_LANG_TYPE>(31)), "");
    EXPECT_EQ(Tools::getGoogleMapLangStrCode(static_cast<ENUM_MAP_LANG_TYPE>(-1)), "");
    EXPECT_EQ(Tools::langStr2Enum("NL"), MAP_LANG_LOCAL);  // exact, case-sensitive
    EXPECT_EQ(Tools::langStr2Enum("zh-CN"), MAP_LANG_LOCAL);
    EXPECT_EQ(Tools::langStr2Enum(""), MAP_LANG_LOCAL);
    EXPECT_EQ(Tools::langStr2Enum(" en"), MAP_LANG_LOCAL);
}

TEST(ToolsMapType, CustomMapRefinesTheOffsetOfCustomTypes) {
    ScopedCustomMaps maps(&FakeCustomMaps);
    struct Case {
        int mapType;
        int key;
        int expected;
    };
    const Case kCases[] = {
        {601, 2, 1}, {602, 2, 1}, {606, 2, 1}, {607, 2, 1},  // GCJ-02 custom map
        {601, 3, 2}, {607, 3, 2},                            // BD-09 custom map
        {602, 4, 1},                                         // offset is tested first
        {601, 1, 0}, {601, 42, 0}, {601, -1, 0},             // no datum flag, absent, none: the catalogue
        {1, 2, 0},   {44, 2, 2},   {102, 3, 1}, {60, 3, 3},  // other types ignore the key
        {99999, 2, 3},
    };
    for (const Case& c : kCases) {
        EXPECT_EQ(Tools::getOffsetType(c.mapType, c.key), c.expected) << c.mapType << " key " << c.key;
    }
    // Only the custom WGS84 type asks the custom map whether it is elevation, and never for key -1.
    const std::pair<int, int> elevation[] = {{601, 1}, {7, 2}}, flat[] = {{601, 2}, {601, 42}, {602, 1}, {606, 1}};
    for (const auto& [mapType, key] : elevation) EXPECT_TRUE(Tools::isDem(mapType, key)) << mapType << " key " << key;
    for (const auto& [mapType, key] : flat) EXPECT_FALSE(Tools::isDem(mapType, key)) << mapType << " key " << key;
    g_nLookups = 0;
    EXPECT_FALSE(Tools::isDem(601, -1));
    EXPECT_EQ(g_nLookups, 0);
}

TEST(ToolsMapType, WithoutProviderCustomTypesGetTheCatalogueAnswers) {
    SetCustomMapTraitsProvider(nullptr);
    for (int key : {-1, 0, 1, 2, 3, 9998}) {
        EXPECT_FALSE(Tools::isDem(601, key));
        EXPECT_EQ(Tools::getOffsetType(601, key), COORD_OFFSET_NONE);
        EXPECT_EQ(Tools::getOffsetType(607, key), COORD_OFFSET_NONE);
    }
    int minLevel = 0, maxLevel = 0;
    CMapTypeManager::getInstance()->GetMinAndMaxLevel(601, minLevel, maxLevel);
    EXPECT_EQ(maxLevel, 21);
}
