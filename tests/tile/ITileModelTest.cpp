#include "tile/ITileModel.h"

#include "tile/TileModel.h"

#include <gtest/gtest.h>

#include <tuple>

TEST(ITileModel, ThreeSetsOfSharedInstancesWithTheSettingsOfTheLastCallAndTheFactory)
{
    for (int m : {0, 3, -1, 5, 1000}) {  // schemes without a model
        const E_TILE_MODEL e = static_cast<E_TILE_MODEL>(m);
        EXPECT_TRUE(!ITileModel::GetTileModel(e, true) && !ITileModel::GetHeightFieldModel(e, true) &&
                    !ITileModel::GetHeightFieldModel256x256(e, true)) << m;
    }
    for (E_TILE_MODEL m : {TILE_MODEL_MERCATOR, TILE_MODEL_GEOGRAPHIC, TILE_MODEL_BAIDU}) {
        CTileModel* tile = ITileModel::GetTileModel(m, true);
        CTileModel* hf64 = ITileModel::GetHeightFieldModel(m, true);
        CTileModel* hf256 = ITileModel::GetHeightFieldModel256x256(m, true);
        ASSERT_TRUE(tile && hf64 && hf256 && tile != hf64 && tile != hf256 && hf64 != hf256);
        EXPECT_EQ(std::make_tuple(tile->GetTileModel(), hf64->GetTileModel(), hf256->GetTileModel()),
                  std::make_tuple(m, m, m));
        EXPECT_EQ(std::make_tuple(tile->GetPixelWidth(), hf64->GetPixelHeight(), hf256->GetPixelHeight()),
                  std::make_tuple(256, 64, 256));
    }
    CTileModel* model = ITileModel::GetTileModel(TILE_MODEL_GEOGRAPHIC, false);
    EXPECT_EQ(model->GetTileY(2, 89.9), 1);
    ITileModel::GetTileModel(TILE_MODEL_GEOGRAPHIC, true);
    EXPECT_EQ(model->GetTileY(2, 89.9), 0);  // the last caller's flag holds for everybody
    ITileModel::GetHeightFieldModel(TILE_MODEL_MERCATOR, true)->SetPixelWidth(17);
    EXPECT_EQ(ITileModel::GetHeightFieldModel(TILE_MODEL_MERCATOR, true)->GetPixelWidth(), 64);
    ITileModel::GetHeightFieldModel256x256(TILE_MODEL_MERCATOR, true)->SetPixelHeight(3);
    EXPECT_EQ(ITileModel::GetHeightFieldModel256x256(TILE_MODEL_MERCATOR, true)->GetPixelHeight(), 256);
    // The factory chooses the model of a map type: Baidu satellite, Mercator, WGS84 imagery, elevation, unknown.
    const struct { int mapType; E_TILE_MODEL scheme; bool heightField; } cases[] = {
        {44, TILE_MODEL_BAIDU, false}, {1, TILE_MODEL_MERCATOR, false}, {5, TILE_MODEL_GEOGRAPHIC, false},
        {7, TILE_MODEL_GEOGRAPHIC, true}, {99999, TILE_MODEL_MERCATOR, false}};
    for (const auto& c : cases) {
        // The factory asks for left-top-up rows whatever an earlier caller left behind.
        ITileModel::GetTileModel(TILE_MODEL_BAIDU, false);
        ITileModel::GetTileModel(TILE_MODEL_GEOGRAPHIC, false);
        model = ITileModel::GetTileModelViaMapType(c.mapType);
        EXPECT_EQ(model, c.heightField ? ITileModel::GetHeightFieldModel(c.scheme, true)
                                       : ITileModel::GetTileModel(c.scheme, true)) << c.mapType;
        EXPECT_TRUE(model->IsLeftTopUP()) << c.mapType;
        EXPECT_EQ(ITileModel::ConvertMapTypeToTileModel(c.mapType), c.scheme) << c.mapType;
    }
}
