#pragma once

#include "core/VtCoreExport.h"

// A position of two doubles. The unit is fixed by the operation that fills it: degrees
// (x = longitude, y = latitude), metres, normalised Mercator units or pixels.
struct POINTD {
    double x;  // easting
    double y;  // northing
};

// POINTD with construction and arithmetic; no data of its own, freely converted to and from POINTD.
class VTCORE_EXPORT CPointD : public POINTD {
public:
    CPointD() : POINTD{0.0, 0.0} {}
    CPointD(const POINTD& p) : POINTD(p) {}  // NOLINT: implicit by design
    CPointD(double dx, double dy) : POINTD{dx, dy} {}

    CPointD& operator=(const POINTD& p)
    {
        x = p.x;
        y = p.y;
        return *this;
    }

    // Exact comparison: points differing in the last bit are unequal.
    bool operator==(const POINTD& p) const { return x == p.x && y == p.y; }
    bool operator!=(const POINTD& p) const { return !(*this == p); }

    CPointD& operator+=(const POINTD& p)
    {
        x += p.x;
        y += p.y;
        return *this;
    }
    CPointD operator+(const POINTD& p) const { return CPointD(x + p.x, y + p.y); }

    void SetPoint(double dx, double dy)
    {
        x = dx;
        y = dy;
    }
    void Offset(double dx, double dy)
    {
        x += dx;
        y += dy;
    }
};
