#pragma once

#include "core/VtCoreExport.h"

#include <QPointF>

// A converted position, latitude first (degrees).
struct Gps {
    double lat;
    double lon;
};

// Closed-form conversions between WGS84, GCJ-02 and BD-09. Pairs of doubles are given latitude
// first; QPointF carries x = longitude, y = latitude. Outside the China box (longitude 72.004 ..
// 137.8347, latitude 0.8293 .. 55.8271, inclusive) no GCJ-02 offset is applied. The inverses are
// single-step approximations (error up to a few metres), not iterated.
class VTCORE_EXPORT PositionUtil {
public:
    PositionUtil() = delete;

    static bool outOfChina(double lat, double lon);
    // The GCJ-02 offset polynomials, x = lon - 105, y = lat - 35.
    static double transformLat(double x, double y);
    static double transformLon(double x, double y);

    static Gps transform(double lat, double lon);       // WGS84 -> GCJ-02
    static Gps gps84_To_Gcj02(double lat, double lon);  // the same
    static Gps gcj_To_Gps84(double lat, double lon);    // GCJ-02 -> WGS84, one step
    // BD-09 -> GCJ-02 with π as the angular factor (CBD09ToWGS84 uses π × 3000 / 180, so the two
    // differ slightly).
    static Gps bd09_To_Gcj02(double lat, double lon);
    static Gps bd09_To_Gps84(double lat, double lon);

    static QPointF correct(QPointF p);      // GCJ-02 -> WGS84
    static QPointF correctBD09(QPointF p);  // BD-09 -> WGS84 (CBD09ToWGS84)
    // To WGS84 by the map type's datum (custom map key 0); other datums unchanged.
    static QPointF correctByType(QPointF p, int mapType);
    static QPointF shifting(QPointF p);      // WGS84 -> GCJ-02
    static QPointF shiftingBD09(QPointF p);  // WGS84 -> BD-09 (CBD09ToWGS84)
    // From WGS84 into the map type's datum; other datums unchanged.
    static QPointF shiftingByType(QPointF p, int mapType);
};
