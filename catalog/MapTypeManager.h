#pragma once

#include "catalog/MapTypeEnums.h"
#include "core/VtCoreExport.h"
#include "tile/TileKey.h"

#include <QString>

#include <atomic>
#include <string>
#include <vector>

// Everything the library knows about a map type id, answered from fixed tables. An id the catalogue
// does not list is valid input and gets the neutral answer: false, 0, -1, an empty text, levels 1 to
// 21, tiling model TILE_MODEL_MERCATOR. Nothing here fails or logs.
class VTCORE_EXPORT CMapTypeManager {
public:
    // The process-wide instance, created on first use and never destroyed.
    static CMapTypeManager* getInstance();

    CMapTypeManager(const CMapTypeManager&) = delete;
    CMapTypeManager& operator=(const CMapTypeManager&) = delete;

    // The map type the application currently shows (0 until set); the Baidu street-map URLs read it.
    int getCurMaptype();
    void setCurMaptype(int mapType);
    // Records two integers for the application; the library itself never reads them.
    void setCustomMaptype(int first, int second);

    // Every known id in the application's fixed order: 148 entries, 6, 1 and 406 twice.
    std::vector<int> GetAllMapType() const;

    int getLabeltypeByImgetype(int const& mapType);  // id of the label overlay, 0 when none
    MAP_IMGE_TYPE getMaptypeImgetype(int const& mapType);
    CoordOffsetType getOffsetType(int const& mapType);  // COORD_OFFSET_OTHER for unknown ids
    // TILE_MODEL_GEOGRAPHIC for WGS84 types, else TILE_MODEL_BAIDU for Baidu types, else Mercator.
    E_TILE_MODEL GetMapTypeTileModel(int mapType) const;
    // Levels that may be viewed (one-based, inclusive).
    void GetMinAndMaxLevel(int mapType, int& minLevel, int& maxLevel) const;
    // Whether a map resource registered for the id (GetOrCreateMapResourceObjectModule) serves the
    // level (its min and max inclusive); false when no resource is registered for the id.
    bool IsInSupportMapRange(int id, int level) const;
    // The sibling of the same provider with another image kind, -1 when none. With bigFont set only
    // the big-font variants and the proxy-server types have siblings.
    int GetDstMaptype(int const& mapType, MAP_IMGE_TYPE const& kind, bool bigFont);

    bool isGoogle(int const& mapType);
    bool isBaidu(int const& mapType);
    bool isGaoDe(int const& mapType);
    bool isWgs84(int const& mapType);
    bool isHistory(int const& mapType);
    bool getMaptypeIsMixture(int const& mapType);
    bool getMaptypeIsHaveLabel(int const& mapType);
    bool IsHaveBF(int const& mapType);
    bool IsBF(int const& mapType);
    bool IsHaveShootTime(int const& mapType);
    bool IsHaveLabel(int const& mapType);
    bool IsLabel(int const& mapType);
    bool isVectorMaptype(int mapType);
    bool getImgeIsBigByMaptype(int mapType);

    // Byte size of the placeholder image a provider serves for a missing tile (210 Baidu, 176 GaoDe),
    // 0 when the provider has none.
    int getMaptypeInvalidImgeSize(int const& mapType);

    QString SymbolizeMapTypeEx(int mapType) const;            // display name, "" when none
    QString getMapTypeToString(int mapType);                  // the same
    QString SymbolizeMapTypeWithCategory(int mapType) const;  // category text, "" when none
    // "category.name", or whichever of the two is not empty.
    void enumMapTypeToString(int mapType, QString& out);

private:
    CMapTypeManager() = default;

    int GetDstMaptypeWithOfficial(int const& mapType, MAP_IMGE_TYPE const& kind, bool bigFont);
    int GetDstMaptypeWithBF(int const& mapType, MAP_IMGE_TYPE const& kind, bool bigFont);

    static CMapTypeManager* m_pMapTypeManage;
    std::atomic<int> m_nCurMaptype{0};  // read by URL builders on download threads
};

// Short name of a map type as GB18030 bytes, "" when none.
VTCORE_EXPORT std::string MapTypeToString(int mapType);
