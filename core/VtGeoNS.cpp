#include "core/VtGeoNS.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace VtGeoNS {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDegToRad = kPi / 180.0;
constexpr double kA = 6378137.0;
constexpr double kB = 6356752.3142;
constexpr double kE2 = (kA * kA - kB * kB) / (kA * kA);
constexpr double kEp2 = (kA * kA - kB * kB) / (kB * kB);
constexpr double kSphereRadius = 6378137.0;
constexpr double kSamePoint = 1e-8;     // metres in the local frame
constexpr double kParallelSine = 1e-9;  // cross product of unit directions

struct V3 {
    double x = 0.0, y = 0.0, z = 0.0;
};
V3 operator+(V3 a, V3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
V3 operator-(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
V3 operator*(V3 a, double s) { return {a.x * s, a.y * s, a.z * s}; }
double Dot(V3 a, V3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
V3 Cross(V3 a, V3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double Norm(V3 a) { return std::sqrt(Dot(a, a)); }

V3 GeodeticToEcef(double lonDeg, double latDeg, double h) {
    const double phi = latDeg * kDegToRad;
    const double lambda = lonDeg * kDegToRad;
    const double sinPhi = std::sin(phi);
    const double n = kA / std::sqrt(1.0 - kE2 * sinPhi * sinPhi);
    return {(n + h) * std::cos(phi) * std::cos(lambda), (n + h) * std::cos(phi) * std::sin(lambda),
            (n * (1.0 - kE2) + h) * sinPhi};
}

CVector3D EcefToGeodetic(V3 p) {
    const double r = std::hypot(p.x, p.y);
    const double theta = std::atan2(p.z * kA, r * kB);
    const double sinT = std::sin(theta);
    const double cosT = std::cos(theta);
    const double denom = r - kE2 * kA * cosT * cosT * cosT;
    double phi;
    if (std::fabs(denom) < 1e-6) {
        phi = p.z == 0.0 ? 0.0 : std::copysign(kPi / 2.0, p.z);
    } else {
        phi = std::atan((p.z + kEp2 * kB * sinT * sinT * sinT) / denom);
    }
    const double sinPhi = std::sin(phi);
    const double cosPhi = std::cos(phi);
    const double n = kA / std::sqrt(1.0 - kE2 * sinPhi * sinPhi);
    // r / cos(phi) loses all precision near the poles; the equivalent form through z does not.
    const double h = std::fabs(cosPhi) > 0.5 ? r / cosPhi - n : p.z / sinPhi - n * (1.0 - kE2);
    return CVector3D(std::atan2(p.y, p.x) / kDegToRad, phi / kDegToRad, h);
}

V3 ToEcef(const CVector3D& g) { return GeodeticToEcef(g.x, g.y, g.z); }

// East/north/up frame whose origin is a geodetic point.
class CLocalFrame {
public:
    explicit CLocalFrame(const CVector3D& g) : m_origin(ToEcef(g)) {
        const double phi = g.y * kDegToRad;
        const double lambda = g.x * kDegToRad;
        m_east = {-std::sin(lambda), std::cos(lambda), 0.0};
        m_up = {std::cos(phi) * std::cos(lambda), std::cos(phi) * std::sin(lambda), std::sin(phi)};
        m_north = Cross(m_up, m_east);
    }
    V3 ToLocal(const CVector3D& g) const {
        const V3 d = ToEcef(g) - m_origin;
        return {Dot(d, m_east), Dot(d, m_north), Dot(d, m_up)};
    }
    CVector3D ToGeodetic(V3 l) const { return EcefToGeodetic(m_origin + m_east * l.x + m_north * l.y + m_up * l.z); }

private:
    V3 m_origin;
    V3 m_east;
    V3 m_north;
    V3 m_up;
};

bool AllFinite(const std::vector<CVector3D>& pts) {
    return std::all_of(pts.begin(), pts.end(), [](const CVector3D& p) {
        return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
    });
}

double Cross2(V3 a, V3 b) { return a.x * b.y - a.y * b.x; }

// The segments of a planar polyline (east, north) with their shifted copies.
struct Segment {
    V3 dir;         // unit direction in the plane
    double length;  // planar length
    V3 start;       // shifted start
    V3 end;         // shifted end
};

std::vector<V3> DropRepeatedPoints(const std::vector<V3>& pts) {
    std::vector<V3> kept;
    kept.reserve(pts.size());
    for (const V3& p : pts) {
        if (!kept.empty() && std::fabs(p.x - kept.back().x) <= kSamePoint &&
            std::fabs(p.y - kept.back().y) <= kSamePoint && std::fabs(p.z - kept.back().z) <= kSamePoint) {
            continue;
        }
        kept.push_back(p);
    }
    return kept;
}

std::vector<Segment> ShiftSegments(const std::vector<V3>& pts, double d) {
    std::vector<Segment> segs;
    segs.reserve(pts.size());
    for (size_t i = 0; i + 1 < pts.size(); ++i) {
        V3 dir = {pts[i + 1].x - pts[i].x, pts[i + 1].y - pts[i].y, 0.0};
        const double len = Norm(dir);
        // Points stacked vertically have no planar direction: shift them east like a lone point.
        dir = len > 0.0 ? dir * (1.0 / len) : V3{0.0, 1.0, 0.0};
        const V3 shift = V3{dir.y, -dir.x, 0.0} * d;  // direction x up: to the right
        segs.push_back({dir, len, pts[i] + shift, pts[i + 1] + shift});
    }
    return segs;
}

// Intersection of the infinite lines through two shifted segments; false when parallel.
bool IntersectLines(const Segment& a, const Segment& b, V3& x) {
    const double c = Cross2(a.dir, b.dir);
    if (std::fabs(c) < kParallelSine) return false;
    const double t = Cross2(b.start - a.start, b.dir) / c;
    x = a.start + a.dir * t;
    return true;
}

double PlanarDistance(V3 a, V3 b) { return std::hypot(a.x - b.x, a.y - b.y); }

bool WithinMitreLimit(V3 x, V3 vertex, double d) {
    return PlanarDistance(x, vertex) <= kVtGeoMitreLimit * std::fabs(d) + kSamePoint;
}

// The parallel line's own offset: one output point per distinct input point.
std::vector<V3> OffsetParallel(const std::vector<V3>& in, double d) {
    const std::vector<V3> pts = in.size() >= 3 ? DropRepeatedPoints(in) : in;
    if (pts.size() == 1) return {pts[0] + V3{d, 0.0, 0.0}};
    const std::vector<Segment> segs = ShiftSegments(pts, d);
    std::vector<V3> out;
    out.reserve(pts.size());
    out.push_back(segs.front().start);
    for (size_t i = 1; i < segs.size(); ++i) {
        V3 x;
        if (IntersectLines(segs[i - 1], segs[i], x) && WithinMitreLimit(x, pts[i], d)) {
            out.push_back({x.x, x.y, pts[i].z});
        } else {
            out.push_back(segs[i - 1].end);
        }
    }
    out.push_back(segs.back().end);
    return out;
}

bool OnShiftedSegment(V3 x, const Segment& s) {
    const double t = Dot(x - s.start, s.dir);
    return t >= -kSamePoint && t <= s.length + kSamePoint;
}

// The corridor's offset: mitre joins within the limit, bevels beyond it on the outer side.
std::vector<V3> OffsetCorridorSide(const std::vector<V3>& in, double d) {
    const std::vector<V3> pts = DropRepeatedPoints(in);
    if (pts.size() == 1) return {pts[0] + V3{d, 0.0, 0.0}};
    const std::vector<Segment> segs = ShiftSegments(pts, d);
    std::vector<V3> out;
    out.reserve(pts.size() * 2);
    out.push_back(segs.front().start);
    for (size_t i = 1; i < segs.size(); ++i) {
        const Segment& a = segs[i - 1];
        const Segment& b = segs[i];
        V3 x;
        if (!IntersectLines(a, b, x)) {
            out.push_back(a.end);
            if (Dot(a.dir, b.dir) < 0.0) out.push_back(b.start);  // a reversal gets a flat end
            continue;
        }
        const bool outer = Cross2(a.dir, b.dir) * d > 0.0;
        if (WithinMitreLimit(x, pts[i], d) || (!outer && OnShiftedSegment(x, a) && OnShiftedSegment(x, b))) {
            out.push_back({x.x, x.y, pts[i].z});
        } else {
            out.push_back(a.end);
            out.push_back(b.start);
        }
    }
    out.push_back(segs.back().end);
    return out;
}

}  // namespace

double CalculateDistanceHS(double x1, double y1, double /*z1*/, double x2, double y2, double /*z2*/, bool rhumb) {
    if (!rhumb) return Norm(GeodeticToEcef(x2, y2, 0.0) - GeodeticToEcef(x1, y1, 0.0));
    // Latitudes are kept a hair inside the poles so that the Mercator latitude stays finite.
    constexpr double kPoleLimit = kPi / 2.0 - 1e-12;
    const double phi1 = std::clamp(y1 * kDegToRad, -kPoleLimit, kPoleLimit);
    const double phi2 = std::clamp(y2 * kDegToRad, -kPoleLimit, kPoleLimit);
    const double dPhi = phi2 - phi1;
    double dLambda = std::fabs((x2 - x1) * kDegToRad);
    if (dLambda > kPi) dLambda = 2.0 * kPi - dLambda;
    const double dPsi = std::log(std::tan(phi2 / 2.0 + kPi / 4.0) / std::tan(phi1 / 2.0 + kPi / 4.0));
    const double q = std::fabs(dPsi) < 1e-6 ? std::cos(phi1) : dPhi / dPsi;
    return std::sqrt(dPhi * dPhi + q * q * dLambda * dLambda) * kSphereRadius;
}

double CalculateDistanceHS(const std::vector<CVector3D>& pts, bool rhumb) {
    double sum = 0.0;
    for (size_t i = 1; i < pts.size(); ++i) {
        sum += CalculateDistanceHS(pts[i - 1].x, pts[i - 1].y, pts[i - 1].z, pts[i].x, pts[i].y, pts[i].z, rhumb);
    }
    return sum;
}

double CalculateArea(const std::vector<CVector3D>& pts) {
    if (pts.size() < 3) return 0.0;
    std::vector<V3> p;
    p.reserve(pts.size());
    for (const CVector3D& g : pts) p.push_back(ToEcef(g));
    // The reference normal is the first fan triangle's; when that one is degenerate (first three
    // points on a line) the first non-degenerate one serves, as any normal of the plane gives the
    // same magnitude.
    V3 normal;
    for (size_t i = 1; i + 1 < p.size(); ++i) {
        const V3 c = Cross(p[i] - p[0], p[i + 1] - p[0]);
        const double len = Norm(c);
        if (len > 0.0) {
            normal = c * (1.0 / len);
            break;
        }
    }
    double sum = 0.0;
    for (size_t i = 1; i + 1 < p.size(); ++i) {
        const V3 c = Cross(p[i] - p[0], p[i + 1] - p[0]);
        const double side = Dot(c, normal);
        if (side > 0.0) sum += Norm(c);
        else if (side < 0.0) sum -= Norm(c);
    }
    return std::fabs(0.5 * sum);
}

CVector3D CalculateNextPointGeo(const CVector3D& p, double azimuth, double distance) {
    const CLocalFrame frame(p);
    const double az = azimuth * kDegToRad;
    return frame.ToGeodetic({-distance * std::sin(az), distance * std::cos(az), 0.0});
}

namespace {

// Runs a planar offset on the points expressed in the first point's local frame.
template <typename Offset>
std::vector<CVector3D> OffsetGeo(const CLocalFrame& frame, const std::vector<V3>& local, double d, Offset offset) {
    std::vector<CVector3D> out;
    const std::vector<V3> shifted = offset(local, d);
    out.reserve(shifted.size());
    for (const V3& l : shifted) out.push_back(frame.ToGeodetic(l));
    return out;
}

std::vector<V3> ToLocal(const CLocalFrame& frame, const std::vector<CVector3D>& in) {
    std::vector<V3> local;
    local.reserve(in.size());
    for (const CVector3D& g : in) local.push_back(frame.ToLocal(g));
    return local;
}

}  // namespace

bool CalculateParrelLineGeo(std::vector<CVector3D>& out, const std::vector<CVector3D>& in, double d) {
    if (in.empty() || !AllFinite(in) || !std::isfinite(d)) return false;
    const CLocalFrame frame(in.front());
    out = OffsetGeo(frame, ToLocal(frame, in), d, OffsetParallel);
    return true;
}

bool CalculateExpandPolygonGeo(std::vector<CVector3D>& out, const std::vector<CVector3D>& in, double d) {
    if (in.empty() || !AllFinite(in) || !std::isfinite(d)) return false;
    const CLocalFrame frame(in.front());
    const std::vector<V3> local = ToLocal(frame, in);
    std::vector<CVector3D> sideA = OffsetGeo(frame, local, d, OffsetCorridorSide);
    const std::vector<CVector3D> sideB = OffsetGeo(frame, local, -d, OffsetCorridorSide);
    sideA.insert(sideA.end(), sideB.rbegin(), sideB.rend());
    out = std::move(sideA);
    return true;
}

}  // namespace VtGeoNS
