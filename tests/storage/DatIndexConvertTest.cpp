#include "storage/DatIndexConvert.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

const EXTENT kMercatorWorld{-180.0, -85.05112877980655, 180.0, 85.05112877980655};
const EXTENT kChina{73.5, 18.2, 135.1, 53.6};

TEST(DatIndexConvert, FixedSlotsAndKeysWithoutOne) {
    CDatIndexConvert c(TILE_MODEL_MERCATOR, kMercatorWorld);
    EXPECT_TRUE(c.GetTileNumber(1) == 1 && c.GetTileNumber(3) == 16 && c.GetTileNumberUtilLevel(3) == 21);
    EXPECT_TRUE(c.GetTileNumberUtilLevel(0) == 0 && c.GetTileNumberUtilLevel(-3) == 0);
    const CTileKey firstOfLevel3(2, 0, 0, TILE_MODEL_MERCATOR);
    EXPECT_TRUE(c.ConvertToDatIndex(firstOfLevel3) == 6 && c.ConvertToTileKey(6) == firstOfLevel3 && c.ConvertToTileKey(6).GetTileModel() == TILE_MODEL_MAPID);
    EXPECT_TRUE(c.ConvertToTileKey(0) == CTileKey(0, 0, 0, TILE_MODEL_MAPID) && c.ConvertToTileKey(-7).GetTileX() == 0);
    CTileKey placeholder;
    placeholder.FromMapID(0, 1);
    EXPECT_TRUE(c.ConvertToTileKey(1LL << 50) == placeholder);  // beyond the deepest level searched

    CDatIndexConvert china(TILE_MODEL_MERCATOR, kChina);
    for (const CTileKey& key : {CTileKey(5, 0, 0, TILE_MODEL_MERCATOR), CTileKey(), CTileKey(TILE_MODEL_MERCATOR)}) {
        EXPECT_EQ(china.ConvertToDatIndex(key), -1);  // the Pacific, not China; invalid keys
    }
    EXPECT_FALSE(china.Contain(CTileKey(5, 0, 0, TILE_MODEL_MERCATOR)));
    // Changing the extent moves the slots.
    const CTileKey beijing(10, 843, 388, TILE_MODEL_MERCATOR);
    const long long before = china.ConvertToDatIndex(beijing);
    china.SetExtent(EXTENT{100.0, 30.0, 130.0, 45.0});
    EXPECT_TRUE(before > 0 && china.ConvertToDatIndex(beijing) != before);
    // 1645 tiles on levels 1 to 10, then 20 rows of 86 columns from column 796 above it.
    EXPECT_EQ(china.ConvertToDatIndex(beijing), 1645 + 20 * 86 + (843 - 796) + 1);

    CDatIndexConvert noScheme(TILE_MODEL_MAPID, kChina);
    EXPECT_TRUE(noScheme.GetTileNumberUtilLevel(5) == 0 && noScheme.ConvertToDatIndex(CTileKey(3, 6, 3, TILE_MODEL_MERCATOR)) == -1);
    CTileKey a, b;
    EXPECT_FALSE(noScheme.GetTileBound(a, b, 3));
    // Inverted extents have no slots, never a negative count.
    for (const EXTENT& inverted : {EXTENT{135.1, 18.2, 73.5, 53.6}, EXTENT{73.5, 53.6, 135.1, 18.2}}) {
        CDatIndexConvert empty(TILE_MODEL_MERCATOR, inverted);
        EXPECT_TRUE(empty.GetTileNumber(8) == 0 && empty.GetTileNumber(25) == 0);
    }

    CDatIndexConvert byType;
    EXPECT_EQ(byType.GetTileModel(), TILE_MODEL_GEOGRAPHIC);
    // A WGS84, a Baidu and a Web Mercator type; in each scheme every slot maps to a key and back.
    byType.SetExtent(kChina);
    for (const auto& [mapType, model] : {std::pair{5, TILE_MODEL_GEOGRAPHIC}, {44, TILE_MODEL_BAIDU}, {1, TILE_MODEL_MERCATOR}}) {
        byType.SetTileModelViaMap(mapType);
        EXPECT_EQ(byType.GetTileModel(), model) << mapType;
        for (long long slot = 1; slot <= byType.GetTileNumberUtilLevel(8); ++slot) ASSERT_EQ(byType.ConvertToDatIndex(byType.ConvertToTileKey(slot)), slot) << mapType;
    }
}

}  // namespace
