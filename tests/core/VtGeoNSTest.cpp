#include "CoreTest.h"
#include "core/VtGeoNS.h"

#include <cmath>
#include <limits>

using namespace VtGeoNS;

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRad = kPi / 180.0;
constexpr double kA = 6378137.0;
constexpr double kB = 6356752.3142;

struct Ecef { double x, y, z; };
// East/north metres in a tangent plane.
struct EN { double e, n; };

// Textbook geodetic to ECEF with height, for checking positions produced by the library.
Ecef WithHeight(const CVector3D& g) {
    const double e2 = (kA * kA - kB * kB) / (kA * kA);
    const double s = std::sin(g.y * kRad);
    const double n = kA / std::sqrt(1.0 - e2 * s * s);
    return {(n + g.z) * std::cos(g.y * kRad) * std::cos(g.x * kRad), (n + g.z) * std::cos(g.y * kRad) * std::sin(g.x * kRad),
            (n * (1.0 - e2) + g.z) * s};
}

// East/north metres of g in the tangent plane of the origin o.
EN Local(const CVector3D& o, const CVector3D& g) {
    const Ecef p0 = WithHeight(o), p = WithHeight(g);
    const double dx = p.x - p0.x, dy = p.y - p0.y, dz = p.z - p0.z;
    const double lam = o.x * kRad, phi = o.y * kRad;
    const double e = -std::sin(lam) * dx + std::cos(lam) * dy;
    const double n = -std::sin(phi) * std::cos(lam) * dx - std::sin(phi) * std::sin(lam) * dy + std::cos(phi) * dz;
    return {e, n};
}

// A polyline given in metres east/north of (0, 0), as geographic points (equatorial scale factors;
// the tests compare in the tangent plane, so the small mismatch of these factors does not matter).
std::vector<CVector3D> FromMetres(const std::vector<EN>& m) {
    std::vector<CVector3D> out;
    for (const EN& p : m) out.emplace_back(p.e / 111319.4908, p.n / 110574.2727, 0.0);
    return out;
}

}  // namespace

TEST(VtGeoNS, DistancesAndAreasMatchFixedReferenceValuesNextPointMovesAlongAzimuthInTangentPlane) {
    // Reference values worked out independently: the rhumb line on the sphere of radius a through
    // the isometric latitude, the chord between surface points through the reduced latitude.
    struct Row { double lon1, lat1, lon2, lat2; bool rhumb; double metres; } rows[] = {
        {1.338, 51.126, 1.851, 50.963, true, 40228.61581243181},      // short and oblique
        {150.0, -33.0, -70.0, -33.5, true, 13033334.803702418},       // over the antimeridian, the short way
        {10, -10, 10, 50, true, kA * 60 * kRad},                      // along a meridian
        {179, 30, -179, 30, true, kA * 0.86602540378443865 * 2 * kRad},  // along a parallel, over 180
        {0, 0, 0, -90, true, kA * kPi / 2},                           // to a pole
        {116.4, 39.9, -74.0, 40.7, false, 9702362.023786053},
        {0, 0, 180, 0, false, 2 * kA},                                // the equatorial diameter
        {0, 90, 0, -90, false, 2 * kB},                               // the polar diameter
    };
    for (const Row& r : rows) {
        // Heights do not count, and direction does not matter.
        const double tolerance = r.metres * 1e-9 + 1e-6;
        EXPECT_NEAR(CalculateDistanceHS(r.lon1, r.lat1, 0, r.lon2, r.lat2, 0, r.rhumb), r.metres, tolerance) << r.lon1;
        EXPECT_NEAR(CalculateDistanceHS(r.lon2, r.lat2, 5, r.lon1, r.lat1, -50, r.rhumb), r.metres, tolerance) << r.lon1;
    }
    EXPECT_EQ(CalculateDistanceHS(12, 34, 0, 12, 34, 100, true), 0.0);
    EXPECT_TRUE(std::isfinite(CalculateDistanceHS(0, 90, 0, 50, 90, 0, true)));
    // A polyline sums its segments; fewer than two points have no length.
    for (bool rhumb : {true, false}) {
        const std::vector<CVector3D> line = {{116, 39, 0}, {117, 40, 0}, {118, 39.5, 0}};
        EXPECT_DOUBLE_EQ(CalculateDistanceHS(line, rhumb), CalculateDistanceHS(116, 39, 0, 117, 40, 0, rhumb) +
                                                               CalculateDistanceHS(117, 40, 0, 118, 39.5, 0, rhumb));
        EXPECT_EQ(CalculateDistanceHS(std::vector<CVector3D>{{1, 2, 3}}, rhumb), 0.0);
    }

    // The next point along an azimuth, and the expected unit direction east and north.
    const CVector3D p(116.4, 39.9, 50.0);
    struct Step { double azimuth, east, north; } steps[] = {{0, 0, 1}, {90, -1, 0}, {180, 0, -1}, {270, 1, 0}, {45, -std::sqrt(0.5), std::sqrt(0.5)}};
    for (const Step& r : steps) {
        const CVector3D q = CalculateNextPointGeo(p, r.azimuth, 1000.0);
        const EN en = Local(p, q);
        EXPECT_NEAR(en.e, 1000.0 * r.east, 1e-6) << r.azimuth;
        EXPECT_NEAR(en.n, 1000.0 * r.north, 1e-6) << r.azimuth;
        // A straight move in the tangent plane (so the height rises): exactly the distance.
        const Ecef a = WithHeight(p), b = WithHeight(q);
        EXPECT_NEAR(std::hypot(a.x - b.x, a.y - b.y, a.z - b.z), 1000.0, 1e-6);
    }

    // Small quadrangles within half a percent of the ellipsoid's area (authalic formula), either way round.
    struct Quad { double lon, lat, size, area; } quads[] = {
        {0, 0, 0.01, 1230907.2018287324}, {116.3, 39.9, 0.1, 94885042.11987749}, {170, 75, 0.02, 1289559.041803649}};
    for (const Quad& r : quads) {
        const std::vector<CVector3D> ccw = {
            {r.lon, r.lat, 0}, {r.lon + r.size, r.lat, 0}, {r.lon + r.size, r.lat + r.size, 0}, {r.lon, r.lat + r.size, 0}};
        const std::vector<CVector3D> cw(ccw.rbegin(), ccw.rend());
        EXPECT_NEAR(CalculateArea(ccw), r.area, r.area * 0.005) << r.lat;
        EXPECT_NEAR(CalculateArea(cw), CalculateArea(ccw), r.area * 1e-9) << r.lat;
    }
    // An L of three 1 km squares (concave), starting at the end of an arm so that fan triangles
    // point both ways, and again starting with three points on one line.
    EXPECT_NEAR(CalculateArea(FromMetres({{2000, 1000}, {1000, 1000}, {1000, 2000}, {0, 2000}, {0, 0}, {2000, 0}})), 3e6, 6e3);
    EXPECT_NEAR(CalculateArea(FromMetres({{0, 0}, {1000, 0}, {2000, 0}, {2000, 1000}, {0, 1000}})), 2e6, 4e3);
    EXPECT_EQ(CalculateArea(FromMetres({{0, 0}, {1, 1}})), 0.0);
    // Points on one ground line are nearly collinear in space (the surface curves by micrometres).
    EXPECT_NEAR(CalculateArea(FromMetres({{0, 0}, {1, 1}, {2, 2}, {5, 5}})), 0.0, 1e-3);
}

TEST(VtGeoNS, ParallelLinesAndCorridorJoins) {
    // Interior angle of 20 degrees at (1000, 0): mitre ratio 1 / sin(10 deg) = 5.76, above the limit.
    const double turn = 160 * kRad, c = std::cos(turn), s = std::sin(turn);
    const EN sharp = {1000 + 1000 * c, 1000 * s};
    const double inner = 100 / std::sin(10 * kRad);  // distance of the true inner corner from the vertex
    const struct Row { const char* what; bool corridor; std::vector<EN> line; double d; std::vector<EN> expected; } rows[] = {
        {"one point moves east", false, {{0, 0}}, 30, {{30, 0}}},
        {"two equal points move east", false, {{0, 0}, {0, 0}}, -30, {{-30, 0}, {-30, 0}}},
        {"collinear points keep the line", false, {{0, 0}, {500, 0}, {1000, 0}}, 100, {{0, -100}, {500, -100}, {1000, -100}}},
        {"left turn, right side is the mitre", false, {{0, 0}, {1000, 0}, {1000, 1000}}, 100, {{0, -100}, {1100, -100}, {1100, 1000}}},
        {"left turn, left side meets inside", false, {{0, 0}, {1000, 0}, {1000, 1000}}, -100, {{0, 100}, {900, 100}, {900, 1000}}},
        {"repeated points are skipped", false, {{0, 0}, {0, 0}, {1000, 0}, {1000, 0}, {1000, 1000}}, 100,
         {{0, -100}, {1100, -100}, {1100, 1000}}},
        // Turning back by 179 degrees: the mitre would lie 11 km away; the previous segment's end is used.
        {"hairpin gives no spike", false, {{0, 0}, {1000, 0}, {0, 17.45}}, 100, {{0, -100}, {1000, -100}, {1.745, 117.435}}},
        {"segment becomes a rectangle", true, {{0, 0}, {1000, 0}}, 50, {{0, -50}, {1000, -50}, {1000, 50}, {0, 50}}},
        {"right angle: mitres on both sides", true, {{0, 0}, {1000, 0}, {1000, 1000}}, 100,
         {{0, -100}, {1100, -100}, {1100, 1000}, {900, 1000}, {900, 100}, {0, 100}}},
        {"sharp turn: outer bevel, inner true corner", true, {{0, 0}, {1000, 0}, sharp}, 100,
         {{0, -100}, {1000, -100}, {1000 + 100 * s, -100 * c}, {sharp.e + 100 * s, sharp.n - 100 * c},
          {sharp.e - 100 * s, sharp.n + 100 * c}, {1000 - inner * std::cos(10 * kRad), inner * std::sin(10 * kRad)}, {0, 100}}},
        {"reversal gets a flat end", true, {{0, 0}, {1000, 0}, {500, 0}}, 100,
         {{0, -100}, {1000, -100}, {1000, 100}, {500, 100}, {500, -100}, {1000, -100}, {1000, 100}, {0, 100}}},
    };
    for (const Row& r : rows) {
        std::vector<CVector3D> out;
        ASSERT_TRUE(r.corridor ? CalculateExpandPolygonGeo(out, FromMetres(r.line), r.d)
                               : CalculateParrelLineGeo(out, FromMetres(r.line), r.d)) << r.what;
        // Within 5 cm of the expected east/north metres; a parallel line (not a corridor) stays on the ground.
        ASSERT_EQ(out.size(), r.expected.size()) << r.what;
        for (size_t i = 0; i < out.size(); ++i) {
            const EN en = Local(CVector3D(0, 0, 0), out[i]);
            EXPECT_NEAR(en.e, r.expected[i].e, 0.05) << r.what << " #" << i;
            EXPECT_NEAR(en.n, r.expected[i].n, 0.05) << r.what << " #" << i;
            EXPECT_TRUE(r.corridor || std::fabs(out[i].z) < 0.05) << r.what << " #" << i << " height " << out[i].z;
        }
    }
    // Empty and non-finite input is refused, the output left untouched.
    std::vector<CVector3D> out = {{1, 2, 3}};
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(CalculateParrelLineGeo(out, {}, 10));
    EXPECT_FALSE(CalculateExpandPolygonGeo(out, {}, 10));
    EXPECT_FALSE(CalculateParrelLineGeo(out, {{0, 0, 0}, {nan, 1, 0}}, 10));
    EXPECT_FALSE(CalculateExpandPolygonGeo(out, {{0, 0, 0}, {1, 1, 0}}, nan));
    EXPECT_EQ(out, std::vector<CVector3D>{CVector3D(1, 2, 3)});
}
