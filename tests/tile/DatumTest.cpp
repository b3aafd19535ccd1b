#include "catalog/CustomMapTraits_p.h"
#include "core/Tools.h"
#include "tile/BD09ToWGS84.h"
#include "tile/PositionUtil.h"

#include <gtest/gtest.h>

#include <cmath>
#include <iomanip>
#include <tuple>

namespace {

// Fixed WGS84 / GCJ-02 / BD-09 reference vectors, worked out with the widely used open formulas
// (the BD-09 inverse once with π × 3000 / 180 and once with π as the angular factor).
struct DATUM_VECTOR {
    QPointF p;           // the input, taken as WGS84, GCJ-02 or BD-09 by the column
    QPointF gcj;         // WGS84 -> GCJ-02
    QPointF bd;          // WGS84 -> GCJ-02 -> BD-09
    QPointF wgs;         // GCJ-02 -> WGS84, one step
    QPointF bdWgs;       // BD-09 -> GCJ-02 -> WGS84, factor π × 3000 / 180
    QPointF bdWgsByPi;   // the same with π
};

const DATUM_VECTOR kDatumVectors[] = {
    // Beijing
    {{116.404, 39.915}, {116.410244499169, 39.916404281502}, {116.416627243787, 39.922699552216},
     {116.397755500831, 39.913595718498}, {116.391383699513, 39.907253214522}, {116.391299620551, 39.907487800798}},
    // Shanghai
    {{121.47, 31.23}, {121.474534900443, 31.228067481942}, {121.481076208086, 31.233986715639},
     {121.465465099557, 31.231932518058}, {121.458958625567, 31.225792394674}, {121.458947548032, 31.225963573421}},
    // the China box's south-west corner belongs to the box; its BD-09 inverse falls outside
    {{72.004, 0.8293}, {72.007709102863, 0.830562768012}, {72.014197326419, 0.836761320880},
     {72.000290897137, 0.828037231988}, {71.997517790752, 0.823086030738}, {71.997491929293, 0.823083893661}},
    // Paris, outside the box: only the BD-09 step moves it
    {{2.35, 48.85}, {2.35, 48.85}, {2.356627396550, 48.856003882804},
     {2.35, 48.85}, {2.343355722414, 48.844002759105}, {2.343568725005, 48.843987277667}},
};

// Within 1e-9 degrees on both axes; the failure shows both points.
::testing::AssertionResult Near(const QPointF& a, const QPointF& b)
{
    if (std::abs(a.x() - b.x()) <= 1e-9 && std::abs(a.y() - b.y()) <= 1e-9)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << std::setprecision(17) << a.x() << ", " << a.y() << " vs " << b.x() << ", "
                                         << b.y();
}

}  // namespace

// The steps one by one; the whole conversions of both classes are checked through the shape and
// by-type conversions of the map types.
TEST(PositionUtil, StepsMatchTheReferenceVectorsAndTheChinaBoxIsInclusive)
{
    CBD09ToWGS84 conv;
    const auto step = [&conv](void (CBD09ToWGS84::*f)(double&, double&), QPointF p) {
        double lon = p.x(), lat = p.y();
        (conv.*f)(lon, lat);
        return QPointF(lon, lat);
    };
    for (const DATUM_VECTOR& v : kDatumVectors) {
        SCOPED_TRACE(testing::Message() << v.p.x() << ", " << v.p.y());
        EXPECT_TRUE(Near(step(&CBD09ToWGS84::WGS84ToGCJ02, v.p), v.gcj));
        EXPECT_TRUE(Near(step(&CBD09ToWGS84::GCJ02ToBD09, v.gcj), v.bd));
        EXPECT_TRUE(Near(step(&CBD09ToWGS84::GCJ02ToWGS84, v.p), v.wgs));
        EXPECT_TRUE(Near(step(&CBD09ToWGS84::BD09ToWGS84, v.p), v.bdWgs));
        const Gps gcj = PositionUtil::transform(v.p.y(), v.p.x());
        EXPECT_TRUE(Near(QPointF(gcj.lon, gcj.lat), v.gcj));
        // This class's own BD-09 step uses π as the angular factor.
        const Gps bdWgs = PositionUtil::bd09_To_Gps84(v.p.y(), v.p.x());
        EXPECT_TRUE(Near(QPointF(bdWgs.lon, bdWgs.lat), v.bdWgsByPi));
    }
    // The polynomials and the box test, at Beijing's offsets from (105, 35).
    EXPECT_NEAR(conv.Transformlat(11.404, 4.915), 155.924285446071, 1e-9);
    EXPECT_NEAR(conv.TransformLng(11.404, 4.915), 533.911394361721, 1e-9);
    EXPECT_TRUE(!conv.outOfChina(116.404, 39.915) && conv.outOfChina(2.35, 48.85));
    const struct { double lat, lon; bool out; } cases[] = {
        {30.0, 72.004, false},    {30.0, 72.0039, true},   // west edge
        {30.0, 137.8347, false},  {30.0, 137.8348, true},  // east edge
        {0.8293, 110.0, false},   {0.8292, 110.0, true},   // south edge
        {55.8271, 110.0, false},  {55.8272, 110.0, true},  // north edge
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.lat << ", " << c.lon);
        EXPECT_EQ(PositionUtil::outOfChina(c.lat, c.lon), c.out);
        const Gps g = PositionUtil::gps84_To_Gcj02(c.lat, c.lon), back = PositionUtil::gcj_To_Gps84(c.lat, c.lon);
        // Outside untouched both ways; inside an offset of tens to hundreds of metres.
        EXPECT_EQ(std::make_tuple(g.lat, g.lon, back.lat, back.lon) == std::make_tuple(c.lat, c.lon, c.lat, c.lon),
                  c.out);
    }
}

TEST(ToolsDatum, ShapesAndPointsFollowTheMapTypesDatumCustomOnesTheMapUnderKeyZero)
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
    // Custom map types use the custom map under key zero.
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
