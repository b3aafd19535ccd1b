#include "catalog/CustomMapTraits_p.h"
#include "core/Tools.h"
#include "tile/PositionUtil.h"

#include "DatumVectors.h"

#include <gtest/gtest.h>

TEST(ToolsDatum, ShapesAndPointsFollowTheMapTypesDatum)
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
    // 102: GCJ-02; 44: BD-09. Per point: corrected and shifted, as the vectors' columns.
    const int types[] = {102, 102, 44, 44};
    const QPointF DATUM_VECTOR::*columns[] = {&DATUM_VECTOR::wgs, &DATUM_VECTOR::gcj, &DATUM_VECTOR::bdWgs,
                                              &DATUM_VECTOR::bd};
    for (int t = 0; t < 4; ++t) {
        const QList<QPointF> out = t % 2 ? Tools::shapeShifting(shape, types[t]) : Tools::shapeCorrect(shape, types[t]);
        ASSERT_EQ(out.size(), shape.size());
        for (int i = 0; i < shape.size(); ++i) {
            SCOPED_TRACE(testing::Message() << types[t] << " " << t % 2 << " point " << i);
            EXPECT_TRUE(Near(out[i], kDatumVectors[i % (shape.size() - 1)].*columns[t]));
            EXPECT_EQ(t % 2 ? PositionUtil::shiftingByType(shape[i], types[t])
                            : PositionUtil::correctByType(shape[i], types[t]), out[i]);
        }
    }
    EXPECT_TRUE(Tools::shapeCorrect({}, 44).isEmpty());
}

TEST(ToolsDatum, CustomMapTypesUseTheCustomMapUnderKeyZero)
{
    const QList<QPointF> shape = {kDatumVectors[0].p, kDatumVectors[1].p};
    EXPECT_EQ(Tools::shapeCorrect(shape, 601), shape);  // no custom maps: WGS84
    SetCustomMapTraitsProvider([](int key) {
        CUSTOM_MAP_TRAITS traits;
        traits.bFound = traits.bBD09 = key == 0;
        return traits;
    });
    const QList<QPointF> corrected = Tools::shapeCorrect(shape, 601);
    const QPointF shifted = PositionUtil::shiftingByType(shape[0], 602);
    SetCustomMapTraitsProvider(nullptr);
    EXPECT_EQ(corrected, Tools::shapeCorrect(shape, 44));
    EXPECT_EQ(shifted, PositionUtil::shiftingBD09(shape[0]));
}
