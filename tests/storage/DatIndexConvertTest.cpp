#include "storage/DatIndexConvert.h"

#include "tile/TileModel.h"

#include <gtest/gtest.h>

#include <tuple>
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
    // A WGS84, a Baidu and a Web Mercator type.
    for (const auto& [mapType, model] : {std::pair{5, TILE_MODEL_GEOGRAPHIC}, {44, TILE_MODEL_BAIDU}, {1, TILE_MODEL_MERCATOR}}) {
        byType.SetTileModelViaMap(mapType);
        EXPECT_EQ(byType.GetTileModel(), model) << mapType;
    }
}

// Every slot of the first levels maps to a key and back, in index order (levels, rows, columns).
TEST(DatIndexConvert, EverySlotRoundTripsInIndexOrder) {
    struct Row { E_TILE_MODEL model; EXTENT extent; int levels; } rows[] = {
        {TILE_MODEL_MERCATOR, kMercatorWorld, 6},
        {TILE_MODEL_GEOGRAPHIC, EXTENT{-180, -90, 180, 90}, 6},
        {TILE_MODEL_MERCATOR, kChina, 9},
        {TILE_MODEL_GEOGRAPHIC, kChina, 9},
        {TILE_MODEL_BAIDU, kChina, 7},
        {TILE_MODEL_MERCATOR, EXTENT{116.3, 39.9, 116.3, 39.9}, 12},  // a point: one tile per level
    };
    for (const Row& row : rows) {
        CDatIndexConvert c(row.model, row.extent);
        const long long total = c.GetTileNumberUtilLevel(row.levels);
        std::tuple<int, int, int> previous{-1, 0, 0};
        for (long long slot = 1; slot <= total; ++slot) {
            const CTileKey key = c.ConvertToTileKey(slot);
            ASSERT_EQ(c.ConvertToDatIndex(key), slot) << "model " << row.model << " slot " << slot;
            ASSERT_EQ(c.ConvertToDatIndex(key.GetLevel(), key.ToMapID()), slot);
            ASSERT_TRUE(c.Contain(key));
            const std::tuple<int, int, int> position{key.GetLevel(), key.GetTileY(), key.GetTileX()};
            ASSERT_GT(position, previous) << slot;  // level, then row, then column ascending
            previous = position;
        }
        EXPECT_EQ(c.ConvertToTileKey(total + 1).GetLevel(), row.levels + 1);
    }
}

}  // namespace
