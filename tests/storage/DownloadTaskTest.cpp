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

}  // namespace
