#pragma once

#include "core/VtCoreExport.h"
#include "tile/PointD.h"

// A rectangle: y grows northwards, so the top-left corner is (minx, maxy). All four edges belong
// to the rectangle. Nothing normalises an inverted rectangle and no value means "empty"; the unit
// (degrees, metres, pixels) is fixed by the operation that fills it.
struct EXTENT {
    double minx;  // west
    double miny;  // south
    double maxx;  // east
    double maxy;  // north
};

// EXTENT with operations; no data of its own.
class VTCORE_EXPORT CExtent : public EXTENT {
public:
    CExtent() : EXTENT{0.0, 0.0, 0.0, 0.0} {}
    CExtent(const EXTENT& e) : EXTENT(e) {}  // NOLINT: implicit by design
    CExtent(double dMinx, double dMiny, double dMaxx, double dMaxy) : EXTENT{dMinx, dMiny, dMaxx, dMaxy} {}

    CExtent& operator=(const EXTENT& e)
    {
        SetExtent(e);
        return *this;
    }

    // Exact comparison of the four fields.
    bool operator==(const EXTENT& e) const
    {
        return minx == e.minx && miny == e.miny && maxx == e.maxx && maxy == e.maxy;
    }
    bool operator!=(const EXTENT& e) const { return !(*this == e); }

    // Union. A zero extent is an ordinary rectangle at the origin, not "empty".
    CExtent& operator+=(const EXTENT& e)
    {
        minx = e.minx < minx ? e.minx : minx;
        miny = e.miny < miny ? e.miny : miny;
        maxx = e.maxx > maxx ? e.maxx : maxx;
        maxy = e.maxy > maxy ? e.maxy : maxy;
        return *this;
    }
    CExtent operator+(const EXTENT& e) const
    {
        CExtent u(*this);
        u += e;
        return u;
    }

    void SetExtent(const EXTENT& e)
    {
        minx = e.minx;
        miny = e.miny;
        maxx = e.maxx;
        maxy = e.maxy;
    }
    void Copy(const EXTENT& e) { SetExtent(e); }
    void SetExtent(double dMinx, double dMiny, double dMaxx, double dMaxy)
    {
        minx = dMinx;
        miny = dMiny;
        maxx = dMaxx;
        maxy = dMaxy;
    }
    void Offset(double dx, double dy)
    {
        minx += dx;
        maxx += dx;
        miny += dy;
        maxy += dy;
    }

    double Width() const { return maxx - minx; }
    double Height() const { return maxy - miny; }
    CPointD TopLeft() const { return CPointD(minx, maxy); }
    CPointD TopRight() const { return CPointD(maxx, maxy); }
    CPointD BottomLeft() const { return CPointD(minx, miny); }
    CPointD BottomRight() const { return CPointD(maxx, miny); }
    CPointD CenterPoint() const { return CPointD((maxx + minx) * 0.5, (maxy + miny) * 0.5); }

    // Edges and corners are inside.
    bool PtInExtent(const POINTD& p) const { return PtInExtent(p.x, p.y); }
    bool PtInExtent(const double& x, const double& y) const
    {
        return minx <= x && x <= maxx && miny <= y && y <= maxy;
    }
    // True when e lies inside this extent; coinciding edges count, so an extent contains itself.
    bool Contain(const EXTENT& e) const
    {
        return e.minx >= minx && e.miny >= miny && e.maxx <= maxx && e.maxy <= maxy;
    }
    // True unless the two are apart; sharing only an edge or a corner counts as intersecting.
    bool Intersect(const EXTENT& e) const
    {
        return !(e.minx > maxx || e.miny > maxy || minx > e.maxx || miny > e.maxy);
    }
};

// |a - b| < 1e-9 (strict).
VTCORE_EXPORT bool IsEqual(double a, double b);
// |a - b| < 1e-7f, the difference formed in single precision (strict).
VTCORE_EXPORT bool IsEqual(float a, float b);

// The clamps act field by field and one-sidedly: a minimum is only raised to the lower bound and a
// maximum only lowered to the upper bound, so an extent wholly outside the range comes out inverted.
VTCORE_EXPORT void Clamp(EXTENT& e, const EXTENT& bound);
// To longitude -180..180 and latitude -90..90.
VTCORE_EXPORT void Clamp(EXTENT& e);
// x to -180..180 (degrees), y to +-20037508.342789244 (Web Mercator metres).
VTCORE_EXPORT void ClampMercator(EXTENT& e);
// To longitude -180..180 and the Web Mercator latitude range +-85.05112877980655.
VTCORE_EXPORT void ClampGeoMercator(EXTENT& e);

// Folds an angle in degrees into the open interval (-360, 360), keeping its sign: 720 -> 0,
// -370 -> -10. Infinite and NaN values are left unchanged.
VTCORE_EXPORT void NormalizeDegree(double& d);
