#pragma once

// Constants of the GCJ-02 and BD-09 conversions shared by PositionUtil and CBD09ToWGS84; internal.

namespace datum {

constexpr double kPi = 3.141592653589793;
// Krasovsky ellipsoid as GCJ-02 uses it.
constexpr double kSemiMajorAxis = 6378245.0;
constexpr double kEccentricitySquared = 0.006693421622965943;

// The BD-09 shift applied on top of GCJ-02.
constexpr double kBdOffsetLon = 0.0065;
constexpr double kBdOffsetLat = 0.006;
constexpr double kBdRadiusAmplitude = 2e-5;
constexpr double kBdAngleAmplitude = 3e-6;

}  // namespace datum
