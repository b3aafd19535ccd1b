#include "catalog/CustomMapTraits_p.h"
#include "core/Tools.h"
#include "tile/BD09ToWGS84.h"
#include "tile/PositionUtil.h"

#include "DatumReference.h"

#include <gtest/gtest.h>

namespace {

using datumref::Near;

const QList<QPointF> kShape = {QPointF(116.39, 39.90), QPointF(121.47, 31.23), QPointF(113.26, 23.13),
                               QPointF(2.35, 48.85), QPointF(116.39, 39.90)};

CUSTOM_MAP_TRAITS Bd09CustomMapAtKeyZero(int key) {
    CUSTOM_MAP_TRAITS traits;
    traits.bFound = key == 0;
    traits.bBD09 = key == 0;
    return traits;
}

}  // namespace

TEST(ToolsDatum, ShapesFollowTheMapTypesDatum) {
    // 1: no offset; 60: the provider's own; 99999: unknown; 102: GCJ-02; 44: BD-09.
    for (int mapType : {1, 60, 99999}) {
        EXPECT_EQ(Tools::shapeCorrect(kShape, mapType), kShape) << mapType;
        EXPECT_EQ(Tools::shapeShifting(kShape, mapType), kShape) << mapType;
        for (const QPointF& p : kShape) {
            EXPECT_EQ(PositionUtil::correctByType(p, mapType), p);
            EXPECT_EQ(PositionUtil::shiftingByType(p, mapType), p);
        }
    }

    const QList<QPointF> gcjCorrected = Tools::shapeCorrect(kShape, 102);
    const QList<QPointF> gcjShifted = Tools::shapeShifting(kShape, 102);
    const QList<QPointF> bdCorrected = Tools::shapeCorrect(kShape, 44);
    const QList<QPointF> bdShifted = Tools::shapeShifting(kShape, 44);
    ASSERT_EQ(gcjCorrected.size(), kShape.size());
    ASSERT_EQ(bdShifted.size(), kShape.size());
    for (int i = 0; i < kShape.size(); ++i) {
        const QPointF& p = kShape[i];
        SCOPED_TRACE(i);
        EXPECT_TRUE(Near(gcjCorrected[i].x(), gcjCorrected[i].y(), datumref::gcj02towgs84(p.x(), p.y())));
        EXPECT_EQ(PositionUtil::correctByType(p, 102), gcjCorrected[i]);

        const auto toGcj = datumref::wgs84togcj02(p.x(), p.y());
        EXPECT_TRUE(Near(gcjShifted[i].x(), gcjShifted[i].y(), toGcj));
        EXPECT_EQ(PositionUtil::shiftingByType(p, 102), gcjShifted[i]);

        const auto bdGcj = datumref::bd09togcj02(p.x(), p.y());
        EXPECT_TRUE(Near(bdCorrected[i].x(), bdCorrected[i].y(), datumref::gcj02towgs84(bdGcj.first, bdGcj.second)));
        EXPECT_EQ(PositionUtil::correctByType(p, 44), bdCorrected[i]);

        EXPECT_TRUE(Near(bdShifted[i].x(), bdShifted[i].y(), datumref::gcj02tobd09(toGcj.first, toGcj.second)));
        EXPECT_EQ(PositionUtil::shiftingByType(p, 44), bdShifted[i]);
    }
    EXPECT_EQ(gcjCorrected.front(), gcjCorrected.back());  // a closed ring stays closed
    EXPECT_TRUE(Tools::shapeCorrect({}, 44).isEmpty());
}

TEST(ToolsDatum, CustomMapTypesUseTheCustomMapUnderKeyZero) {
    EXPECT_EQ(Tools::shapeCorrect(kShape, 601), kShape);  // no custom maps: WGS84
    SetCustomMapTraitsProvider(&Bd09CustomMapAtKeyZero);
    const QList<QPointF> corrected = Tools::shapeCorrect(kShape, 601);
    const QPointF shifted = PositionUtil::shiftingByType(kShape[0], 602);
    SetCustomMapTraitsProvider(nullptr);
    EXPECT_EQ(corrected, Tools::shapeCorrect(kShape, 44));
    EXPECT_EQ(shifted, PositionUtil::shiftingBD09(kShape[0]));
}
