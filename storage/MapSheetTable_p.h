#pragma once

#include "storage/MapSheetEnums.h"

// The sheet series, one row per scale (1:1,000,000 first). Sizes in milliseconds of arc.
struct MapSheetScaleRow {
    ENUM_MAPSHEET scale;
    long long dlon;    // sheet width
    long long dlat;    // sheet height
    int count;         // rows = columns inside one 1:1,000,000 sheet
    char letter;
    int minShowLevel;  // first map zoom level that shows the sheet names
};

constexpr MapSheetScaleRow kMapSheetScales[] = {
    {MAPSHEET_1M, 21600000, 14400000, 1, 'A', 4},
    {MAPSHEET_500K, 10800000, 7200000, 2, 'B', 5},
    {MAPSHEET_250K, 5400000, 3600000, 4, 'C', 6},
    {MAPSHEET_100K, 1800000, 1200000, 12, 'D', 8},
    {MAPSHEET_50K, 900000, 600000, 24, 'E', 9},
    {MAPSHEET_25K, 450000, 300000, 48, 'F', 10},
    {MAPSHEET_10K, 225000, 150000, 96, 'G', 11},
    {MAPSHEET_5K, 112500, 75000, 192, 'H', 12},
    {MAPSHEET_2K, 37500, 25000, 576, 'I', 13},
    {MAPSHEET_1K, 18750, 12500, 1152, 'J', 14},
    {MAPSHEET_500, 9375, 6250, 2304, 'K', 15},
};

constexpr long long kMapSheetMsPerDegree = 3600000;

// The row of a scale; null outside 1..11.
inline const MapSheetScaleRow* FindMapSheetScale(int scale) {
    for (const MapSheetScaleRow& row : kMapSheetScales) {
        if (row.scale == scale) return &row;
    }
    return nullptr;
}
