#include "storage/DownloadTask.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <utility>

namespace {

TEST(DownloadTask, DefaultsDifferFromThePlainRecordWhereTheDatabaseNeedsIt) {
    DownloadTask t;
    STRUCT_DOWNLOAD_TASK plain;
    EXPECT_EQ(t.ID, -1);
    EXPECT_EQ(t.count, -1);
    EXPECT_EQ(plain.count, 0);
    EXPECT_EQ(t.auxInt1, 1);
    EXPECT_EQ(plain.auxInt1, 5);
    EXPECT_EQ(t.strTitleCutom, QString::fromUtf8("{z-1}\\{x-1}_{y-1}"));  // one backslash
}

TEST(DownloadTask, ComparesOnlyTheListedFields) {
    using Change = std::function<void(DownloadTask&)>;
    struct Row {
        const char* what;
        Change change;
        bool stillEqual;
    } rows[] = {
        {"level", [](DownloadTask& t) { t.level << 3; }, true},
        {"rangepoints", [](DownloadTask& t) { t.rangepoints << QPolygonF({QPointF(1, 2)}); }, true},
        {"bIsGoogleOffset", [](DownloadTask& t) { t.bIsGoogleOffset = true; }, true},
        {"version", [](DownloadTask& t) { t.version = 204; }, true},
        {"nExportEPSG", [](DownloadTask& t) { t.nExportEPSG = 4326; }, true},
        {"upExportPath", [](DownloadTask& t) { t.upExportPath = "x"; }, true},
        {"auxMap", [](DownloadTask& t) { t.auxMap["k"] = 1; }, true},
        {"nZYJX tiny", [](DownloadTask& t) { t.nZYJX += 1e-10; }, true},
        {"nZYJX", [](DownloadTask& t) { t.nZYJX += 1e-8; }, false},
        {"ID", [](DownloadTask& t) { t.ID = 3; }, false},
        {"path", [](DownloadTask& t) { t.path = "a"; }, false},
        {"extent", [](DownloadTask& t) { t.extent.maxy = 1e-300; }, false},
        {"exportExtent", [](DownloadTask& t) { t.exportExtent.minx = -1; }, false},
        {"levelExportList", [](DownloadTask& t) { t.levelExportList << 1; }, false},
        {"colour alpha", [](DownloadTask& t) { t.nBackGroundColor[3] = 0; }, false},
        {"seven data", [](DownloadTask& t) { t.dSevenData[6] = 1e-300; }, false},
        {"seven data NaN", [](DownloadTask& t) { t.dSevenData[0] = std::nan(""); }, false},
        {"createTm", [](DownloadTask& t) { t.createTm = "2024"; }, false},
        {"exportSpace", [](DownloadTask& t) { t.exportSpace = QPointF(0.5, 0); }, false},
        {"savedState", [](DownloadTask& t) { t.savedState = 1; }, false},
    };
    for (const Row& row : rows) {
        DownloadTask a, b;
        row.change(b);
        EXPECT_EQ(a == b, row.stillEqual) << row.what;
        EXPECT_EQ(b == a, row.stillEqual) << row.what;
    }
    DownloadTask nan;
    nan.dSevenData[2] = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(nan == nan);  // exact comparison: NaN never equals itself
}

TEST(DownloadTask, CopyTakesOnlyTheDepositorySubset) {
    STRUCT_DOWNLOAD_TASK target;
    target.ExportType = EXPORT_MBTILES;
    target.nDuDai = 6;
    target.Copy(nullptr);
    EXPECT_EQ(target.ExportType, EXPORT_MBTILES);

    STRUCT_DOWNLOAD_TASK src;
    src.geDate = 20240101;
    src.level = {2, 4};
    src.strExportSavePath = "out";
    src.extent = EXTENT{1, 2, 3, 4};
    src.ExportType = EXPORT_TMS;
    src.nDuDai = 3;
    src.strExportCoordName = "cgcs";
    target.Copy(&src);
    EXPECT_EQ(target.geDate, 20240101);
    EXPECT_EQ(target.level, (QList<int>{2, 4}));
    EXPECT_EQ(target.strExportSavePath, QString("out"));
    EXPECT_EQ(target.extent.maxy, 4);
    EXPECT_EQ(target.ExportType, EXPORT_MBTILES);
    EXPECT_EQ(target.nDuDai, 6);
    EXPECT_TRUE(target.strExportCoordName.isEmpty());
}

TEST(DownloadTask, MoveAssignmentSwapsTheAuxMap) {
    DownloadTask a, b;
    a.auxMap["a"] = 1;
    b.auxMap["b"] = 2;
    b.ID = 9;
    a = std::move(b);
    EXPECT_EQ(a.ID, 9);
    EXPECT_EQ(a.auxMap.count("b"), 1u);
    EXPECT_EQ(b.auxMap.count("a"), 1u);  // NOLINT: the moved-from map holds the old contents
    DownloadTask c(a);
    EXPECT_TRUE(c == a);
    EXPECT_EQ(c.auxMap, a.auxMap);
}

}  // namespace
