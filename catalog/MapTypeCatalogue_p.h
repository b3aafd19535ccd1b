#pragma once

#include <cstddef>
#include <cstdint>

// The fixed catalogue of map types: one row per known id, read by CMapTypeManager and the map type
// functions of Tools. Internal to the library.

// Predicates that a row answers true; one bit each.
enum MAP_TYPE_FLAG : std::uint32_t {
    MTF_LABEL = 1u << 0,           // transparent label overlay
    MTF_HAVE_LABEL = 1u << 1,      // has a label layer of its own
    MTF_WGS84 = 1u << 2,           // geographic tiles in WGS84 degrees
    MTF_GOOGLE = 1u << 3,
    MTF_BAIDU = 1u << 4,
    MTF_GAODE = 1u << 5,
    MTF_VECTOR = 1u << 6,
    MTF_ELECTRONIC = 1u << 7,
    MTF_WEB_MERCATOR = 1u << 8,
    MTF_DEM = 1u << 9,
    MTF_DEM_BY_CUSTOM_MAP = 1u << 10,  // elevation exactly when the selected custom map is
    MTF_BACKUP_OFFICIAL = 1u << 11,
    MTF_HISTORY = 1u << 12,
    MTF_BIG_FONT = 1u << 13,
    MTF_SHOOT_TIME = 1u << 14,
    MTF_MIXTURE = 1u << 15,
    MTF_NO_CACHE = 1u << 16,
    MTF_NO_CACHE_AT_15 = 1u << 17  // no cache only when the caller passes 15
};

struct MAP_TYPE_ROW {
    int nId;
    const char* szName;       // UTF-8, "" when the type has none
    const char* szCategory;   // UTF-8 category text, "" when none
    const char* szShortName;  // UTF-8; nullptr: the same as szName
    int nImage;               // MAP_IMGE_TYPE
    int nLabelLayer;          // id of the label overlay, 0: none
    int nOffset;              // CoordOffsetType
    std::uint32_t uFlags;     // MAP_TYPE_FLAG bits
    int nDownloadMin;         // download levels, one-based, inclusive
    int nDownloadMax;
    int aSibling[4];          // sibling of image kind 1..4 without the big-font flag, -1: none
};

// The row of an id; nullptr for an id that the catalogue does not list.
const MAP_TYPE_ROW* FindMapTypeRow(int id);

// True when the id is listed and its row carries every bit of `flags`.
bool MapTypeHasFlag(int id, std::uint32_t flags);

// The ids in the order the application lists them (some appear twice).
const int* MapTypeListOrder(std::size_t& count);
