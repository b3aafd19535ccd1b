#include "catalog/MapTypeManager.h"

#include "catalog/MapTypeCatalogue_p.h"
#include "core/Tools.h"

#include <QTextCodec>

#include <iterator>

namespace {

// Siblings for the ids that have a big-font variant: {without, with} the big-font flag, for the
// electronic and the satellite kind. -1: none.
struct BIG_FONT_SIBLING_ROW {
    int nId;
    int aElectronic[2];
    int aSatellite[2];
};
constexpr BIG_FONT_SIBLING_ROW kBigFontSiblings[] = {
    {1, {-1, 12}, {-1, 11}},    {2, {-1, 12}, {-1, 11}},    {11, {2, 12}, {1, 11}},     {12, {2, 12}, {1, 11}},
    {44, {-1, 145}, {-1, 144}}, {45, {-1, 145}, {-1, 144}}, {144, {45, 145}, {44, 144}}, {145, {45, 145}, {44, 144}},
};

// The proxy-server types point at one another whatever the big-font flag says.
constexpr int kOfficialFirst = 1701, kOfficialLast = 1703;
constexpr int kOfficialSibling[5] = {-1, 1702, 1701, -1, 1703};  // by image kind

// Placeholder sizes served for missing tiles; the Baidu test comes first, so 1501 (Baidu and GaoDe)
// gets the Baidu size.
constexpr int kBaiduInvalidImageSize = 210;
constexpr int kGaoDeInvalidImageSize = 176;

constexpr int kBigFontImageTypes[] = {12, 14};

bool Has(int mapType, std::uint32_t flag) { return MapTypeHasFlag(mapType, flag); }

}  // namespace

CMapTypeManager* CMapTypeManager::m_pMapTypeManage = nullptr;

CMapTypeManager* CMapTypeManager::getInstance() {
    // Never destroyed: tile models and URL builders may still ask during static destruction.
    static CMapTypeManager* const s_pInstance = (m_pMapTypeManage = new CMapTypeManager());
    return s_pInstance;
}

int CMapTypeManager::getCurMaptype() { return m_nCurMaptype.load(); }

void CMapTypeManager::setCurMaptype(int mapType) { m_nCurMaptype.store(mapType); }

namespace {
std::atomic<int> g_nCustomMaptypeFirst{0};
std::atomic<int> g_nCustomMaptypeSecond{0};
}  // namespace

void CMapTypeManager::setCustomMaptype(int first, int second) {
    g_nCustomMaptypeFirst.store(first);
    g_nCustomMaptypeSecond.store(second);
}

std::vector<int> CMapTypeManager::GetAllMapType() const {
    std::size_t count = 0;
    const int* ids = MapTypeListOrder(count);
    return std::vector<int>(ids, ids + count);
}

int CMapTypeManager::getLabeltypeByImgetype(int const& mapType) {
    const MAP_TYPE_ROW* row = FindMapTypeRow(mapType);
    return row != nullptr ? row->nLabelLayer : 0;
}

MAP_IMGE_TYPE CMapTypeManager::getMaptypeImgetype(int const& mapType) {
    const MAP_TYPE_ROW* row = FindMapTypeRow(mapType);
    return row != nullptr ? static_cast<MAP_IMGE_TYPE>(row->nImage) : MAP_IMGE_NONE;
}

CoordOffsetType CMapTypeManager::getOffsetType(int const& mapType) {
    const MAP_TYPE_ROW* row = FindMapTypeRow(mapType);
    return row != nullptr ? static_cast<CoordOffsetType>(row->nOffset) : COORD_OFFSET_OTHER;
}

E_TILE_MODEL CMapTypeManager::GetMapTypeTileModel(int mapType) const {
    if (Tools::isWGS(mapType)) return TILE_MODEL_GEOGRAPHIC;
    if (Tools::isBaidu(mapType)) return TILE_MODEL_BAIDU;
    return TILE_MODEL_MERCATOR;
}

void CMapTypeManager::GetMinAndMaxLevel(int mapType, int& minLevel, int& maxLevel) const {
    minLevel = 1;
    if (Tools::isVector(mapType)) {
        minLevel = 17;
        maxLevel = 20;
    } else if (!Tools::isDem(mapType, -1)) {
        maxLevel = 21;
    } else {
        maxLevel = Tools::isBackupOfficialMap(mapType) ? 15 : 19;
    }
}

int CMapTypeManager::GetDstMaptype(int const& mapType, MAP_IMGE_TYPE const& kind, bool bigFont) {
    if (kind < MAP_IMGE_ELECTRONIC || kind > MAP_IMGE_TERRAIN) return -1;
    int sibling = GetDstMaptypeWithOfficial(mapType, kind, bigFont);
    if (sibling != -1) return sibling;
    sibling = GetDstMaptypeWithBF(mapType, kind, bigFont);
    if (sibling != -1 || bigFont) return sibling;
    const MAP_TYPE_ROW* row = FindMapTypeRow(mapType);
    return row != nullptr ? row->aSibling[kind - 1] : -1;
}

int CMapTypeManager::GetDstMaptypeWithOfficial(int const& mapType, MAP_IMGE_TYPE const& kind, bool) {
    if (mapType < kOfficialFirst || mapType > kOfficialLast) return -1;
    if (kind < 0 || kind >= static_cast<int>(std::size(kOfficialSibling))) return -1;
    return kOfficialSibling[kind];
}

int CMapTypeManager::GetDstMaptypeWithBF(int const& mapType, MAP_IMGE_TYPE const& kind, bool bigFont) {
    for (const BIG_FONT_SIBLING_ROW& row : kBigFontSiblings) {
        if (row.nId != mapType) continue;
        if (kind == MAP_IMGE_ELECTRONIC) return row.aElectronic[bigFont ? 1 : 0];
        if (kind == MAP_IMGE_SATELLITE) return row.aSatellite[bigFont ? 1 : 0];
        return -1;
    }
    return -1;
}

bool CMapTypeManager::isGoogle(int const& mapType) { return Has(mapType, MTF_GOOGLE); }
bool CMapTypeManager::isBaidu(int const& mapType) { return Has(mapType, MTF_BAIDU); }
bool CMapTypeManager::isGaoDe(int const& mapType) { return Has(mapType, MTF_GAODE); }
bool CMapTypeManager::isWgs84(int const& mapType) { return Has(mapType, MTF_WGS84); }
bool CMapTypeManager::isHistory(int const& mapType) { return Has(mapType, MTF_HISTORY); }
bool CMapTypeManager::getMaptypeIsMixture(int const& mapType) { return Has(mapType, MTF_MIXTURE); }
bool CMapTypeManager::getMaptypeIsHaveLabel(int const& mapType) { return Has(mapType, MTF_HAVE_LABEL); }
bool CMapTypeManager::IsHaveBF(int const& mapType) { return Has(mapType, MTF_BIG_FONT); }
bool CMapTypeManager::IsBF(int const& mapType) { return Has(mapType, MTF_BIG_FONT); }
bool CMapTypeManager::IsHaveShootTime(int const& mapType) { return Has(mapType, MTF_SHOOT_TIME); }
bool CMapTypeManager::IsHaveLabel(int const& mapType) { return Has(mapType, MTF_HAVE_LABEL); }
bool CMapTypeManager::IsLabel(int const& mapType) { return Has(mapType, MTF_LABEL); }
bool CMapTypeManager::isVectorMaptype(int mapType) { return Has(mapType, MTF_VECTOR); }

bool CMapTypeManager::getImgeIsBigByMaptype(int mapType) {
    for (int id : kBigFontImageTypes) {
        if (id == mapType) return true;
    }
    return false;
}

int CMapTypeManager::getMaptypeInvalidImgeSize(int const& mapType) {
    if (isBaidu(mapType)) return kBaiduInvalidImageSize;
    if (isGaoDe(mapType)) return kGaoDeInvalidImageSize;
    return 0;
}

QString CMapTypeManager::SymbolizeMapTypeEx(int mapType) const {
    const MAP_TYPE_ROW* row = FindMapTypeRow(mapType);
    return row != nullptr ? QString::fromUtf8(row->szName) : QString();
}

QString CMapTypeManager::getMapTypeToString(int mapType) { return SymbolizeMapTypeEx(mapType); }

QString CMapTypeManager::SymbolizeMapTypeWithCategory(int mapType) const {
    const MAP_TYPE_ROW* row = FindMapTypeRow(mapType);
    return row != nullptr ? QString::fromUtf8(row->szCategory) : QString();
}

void CMapTypeManager::enumMapTypeToString(int mapType, QString& out) {
    const QString category = SymbolizeMapTypeWithCategory(mapType);
    const QString name = SymbolizeMapTypeEx(mapType);
    if (category.isEmpty()) {
        out = name;
    } else if (name.isEmpty()) {
        out = category;
    } else {
        out = category + QLatin1Char('.') + name;
    }
}

std::string MapTypeToString(int mapType) {
    const MAP_TYPE_ROW* row = FindMapTypeRow(mapType);
    if (row == nullptr) return std::string();
    const char* utf8 = row->szShortName != nullptr ? row->szShortName : row->szName;
    QTextCodec* codec = QTextCodec::codecForName("GB18030");
    if (codec == nullptr) return std::string();
    return codec->fromUnicode(QString::fromUtf8(utf8)).toStdString();
}
