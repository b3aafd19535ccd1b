#include "storage/TaskEnums.h"

#include "core/log/VtLog.h"

#include <gtest/gtest.h>

namespace {

TEST(TaskEnums, TextsAreGb18030AndUnknownValuesFallBack) {
    struct Row {
        std::string actual;
        const char* utf8;  // expected text before conversion
    } rows[] = {
        {SymblizeTaskState(TASK_STATE_INVALID), "无效"},
        {SymblizeTaskState(TASK_STATE_WAIT_EXPORT), "等待导出"},
        {SymblizeTaskState(static_cast<ENUM_TASK_STATE>(12)), ""},   // past the last state
        {SymblizeTaskState(static_cast<ENUM_TASK_STATE>(-2)), ""},   // before the first
        {SymblizeQueryResult(QUERY_ABORTED), "中止"},
        {SymblizeQueryResult(QUERY_OK), "无错误"},
        {SymblizeQueryResult(static_cast<E_QUERY_RESULT>(5)), "错误"},  // unknown: the error text
        {SymblizeQueryResult(static_cast<E_QUERY_RESULT>(-11)), "错误"},
        {SymblizeExportType(EXPORT_ARCGIS_BUNDLE_103), "瓦片:ArcGISBundle For ArcGIS10.3"},
        {SymblizeExportType(EXPORT_HEIGHT_FIELD_TMS), ""},
        {SymblizeExportType(static_cast<EXPORTTYPE>(26)), ""},
        {SymbolizeSaveTileStatus(DATA_STATUS_INCOMPLETE), "不完整"},
        {SymbolizeSaveTileStatus(static_cast<E_DATA_STATUS>(6)), ""},
        {SymbolizeTaskDataType(TASKDATA_BINARY), "二进制"},
        {SymbolizeTaskDataType(static_cast<E_TASKDATA_TYPE>(-1)), ""},
        {SymbolizeSavePixelType(SAVE_PIXEL_BGR), "BGR"},
        {SymbolizeSavePixelType(SAVE_PIXEL_NONE), ""},
        {SymbolizeSaveImageType(SAVE_IMAGE_JPG_EX), "jpg"},
        {SymbolizeSaveImageTypeSuffix(SAVE_IMAGE_PNG), ".png"},
        {SymbolizeSaveImageTypeSuffix(SAVE_IMAGE_END), ""},
        {SymbolizeSaveImageTypeSuffix(SAVE_IMAGE_NONE), ""},
        {SymbolizeSaveImageTypeSuffix(static_cast<E_SAVE_IMAGE_TYPE>(11)), ""},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        EXPECT_EQ(rows[i].actual, VtGB(rows[i].utf8)) << "row " << i;
    }
    EXPECT_EQ(SymblizeTaskState(TASK_STATE_DOWNLOADING), "\xD5\xFD\xD4\xDA\xCF\xC2\xD4\xD8");  // 正在下载
}

TEST(TaskEnums, SaverNames) {
    struct Row {
        int type;
        int image;
        const char* saver;
        const char* heightSaver;
    } rows[] = {
        {0, 6, "CGDALJointDataSaver", "CGDALHeightFieldDataSaver"},
        {0, 7, "CGDALJointDataSaver", "CHeightFieldSmaplePointDataSaver"},  // sample points
        {0, 9, "CGDALJointDataSaver", "CHeightFieldSmaplePointDataSaver"},
        {0, 10, "CGDALJointDataSaver", "CGDALHeightFieldDataSaver"},
        {3, 7, "CGDALHeightFieldDataSaver", "CGDALHeightFieldDataSaver"},  // only the joint image switches
        {10, 0, "CTilesLT_TMSDataSaver", "CTilesTMSDataSaver"},
        {11, 0, "", "CHeightFieldTMSDataSaver"},
        {13, 0, "CMBTilesForSuperMapDataSaver", "CMbtilesForSuperMapDataSaver"},
        {19, 0, "CSqliteDBQ7DataSaver", ""},
        {23, 0, "CTilesTMSLevel1Consists2TilesDataSaver", "CTilesTMSLevelMinus1DataSaver"},
        {24, 0, "NULL", "NULL"},
        {-1, 0, "", ""},
        {26, 7, "", ""},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(GetExportTypeReference(static_cast<EXPORTTYPE>(r.type)), r.saver) << r.type;
        EXPECT_EQ(FindHeightFieldSaverViaExportType(static_cast<EXPORTTYPE>(r.type),
                                                    static_cast<E_SAVE_IMAGE_TYPE>(r.image)),
                  r.heightSaver)
            << r.type << "/" << r.image;
    }
}

TEST(TaskEnums, OnlyEmptyWaitingAndDamagedNeedDownload) {
    for (int s = -2; s <= 8; ++s) {
        EXPECT_EQ(IsNeedDownload(static_cast<ENUM_BLOCK_STATE>(s)), s == 0 || s == 1 || s == 3) << s;
    }
}

TEST(TaskEnums, PrecisionHalvesPerLevelAndStaysInsideTheTable) {
    EXPECT_DOUBLE_EQ(GetDownloadPrecesionViaLevel(1), 0.01);
    for (int l = 2; l <= 32; ++l) {
        EXPECT_DOUBLE_EQ(GetDownloadPrecesionViaLevel(l) * 2, GetDownloadPrecesionViaLevel(l - 1)) << l;
    }
    EXPECT_DOUBLE_EQ(GetDownloadPrecesionViaLevel(0), GetDownloadPrecesionViaLevel(1));
    EXPECT_DOUBLE_EQ(GetDownloadPrecesionViaLevel(33), GetDownloadPrecesionViaLevel(32));
    EXPECT_DOUBLE_EQ(GetDownloadPrecesionViaLevel(-1000000), 0.01);
}

}  // namespace
