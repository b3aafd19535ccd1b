#include "storage/TaskEnums.h"

#include "core/log/VtLog.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace {

// Texts are GB18030; values outside each table fall back; only the joint image's sample-point
// types choose another height-field saver.
TEST(TaskEnums, TextsSaversAndFallBacks) {
    const std::pair<std::string, const char*> rows[] = {
        {SymblizeTaskState(TASK_STATE_WAIT_EXPORT), "等待导出"},
        {SymblizeTaskState(static_cast<ENUM_TASK_STATE>(12)), ""},
        {SymblizeQueryResult(QUERY_ABORTED), "中止"},
        {SymblizeQueryResult(static_cast<E_QUERY_RESULT>(5)), "错误"},  // unknown: the error text
        {SymblizeExportType(static_cast<EXPORTTYPE>(26)), ""},
        {SymbolizeSaveTileStatus(static_cast<E_DATA_STATUS>(6)), ""},
        {SymbolizeTaskDataType(TASKDATA_BINARY), "二进制"},
        {SymbolizeSaveImageTypeSuffix(SAVE_IMAGE_PNG), ".png"},
        {SymbolizeSaveImageTypeSuffix(SAVE_IMAGE_END), ""},
        {GetExportTypeReference(EXPORT_JOINT_IMAGE), "CGDALJointDataSaver"},
        {GetExportTypeReference(static_cast<EXPORTTYPE>(26)), ""},
        {FindHeightFieldSaverViaExportType(static_cast<EXPORTTYPE>(11), SAVE_IMAGE_DAT), "CHeightFieldTMSDataSaver"},
        {FindHeightFieldSaverViaExportType(EXPORT_JOINT_IMAGE, static_cast<E_SAVE_IMAGE_TYPE>(6)), "CGDALHeightFieldDataSaver"},
        {FindHeightFieldSaverViaExportType(EXPORT_JOINT_IMAGE, SAVE_IMAGE_DAT), "CHeightFieldSmaplePointDataSaver"},
        {FindHeightFieldSaverViaExportType(EXPORT_JOINT_IMAGE, SAVE_IMAGE_XYZ), "CHeightFieldSmaplePointDataSaver"},
        {FindHeightFieldSaverViaExportType(static_cast<EXPORTTYPE>(-1), SAVE_IMAGE_DAT), ""},
    };
    for (const auto& [actual, utf8] : rows) EXPECT_EQ(actual, VtGB(utf8)) << utf8;
    EXPECT_EQ(SymblizeTaskState(TASK_STATE_DOWNLOADING), "\xD5\xFD\xD4\xDA\xCF\xC2\xD4\xD8");  // 正在下载

    for (int s = -2; s <= 8; ++s) EXPECT_EQ(IsNeedDownload(static_cast<ENUM_BLOCK_STATE>(s)), s == 0 || s == 1 || s == 3) << s;
    EXPECT_DOUBLE_EQ(GetDownloadPrecesionViaLevel(1), 0.01);
    for (int l = 2; l <= 32; ++l) EXPECT_DOUBLE_EQ(GetDownloadPrecesionViaLevel(l) * 2, GetDownloadPrecesionViaLevel(l - 1)) << l;
    EXPECT_DOUBLE_EQ(GetDownloadPrecesionViaLevel(33), GetDownloadPrecesionViaLevel(32));
    EXPECT_DOUBLE_EQ(GetDownloadPrecesionViaLevel(-1000000), 0.01);
}

}  // namespace
