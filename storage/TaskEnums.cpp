#include "storage/TaskEnums.h"

#include "core/log/VtLog.h"

#include <array>
#include <cmath>

namespace {

struct TextRow {
    int value;
    const char* text;  // UTF-8 here; returned as GB18030
};

constexpr TextRow kTaskStates[] = {
    {-1, "无效"},     {0, "无"},        {1, "正在下载"}, {2, "暂停下载"}, {3, "计划任务"},
    {4, "下载结束"}, {5, "下载完成"}, {6, "正在拼接"}, {7, "下载失败"}, {8, "重新下载"},
    {9, "回收站"},   {10, "导出"},     {11, "等待导出"},
};

constexpr TextRow kQueryResults[] = {
    {-10, "中止"},   {-9, "权限验证失败"}, {-8, "故障"},   {-7, "拒绝"},   {-6, "超时"},
    {-5, "数据错误"}, {-4, "不支持"},       {-3, "数据不完整"}, {-2, "无数据"}, {-1, "错误"},
    {0, "未知"},     {1, "无错误"},
};

struct ExportRow {
    int value;
    const char* text;
    const char* saver;
    const char* heightFieldSaver;
};

constexpr ExportRow kExportTypes[] = {
    {0, "大图", "CGDALJointDataSaver", "CGDALHeightFieldDataSaver"},
    {1, "大图自定义", "CGDALCustomJointDataSaver", "CGDALCustomJointDataSaver"},
    {2, "标准瓦片", "CTileStandardDataSaver", "CTileStandardDataSaver"},
    {3, "瓦片", "CGDALHeightFieldDataSaver", "CGDALHeightFieldDataSaver"},
    {4, "BING", "CTileBingMapDataSaver", "CTileBingMapDataSaver"},
    {5, "瓦片:金字塔", "", ""},
    {6, "瓦片:ARCGIS", "CTilesArcgisServerDataSaver", "CTilesArcgisServerDataSaver"},
    {7, "瓦片:ArcGISBundle", "CTileArcGISBundleDataSaver", "CTileArcGISBundleDataSaver"},
    {8, "瓦片:ArcGISBundle For ArcGIS10.3", "CTileArcGISBundleForArcGIS103DataSaver",
     "CTileArcGISBundleForArcGIS103DataSaver"},
    {9, "瓦片:自定义", "CTileCustomXYZDataSaver", "CTileCustomXYZDataSaver"},
    {10, "瓦片:TMS", "CTilesLT_TMSDataSaver", "CTilesTMSDataSaver"},
    {11, "", "", "CHeightFieldTMSDataSaver"},
    {12, "离线包:MBTiles", "CMbtilesDataSaver", "CMbtilesDataSaver"},
    {13, "离线包:MBTiles For SuperMap", "CMBTilesForSuperMapDataSaver", "CMbtilesForSuperMapDataSaver"},
    {14, "离线包:CESTiles", "CHeightFieldCesDataSaver", "CHeightFieldCesDataSaver"},
    {15, "离线包:OruxMaps", "CTilesOruxMapsDataSaver", "CTilesOruxMapsDataSaver"},
    {16, "离线包:GeoPackage", "CGeoPackageDataSaver", "CGeoPackageDataSaver"},
    {17, "离线包:GeoPackage For GeoServer", "CGeoPackageForGeoServerDataSaver",
     "CGeoPackageForGeoServerDataSaver"},
    {18, "离线包:SQlite", "CSqliteDBDataSaver", "CSqliteDBDataSaver"},
    {19, "", "CSqliteDBQ7DataSaver", ""},
    {20, "瓦片:百度", "", ""},
    {21, "瓦片:WorldWind", "CTileWorldWindDataSaver", "CTileWorldWindDataSaver"},
    {22, "瓦片:标准TMS", "CTilesTMSDataSaver", "CTilesTMSDataSaver"},
    {23, "瓦片:标准TMS_级别减1", "CTilesTMSLevel1Consists2TilesDataSaver", "CTilesTMSLevelMinus1DataSaver"},
    {24, "瓦片:ArcGIS Tile Package", "NULL", "NULL"},
    {25, "瓦片:ArcGIS Tile Package X", "CTileArcGISTpkDataSaver", "CTileArcGISTpkDataSaver"},
};

constexpr TextRow kSaveImageTypes[] = {
    {-1, ""},    {0, "tif"}, {1, "jpg"}, {2, "img"}, {3, "png"}, {4, "bmp"},
    {5, "tif"},  {6, "jpg"}, {7, "dat"}, {8, "csv"}, {9, "xyz"}, {10, ""},
};

constexpr TextRow kSavePixelTypes[] = {
    {0, ""}, {1, "RGBA"}, {2, "ARGB"}, {3, "RGB"}, {4, "BGR"},
};

constexpr TextRow kDataStatus[] = {
    {0, "无状态"}, {1, "正常"}, {2, "无数据"}, {3, "失败"}, {4, "关闭"}, {5, "不完整"},
};

constexpr TextRow kTaskDataTypes[] = {
    {0, "图像"}, {1, "高程"}, {2, "二进制"},
};

template <size_t N>
const char* Find(const TextRow (&rows)[N], int value, const char* fallback) {
    for (const TextRow& row : rows) {
        if (row.value == value) return row.text;
    }
    return fallback;
}

const ExportRow* FindExport(int value) {
    for (const ExportRow& row : kExportTypes) {
        if (row.value == value) return &row;
    }
    return nullptr;
}

}  // namespace

std::string SymblizeTaskState(ENUM_TASK_STATE state) { return VtGB(Find(kTaskStates, state, "")); }

std::string SymblizeQueryResult(E_QUERY_RESULT result) {
    return VtGB(Find(kQueryResults, result, "错误"));
}

std::string SymblizeExportType(EXPORTTYPE type) {
    const ExportRow* row = FindExport(type);
    return row ? VtGB(row->text) : std::string();
}

std::string GetExportTypeReference(EXPORTTYPE type) {
    const ExportRow* row = FindExport(type);
    return row ? std::string(row->saver) : std::string();
}

std::string FindHeightFieldSaverViaExportType(EXPORTTYPE type, E_SAVE_IMAGE_TYPE imageType) {
    // A joint export of sample points (dat, csv, xyz) writes text, not a raster.
    if (type == EXPORT_JOINT_IMAGE &&
        (imageType == SAVE_IMAGE_DAT || imageType == SAVE_IMAGE_CSV || imageType == SAVE_IMAGE_XYZ)) {
        return "CHeightFieldSmaplePointDataSaver";
    }
    const ExportRow* row = FindExport(type);
    return row ? std::string(row->heightFieldSaver) : std::string();
}

std::string SymbolizeTaskDataType(E_TASKDATA_TYPE type) { return VtGB(Find(kTaskDataTypes, type, "")); }

std::string SymbolizeSaveImageType(E_SAVE_IMAGE_TYPE type) { return Find(kSaveImageTypes, type, ""); }

std::string SymbolizeSaveImageTypeSuffix(E_SAVE_IMAGE_TYPE type) {
    const std::string text = SymbolizeSaveImageType(type);
    return text.empty() ? text : "." + text;
}

std::string SymbolizeSavePixelType(E_SAVE_PIXEL_TYPE type) { return Find(kSavePixelTypes, type, ""); }

std::string SymbolizeSaveTileStatus(E_DATA_STATUS status) { return VtGB(Find(kDataStatus, status, "")); }

bool IsNeedDownload(ENUM_BLOCK_STATE state) {
    return state == BLOCK_EMPTY || state == BLOCK_WAITING || state == BLOCK_DAMAGED;
}

double GetDownloadPrecesionViaLevel(int level) {
    // Built once; the function-local static is initialised thread-safely.
    static const std::array<double, 32> table = [] {
        std::array<double, 32> t{};
        for (int i = 0; i < 32; ++i) t[static_cast<size_t>(i)] = 0.01 / std::ldexp(1.0, i);
        return t;
    }();
    if (level < 1) level = 1;
    if (level > 32) level = 32;
    return table[static_cast<size_t>(level - 1)];
}
