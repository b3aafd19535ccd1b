#include "tile/BD09ToWGS84.h"

#include "tile/Datum_p.h"
#include "tile/PositionUtil.h"

#include <cmath>

namespace {

// π × 3000 / 180: the angular factor of the BD-09 shift in this class (PositionUtil uses π).
constexpr double kXPi = 52.35987755982988;
using namespace datum;

}  // namespace

void CBD09ToWGS84::BD09ToGCJ02(double& lon, double& lat) {
    const double x = lon - kBdOffsetLon;
    const double y = lat - kBdOffsetLat;
    const double z = std::sqrt(x * x + y * y) - kBdRadiusAmplitude * std::sin(y * kXPi);
    const double theta = std::atan2(y, x) - kBdAngleAmplitude * std::cos(x * kXPi);
    lon = z * std::cos(theta);
    lat = z * std::sin(theta);
}

void CBD09ToWGS84::GCJ02ToBD09(double& lon, double& lat) {
    const double z = std::sqrt(lon * lon + lat * lat) + kBdRadiusAmplitude * std::sin(lat * kXPi);
    const double theta = std::atan2(lat, lon) + kBdAngleAmplitude * std::cos(lon * kXPi);
    lon = z * std::cos(theta) + kBdOffsetLon;
    lat = z * std::sin(theta) + kBdOffsetLat;
}

void CBD09ToWGS84::WGS84ToGCJ02(double& lon, double& lat) {
    const Gps g = PositionUtil::transform(lat, lon);  // unchanged outside the China box
    lon = g.lon;
    lat = g.lat;
}

void CBD09ToWGS84::GCJ02ToWGS84(double& lon, double& lat) {
    const Gps g = PositionUtil::gcj_To_Gps84(lat, lon);
    lon = g.lon;
    lat = g.lat;
}

void CBD09ToWGS84::BD09ToWGS84(double& lon, double& lat) {
    BD09ToGCJ02(lon, lat);
    GCJ02ToWGS84(lon, lat);
}

void CBD09ToWGS84::BD09ToWGS84(QPointF& p) {
    double lon = p.x();
    double lat = p.y();
    BD09ToWGS84(lon, lat);
    p = QPointF(lon, lat);
}

void CBD09ToWGS84::WGS84ToBD09(QPointF& p) {
    double lon = p.x();
    double lat = p.y();
    WGS84ToGCJ02(lon, lat);
    GCJ02ToBD09(lon, lat);
    p = QPointF(lon, lat);
}

double CBD09ToWGS84::Transformlat(const double& x, const double& y) { return PositionUtil::transformLat(x, y); }

double CBD09ToWGS84::TransformLng(const double& x, const double& y) { return PositionUtil::transformLon(x, y); }

bool CBD09ToWGS84::outOfChina(const double& lon, const double& lat) { return PositionUtil::outOfChina(lat, lon); }
