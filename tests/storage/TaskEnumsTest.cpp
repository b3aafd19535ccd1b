#include "storage/TaskEnums.h"

#include "core/log/VtLog.h"

#include <gtest/gtest.h>

namespace {

// One text per table and the fall-backs of values outside each table.
TEST(TaskEnums, TextsAreGb18030AndUnknownValuesFallBack) {
    const std::pair<std::string, const char*> rows[] = {
        {SymblizeTaskState(TASK_STATE_WAIT_EXPORT), "等待导出"},
        {SymblizeTaskState(static_cast<ENUM_TASK_STATE>(12)), ""},        // past the last state
        {SymblizeTaskState(static_cast<ENUM_TASK_STATE>(-2)), ""},        // before the first
        {SymblizeQueryResult(QUERY_ABORTED), "中止"},
        {SymblizeQueryResult(static_cast<E_QUERY_RESULT>(5)), "错误"},   // unknown: the error text
        {SymblizeExportType(EXPORT_ARCGIS_BUNDLE_103), "瓦片:ArcGISBundle For ArcGIS10.3"},
        {SymblizeExportType(static_cast<EXPORTTYPE>(26)), ""},
        {SymbolizeSaveTileStatus(static_cast<E_DATA_STATUS>(6)), ""},
        {SymbolizeTaskDataType(TASKDATA_BINARY), "二进制"},
        {SymbolizeSavePixelType(SAVE_PIXEL_NONE), ""},
        {SymbolizeSaveImageType(SAVE_IMAGE_JPG_EX), "jpg"},
        {SymbolizeSaveImageTypeSuffix(SAVE_IMAGE_PNG), ".png"},
        {SymbolizeSaveImageTypeSuffix(SAVE_IMAGE_END), ""},
    };
    for (const auto& [actual, utf8] : rows) EXPECT_EQ(actual, VtGB(utf8)) << utf8;
    EXPECT_EQ(SymblizeTaskState(TASK_STATE_DOWNLOADING), "\xD5\xFD\xD4\xDA\xCF\xC2\xD4\xD8");  // 正在下载
}

// The height-field saver depends on the image type only for the joint image.
TEST(TaskEnums, SaverNames) {
    const struct {
        int type, image;
        const char *saver, *heightSaver;
    } rows[] = {
        {0, 6, "CGDALJointDataSaver", "CGDALHeightFieldDataSaver"},
        {0, 7, "CGDALJointDataSaver", "CHeightFieldSmaplePointDataSaver"},  // sample points
        {0, 9, "CGDALJointDataSaver", "CHeightFieldSmaplePointDataSaver"},
        {3, 7, "CGDALHeightFieldDataSaver", "CGDALHeightFieldDataSaver"},
        {11, 0, "", "CHeightFieldTMSDataSaver"},
        {24, 0, "NULL", "NULL"},
        {-1, 0, "", ""},
        {26, 7, "", ""},
    };
    for (const auto& r : rows) {
        const auto type = static_cast<EXPORTTYPE>(r.type);
        EXPECT_EQ(GetExportTypeReference(type), r.saver) << r.type;
        EXPECT_EQ(FindHeightFieldSaverViaExportType(type, static_cast<E_SAVE_IMAGE_TYPE>(r.image)), r.heightSaver) << r.type;
    }
}

TEST(TaskEnums, DownloadNeedAndPrecision) {
    for (int s = -2; s <= 8; ++s) EXPECT_EQ(IsNeedDownload(static_cast<ENUM_BLOCK_STATE>(s)), s == 0 || s == 1 || s == 3) << s;
    EXPECT_DOUBLE_EQ(GetDownloadPrecesionViaLevel(1), 0.01);
    for (int l = 2; l <= 32; ++l) EXPECT_DOUBLE_EQ(GetDownloadPrecesionViaLevel(l) * 2, GetDownloadPrecesionViaLevel(l - 1)) << l;
    EXPECT_DOUBLE_EQ(GetDownloadPrecesionViaLevel(33), GetDownloadPrecesionViaLevel(32));
    EXPECT_DOUBLE_EQ(GetDownloadPrecesionViaLevel(-1000000), 0.01);
}

}  // namespace
