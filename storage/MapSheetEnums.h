#pragma once

// Scales of the national basic-scale topographic map series. Every larger scale divides the
// 1:1,000,000 sheet (6 x 4 degrees) into a regular grid; see CMapSheetModel.
enum ENUM_MAPSHEET : int {
    MAPSHEET_NONE = 0,
    MAPSHEET_1M = 1,     // 1:1,000,000, letter A
    MAPSHEET_500K = 2,   // 1:500,000, B
    MAPSHEET_250K = 3,   // 1:250,000, C
    MAPSHEET_100K = 4,   // 1:100,000, D
    MAPSHEET_50K = 5,    // 1:50,000, E
    MAPSHEET_25K = 6,    // 1:25,000, F
    MAPSHEET_10K = 7,    // 1:10,000, G
    MAPSHEET_5K = 8,     // 1:5,000, H
    MAPSHEET_2K = 9,     // 1:2,000, I
    MAPSHEET_1K = 10,    // 1:1,000, J
    MAPSHEET_500 = 11,   // 1:500, K
};
