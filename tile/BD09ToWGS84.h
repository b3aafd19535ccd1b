#pragma once

#include "core/VtCoreExport.h"

#include <QPointF>

// BD-09 / GCJ-02 / WGS84 conversions in place. Pairs of doubles are longitude first (degrees);
// QPointF carries x = longitude, y = latitude. The BD-09 steps use π × 3000 / 180 as the angular
// factor. GCJ-02 steps leave points outside the China box unchanged; the GCJ-02 -> WGS84 step is a
// single-step approximation (error up to a few metres).
class VTCORE_EXPORT CBD09ToWGS84 {
public:
    void BD09ToGCJ02(double& lon, double& lat);
    void GCJ02ToBD09(double& lon, double& lat);
    void WGS84ToGCJ02(double& lon, double& lat);
    void GCJ02ToWGS84(double& lon, double& lat);
    void BD09ToWGS84(double& lon, double& lat);
    void BD09ToWGS84(QPointF& p);
    void WGS84ToBD09(QPointF& p);

    // The GCJ-02 offset polynomials, x = lon - 105, y = lat - 35.
    double Transformlat(const double& x, const double& y);
    double TransformLng(const double& x, const double& y);
    // The China box test, longitude first; the bounds belong to the box.
    bool outOfChina(const double& lon, const double& lat);
};
