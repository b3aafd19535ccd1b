#include "catalog/MapTypeCatalogue_p.h"
#include "catalog/MapTypeManager.h"
#include "core/Tools.h"

#include <QStringList>
#include <QTextCodec>

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <map>
#include <set>
#include <string>

namespace {

CMapTypeManager& Mgr() { return *CMapTypeManager::getInstance(); }

// Ids the catalogue does not list: neighbours of listed ids and the extremes.
const int kUnlistedIds[] = {0, -1, 10, 13, 48, 99, 600, 603, 1000, 1604, 2000, 4095, 99999, INT_MIN, INT_MAX};

// Parses "4, 6, 302–303, …" (en dash ranges, inclusive) into a set of ids.
std::set<int> ParseIdSet(const char* text) {
    std::set<int> ids;
    for (const QString& part : QString::fromUtf8(text).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QStringList bounds = part.trimmed().split(QChar(0x2013));
        const int first = bounds.front().toInt();
        const int last = bounds.back().toInt();
        for (int id = first; id <= last; ++id) ids.insert(id);
    }
    return ids;
}

// Each predicate of the catalogue, as the application reaches it (all spellings checked at once).
using Predicate = std::function<bool(int)>;
const std::map<std::string, Predicate>& FlagPredicates() {
    static const std::map<std::string, Predicate> predicates = {
        {"L", [](int id) { return Mgr().IsLabel(id) && Tools::isLabel(id); }},
        {"HL", [](int id) {
             return Mgr().IsHaveLabel(id) && Mgr().getMaptypeIsHaveLabel(id) && Tools::isHaveLabel(id) &&
                    !Tools::isMixMap(id);
         }},
        {"W", [](int id) { return Mgr().isWgs84(id) && Tools::isWGS(id); }},
        {"G", [](int id) { return Mgr().isGoogle(id); }},
        {"B", [](int id) { return Mgr().isBaidu(id) && Tools::isBaidu(id); }},
        {"GD", [](int id) { return Mgr().isGaoDe(id); }},
        {"V", [](int id) { return Mgr().isVectorMaptype(id) && Tools::isVector(id); }},
        {"E", [](int id) { return Tools::IsElectronicMap(id); }},
        {"M", [](int id) { return Tools::isWebMkt(id); }},
        {"D", [](int id) { return Tools::isDem(id, -1); }},
        {"BO", [](int id) { return Tools::isBackupOfficialMap(id); }},
        {"H", [](int id) { return Mgr().isHistory(id); }},
        {"BF", [](int id) { return Mgr().IsHaveBF(id) && Mgr().IsBF(id) && Tools::getIsBigFont(id); }},
        {"ST", [](int id) { return Mgr().IsHaveShootTime(id); }},
        {"MX", [](int id) { return Mgr().getMaptypeIsMixture(id); }},
        {"NC", [](int id) { return !Tools::IsCacheEnable(id, 0) && !Tools::IsCacheEnable(id, 15); }},
        {"NC15", [](int id) { return Tools::IsCacheEnable(id, 0) && !Tools::IsCacheEnable(id, 15); }},
    };
    return predicates;
}

// A sample of catalogue rows across providers and categories, written as the catalogue lists them:
// "—" empty, "=" short name equal to the name, siblings "E2/12" = 2 without and 12 with big font.
// Flags and tiling models are checked for every id by the predicate sets and the consistency test.
struct CatalogueRow {
    int id;
    const char* name;
    const char* category;
    const char* shortName;
    int image;
    int labelLayer;
    int offset;
    int downloadMin;
    int downloadMax;
    const char* siblings;
};

const CatalogueRow kSampleRows[] = {
    {1, "高清影像(墨卡托)", "卫星", "=", 2, 4, 0, 1, 21, "E–/12 S1/11"},
    {2, "电子地图", "电子", "=", 0, 0, 0, 1, 21, "E–/12 S–/11"},
    {4, "高清影像(墨卡托)", "标签", "=", 2, 0, 0, 2, 21, "S1"},
    {5, "高清影像(WGS84)", "卫星", "=", 2, 6, 0, 2, 21, "S5"},
    {7, "高程DEM", "卫星", "=", 3, 1640, 0, 4, 20, "D7"},
    {9, "历史影像", "卫星", "=", 2, 6, 0, 1, 21, "S1681"},
    {11, "高清影像(GCJ02)(大字体)", "卫星", "=", 2, 14, 1, 1, 21, "E2/12 S1/11"},
    {12, "电子地图(大字体)", "电子", "电子地图(GCJ02)(大字体)", 1, 0, 1, 1, 21, "E2/12 S1/11"},
    {14, "—", "标签", "高清影像(GCJ02)(大字体)", 2, 0, 1, 1, 21, "—"},
    {21, "必应卫星", "卫星", "=", 2, 23, 0, 1, 21, "E22 S21"},
    {22, "必应电子", "电子", "=", 1, 0, 1, 1, 21, "E22 S21"},
    {23, "必应卫星", "混合", "=", 2, 0, 0, 1, 21, "E22 S21"},
    {44, "百度卫星", "卫星", "=", 2, 46, 2, 1, 21, "E45/145 S44/144"},
    {46, "百度卫星", "标签", "=", 2, 0, 2, 1, 21, "E45 S44"},
    {47, "百度自定义", "—", "=", 1, 0, 2, 1, 21, "E47"},
    {50, "—", "—", "—", 0, 0, 0, 1, 21, "—"},
    {60, "E都市", "三维", "=", 0, 0, 3, 1, 21, "—"},
    {101, "天地图卫星", "卫星", "=", 2, 401, 0, 2, 21, "E201 S101 T301"},
    {102, "高德卫星", "卫星", "=", 2, 302, 1, 1, 21, "E202 S102"},
    {105, "全国矢量", "矢量", "=", 1, 0, 0, 1, 21, "E105"},
    {120, "电子地图", "混合", "=", 1, 0, 1, 1, 21, "E121 S111 T131"},
    {145, "百度电子(大字体)", "电子", "=", 1, 0, 2, 1, 21, "E45/145 S44/144"},
    {205, "矢量POI", "矢量", "=", 1, 0, 2, 1, 21, "E405 S205"},
    {305, "矢量建筑", "矢量", "=", 4, 325, 1, 1, 21, "T305"},
    {325, "矢量建筑", "标签", "=", 4, 0, 1, 1, 21, "T305"},
    {406, "TF骑行地形图", "地形", "Opencycle", 4, 0, 0, 1, 21, "—"},
    {453, "—", "—", "—", 0, 0, 0, 1, 21, "—"},
    {502, "地表地形(GCJ02)", "混合", "=", 4, 0, 1, 1, 21, "E121 S111 T131"},
    {601, "自定义WGS84地图", "—", "—", 0, 606, 0, 2, 23, "—"},
    {602, "自定义墨卡托地图", "—", "—", 0, 607, 0, 1, 23, "—"},
    {606, "自定义WGS84标签", "标签", "—", 0, 606, 0, 2, 23, "—"},
    {607, "自定义墨卡托标签", "标签", "—", 0, 607, 0, 1, 23, "—"},
    {801, "船讯网", "海图", "=", 4, 802, 3, 1, 21, "T801"},
    {850, "ZoomEarth实时地球", "卫星", "—", 2, 0, 0, 1, 21, "E12 S850"},
    {901, "30米地表覆盖", "电子", "地表覆盖电子", 2, 451, 0, 1, 21, "E901"},
    {911, "全球12.5米NASA高程", "高程", "—", 3, 1640, 0, 2, 16, "D7"},
    {912, "全球30米NASA高程", "高程", "—", 3, 1640, 0, 2, 15, "D7"},
    {1001, "地质图", "地形", "全国地质图", 4, 401, 0, 2, 19, "T1001"},
    {1102, "全国专题图", "—", "=", 1, 0, 0, 1, 21, "E1101"},
    {1303, "全球海图(有偏移)", "海图", "=", 1, 0, 0, 1, 21, "T1301"},
    {1501, "百度建筑", "矢量", "=", 4, 0, 2, 1, 21, "T1501"},
    {1620, "全国高清影像", "卫星", "—", 2, 1641, 0, 1, 21, "S1"},
    {1644, "—", "标签", "—", 2, 0, 1, 1, 21, "E121 S111 T131"},
    {1681, "代理服务器", "卫星", "—", 2, 1640, 0, 1, 21, "S1681"},
    {1702, "电子地图代理服务器", "电子", "—", 1, 1802, 1, 1, 21, "E1702/1702 S1701/1701 T1703/1703"},
    {1802, "—", "标签", "—", 1, 0, 1, 1, 21, "E121 S111 T131"},
    {1901, "海丝1号高程", "高程", "—", 0, 0, 0, 4, 21, "—"},
    {1902, "海丝1号可见光（WGS84）", "卫星", "—", 0, 0, 0, 1, 21, "—"},
    {1907, "吉林一号 GS(2025)0887号", "卫星", "吉林一号全球影像", 2, 451, 0, 1, 21, "—"},
    {2051, "ArcGIS历史卫星", "卫星", "=", 2, 451, 0, 1, 21, "—"},
    {2071, "百度风格", "电子", "—", 1, 0, 3, 2, 19, "—"},
    {2072, "全球海图", "海图", "—", 1, 403, 3, 2, 18, "—"},
    {4096, "—", "—", "—", 0, 0, 0, 1, 21, "—"},
};

QString Text(const char* utf8) { return QString::fromUtf8(utf8) == QStringLiteral("—") ? QString() : QString::fromUtf8(utf8); }

std::set<std::string> Tokens(const char* text) {
    std::set<std::string> tokens;
    if (QString::fromUtf8(text) == QStringLiteral("—")) return tokens;
    for (const QString& t : QString::fromUtf8(text).split(QLatin1Char(' '), Qt::SkipEmptyParts))
        tokens.insert(t.toStdString());
    return tokens;
}

// Expected sibling for (kind, bigFont) from the "E2/12 S1/11" notation; -1 when not shown.
int ExpectedSibling(const char* siblings, int kind, bool bigFont) {
    const char letters[] = {'E', 'S', 'D', 'T'};
    for (const std::string& token : Tokens(siblings)) {
        if (token[0] != letters[kind - 1]) continue;
        const QStringList parts = QString::fromUtf8(token.c_str() + 1).split(QLatin1Char('/'));
        const QString& chosen = bigFont ? (parts.size() > 1 ? parts[1] : QStringLiteral("–")) : parts[0];
        return chosen == QStringLiteral("–") ? -1 : chosen.toInt();
    }
    return -1;
}

}  // namespace

TEST(MapTypeManager, SampleRowsMatchTheCatalogue) {
    for (const CatalogueRow& row : kSampleRows) {
        SCOPED_TRACE(row.id);
        const int id = row.id;
        EXPECT_EQ(Mgr().SymbolizeMapTypeEx(id), Text(row.name));
        EXPECT_EQ(Mgr().getMapTypeToString(id), Text(row.name));
        EXPECT_EQ(Mgr().SymbolizeMapTypeWithCategory(id), Text(row.category));
        const QString shortName =
            QString::fromUtf8(row.shortName) == QStringLiteral("=") ? Text(row.name) : Text(row.shortName);
        EXPECT_EQ(QTextCodec::codecForName("GB18030")->toUnicode(QByteArray::fromStdString(MapTypeToString(id))),
                  shortName);
        EXPECT_EQ(Mgr().getMaptypeImgetype(id), row.image);
        EXPECT_EQ(Mgr().getLabeltypeByImgetype(id), row.labelLayer);
        EXPECT_EQ(Tools::getLabelByMapType(id), row.labelLayer);
        EXPECT_EQ(Mgr().getOffsetType(id), row.offset);
        EXPECT_EQ(Tools::getOffsetType(id, -1), row.offset);
        int minLevel = 0, maxLevel = 0;
        Tools::GetDownloadMinAndMaxLevel(id, 0, minLevel, maxLevel);
        EXPECT_EQ(minLevel, row.downloadMin);
        EXPECT_EQ(maxLevel, row.downloadMax);

        for (int kind = 1; kind <= 4; ++kind) {
            for (bool bigFont : {false, true}) {
                EXPECT_EQ(Mgr().GetDstMaptype(id, static_cast<MAP_IMGE_TYPE>(kind), bigFont),
                          ExpectedSibling(row.siblings, kind, bigFont))
                    << "kind " << kind << " big font " << bigFont;
            }
        }
    }
}

TEST(MapTypeManager, PredicateSetsHoldForEveryId) {
    struct SetRow {
        const char* flag;
        const char* ids;
    };
    // The predicate sets as the catalogue spells them out, independent of the per-row flags.
    const SetRow kSets[] = {
        {"L", "4, 6, 8, 14, 23, 43, 46, 57, 114, 120, 146, 302–303, 312, 401–403, 451–453, 501–502, 606–607, 703, "
              "802, 816, 902, 1002, 1102, 1202, 1302, 1402, 1640–1645, 1801–1803, 1904, 1906"},
        {"HL", "1, 5, 7, 9, 11, 21, 41, 44, 55, 101–103, 111, 144, 151, 201, 251, 301, 305, 601–602, 701, 801, 860, "
               "901, 910–914, 1001, 1101, 1201, 1301, 1401, 1600–1603, 1620–1621, 1681, 1701–1703, 1905, "
               "1907–1908, 2051, 2061–2062, 2072"},
        {"W", "5–9, 101, 201, 301, 401–403, 601, 606, 860, 910–914, 1001–1002, 1401–1402, 1600–1603, 1640, "
              "1642–1643, 1645, 1681, 1901–1904, 2061–2062, 2071–2072"},
        {"G", "1–9, 11–12, 14, 111, 114, 120–121, 131, 501–502"},
        {"B", "44–47, 144–146, 205–206, 1501"},
        {"GD", "102, 202, 302, 305, 1501"},
        {"V", "105, 205–207, 305, 325, 405, 1501"},
        {"E", "22, 42, 45, 47, 56, 145, 201–204, 212, 702, 803–804, 1702, 1802"},
        {"M", "1, 4, 111, 114, 120–121, 131, 502, 602, 607, 1620–1621, 1641, 1644, 1701–1703, 1801–1803"},
        {"D", "7, 910–914, 1401, 1901, 2061–2062"},
        {"BO", "910–914, 1600–1603, 1620–1621, 1640–1645, 1681, 1701–1703, 1801–1803, 1901–1904, 2061–2062"},
        {"H", "9, 850, 860, 2051"},
        {"MX", "22, 42, 45, 114, 120, 501–502, 1303"},
        {"BF", "11–12, 14, 144–146, 212"},
        {"ST", "5, 9, 601–602, 860, 1600–1603, 1681, 2051"},
        {"NC", "7, 9, 601–602, 606–607, 860, 910–911, 913–914, 1401, 1681, 2051"},
        {"NC15", "47"},
        {"GEDem", "7, 910"},
        {"MapAndMix", "111, 121, 131"},
        {"BigImage", "12, 14"},
    };
    std::map<std::string, Predicate> predicates = FlagPredicates();
    predicates["GEDem"] = [](int id) { return Tools::isGEDem(id); };
    predicates["MapAndMix"] = [](int id) { return Tools::isHaveMapAndMixMap(id); };
    predicates["BigImage"] = [](int id) { return Mgr().getImgeIsBigByMaptype(id) && Tools::getMapTypeIsBigFont(id); };

    std::vector<int> ids = Mgr().GetAllMapType();
    ids.insert(ids.end(), std::begin(kUnlistedIds), std::end(kUnlistedIds));
    for (const SetRow& set : kSets) {
        const std::set<int> expected = ParseIdSet(set.ids);
        const Predicate& predicate = predicates.at(set.flag);
        for (int id : ids) EXPECT_EQ(predicate(id), expected.count(id) == 1) << set.flag << " of " << id;
    }
}

TEST(MapTypeManager, UnlistedIdsGetNeutralAnswers) {
    for (int id : kUnlistedIds) {
        SCOPED_TRACE(id);
        EXPECT_EQ(FindMapTypeRow(id), nullptr);
        EXPECT_TRUE(Tools::isMixMap(id));
        EXPECT_TRUE(Tools::IsCacheEnable(id, 15));
        EXPECT_EQ(Mgr().getLabeltypeByImgetype(id), 0);
        EXPECT_EQ(Mgr().getMaptypeImgetype(id), MAP_IMGE_NONE);
        EXPECT_EQ(Mgr().getOffsetType(id), COORD_OFFSET_OTHER);
        EXPECT_EQ(Mgr().GetMapTypeTileModel(id), TILE_MODEL_MERCATOR);
        EXPECT_EQ(Mgr().getMaptypeInvalidImgeSize(id), 0);
        EXPECT_TRUE(Mgr().SymbolizeMapTypeEx(id).isEmpty());
        EXPECT_TRUE(MapTypeToString(id).empty());
        QString combined = QStringLiteral("stale");
        Mgr().enumMapTypeToString(id, combined);
        EXPECT_TRUE(combined.isEmpty());
        int minLevel = 0, maxLevel = 0;
        Mgr().GetMinAndMaxLevel(id, minLevel, maxLevel);
        EXPECT_EQ(minLevel, 1);
        EXPECT_EQ(maxLevel, 21);
        Tools::GetDownloadMinAndMaxLevel(id, 0, minLevel, maxLevel);
        EXPECT_EQ(minLevel, 1);
        EXPECT_EQ(maxLevel, 21);
        for (int kind = -1; kind <= 5; ++kind) {
            EXPECT_EQ(Mgr().GetDstMaptype(id, static_cast<MAP_IMGE_TYPE>(kind), false), -1);
            EXPECT_EQ(Mgr().GetDstMaptype(id, static_cast<MAP_IMGE_TYPE>(kind), true), -1);
        }
    }
}

TEST(MapTypeManager, AllMapTypesListHas148EntriesWithThreeRepeats) {
    ASSERT_EQ(CMapTypeManager::getInstance(), &Mgr());  // one shared manager
    const std::vector<int> all = Mgr().GetAllMapType();
    ASSERT_EQ(all.size(), 148u);
    std::map<int, int> occurrences;
    for (int id : all) ++occurrences[id];
    EXPECT_EQ(occurrences.size(), 145u);
    for (const auto& [id, count] : occurrences) {
        EXPECT_EQ(count, (id == 1 || id == 6 || id == 406) ? 2 : 1) << id;
        EXPECT_NE(FindMapTypeRow(id), nullptr) << id;  // every listed id is catalogued
    }
    // Positions the application's menus depend on: the start, the repeats and the end.
    EXPECT_EQ(std::vector<int>(all.begin(), all.begin() + 8), (std::vector<int>{5, 6, 7, 8, 9, 6, 1, 4}));
    EXPECT_EQ(all[135], 2001);
    EXPECT_EQ(all[136], 406);
    EXPECT_EQ(std::vector<int>(all.end() - 6, all.end()), (std::vector<int>{4096, 1, 2061, 2062, 2071, 2072}));
}

TEST(MapTypeManager, CatalogueIsInternallyConsistent) {
    for (int id : Mgr().GetAllMapType()) {
        SCOPED_TRACE(id);
        // The tiling model follows the WGS84 and Baidu predicates.
        const E_TILE_MODEL expected =
            Tools::isWGS(id) ? TILE_MODEL_GEOGRAPHIC : (Tools::isBaidu(id) ? TILE_MODEL_BAIDU : TILE_MODEL_MERCATOR);
        EXPECT_EQ(Mgr().GetMapTypeTileModel(id), expected);
        EXPECT_FALSE(Tools::isLabel(id) && Tools::isHaveLabel(id));

        const int label = Tools::getLabelByMapType(id);
        if (Tools::isHaveLabel(id)) {
            ASSERT_NE(label, 0);
            EXPECT_NE(FindMapTypeRow(label), nullptr);
            // Label layers are label types; the building overlay 325 is catalogued as a vector layer.
            if (label != 325) {
                EXPECT_TRUE(Tools::isLabel(label)) << "label layer " << label;
            }
        } else if (label != 0) {
            EXPECT_EQ(label, id);  // only the custom label types name a label layer: themselves
        }
        // Siblings are catalogued ids.
        for (int kind = 1; kind <= 4; ++kind) {
            for (bool bigFont : {false, true}) {
                const int sibling = Mgr().GetDstMaptype(id, static_cast<MAP_IMGE_TYPE>(kind), bigFont);
                if (sibling != -1) {
                    EXPECT_NE(FindMapTypeRow(sibling), nullptr) << sibling;
                }
            }
        }
        // Elevation types are geographic; GE elevation is elevation.
        if (Tools::isDem(id, -1)) {
            EXPECT_TRUE(Tools::isWGS(id));
        }
        if (Tools::isGEDem(id)) {
            EXPECT_TRUE(Tools::isDem(id, -1));
        }
    }
}

TEST(MapTypeManager, ViewLevelsFollowVectorAndElevationRules) {
    struct Case {
        int id;
        int minLevel;
        int maxLevel;
    };
    const Case kCases[] = {
        {105, 17, 20},   // vector
        {1501, 17, 20},  // vector and Baidu
        {7, 1, 19},      // elevation
        {1401, 1, 19},   // elevation
        {910, 1, 15},    // elevation of the backup official service
        {2062, 1, 15},   // same
        {601, 1, 21},    // custom: no custom map selected, so not elevation
        {1, 1, 21},
        {1640, 1, 21},   // backup official but not elevation
    };
    for (const Case& c : kCases) {
        int minLevel = -5, maxLevel = -5;
        Mgr().GetMinAndMaxLevel(c.id, minLevel, maxLevel);
        EXPECT_EQ(minLevel, c.minLevel) << c.id;
        EXPECT_EQ(maxLevel, c.maxLevel) << c.id;
    }
}

TEST(MapTypeManager, InvalidImageSizeMarksBaiduBeforeGaoDe) {
    const std::set<int> baidu = ParseIdSet("44–47, 144–146, 205–206, 1501");
    const std::set<int> gaode = ParseIdSet("102, 202, 302, 305");
    for (int id : Mgr().GetAllMapType()) {
        const int expected = baidu.count(id) ? 210 : (gaode.count(id) ? 176 : 0);
        EXPECT_EQ(Mgr().getMaptypeInvalidImgeSize(id), expected) << id;
    }
}

TEST(MapTypeManager, CombinedNameJoinsCategoryAndName) {
    struct Case {
        int id;
        const char* expected;
    };
    const Case kCases[] = {
        {1640, "标签"},                    // no name
        {850, "卫星.ZoomEarth实时地球"},  // both
        {50, ""},                          // neither
        {601, "自定义WGS84地图"},          // no category
        {14, "标签"},
    };
    for (const Case& c : kCases) {
        QString out = QStringLiteral("stale");
        Mgr().enumMapTypeToString(c.id, out);
        EXPECT_EQ(out, QString::fromUtf8(c.expected)) << c.id;
    }
}

TEST(MapTypeManager, BigFontSiblingsFromTheEdgeCases) {
    EXPECT_EQ(Mgr().GetDstMaptype(1703, MAP_IMGE_DEM, true), -1);
    EXPECT_EQ(Mgr().GetDstMaptype(1703, MAP_IMGE_TERRAIN, true), 1703);
}
