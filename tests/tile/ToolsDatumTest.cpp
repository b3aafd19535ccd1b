#include "catalog/CustomMapTraits_p.h"
#include "core/Tools.h"
#include "tile/PositionUtil.h"

#include "DatumVectors.h"

#include <gtest/gtest.h>

namespace {

CUSTOM_MAP_TRAITS Bd09CustomMapAtKeyZero(int key)
{
    CUSTOM_MAP_TRAITS traits;
    traits.bFound = key == 0;
    traits.bBD09 = key == 0;
    return traits;
}

}  // namespace

TEST(ToolsDatum, ShapesFollowTheMapTypesDatum)
{
    QList<QPointF> shape;
    for (const DATUM_VECTOR& v : kDatumVectors)
        shape << v.p;
    shape << shape.front();  // a closed ring stays closed
    // 1: no offset; 60: the provider's own; 99999: unknown.
    for (int mapType : {1, 60, 99999}) {
        EXPECT_EQ(Tools::shapeCorrect(shape, mapType), shape) << mapType;
        EXPECT_EQ(Tools::shapeShifting(shape, mapType), shape) << mapType;
        EXPECT_EQ(PositionUtil::correctByType(shape[0], mapType), shape[0]);
        EXPECT_EQ(PositionUtil::shiftingByType(shape[0], mapType), shape[0]);
    }
    // 102: GCJ-02; 44: BD-09.
    const QList<QPointF> gcjCorrected = Tools::shapeCorrect(shape, 102);
    const QList<QPointF> gcjShifted = Tools::shapeShifting(shape, 102);
    const QList<QPointF> bdCorrected = Tools::shapeCorrect(shape, 44);
    const QList<QPointF> bdShifted = Tools::shapeShifting(shape, 44);
    ASSERT_EQ(gcjCorrected.size(), shape.size());
    ASSERT_EQ(gcjShifted.size(), shape.size());
    ASSERT_EQ(bdCorrected.size(), shape.size());
    ASSERT_EQ(bdShifted.size(), shape.size());
    for (int i = 0; i < shape.size(); ++i) {
        const DATUM_VECTOR& v = kDatumVectors[i % (shape.size() - 1)];
        SCOPED_TRACE(i);
        EXPECT_TRUE(Near(gcjCorrected[i], v.wgs));
        EXPECT_TRUE(Near(gcjShifted[i], v.gcj));
        EXPECT_TRUE(Near(bdCorrected[i], v.bdWgs));
        EXPECT_TRUE(Near(bdShifted[i], v.bd));
        EXPECT_EQ(PositionUtil::correctByType(v.p, 102), gcjCorrected[i]);
        EXPECT_EQ(PositionUtil::shiftingByType(v.p, 102), gcjShifted[i]);
        EXPECT_EQ(PositionUtil::correctByType(v.p, 44), bdCorrected[i]);
        EXPECT_EQ(PositionUtil::shiftingByType(v.p, 44), bdShifted[i]);
    }
    EXPECT_TRUE(Tools::shapeCorrect({}, 44).isEmpty());
}

TEST(ToolsDatum, CustomMapTypesUseTheCustomMapUnderKeyZero)
{
    const QList<QPointF> shape = {kDatumVectors[0].p, kDatumVectors[1].p};
    EXPECT_EQ(Tools::shapeCorrect(shape, 601), shape);  // no custom maps: WGS84
    SetCustomMapTraitsProvider(&Bd09CustomMapAtKeyZero);
    const QList<QPointF> corrected = Tools::shapeCorrect(shape, 601);
    const QPointF shifted = PositionUtil::shiftingByType(shape[0], 602);
    SetCustomMapTraitsProvider(nullptr);
    EXPECT_EQ(corrected, Tools::shapeCorrect(shape, 44));
    EXPECT_EQ(shifted, PositionUtil::shiftingBD09(shape[0]));
}
