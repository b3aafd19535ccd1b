#pragma once

// The widely used open GCJ-02 / BD-09 formulas, written out independently of the library (in the
// shape common coordinate-transform libraries give them), to check the library against.

#include <gtest/gtest.h>

#include <cmath>
#include <iomanip>
#include <utility>

namespace datumref {

const double PI = 3.1415926535897932384626;
const double X_PI = 3.14159265358979324 * 3000.0 / 180.0;
const double A = 6378245.0;
const double EE = 0.00669342162296594323;

inline bool out_of_china(double lng, double lat) {
    return (lng < 72.004 || lng > 137.8347) || (lat < 0.8293 || lat > 55.8271);
}

inline double transformlat(double lng, double lat) {
    double ret = -100.0 + 2.0 * lng + 3.0 * lat + 0.2 * lat * lat + 0.1 * lng * lat + 0.2 * std::sqrt(std::abs(lng));
    ret += (20.0 * std::sin(6.0 * lng * PI) + 20.0 * std::sin(2.0 * lng * PI)) * 2.0 / 3.0;
    ret += (20.0 * std::sin(lat * PI) + 40.0 * std::sin(lat / 3.0 * PI)) * 2.0 / 3.0;
    ret += (160.0 * std::sin(lat / 12.0 * PI) + 320 * std::sin(lat * PI / 30.0)) * 2.0 / 3.0;
    return ret;
}

inline double transformlng(double lng, double lat) {
    double ret = 300.0 + lng + 2.0 * lat + 0.1 * lng * lng + 0.1 * lng * lat + 0.1 * std::sqrt(std::abs(lng));
    ret += (20.0 * std::sin(6.0 * lng * PI) + 20.0 * std::sin(2.0 * lng * PI)) * 2.0 / 3.0;
    ret += (20.0 * std::sin(lng * PI) + 40.0 * std::sin(lng / 3.0 * PI)) * 2.0 / 3.0;
    ret += (150.0 * std::sin(lng / 12.0 * PI) + 300.0 * std::sin(lng / 30.0 * PI)) * 2.0 / 3.0;
    return ret;
}

// All pairs are (lng, lat).
inline std::pair<double, double> wgs84togcj02(double lng, double lat) {
    if (out_of_china(lng, lat)) return {lng, lat};
    double dlat = transformlat(lng - 105.0, lat - 35.0);
    double dlng = transformlng(lng - 105.0, lat - 35.0);
    const double radlat = lat / 180.0 * PI;
    double magic = std::sin(radlat);
    magic = 1 - EE * magic * magic;
    const double sqrtmagic = std::sqrt(magic);
    dlat = (dlat * 180.0) / ((A * (1 - EE)) / (magic * sqrtmagic) * PI);
    dlng = (dlng * 180.0) / (A / sqrtmagic * std::cos(radlat) * PI);
    return {lng + dlng, lat + dlat};
}

inline std::pair<double, double> gcj02towgs84(double lng, double lat) {
    if (out_of_china(lng, lat)) return {lng, lat};
    const auto shifted = wgs84togcj02(lng, lat);
    return {lng * 2 - shifted.first, lat * 2 - shifted.second};
}

inline std::pair<double, double> gcj02tobd09(double lng, double lat) {
    const double z = std::sqrt(lng * lng + lat * lat) + 0.00002 * std::sin(lat * X_PI);
    const double theta = std::atan2(lat, lng) + 0.000003 * std::cos(lng * X_PI);
    return {z * std::cos(theta) + 0.0065, z * std::sin(theta) + 0.006};
}

// angular = X_PI for the usual formula; the library's PositionUtil uses PI instead.
inline std::pair<double, double> bd09togcj02(double bd_lng, double bd_lat, double angular = X_PI) {
    const double x = bd_lng - 0.0065;
    const double y = bd_lat - 0.006;
    const double z = std::sqrt(x * x + y * y) - 0.00002 * std::sin(y * angular);
    const double theta = std::atan2(y, x) - 0.000003 * std::cos(x * angular);
    return {z * std::cos(theta), z * std::sin(theta)};
}

// Success when (lng, lat) lies within tol degrees of the reference pair; the failure shows both.
inline ::testing::AssertionResult Near(double lng, double lat, const std::pair<double, double>& ref,
                                       double tol = 1e-9) {
    if (std::abs(lng - ref.first) <= tol && std::abs(lat - ref.second) <= tol) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << std::setprecision(17) << "(" << lng << ", " << lat << ") vs ("
                                         << ref.first << ", " << ref.second << ")";
}

// Ground distance in metres on a sphere, for "about one metre" checks.
inline double metres(double lng1, double lat1, double lng2, double lat2) {
    const double r = 6371008.8, d = PI / 180.0;
    const double dlat = (lat2 - lat1) * d, dlng = (lng2 - lng1) * d;
    const double h = std::sin(dlat / 2) * std::sin(dlat / 2) +
                     std::cos(lat1 * d) * std::cos(lat2 * d) * std::sin(dlng / 2) * std::sin(dlng / 2);
    return 2 * r * std::asin(std::sqrt(h));
}

}  // namespace datumref
