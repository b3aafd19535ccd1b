#pragma once

#include "core/VtCoreExport.h"

// A point or vector of three doubles. For geographic points: x the longitude and y the latitude in
// degrees, z the height in metres.
class VTCORE_EXPORT CVector3D {
public:
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;

    CVector3D() = default;
    CVector3D(double dx, double dy, double dz) : x(dx), y(dy), z(dz) {}

    bool operator==(const CVector3D& o) const { return x == o.x && y == o.y && z == o.z; }
    bool operator!=(const CVector3D& o) const { return !(*this == o); }
};
