#include "storage/DownloadTask.h"
#include "storage/TaskEnums.h"

#include "core/log/VtLog.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <utility>

namespace {

// Fields outside the stored columns do not count; each stored one does, compared exactly.
TEST(DownloadTask, ComparesOnlyTheStoredFields) {
    const struct { const char* what; std::function<void(DownloadTask&)> change; bool stillEqual; } rows[] = {
        {"level", [](DownloadTask& t) { t.level << 3; }, true},
        {"rangepoints", [](DownloadTask& t) { t.rangepoints << QPolygonF({QPointF(1, 2)}); }, true},
        {"version", [](DownloadTask& t) { t.version = 204; }, true},
        {"auxMap", [](DownloadTask& t) { t.auxMap["k"] = 1; }, true},
        {"nZYJX noise", [](DownloadTask& t) { t.nZYJX += 1e-10; }, true},
        {"nZYJX", [](DownloadTask& t) { t.nZYJX += 1e-8; }, false},
        {"ID", [](DownloadTask& t) { t.ID = 3; }, false},
        {"path", [](DownloadTask& t) { t.path = "a"; }, false},
        {"extent", [](DownloadTask& t) { t.extent.maxy = 1e-300; }, false},
        {"exportExtent", [](DownloadTask& t) { t.exportExtent.minx = -1; }, false},
        {"levelExportList", [](DownloadTask& t) { t.levelExportList << 1; }, false},
        {"colour alpha", [](DownloadTask& t) { t.nBackGroundColor[3] = 0; }, false},
        {"first flag of a group", [](DownloadTask& t) { t.auxFlag2 = !t.auxFlag2; }, false},
        {"last flag of a group", [](DownloadTask& t) { t.auxFlag3 = !t.auxFlag3; }, false},
        {"seven data", [](DownloadTask& t) { t.dSevenData[6] = 1e-300; }, false},
        {"seven data NaN", [](DownloadTask& t) { t.dSevenData[0] = std::nan(""); }, false},
        {"createTm", [](DownloadTask& t) { t.createTm = "2024"; }, false},
        {"exportSpace", [](DownloadTask& t) { t.exportSpace = QPointF(0.5, 0); }, false},
        {"savedState", [](DownloadTask& t) { t.savedState = 1; }, false},
        // A field inside each group compared together.
        {"count", [](DownloadTask& t) { t.count = 7; }, false}, {"MapItemType", [](DownloadTask& t) { t.MapItemType = 7; }, false},
        {"auxInt1", [](DownloadTask& t) { t.auxInt1 = 7; }, false},
        {"bIsOverTagge", [](DownloadTask& t) { t.bIsOverTagge = !t.bIsOverTagge; }, false},
        {"ExportType", [](DownloadTask& t) { t.ExportType = 7; }, false},
        {"strExportSavePath", [](DownloadTask& t) { t.strExportSavePath = "b"; }, false},
        {"CustomRowCount", [](DownloadTask& t) { t.CustomRowCount = 7; }, false},
        {"nDuDai", [](DownloadTask& t) { t.nDuDai = 7; }, false},
        {"TitleCutomBigFont", [](DownloadTask& t) { t.TitleCutomBigFont = !t.TitleCutomBigFont; }, false},
        {"strTitleCutom", [](DownloadTask& t) { t.strTitleCutom = "x"; }, false},
        {"nDemCorrect", [](DownloadTask& t) { t.nDemCorrect = 7; }, false},
    };
    for (const auto& row : rows) {
        DownloadTask a, b;
        row.change(b);
        EXPECT_EQ(a == b, row.stillEqual) << row.what;
        EXPECT_EQ(b == a, row.stillEqual) << row.what;
    }
    DownloadTask moved, from;
    moved.auxMap["a"] = 1;
    from.auxMap["b"] = 2;
    from.ID = 9;
    moved = std::move(from);
    EXPECT_EQ(moved.ID, 9);
    EXPECT_EQ(from.auxMap.count("a"), 1u);  // NOLINT: move assignment swaps the maps
    EXPECT_EQ(DownloadTask(moved).auxMap, moved.auxMap);
    EXPECT_TRUE(DownloadTask(moved) == moved);
}

TEST(DownloadTask, CopyTakesOnlyTheDepositorySubset) {
    STRUCT_DOWNLOAD_TASK target, src;
    target.ExportType = EXPORT_MBTILES;
    target.Copy(nullptr);
    target.Copy(&target);
    src.geDate = 20240101;
    src.level = {2, 4};
    src.extent = EXTENT{1, 2, 3, 4};
    src.ExportType = EXPORT_TMS;
    src.strExportCoordName = "cgcs";
    src.strExportSavePath = "out";
    target.Copy(&src);
    EXPECT_TRUE(target.geDate == 20240101 && target.level == (QList<int>{2, 4}) && target.extent.maxy == 4);
    EXPECT_EQ(target.strExportSavePath, QString("out"));
    EXPECT_TRUE(target.ExportType == EXPORT_MBTILES && target.strExportCoordName.isEmpty());
}

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
