#include "tile/ITileModel.h"

#include "core/Tools.h"
#include "tile/BaiduTileModel.h"
#include "tile/MercatorTileModel.h"
#include "tile/TileModel.h"

ITileModel::~ITileModel() = default;

namespace {

// Which of the three sets of shared instances.
enum class ModelSet { Tile, HeightField64, HeightField256 };

// One instance per set and scheme, built on first use: C++ guarantees thread-safe construction of
// function-local statics. They are destroyed when the library unloads.
template <ModelSet S>
CTileModel* SharedMercator()
{
    static CMercatorTileModel instance;
    return &instance;
}

template <ModelSet S>
CTileModel* SharedGeographic()
{
    static CTileModel instance;
    return &instance;
}

template <ModelSet S>
CTileModel* SharedBaidu()
{
    static CBaiduTileModel instance;
    return &instance;
}

template <ModelSet S>
CTileModel* Pick(E_TILE_MODEL m)
{
    switch (m) {
    case TILE_MODEL_MERCATOR:
        return SharedMercator<S>();
    case TILE_MODEL_GEOGRAPHIC:
        return SharedGeographic<S>();
    case TILE_MODEL_BAIDU:
        return SharedBaidu<S>();
    default:
        return nullptr;  // map-ID numbering has no model; 3 and unknown values are not schemes
    }
}

// The settings are written only when they change: every caller in the library asks for the same
// ones, so concurrent callers then only read the shared object.
void Configure(CTileModel* model, bool leftTopUp, int pixelSize)
{
    if (model == nullptr)
        return;
    if (model->IsLeftTopUP() != leftTopUp)
        model->SetLeftTopUP(leftTopUp);
    if (pixelSize > 0) {
        if (model->GetPixelWidth() != pixelSize)
            model->SetPixelWidth(pixelSize);
        if (model->GetPixelHeight() != pixelSize)
            model->SetPixelHeight(pixelSize);
    }
}

}  // namespace

CTileModel* ITileModel::GetTileModel(E_TILE_MODEL m, bool leftTopUp)
{
    CTileModel* model = Pick<ModelSet::Tile>(m);
    Configure(model, leftTopUp, 0);
    return model;
}

CTileModel* ITileModel::GetHeightFieldModel(E_TILE_MODEL m, bool leftTopUp)
{
    CTileModel* model = Pick<ModelSet::HeightField64>(m);
    Configure(model, leftTopUp, 64);
    return model;
}

CTileModel* ITileModel::GetHeightFieldModel256x256(E_TILE_MODEL m, bool leftTopUp)
{
    CTileModel* model = Pick<ModelSet::HeightField256>(m);
    Configure(model, leftTopUp, 256);
    return model;
}

CTileModel* ITileModel::GetTileModelViaMapType(int mapType)
{
    const bool wgs = Tools::isWGS(mapType);
    if (Tools::isDem(mapType, -1))
        return GetHeightFieldModel(wgs ? TILE_MODEL_GEOGRAPHIC : TILE_MODEL_MERCATOR, true);
    if (Tools::isBaidu(mapType))
        return GetTileModel(TILE_MODEL_BAIDU, true);
    return GetTileModel(wgs ? TILE_MODEL_GEOGRAPHIC : TILE_MODEL_MERCATOR, true);
}

E_TILE_MODEL ITileModel::ConvertMapTypeToTileModel(int mapType)
{
    if (Tools::isBaidu(mapType) && !Tools::isDem(mapType, -1))
        return TILE_MODEL_BAIDU;
    return Tools::isWGS(mapType) ? TILE_MODEL_GEOGRAPHIC : TILE_MODEL_MERCATOR;
}
