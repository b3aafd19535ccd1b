#include "catalog/MapTypeCatalogue_p.h"
#include "catalog/MapTypeManager.h"
#include "core/Tools.h"
#include "CatalogTest.h"

#include <QTextCodec>

#include <climits>
#include <map>

namespace {

CMapTypeManager& Mgr() { return *CMapTypeManager::getInstance(); }
MAP_IMGE_TYPE Kind(int k) { return static_cast<MAP_IMGE_TYPE>(k); }

// The siblings of the kinds {electronic, satellite, DEM, terrain}.
std::vector<int> Siblings(int id, bool bigFont) {
    std::vector<int> result;
    for (int k = 1; k <= 4; ++k) result.push_back(Mgr().GetDstMaptype(id, Kind(k), bigFont));
    return result;
}

// Ids the catalogue does not list: neighbours of listed ids and the extremes.
const int kUnlistedIds[] = {0, -1, 10, 13, 48, 99, 600, 603, 1000, 1604, 2000, 4095, 99999, INT_MIN, INT_MAX};

}  // namespace

// Rows written as the catalogue lists them ("" empty; a null short name is the name); siblings of
// the kinds {electronic, satellite, DEM, terrain} without and with the big-font flag.
TEST(MapTypeManager, SampleRowsMatchTheCatalogue) {
    struct Row { int id; const char *name, *category, *shortName; int image, labelLayer, offset, downloadMin, downloadMax;
                 std::vector<int> siblings, bigFontSiblings; };
    const std::vector<int> none = {-1, -1, -1, -1};
    const Row kRows[] = {
        {1, "高清影像(墨卡托)", "卫星", nullptr, 2, 4, 0, 1, 21, {-1, 1, -1, -1}, {12, 11, -1, -1}},  // Google
        {7, "高程DEM", "卫星", nullptr, 3, 1640, 0, 4, 20, {-1, -1, 7, -1}, none},       // elevation
        {12, "电子地图(大字体)", "电子", "电子地图(GCJ02)(大字体)", 1, 0, 1, 1, 21, {2, 1, -1, -1}, {12, 11, -1, -1}},
        {14, "", "标签", "高清影像(GCJ02)(大字体)", 2, 0, 1, 1, 21, none, none},      // no name, a short one
        {44, "百度卫星", "卫星", nullptr, 2, 46, 2, 1, 21, {45, 44, -1, -1}, {145, 144, -1, -1}},  // BD-09
        {47, "百度自定义", "", nullptr, 1, 0, 2, 1, 21, {47, -1, -1, -1}, none},     // no category
        {50, "", "", "", 0, 0, 0, 1, 21, none, none},                                // an empty row
        {601, "自定义WGS84地图", "", "", 0, 606, 0, 2, 23, none, none},                // custom
        {1702, "电子地图代理服务器", "电子", "", 1, 1802, 1, 1, 21, {1702, 1701, -1, 1703}, {1702, 1701, -1, 1703}},
        {1802, "", "标签", "", 1, 0, 1, 1, 21, {121, 111, -1, 131}, none},          // backup official label
        {2072, "全球海图", "海图", "", 1, 403, 3, 2, 18, none, none},
    };
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.id);
        const int id = row.id;
        const QString name = QString::fromUtf8(row.name), shortName = row.shortName ? QString::fromUtf8(row.shortName) : name;
        EXPECT_EQ(std::make_tuple(Mgr().SymbolizeMapTypeEx(id), Mgr().getMapTypeToString(id), Mgr().SymbolizeMapTypeWithCategory(id),
                                  QTextCodec::codecForName("GB18030")->toUnicode(QByteArray::fromStdString(MapTypeToString(id)))),
                  std::make_tuple(name, name, QString::fromUtf8(row.category), shortName));
        int minLevel = 0, maxLevel = 0;
        Tools::GetDownloadMinAndMaxLevel(id, 0, minLevel, maxLevel);
        EXPECT_EQ(std::make_tuple(int(Mgr().getMaptypeImgetype(id)), Mgr().getLabeltypeByImgetype(id), Tools::getLabelByMapType(id),
                                  int(Mgr().getOffsetType(id)), int(Tools::getOffsetType(id, -1)), minLevel, maxLevel),
                  std::make_tuple(row.image, row.labelLayer, row.labelLayer, row.offset, row.offset, row.downloadMin, row.downloadMax));
        EXPECT_EQ(std::make_pair(Siblings(id, false), Siblings(id, true)), std::make_pair(row.siblings, row.bigFontSiblings));
    }
}

// Each predicate in all its spellings: how many listed ids have it, a few that do and a few that do not.
TEST(MapTypeManager, PredicatesByCountAndSampleIds) {
    struct Case { const char* flag; std::function<bool(int)> has; size_t count; std::vector<int> with, without; };
    const Case kCases[] = {
        {"label", [](int id) { return Mgr().IsLabel(id) && Tools::isLabel(id); }, 44, {4, 46, 303, 606, 1645, 1906}, {1, 325, 305}},
        {"has label", [](int id) {
             return Mgr().IsHaveLabel(id) && Mgr().getMaptypeIsHaveLabel(id) && Tools::isHaveLabel(id) && !Tools::isMixMap(id);
         }, 52, {1, 305, 601, 914, 1907, 2072}, {4, 2, 600, 1604}},
        {"WGS84", [](int id) { return Mgr().isWgs84(id) && Tools::isWGS(id); }, 40, {5, 9, 401, 1643, 2071}, {4, 1641, 1644}},
        {"Google", [](int id) { return Mgr().isGoogle(id); }, 19, {1, 9, 14, 131, 502}, {10, 13, 21, 1620}},
        {"Baidu", [](int id) { return Mgr().isBaidu(id) && Tools::isBaidu(id); }, 10, {44, 47, 146, 206, 1501}, {43, 48, 207}},
        {"GaoDe", [](int id) { return Mgr().isGaoDe(id); }, 5, {102, 305, 1501}, {101, 306}},
        {"vector", [](int id) { return Mgr().isVectorMaptype(id) && Tools::isVector(id); }, 8, {105, 207, 325, 1501}, {106, 306}},
        {"electronic", [](int id) { return Tools::IsElectronicMap(id); }, 16, {22, 204, 212, 804, 1802}, {2, 12, 1801}},
        {"web Mercator", [](int id) { return Tools::isWebMkt(id); }, 20, {1, 121, 607, 1644, 1803}, {2, 606, 1640}},
        {"elevation", [](int id) { return Tools::isDem(id, -1); }, 10, {7, 912, 1401, 1901, 2062}, {8, 601, 909}},
        {"backup official", [](int id) { return Tools::isBackupOfficialMap(id); }, 30, {910, 1603, 1645, 1904, 2061}, {909, 1604, 1622}},
        {"history", [](int id) { return Mgr().isHistory(id); }, 4, {9, 850, 860, 2051}, {1, 851, 2052}},
        {"mixture", [](int id) { return Mgr().getMaptypeIsMixture(id); }, 8, {22, 114, 502, 1303}, {23, 1302}},
        {"big font", [](int id) { return Mgr().IsHaveBF(id) && Mgr().IsBF(id) && Tools::getIsBigFont(id); }, 7, {11, 14, 146, 212}, {13, 147}},
        {"shoot time", [](int id) { return Mgr().IsHaveShootTime(id); }, 11, {5, 602, 1603, 2051}, {6, 603}},
        {"never cached", [](int id) { return !Tools::IsCacheEnable(id, 0) && !Tools::IsCacheEnable(id, 15); }, 14, {7, 607, 911, 2051}, {912, 47}},
        {"not cached from 15", [](int id) { return Tools::IsCacheEnable(id, 0) && !Tools::IsCacheEnable(id, 15); }, 1, {47}, {46}},
        {"GE elevation", [](int id) { return Tools::isGEDem(id); }, 2, {7, 910}, {911}},
        {"map and mixture", [](int id) { return Tools::isHaveMapAndMixMap(id); }, 3, {111, 121, 131}, {120}},
        {"big image", [](int id) { return Mgr().getImgeIsBigByMaptype(id) && Tools::getMapTypeIsBigFont(id); }, 2, {12, 14}, {11}},
    };
    const std::vector<int> all = Mgr().GetAllMapType();
    const std::set<int> listed(all.begin(), all.end());
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.flag);
        size_t count = 0;
        for (int id : listed) count += c.has(id) ? 1 : 0;
        EXPECT_EQ(count, c.count);
        for (int id : c.with) EXPECT_TRUE(c.has(id)) << id;
        for (int id : c.without) EXPECT_FALSE(c.has(id)) << id;
        for (int id : kUnlistedIds) EXPECT_EQ(c.has(id), false) << id;
    }
    EXPECT_TRUE(Tools::IsCacheEnable(47, 14));  // 47 caches up to level 14
}

// The application's list: 148 entries, 1, 6 and 406 twice, every id catalogued and consistent with its row.
TEST(MapTypeManager, ListedIdsAreConsistentAndUnlistedOnesNeutral) {
    const std::vector<int> all = Mgr().GetAllMapType();
    ASSERT_EQ(all.size(), 148u);
    std::map<int, int> occurrences;
    for (int id : all) ++occurrences[id];
    EXPECT_EQ(occurrences.size(), 145u);
    // Positions the application's menus depend on: the start, the repeats and the end.
    EXPECT_EQ(std::vector<int>(all.begin(), all.begin() + 8), (std::vector<int>{5, 6, 7, 8, 9, 6, 1, 4}));
    EXPECT_EQ(std::make_pair(all[135], all[136]), std::make_pair(2001, 406));
    EXPECT_EQ(std::vector<int>(all.end() - 6, all.end()), (std::vector<int>{4096, 1, 2061, 2062, 2071, 2072}));
    for (const auto& [id, count] : occurrences) {
        SCOPED_TRACE(id);
        EXPECT_EQ(count, (id == 1 || id == 6 || id == 406) ? 2 : 1);
        EXPECT_NE(FindMapTypeRow(id), nullptr);
        int minLevel = 0, maxLevel = 0;  // download levels and image kinds within their ranges
        Tools::GetDownloadMinAndMaxLevel(id, 0, minLevel, maxLevel);
        EXPECT_TRUE(1 <= minLevel && minLevel <= maxLevel && maxLevel <= 23 && Mgr().getMaptypeImgetype(id) <= MAP_IMGE_TERRAIN);
        EXPECT_FALSE(Tools::isLabel(id) && Tools::isHaveLabel(id));
        // Label layers are label types (the building overlay 325 is a vector layer); only the custom label types
        // name a label layer without having one: themselves.
        const int label = Tools::getLabelByMapType(id);
        EXPECT_TRUE(Tools::isHaveLabel(id) ? label == 325 || Tools::isLabel(label) : label == 0 || label == id) << label;
        for (bool bigFont : {false, true}) {
            for (int sibling : Siblings(id, bigFont)) EXPECT_TRUE(sibling == -1 || FindMapTypeRow(sibling) != nullptr) << sibling;
            for (int k : {-1, 0, 5}) EXPECT_EQ(Mgr().GetDstMaptype(id, Kind(k), bigFont), -1) << k;  // no such kind
        }
        // A satellite sibling is its own satellite sibling; elevation is geographic.
        const int satellite = Mgr().GetDstMaptype(id, MAP_IMGE_SATELLITE, false);
        EXPECT_TRUE(satellite == -1 || Mgr().GetDstMaptype(satellite, MAP_IMGE_SATELLITE, false) == satellite);
        EXPECT_TRUE(!Tools::isDem(id, -1) || Tools::isWGS(id));
        EXPECT_TRUE(!Tools::isGEDem(id) || Tools::isDem(id, -1));
    }
    for (int id : kUnlistedIds) {
        SCOPED_TRACE(id);
        EXPECT_TRUE(FindMapTypeRow(id) == nullptr && Tools::isMixMap(id) && Tools::IsCacheEnable(id, 15));
        EXPECT_EQ(std::make_tuple(Mgr().getLabeltypeByImgetype(id), Mgr().getMaptypeImgetype(id), Mgr().getOffsetType(id),
                                  Mgr().GetMapTypeTileModel(id), Mgr().getMaptypeInvalidImgeSize(id)),
                  std::make_tuple(0, MAP_IMGE_NONE, COORD_OFFSET_OTHER, TILE_MODEL_MERCATOR, 0));
        QString combined = QStringLiteral("stale");
        Mgr().enumMapTypeToString(id, combined);
        EXPECT_TRUE(Mgr().SymbolizeMapTypeEx(id).isEmpty() && MapTypeToString(id).empty() && combined.isEmpty());
        int levels[4] = {};
        Mgr().GetMinAndMaxLevel(id, levels[0], levels[1]);
        Tools::GetDownloadMinAndMaxLevel(id, 0, levels[2], levels[3]);
        EXPECT_EQ(std::vector<int>(levels, levels + 4), (std::vector<int>{1, 21, 1, 21}));
        EXPECT_EQ(std::make_pair(Siblings(id, false), Siblings(id, true)), std::make_pair(std::vector<int>(4, -1), std::vector<int>(4, -1)));
    }
}

// View levels, combined names, tiling models and missing-tile sizes.
TEST(MapTypeManager, ViewLevelsNamesAndTiling) {
    const std::tuple<int, int, int, const char*, E_TILE_MODEL, int> cases[] = {
        {1501, 17, 20, "矢量.百度建筑", TILE_MODEL_BAIDU, 210},             // vector, Baidu and GaoDe: Baidu's size
        {7, 1, 19, "卫星.高程DEM", TILE_MODEL_GEOGRAPHIC, 0},               // elevation
        {911, 1, 15, "高程.全球12.5米NASA高程", TILE_MODEL_GEOGRAPHIC, 0},  // elevation of the backup official service
        {601, 1, 21, "自定义WGS84地图", TILE_MODEL_GEOGRAPHIC, 0},  // custom: no custom map selected, so not elevation; no category
        {1640, 1, 21, "标签", TILE_MODEL_GEOGRAPHIC, 0},            // backup official but not elevation; no name
        {102, 1, 21, "卫星.高德卫星", TILE_MODEL_MERCATOR, 176},    // GaoDe
    };
    for (const auto& [id, minLevel, maxLevel, combined, model, invalidSize] : cases) {
        int levels[2] = {-5, -5};
        Mgr().GetMinAndMaxLevel(id, levels[0], levels[1]);
        QString out = QStringLiteral("stale");
        Mgr().enumMapTypeToString(id, out);
        EXPECT_EQ(std::make_tuple(levels[0], levels[1], out, Mgr().GetMapTypeTileModel(id), Mgr().getMaptypeInvalidImgeSize(id)),
                  std::make_tuple(minLevel, maxLevel, QString::fromUtf8(combined), model, invalidSize)) << id;
    }
}
