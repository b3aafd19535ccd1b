#include "tile/PositionUtil.h"

#include "core/Tools.h"
#include "tile/BD09ToWGS84.h"
#include "tile/Datum_p.h"

#include <cmath>

namespace {

using namespace datum;

constexpr double kChinaMinLon = 72.004;
constexpr double kChinaMaxLon = 137.8347;
constexpr double kChinaMinLat = 0.8293;
constexpr double kChinaMaxLat = 55.8271;

// The first group of sine terms, the same in both polynomials.
double WaveTerm(double x) { return (20.0 * std::sin(6.0 * x * kPi) + 20.0 * std::sin(2.0 * x * kPi)) * 2.0 / 3.0; }

}  // namespace

bool PositionUtil::outOfChina(double lat, double lon) {
    return lon < kChinaMinLon || lon > kChinaMaxLon || lat < kChinaMinLat || lat > kChinaMaxLat;
}

double PositionUtil::transformLat(double x, double y) {
    double ret = -100.0 + 2.0 * x + 3.0 * y + 0.2 * y * y + 0.1 * x * y + 0.2 * std::sqrt(std::fabs(x));
    ret += WaveTerm(x);
    ret += (20.0 * std::sin(y * kPi) + 40.0 * std::sin(y / 3.0 * kPi)) * 2.0 / 3.0;
    ret += (160.0 * std::sin(y / 12.0 * kPi) + 320.0 * std::sin(y * kPi / 30.0)) * 2.0 / 3.0;
    return ret;
}

double PositionUtil::transformLon(double x, double y) {
    double ret = 300.0 + x + 2.0 * y + 0.1 * x * x + 0.1 * x * y + 0.1 * std::sqrt(std::fabs(x));
    ret += WaveTerm(x);
    ret += (20.0 * std::sin(x * kPi) + 40.0 * std::sin(x / 3.0 * kPi)) * 2.0 / 3.0;
    ret += (150.0 * std::sin(x / 12.0 * kPi) + 300.0 * std::sin(x / 30.0 * kPi)) * 2.0 / 3.0;
    return ret;
}

Gps PositionUtil::transform(double lat, double lon) {
    if (outOfChina(lat, lon)) return Gps{lat, lon};
    double dLat = transformLat(lon - 105.0, lat - 35.0);
    double dLon = transformLon(lon - 105.0, lat - 35.0);
    const double radLat = lat / 180.0 * kPi;
    double magic = std::sin(radLat);
    magic = 1.0 - kEccentricitySquared * magic * magic;
    const double sqrtMagic = std::sqrt(magic);
    dLat = (dLat * 180.0) / ((kSemiMajorAxis * (1.0 - kEccentricitySquared)) / (magic * sqrtMagic) * kPi);
    dLon = (dLon * 180.0) / (kSemiMajorAxis / sqrtMagic * std::cos(radLat) * kPi);
    return Gps{lat + dLat, lon + dLon};
}

Gps PositionUtil::gps84_To_Gcj02(double lat, double lon) { return transform(lat, lon); }

Gps PositionUtil::gcj_To_Gps84(double lat, double lon) {
    // Subtracting the offset of the GCJ-02 point itself: exact to a few metres, good enough for tiles.
    const Gps t = transform(lat, lon);
    return Gps{lat * 2.0 - t.lat, lon * 2.0 - t.lon};
}

Gps PositionUtil::bd09_To_Gcj02(double lat, double lon) {
    const double x = lon - kBdOffsetLon;
    const double y = lat - kBdOffsetLat;
    const double z = std::sqrt(x * x + y * y) - kBdRadiusAmplitude * std::sin(y * kPi);
    const double theta = std::atan2(y, x) - kBdAngleAmplitude * std::cos(x * kPi);
    return Gps{z * std::sin(theta), z * std::cos(theta)};
}

Gps PositionUtil::bd09_To_Gps84(double lat, double lon) {
    const Gps gcj = bd09_To_Gcj02(lat, lon);
    return gcj_To_Gps84(gcj.lat, gcj.lon);
}

QPointF PositionUtil::correct(QPointF p) {
    const Gps g = gcj_To_Gps84(p.y(), p.x());
    return QPointF(g.lon, g.lat);
}

QPointF PositionUtil::correctBD09(QPointF p) {
    CBD09ToWGS84().BD09ToWGS84(p);
    return p;
}

QPointF PositionUtil::correctByType(QPointF p, int mapType) {
    switch (Tools::getOffsetType(mapType, 0)) {
        case COORD_OFFSET_GCJ02: return correct(p);
        case COORD_OFFSET_BD09: return correctBD09(p);
        default: return p;
    }
}

QPointF PositionUtil::shifting(QPointF p) {
    const Gps g = gps84_To_Gcj02(p.y(), p.x());
    return QPointF(g.lon, g.lat);
}

QPointF PositionUtil::shiftingBD09(QPointF p) {
    CBD09ToWGS84().WGS84ToBD09(p);
    return p;
}

QPointF PositionUtil::shiftingByType(QPointF p, int mapType) {
    switch (Tools::getOffsetType(mapType, 0)) {
        case COORD_OFFSET_GCJ02: return shifting(p);
        case COORD_OFFSET_BD09: return shiftingBD09(p);
        default: return p;
    }
}
