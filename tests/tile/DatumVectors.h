#pragma once

// Fixed WGS84 / GCJ-02 / BD-09 reference vectors, worked out with the widely used open formulas
// (the BD-09 inverse once with π × 3000 / 180 and once with π as the angular factor).

#include <gtest/gtest.h>

#include <QPointF>

#include <cmath>
#include <iomanip>

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
    // Urumqi
    {{87.6, 43.8}, {87.602838972272, 43.801212030292}, {87.609210151822, 43.807472507650},
     {87.597161027728, 43.798787969708}, {87.590790210674, 43.792539420482}, {87.590709631449, 43.792713755828}},
    // Guangzhou
    {{113.26, 23.13}, {113.265327084801, 23.127321647611}, {113.271757787808, 23.133562037145},
     {113.254672915199, 23.132678352389}, {113.248206998117, 23.126624391988}, {113.248134647679, 23.126921503415}},
    // the China box's south-west corner belongs to the box; its BD-09 inverse falls outside
    {{72.004, 0.8293}, {72.007709102863, 0.830562768012}, {72.014197326419, 0.836761320880},
     {72.000290897137, 0.828037231988}, {71.997517790752, 0.823086030738}, {71.997491929293, 0.823083893661}},
    // Paris, outside the box: only the BD-09 step moves it
    {{2.35, 48.85}, {2.35, 48.85}, {2.356627396550, 48.856003882804},
     {2.35, 48.85}, {2.343355722414, 48.844002759105}, {2.343568725005, 48.843987277667}},
};

// Success when a lies within 1e-9 degrees of b on both axes; the failure shows both.
inline ::testing::AssertionResult Near(const QPointF& a, const QPointF& b)
{
    if (std::abs(a.x() - b.x()) <= 1e-9 && std::abs(a.y() - b.y()) <= 1e-9)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << std::setprecision(17) << "(" << a.x() << ", " << a.y() << ") vs ("
                                         << b.x() << ", " << b.y() << ")";
}
