#pragma once

#include "core/VtCoreExport.h"
#include "core/VtModule.h"
#include "tile/TileKey.h"

#include <QString>

#include <string>

// A map source provided by a plug-in for one map type id. Plug-ins implement it and register the
// object with the map resource module, which keeps it under GetResourceName() without owning it.
// The virtual operations keep this order; the registry relies on GetMapType, GetResourceName,
// GetMaxLevel and GetMinLevel.
class VTCORE_EXPORT IMapResourceObject : public IVtModule {
public:
    ~IMapResourceObject() override;
    virtual int GetMapType() const = 0;                // map type id of the catalogue
    virtual std::string GetResourceName() const = 0;   // the registry key
    virtual QString GetDisplayName() const = 0;        // for the application's menus
    virtual E_TILE_MODEL GetTileModel() const = 0;     // tiling of the source
    virtual QString GetTileUrl(const CTileKey& key) const = 0;  // "" when the key is outside the source
    virtual int GetMaxLevel() const = 0;               // deepest zoom level served, inclusive
    virtual int GetMinLevel() const = 0;               // shallowest zoom level served, inclusive
};
