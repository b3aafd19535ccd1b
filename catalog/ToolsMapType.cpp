#include "core/Tools.h"

#include "catalog/CustomMapTraits_p.h"
#include "catalog/MapSettingsLocation_p.h"
#include "catalog/MapTypeCatalogue_p.h"
#include "catalog/MapTypeManager.h"

#include <QCoreApplication>
#include <QMap>
#include <QSettings>
#include <QVariant>

#include <iterator>
#include <mutex>

namespace {

template <std::size_t N>
bool Contains(const int (&ids)[N], int mapType) {
    for (int id : ids) {
        if (id == mapType) return true;
    }
    return false;
}

constexpr int kGEDemTypes[] = {7, 910};
constexpr int kMapAndMixMapTypes[] = {111, 121, 131};
constexpr int kCustomMapTypes[] = {601, 602, 606, 607};

// `n` that disables the cache of types flagged MTF_NO_CACHE_AT_15.
constexpr int kNoCacheArgument = 15;

constexpr int kDefaultMinLevel = 1;
constexpr int kDefaultMaxLevel = 21;

struct CODE_ROW {
    int nValue;
    const char* szCode;
};

constexpr CODE_ROW kDataSourceCodes[] = {
    {1, "CN"},        {2, "AH"},        {3, "BJ"},        {4, "CQ"},        {5, "FJ"},        {6, "GS"},
    {7, "GD"},        {8, "GX"},        {9, "GZ"},        {10, "HN"},       {11, "HB"},       {12, "HN2"},
    {13, "HLJ"},      {14, "HB2"},      {15, "HN3"},      {16, "JL"},       {17, "JS"},       {18, "JX"},
    {19, "LN"},       {20, "NMG"},      {21, "NX"},       {22, "QH"},       {23, "SD"},       {24, "SX"},
    {25, "SX2"},      {27, "SC"},       {28, "TJ"},       {29, "XZ"},       {30, "XJ"},       {32, "YN"},
    {33, "ZJ"},       {1701, "JS_CZ"},  {1702, "JS_SH"},  {1703, "JS_XZ"},  {3301, "ZJ_WZ"},
    {17031, "JS_XZ_PX"}, {17032, "JS_XZ_FX"}, {17033, "JS_XZ_SN"}, {17034, "JS_XZ_XY"}, {17035, "JS_XZ_PZ"},
};

// Indexed by ENUM_MAP_LANG_TYPE; the inverse lookup takes the first match, so "nl" is 12.
constexpr const char* kLanguageCodes[] = {
    "x-local", "en", "de", "el", "es", "et", "fi", "fr", "hr", "it", "ja", "ko", "nl", "nl", "nl", "nl",
    "no",      "pl", "pt", "ro", "ru", "sl", "sq", "sr", "sv", "th", "uk", "zh", "zh-cn", "zh-hk", "zh-tw",
};

const char* const kConfigFile = "/config.ini";
const char* const kMapVersionFile = "/mapver.dll";  // an INI text file despite its name
const char* const kKeyPrefix = "kmtr/";
const char* const kMapSourceKey = "kmtr/mapsosurce";

// Values that mean "not read yet": a cached entry holding one is read from the file again.
const int kLanTypeNotRead = 0;

// Process-wide caches of the "config.ini" settings. The lock is not needed by the single-threaded
// callers the settings were made for, but it keeps a stray second thread from corrupting the maps.
struct SETTINGS_STATE {
    std::mutex mutex;
    QString strDirectoryOverride;
    QMap<QString, QString> mapLanguage;
    QMap<QString, int> mapLanType;
    QMap<QString, int> mapGoogleServer;
};

SETTINGS_STATE& Settings() {
    static SETTINGS_STATE* const s_pState = new SETTINGS_STATE();  // outlives static destruction
    return *s_pState;
}

QString DirectoryLocked(const SETTINGS_STATE& state) {
    if (!state.strDirectoryOverride.isEmpty()) return state.strDirectoryOverride;
    return QCoreApplication::applicationDirPath();
}

// An INI file of the settings directory, opened the way the application's own files are written.
class CIniFile {
public:
    CIniFile(const QString& directory, const char* fileName)
        : m_settings(directory + QLatin1String(fileName), QSettings::IniFormat) {
        m_settings.setIniCodec("SYSTEM");
    }
    QVariant Read(const QString& key, const QVariant& fallback) const { return m_settings.value(key, fallback); }
    void Write(const QString& key, const QVariant& value) {
        m_settings.setValue(key, value);
        m_settings.sync();
    }

private:
    QSettings m_settings;
};

QString SettingKey(const QString& key) { return QLatin1String(kKeyPrefix) + key; }

QVariant ReadConfig(const SETTINGS_STATE& state, const QString& key, const QVariant& fallback) {
    return CIniFile(DirectoryLocked(state), kConfigFile).Read(SettingKey(key), fallback);
}

// The cached value of `key`; an entry that is missing or still holds `notRead` is read with `read`.
template <typename T, typename ReadFn>
T& CachedSetting(QMap<QString, T>& cache, const QString& key, const T& notRead, ReadFn read) {
    auto it = cache.find(key);
    if (it == cache.end()) it = cache.insert(key, notRead);
    if (it.value() == notRead) it.value() = read();
    return it.value();
}

// Setters update the cache first, then the file.
template <typename T>
void StoreSetting(QMap<QString, T> SETTINGS_STATE::*cache, const QString& key, const T& value) {
    SETTINGS_STATE& state = Settings();
    std::lock_guard<std::mutex> lock(state.mutex);
    (state.*cache)[key] = value;
    CIniFile(DirectoryLocked(state), kConfigFile).Write(SettingKey(key), QVariant::fromValue(value));
}

}  // namespace

QString MapSettingsDirectory() {
    SETTINGS_STATE& state = Settings();
    std::lock_guard<std::mutex> lock(state.mutex);
    return DirectoryLocked(state);
}

void SetMapSettingsDirectory(const QString& dir) {
    SETTINGS_STATE& state = Settings();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.strDirectoryOverride = dir;
    state.mapLanguage.clear();
    state.mapLanType.clear();
    state.mapGoogleServer.clear();
}

bool Tools::isLabel(int mapType) { return CMapTypeManager::getInstance()->IsLabel(mapType); }
bool Tools::isHaveLabel(int mapType) { return CMapTypeManager::getInstance()->IsHaveLabel(mapType); }
bool Tools::isMixMap(int mapType) { return !isHaveLabel(mapType); }
bool Tools::isBaidu(int mapType) { return CMapTypeManager::getInstance()->isBaidu(mapType); }
bool Tools::isVector(int mapType) { return CMapTypeManager::getInstance()->isVectorMaptype(mapType); }
bool Tools::isWGS(int mapType) { return CMapTypeManager::getInstance()->isWgs84(mapType); }
int Tools::getLabelByMapType(int mapType) { return CMapTypeManager::getInstance()->getLabeltypeByImgetype(mapType); }
bool Tools::getMapTypeIsBigFont(int mapType) { return CMapTypeManager::getInstance()->getImgeIsBigByMaptype(mapType); }
bool Tools::getIsBigFont(int mapType) { return CMapTypeManager::getInstance()->IsHaveBF(mapType); }

bool Tools::isDem(int mapType, int customKey) {
    if (MapTypeHasFlag(mapType, MTF_DEM_BY_CUSTOM_MAP)) return LookupCustomMapTraits(customKey).bDem;
    return MapTypeHasFlag(mapType, MTF_DEM);
}

bool Tools::isGEDem(int mapType) { return Contains(kGEDemTypes, mapType); }
bool Tools::isBackupOfficialMap(int mapType) { return MapTypeHasFlag(mapType, MTF_BACKUP_OFFICIAL); }
bool Tools::isHaveMapAndMixMap(int mapType) { return Contains(kMapAndMixMapTypes, mapType); }
bool Tools::isWebMkt(int mapType) { return MapTypeHasFlag(mapType, MTF_WEB_MERCATOR); }
bool Tools::IsElectronicMap(int mapType) { return MapTypeHasFlag(mapType, MTF_ELECTRONIC); }

bool Tools::IsCacheEnable(int mapType, int n) {
    if (MapTypeHasFlag(mapType, MTF_NO_CACHE)) return false;
    return !(n == kNoCacheArgument && MapTypeHasFlag(mapType, MTF_NO_CACHE_AT_15));
}

void Tools::GetDownloadMinAndMaxLevel(int mapType, int, int& minLevel, int& maxLevel) {
    const MAP_TYPE_ROW* row = FindMapTypeRow(mapType);
    minLevel = row != nullptr ? row->nDownloadMin : kDefaultMinLevel;
    maxLevel = row != nullptr ? row->nDownloadMax : kDefaultMaxLevel;
}

CoordOffsetType Tools::getOffsetType(int mapType, int customId) {
    if (Contains(kCustomMapTypes, mapType)) {
        const CUSTOM_MAP_TRAITS traits = LookupCustomMapTraits(customId);
        if (traits.bFound && traits.bOffset) return COORD_OFFSET_GCJ02;
        if (traits.bFound && traits.bBD09) return COORD_OFFSET_BD09;
    }
    return CMapTypeManager::getInstance()->getOffsetType(mapType);
}

QString Tools::getMapLanType(QString key) {
    SETTINGS_STATE& state = Settings();
    std::lock_guard<std::mutex> lock(state.mutex);
    return CachedSetting(state.mapLanguage, key, QString(), [&] {
        return ReadConfig(state, key, QStringLiteral("x-local")).toString();
    });
}

void Tools::setMapLanType(QString key, QString value) { StoreSetting(&SETTINGS_STATE::mapLanguage, key, value); }

int Tools::getLanType(QString key) {
    SETTINGS_STATE& state = Settings();
    std::lock_guard<std::mutex> lock(state.mutex);
    return CachedSetting(state.mapLanType, key, kLanTypeNotRead, [&] { return ReadConfig(state, key, 1).toInt(); });
}

void Tools::setLanType(QString key, int value) { StoreSetting(&SETTINGS_STATE::mapLanType, key, value); }

ENUM_GOOGLE_SERVER Tools::getGoogleServerType(QString key) {
    SETTINGS_STATE& state = Settings();
    std::lock_guard<std::mutex> lock(state.mutex);
    int& value = CachedSetting(state.mapGoogleServer, key, static_cast<int>(GOOGLE_SERVER_NOT_READ),
                               [&] { return ReadConfig(state, key, 0).toString().toInt(nullptr, 10); });
    // The application stores 0 for "not chosen"; it means the second server.
    if (value == GOOGLE_SERVER_0) value = GOOGLE_SERVER_2;
    return static_cast<ENUM_GOOGLE_SERVER>(value);
}

void Tools::setGoogleServerType(QString key, ENUM_GOOGLE_SERVER value) {
    StoreSetting(&SETTINGS_STATE::mapGoogleServer, key, static_cast<int>(value));
}

int Tools::getMapSourceType() {
    const CIniFile file(MapSettingsDirectory(), kMapVersionFile);
    return file.Read(QLatin1String(kMapSourceKey), QStringLiteral("1")).toString().toInt(nullptr, 10);
}

void Tools::setMapSourceType(ENUM_MAP_SOURCE source) {
    CIniFile(MapSettingsDirectory(), kMapVersionFile).Write(QLatin1String(kMapSourceKey), static_cast<int>(source));
}

int Tools::getMapSourceType(QString key) {
    const CIniFile file(MapSettingsDirectory(), kMapVersionFile);
    return file.Read(SettingKey(key), QStringLiteral("1")).toString().toInt(nullptr, 10);
}

void Tools::setMapSourceType(QString key, int value) {
    CIniFile(MapSettingsDirectory(), kMapVersionFile).Write(SettingKey(key), value);
}

QString Tools::getTDMapDataSrcStrCode(ENUM_MAP_SOURCE source) {
    for (const CODE_ROW& row : kDataSourceCodes) {
        if (row.nValue == static_cast<int>(source)) return QLatin1String(row.szCode);
    }
    return QString();
}

QString Tools::getGoogleMapLangStrCode(ENUM_MAP_LANG_TYPE lang) {
    const int index = static_cast<int>(lang);
    if (index < 0 || index >= static_cast<int>(std::size(kLanguageCodes))) return QString();
    return QLatin1String(kLanguageCodes[index]);
}

ENUM_MAP_LANG_TYPE Tools::langStr2Enum(QString code) {
    for (std::size_t i = 0; i < std::size(kLanguageCodes); ++i) {
        if (code == QLatin1String(kLanguageCodes[i])) return static_cast<ENUM_MAP_LANG_TYPE>(i);
    }
    return MAP_LANG_LOCAL;
}

QString Tools::GetBaiduToken() { return QString(); }
