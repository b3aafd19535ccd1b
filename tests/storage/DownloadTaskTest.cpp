#include "storage/DownloadTask.h"
#include "storage/TaskEnums.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <utility>

namespace {

// Fields outside the stored columns do not count; each stored one does, compared exactly.
TEST(DownloadTask, ComparesOnlyTheStoredFields) {
    const struct { const char* what; std::function<void(DownloadTask&)> change; bool stillEqual; } rows[] = {
        {"version", [](auto& t) { t.version = 204; }, true}, {"auxMap", [](auto& t) { t.auxMap["k"] = 1; }, true},
        {"nZYJX noise", [](auto& t) { t.nZYJX += 1e-10; }, true}, {"nZYJX", [](auto& t) { t.nZYJX += 1e-8; }, false},
        {"ID", [](auto& t) { t.ID = 3; }, false}, {"path", [](auto& t) { t.path = "a"; }, false},
        {"extent", [](auto& t) { t.extent.maxy = 1e-300; }, false},
        {"exportExtent", [](auto& t) { t.exportExtent.minx = -1; }, false},
        {"levelExportList", [](auto& t) { t.levelExportList << 1; }, false},
        {"colour alpha", [](auto& t) { t.nBackGroundColor[3] = 0; }, false},
        {"last flag of a group", [](auto& t) { t.auxFlag3 = !t.auxFlag3; }, false},
        {"seven data", [](auto& t) { t.dSevenData[6] = 1e-300; }, false},
        {"seven data NaN", [](auto& t) { t.dSevenData[0] = std::nan(""); }, false},
        {"createTm", [](auto& t) { t.createTm = "2024"; }, false},
        {"exportSpace", [](auto& t) { t.exportSpace = QPointF(0.5, 0); }, false},
        {"savedState", [](auto& t) { t.savedState = 1; }, false},
        // A field inside each group compared together.
        {"count", [](auto& t) { t.count = 7; }, false}, {"MapItemType", [](auto& t) { t.MapItemType = 7; }, false},
        {"auxInt1", [](auto& t) { t.auxInt1 = 7; }, false},
        {"bIsOverTagge", [](auto& t) { t.bIsOverTagge = !t.bIsOverTagge; }, false},
        {"ExportType", [](auto& t) { t.ExportType = 7; }, false},
        {"strExportSavePath", [](auto& t) { t.strExportSavePath = "b"; }, false},
        {"CustomRowCount", [](auto& t) { t.CustomRowCount = 7; }, false}, {"nDuDai", [](auto& t) { t.nDuDai = 7; }, false},
        {"TitleCutomBigFont", [](auto& t) { t.TitleCutomBigFont = !t.TitleCutomBigFont; }, false},
        {"strTitleCutom", [](auto& t) { t.strTitleCutom = "x"; }, false},
        {"nDemCorrect", [](auto& t) { t.nDemCorrect = 7; }, false},
    };
    for (const auto& row : rows) {
        DownloadTask a, b;
        row.change(b);
        EXPECT_TRUE((a == b) == row.stillEqual && (b == a) == row.stillEqual) << row.what;
    }
    DownloadTask moved, from;
    moved.auxMap["a"] = 1;
    from.auxMap["b"] = 2;
    from.ID = 9;
    moved = std::move(from);
    EXPECT_TRUE(moved.ID == 9 && from.auxMap.count("a") == 1u);  // NOLINT: move assignment swaps the maps
    EXPECT_TRUE(DownloadTask(moved).auxMap == moved.auxMap && DownloadTask(moved) == moved);
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
    EXPECT_TRUE(target.strExportSavePath == "out" && target.ExportType == EXPORT_MBTILES && target.strExportCoordName.isEmpty());
}

}  // namespace
