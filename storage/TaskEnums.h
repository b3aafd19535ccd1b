#pragma once

#include "core/VtCoreExport.h"

#include <string>

// Enumerations that travel with download tasks and tiles. The numbers are stored in files and
// databases and must not change. Every text function returns GB18030 bytes, and the empty string
// for a value it does not know (SymblizeQueryResult: the text of QUERY_ERROR). The enumerations
// have a fixed int type: values outside the named ones (a slot state of 99, a future export type)
// are legal and are handled by every function here.

enum ENUM_TASK_STATE : int {
    TASK_STATE_INVALID = -1,
    TASK_STATE_NONE = 0,
    TASK_STATE_DOWNLOADING = 1,
    TASK_STATE_PAUSED = 2,
    TASK_STATE_SCHEDULED = 3,
    TASK_STATE_ENDED = 4,
    TASK_STATE_COMPLETED = 5,
    TASK_STATE_JOINING = 6,
    TASK_STATE_FAILED = 7,
    TASK_STATE_REDOWNLOAD = 8,
    TASK_STATE_RECYCLED = 9,
    TASK_STATE_EXPORT = 10,
    TASK_STATE_WAIT_EXPORT = 11
};

// Outcome of reading one tile, and of other queries.
enum E_QUERY_RESULT : int {
    QUERY_ABORTED = -10,
    QUERY_AUTH_FAILED = -9,
    QUERY_FAULT = -8,
    QUERY_REFUSED = -7,
    QUERY_TIMEOUT = -6,
    QUERY_DATA_ERROR = -5,
    QUERY_UNSUPPORTED = -4,
    QUERY_INCOMPLETE = -3,
    QUERY_NO_DATA = -2,
    QUERY_ERROR = -1,
    QUERY_UNKNOWN = 0,
    QUERY_OK = 1
};

// State of one depository slot, kept in the slot's offset field (offsets of 100 and more are data).
enum ENUM_BLOCK_STATE : int {
    BLOCK_INVALID = -1,       // the slot cannot be read
    BLOCK_EMPTY = 0,
    BLOCK_WAITING = 1,
    BLOCK_HAS_DATA = 2,
    BLOCK_DAMAGED = 3,        // found damaged by a repair; fetch again
    BLOCK_SKIPPED_LEVEL = 6   // level not selected by the task
};

enum EXPORTTYPE : int {
    EXPORT_JOINT_IMAGE = 0,
    EXPORT_JOINT_IMAGE_CUSTOM = 1,
    EXPORT_TILE_STANDARD = 2,
    EXPORT_TILE = 3,
    EXPORT_BING = 4,
    EXPORT_TILE_PYRAMID = 5,
    EXPORT_ARCGIS_SERVER = 6,
    EXPORT_ARCGIS_BUNDLE = 7,
    EXPORT_ARCGIS_BUNDLE_103 = 8,
    EXPORT_CUSTOM_XYZ = 9,
    EXPORT_TMS = 10,
    EXPORT_HEIGHT_FIELD_TMS = 11,
    EXPORT_MBTILES = 12,
    EXPORT_MBTILES_SUPERMAP = 13,
    EXPORT_CESTILES = 14,
    EXPORT_ORUXMAPS = 15,
    EXPORT_GEOPACKAGE = 16,
    EXPORT_GEOPACKAGE_GEOSERVER = 17,
    EXPORT_SQLITE = 18,
    EXPORT_SQLITE_Q7 = 19,
    EXPORT_BAIDU = 20,
    EXPORT_WORLDWIND = 21,
    EXPORT_STANDARD_TMS = 22,
    EXPORT_STANDARD_TMS_LEVEL_MINUS1 = 23,
    EXPORT_ARCGIS_TPK = 24,
    EXPORT_ARCGIS_TPK_X = 25
};

enum E_SAVE_IMAGE_TYPE : int {
    SAVE_IMAGE_NONE = -1,
    SAVE_IMAGE_TIF = 0,
    SAVE_IMAGE_JPG = 1,
    SAVE_IMAGE_IMG = 2,
    SAVE_IMAGE_PNG = 3,
    SAVE_IMAGE_BMP = 4,
    SAVE_IMAGE_TIF_EX = 5,
    SAVE_IMAGE_JPG_EX = 6,
    SAVE_IMAGE_DAT = 7,  // 7 to 9: sample-point text outputs of height fields
    SAVE_IMAGE_CSV = 8,
    SAVE_IMAGE_XYZ = 9,
    SAVE_IMAGE_END = 10
};

enum E_SAVE_PIXEL_TYPE : int {
    SAVE_PIXEL_NONE = 0,
    SAVE_PIXEL_RGBA = 1,
    SAVE_PIXEL_ARGB = 2,
    SAVE_PIXEL_RGB = 3,
    SAVE_PIXEL_BGR = 4
};

enum E_DATA_STATUS : int {
    DATA_STATUS_NONE = 0,
    DATA_STATUS_NORMAL = 1,
    DATA_STATUS_NO_DATA = 2,
    DATA_STATUS_FAILED = 3,
    DATA_STATUS_CLOSED = 4,
    DATA_STATUS_INCOMPLETE = 5
};

enum E_TASKDATA_TYPE : int {
    TASKDATA_IMAGE = 0,
    TASKDATA_HEIGHT = 1,
    TASKDATA_BINARY = 2
};

VTCORE_EXPORT std::string SymblizeTaskState(ENUM_TASK_STATE state);
VTCORE_EXPORT std::string SymblizeQueryResult(E_QUERY_RESULT result);
VTCORE_EXPORT std::string SymblizeExportType(EXPORTTYPE type);
// Name of the exporter component (outside this library) for an export type; "" when none.
VTCORE_EXPORT std::string GetExportTypeReference(EXPORTTYPE type);
// Exporter used for height-field tasks; the joint image depends on the image type.
VTCORE_EXPORT std::string FindHeightFieldSaverViaExportType(EXPORTTYPE type, E_SAVE_IMAGE_TYPE imageType);
VTCORE_EXPORT std::string SymbolizeTaskDataType(E_TASKDATA_TYPE type);
VTCORE_EXPORT std::string SymbolizeSaveImageType(E_SAVE_IMAGE_TYPE type);
// "." followed by SymbolizeSaveImageType, or "" when that is empty.
VTCORE_EXPORT std::string SymbolizeSaveImageTypeSuffix(E_SAVE_IMAGE_TYPE type);
VTCORE_EXPORT std::string SymbolizeSavePixelType(E_SAVE_PIXEL_TYPE type);
VTCORE_EXPORT std::string SymbolizeSaveTileStatus(E_DATA_STATUS status);

// True for the states that still need a download: empty, waiting and damaged.
VTCORE_EXPORT bool IsNeedDownload(ENUM_BLOCK_STATE state);
// Ground precision in degrees of a one-based level: 0.01 / 2^(level - 1) for levels 1 to 32;
// levels below 1 give the level-1 value, levels above 32 the level-32 value.
VTCORE_EXPORT double GetDownloadPrecesionViaLevel(int level);
