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
};
