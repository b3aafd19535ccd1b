#pragma once

// Enumerations of the map type catalogue. Only the numbers are fixed (they are stored in settings
// files and passed between the application and its plug-ins); the names are this library's.

// Image kind of a map type.
enum MAP_IMGE_TYPE : int {
    MAP_IMGE_NONE = 0,
    MAP_IMGE_ELECTRONIC = 1,  // street map
    MAP_IMGE_SATELLITE = 2,
    MAP_IMGE_DEM = 3,         // elevation
    MAP_IMGE_TERRAIN = 4      // terrain or another thematic raster
};

// Datum in which a map type's tiles are drawn.
enum CoordOffsetType : int {
    COORD_OFFSET_NONE = 0,   // WGS84
    COORD_OFFSET_GCJ02 = 1,
    COORD_OFFSET_BD09 = 2,
    COORD_OFFSET_OTHER = 3   // the provider's own coordinates; also every unknown map type
};

// Server variant stored per map family; a stored 0 reads as GOOGLE_SERVER_2. What the variants mean
// is the application's business.
enum ENUM_GOOGLE_SERVER : int {
    GOOGLE_SERVER_NOT_READ = -1,  // cache marker: read the file on the next get
    GOOGLE_SERVER_0 = 0,
    GOOGLE_SERVER_1 = 1,
    GOOGLE_SERVER_2 = 2,
    GOOGLE_SERVER_3 = 3
};

// Regional data sources of the national online map service. A child region is its parent's number
// with digits appended (JS 17, JS_XZ 1703, JS_XZ_PX 17031).
enum ENUM_MAP_SOURCE : int {
    MAP_SOURCE_CN = 1,
    MAP_SOURCE_AH = 2,
    MAP_SOURCE_BJ = 3,
    MAP_SOURCE_CQ = 4,
    MAP_SOURCE_FJ = 5,
    MAP_SOURCE_GS = 6,
    MAP_SOURCE_GD = 7,
    MAP_SOURCE_GX = 8,
    MAP_SOURCE_GZ = 9,
    MAP_SOURCE_HN = 10,
    MAP_SOURCE_HB = 11,
    MAP_SOURCE_HN2 = 12,
    MAP_SOURCE_HLJ = 13,
    MAP_SOURCE_HB2 = 14,
    MAP_SOURCE_HN3 = 15,
    MAP_SOURCE_JL = 16,
    MAP_SOURCE_JS = 17,
    MAP_SOURCE_JX = 18,
    MAP_SOURCE_LN = 19,
    MAP_SOURCE_NMG = 20,
    MAP_SOURCE_NX = 21,
    MAP_SOURCE_QH = 22,
    MAP_SOURCE_SD = 23,
    MAP_SOURCE_SX = 24,
    MAP_SOURCE_SX2 = 25,
    MAP_SOURCE_SC = 27,
    MAP_SOURCE_TJ = 28,
    MAP_SOURCE_XZ = 29,
    MAP_SOURCE_XJ = 30,
    MAP_SOURCE_YN = 32,
    MAP_SOURCE_ZJ = 33,
    MAP_SOURCE_JS_CZ = 1701,
    MAP_SOURCE_JS_SH = 1702,
    MAP_SOURCE_JS_XZ = 1703,
    MAP_SOURCE_ZJ_WZ = 3301,
    MAP_SOURCE_JS_XZ_PX = 17031,
    MAP_SOURCE_JS_XZ_FX = 17032,
    MAP_SOURCE_JS_XZ_SN = 17033,
    MAP_SOURCE_JS_XZ_XY = 17034,
    MAP_SOURCE_JS_XZ_PZ = 17035
};

// Map label languages; 12 to 15 all name Dutch, and only 12 is produced from a language code.
enum ENUM_MAP_LANG_TYPE : int {
    MAP_LANG_LOCAL = 0,
    MAP_LANG_EN = 1,
    MAP_LANG_DE = 2,
    MAP_LANG_EL = 3,
    MAP_LANG_ES = 4,
    MAP_LANG_ET = 5,
    MAP_LANG_FI = 6,
    MAP_LANG_FR = 7,
    MAP_LANG_HR = 8,
    MAP_LANG_IT = 9,
    MAP_LANG_JA = 10,
    MAP_LANG_KO = 11,
    MAP_LANG_NL = 12,
    MAP_LANG_NL_2 = 13,
    MAP_LANG_NL_3 = 14,
    MAP_LANG_NL_4 = 15,
    MAP_LANG_NO = 16,
    MAP_LANG_PL = 17,
    MAP_LANG_PT = 18,
    MAP_LANG_RO = 19,
    MAP_LANG_RU = 20,
    MAP_LANG_SL = 21,
    MAP_LANG_SQ = 22,
    MAP_LANG_SR = 23,
    MAP_LANG_SV = 24,
    MAP_LANG_TH = 25,
    MAP_LANG_UK = 26,
    MAP_LANG_ZH = 27,
    MAP_LANG_ZH_CN = 28,
    MAP_LANG_ZH_HK = 29,
    MAP_LANG_ZH_TW = 30
};
