#pragma once

#include "core/VtCoreExport.h"
#include "tile/TileKey.h"

class CTileModel;

// Root of the tiling-scheme models and the factory of their shared instances.
//
// The factory keeps three separate sets of process-wide instances (tiles, 64 x 64 height fields,
// 256 x 256 height fields), each with one Web Mercator, one geographic and one Baidu model. An
// instance is built on first use (thread-safe) and lives until the library unloads; the caller must
// not delete it. Every call writes its left-top-up flag (and, for the height-field sets, the pixel
// size) into the shared instance, so the last caller's setting holds for everybody; nothing else
// is locked. Scheme 0 (map-ID numbering), 3 and unknown values give null.
class VTCORE_EXPORT ITileModel {
public:
    virtual ~ITileModel() = 0;  // abstract: only the schemes are instantiated

    static CTileModel* GetTileModel(E_TILE_MODEL m, bool leftTopUp = true);
    // Pixel size 64 x 64 on every call.
    static CTileModel* GetHeightFieldModel(E_TILE_MODEL m, bool leftTopUp = true);
    // Pixel size 256 x 256 on every call.
    static CTileModel* GetHeightFieldModel256x256(E_TILE_MODEL m, bool leftTopUp = true);

    // The shared model for a map type, left-top-up set: a DEM type gets the 64 x 64 height-field
    // model (geographic for WGS84 types, else Mercator); otherwise Baidu types the Baidu model, WGS84
    // types the geographic one and every other type the Mercator one. Never null.
    static CTileModel* GetTileModelViaMapType(int mapType);
    // TILE_MODEL_BAIDU for a Baidu type that is not DEM, else TILE_MODEL_GEOGRAPHIC for a WGS84 type,
    // else TILE_MODEL_MERCATOR.
    static E_TILE_MODEL ConvertMapTypeToTileModel(int mapType);
};
