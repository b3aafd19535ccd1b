#include "tile/BaiduToConvert.h"

#include "core/Tools.h"
#include "tile/BD09ToWGS84.h"
#include "tile/BaiduGrid_p.h"
#include "tile/TileModelMath_p.h"

#include <algorithm>
#include <cmath>

using namespace vt_tile;

namespace {

// One row of Baidu's projection polynomials: value = (c0 + c1 |a|) for the longitude axis and
// c2 + c3 t + ... + c8 t^6 (t = |b| / c9) for the latitude axis.
struct BAIDU_COEFFICIENTS {
    double c[10];
};

// Forward rows (BD-09 degrees -> metres), chosen by the latitude bands below.
constexpr double kLatitudeBands[6] = {75, 60, 45, 30, 15, 0};
constexpr BAIDU_COEFFICIENTS kForward[6] = {
    {{-0.0015702102444, 111320.7020616939, 684536805407.1798, -4296175174334.2437, 11233734336244.92,
      -15665628606050.488, 12288469989182.28, -5141302550337.499, 896382535843.0167, 82.5}},
    {{0.0008277824516172526, 111320.7020463578, 647795574.6671607, -4082003173.641316, 10774905663.51142,
      -15171875531.51559, 12053065338.62167, -5124939663.577472, 913311935.9512032, 67.5}},
    {{0.00337398766765, 111320.7020202162, 4481351.045890365, -23393751.19931662, 79682215.47186455,
      -115964993.2797253, 97236711.15602145, -43661946.33752821, 8477230.501135234, 52.5}},
    {{0.00220636496208, 111320.7020209128, 51751.86112841131, 3796837.749470245, 992013.7397791013,
      -1221952.21711287, 1340652.697009075, -620943.6990984312, 144416.9293806241, 37.5}},
    {{-0.0003441963504368392, 111320.7020576856, 278.2353980772752, 2485758.690035394, 6070.750963243378,
      54821.18345352118, 9540.606633304236, -2710.55326746645, 1405.483844121726, 22.5}},
    {{-0.0003218135878613132, 111320.7020701615, 0.00369383431289, 823725.6402795718, 0.46104986909093,
      2351.343141331292, 1.58060784298199, 8.77738589078284, 0.37238884252424, 7.45}},
};

// Inverse rows (metres -> BD-09 degrees), chosen by the metre bands below.
constexpr double kMetreBands[6] = {12890594.86, 8362377.87, 5591021, 3481989.83, 1678043.12, 0};
constexpr BAIDU_COEFFICIENTS kInverse[6] = {
    {{1.410526172116255e-08, 8.98305509648872e-06, -1.9939833816331, 200.9824383106796, -187.2403703815547,
      91.6087516669843, -23.38765649603339, 2.57121317296198, -0.03801003308653, 17337981.2}},
    {{-7.435856389565537e-09, 8.983055097726239e-06, -0.78625201886289, 96.32687599759846, -1.85204757529826,
      -59.36935905485877, 47.40033549296737, -16.50741931063887, 2.28786674699375, 10260144.86}},
    {{-3.030883460898826e-08, 8.98305509983578e-06, 0.30071316287616, 59.74293618442277, 7.357984074871,
      -25.38371002664745, 13.45380521110908, -3.29883767235584, 0.32710905363475, 6856817.37}},
    {{-1.981981304930552e-08, 8.983055099779535e-06, 0.03278182852591, 40.31678527705744, 0.65659298677277,
      -4.44255534477492, 0.85341911805263, 0.12923347998204, -0.04625736007561, 4482777.06}},
    {{3.09191371068437e-09, 8.983055096812155e-06, 6.995724062e-05, 23.10934304144901, -0.00023663490511,
      -0.6321817810242, -0.00663494467273, 0.03430082397953, -0.00466043876332, 2555164.4}},
    {{2.890871144776878e-09, 8.983055095805407e-06, -3.068298e-08, 7.47137025468032, -3.53937994e-06,
      -0.02145144861037, -1.234426596e-05, 0.00010322952773, -3.23890364e-06, 826088.5}},
};

constexpr int kEquatorRow = 5;
constexpr double kLatitudeClamp = 83.5;  // the tile-interpolated conversion's latitude limit
constexpr int kTileSize = 256;

double Sign(double v) { return v < 0 ? -1.0 : 1.0; }

QPointF ApplyRow(const BAIDU_COEFFICIENTS& row, double a, double b)
{
    const double* c = row.c;
    const double t = std::fabs(b) / c[9];
    const double x = (c[0] + c[1] * std::fabs(a)) * Sign(a);
    const double y = (c[2] + t * (c[3] + t * (c[4] + t * (c[5] + t * (c[6] + t * (c[7] + t * c[8])))))) * Sign(b);
    return QPointF(x, y);
}

// The forward row: the first band the latitude reaches; below the equator every latitude meets
// -0 >= lat first when counting down, so the southern hemisphere always uses the equatorial row.
// NaN reaches no band and takes the equatorial row too.
int ForwardRow(double lat)
{
    for (int i = 0; i < 6; ++i) {
        if (lat >= kLatitudeBands[i])
            return i;
    }
    for (int i = 5; i >= 0; --i) {
        if (-kLatitudeBands[i] >= lat)
            return i;
    }
    return kEquatorRow;
}

int InverseRow(double my)
{
    const double a = std::fabs(my);
    for (int i = 0; i < 6; ++i) {
        if (a >= kMetreBands[i])
            return i;
    }
    return kEquatorRow;
}

// Metre values pass through single precision before the inverse projection, as the tile corners
// of the published grid were computed.
QPointF SinglePrecisionMetresToBd(double mx, double my)
{
    return CBaiduToConvert::MercatorToBdLngLat(
        QPointF(static_cast<double>(static_cast<float>(mx)), static_cast<double>(static_cast<float>(my))));
}

QString SignedText(long long v)
{
    return v < 0 ? QStringLiteral("-%1").arg(-v) : QStringLiteral("%1").arg(v);
}

}  // namespace

namespace vt_tile {

double BaiduHalfWidth(int z)
{
    return std::ceil(20037508.34 / (kTileSize * CBaiduToConvert::BdRes(z)));
}

double GeneralHalfWidth(int z)
{
    return std::trunc(PowerOfTwo(z) * 0.5);
}

}  // namespace vt_tile

CBaiduToConvert::CBaiduToConvert(QObject* parent) : QObject(parent) {}

CBaiduToConvert::~CBaiduToConvert() = default;

QPointF CBaiduToConvert::BdLngLatToMercator(QPointF bd)
{
    return ApplyRow(kForward[ForwardRow(bd.y())], bd.x(), bd.y());
}

QPointF CBaiduToConvert::MercatorToBdLngLat(QPointF m)
{
    return ApplyRow(kInverse[InverseRow(m.y())], m.x(), m.y());
}

CBaiduToConvert::Quadrant CBaiduToConvert::JudgeQuadrant(double lon, double lat)
{
    if (lon >= 0 && lat >= 0)
        return QUADRANT_NORTH_EAST;
    if (lon > 0 && lat < 0)
        return QUADRANT_SOUTH_EAST;
    if (lon < 0 && lat < 0)
        return QUADRANT_SOUTH_WEST;
    if (lon < 0 && lat > 0)
        return QUADRANT_NORTH_WEST;
    return QUADRANT_NONE;
}

double CBaiduToConvert::BdRes(int z)
{
    if (z < 1 || z > 19)
        return -1.0;
    return std::ldexp(1.0, 18 - z);
}

void CBaiduToConvert::BdPointToTile(double lon, double lat, int& gx, int& gy, double& px, double& py, int level)
{
    if (level <= 1)
        return;
    gx = gy = -1;
    px = py = -1.0;
    const QPointF m = BdLngLatToMercator(QPointF(lon, lat));
    const Quadrant q = JudgeQuadrant(lon, lat);
    const int z = level - 1;
    const double size = level <= 20 ? kTileSize * std::ldexp(1.0, 19 - level) : -kTileSize;
    const double tx = m.x() / size;
    const double ty = m.y() / size;
    int bx = 0;
    int by = 0;
    switch (q) {
    case QUADRANT_NORTH_EAST:
        bx = SaturateToInt(std::trunc(tx));
        by = SaturateToInt(std::trunc(ty));
        break;
    case QUADRANT_SOUTH_EAST:
        bx = SaturateToInt(std::trunc(tx));
        by = SaturateToInt(std::ceil(std::fabs(ty)));
        break;
    case QUADRANT_SOUTH_WEST:
        bx = SaturateToInt(std::ceil(std::fabs(tx)));
        by = SaturateToInt(std::ceil(std::fabs(ty)));
        break;
    case QUADRANT_NORTH_WEST:
        bx = SaturateToInt(std::ceil(std::fabs(tx)));
        by = SaturateToInt(std::trunc(ty));
        break;
    default:
        return;
    }
    BdTileToGeneralTile(bx, by, z, gx, gy, q);
    GetBdSingleTilePixFromBdLngLat(lon, lat, bx, by, z, px, py, q);
}

void CBaiduToConvert::BdTileToGeneralTile(int bx, int by, int z, int& gx, int& gy, Quadrant q)
{
    // 64-bit sums saturated back: out-of-range zooms and numbers must not overflow an int.
    const double h = GeneralHalfWidth(z);
    const double x = bx;
    const double y = by;
    switch (q) {
    case QUADRANT_NORTH_EAST:
        gx = SaturateToInt(x + 1 + h);
        gy = SaturateToInt(h - y);
        break;
    case QUADRANT_SOUTH_EAST:
        gx = SaturateToInt(x + 1 + h);
        gy = SaturateToInt(h + y);
        break;
    case QUADRANT_SOUTH_WEST:
        gx = SaturateToInt(h - x + 1);
        gy = SaturateToInt(h + y);
        break;
    case QUADRANT_NORTH_WEST:
        gx = SaturateToInt(h - x + 1);
        gy = SaturateToInt(h - y);
        break;
    default:
        break;
    }
}

void CBaiduToConvert::GetBdSingleTilePixFromBdLngLat(double lon, double lat, int bx, int by, int z, double& px,
                                                     double& py, Quadrant q)
{
    if (q < QUADRANT_NORTH_EAST || q > QUADRANT_NORTH_WEST) {
        px = py = -1.0;
        return;
    }
    const QPointF m = BdLngLatToMercator(QPointF(lon, lat));
    const double r = BdRes(z);
    const bool north = q == QUADRANT_NORTH_EAST || q == QUADRANT_NORTH_WEST;
    const double topRow = north ? static_cast<double>(by) + 1 : static_cast<double>(by) - 1;
    const double top = static_cast<float>(topRow * kTileSize * r);
    const double left = static_cast<float>(static_cast<double>(bx) * kTileSize * r);
    px = std::fabs(std::fabs(m.x()) - std::fabs(left)) / r;
    py = std::fabs(std::fabs(top) - std::fabs(m.y())) / r;
}

void CBaiduToConvert::GetPixFromLngLatDIF(double lon, double lat, int z, double& px, double& py)
{
    px = py = -1.0;
    const QPointF m = BdLngLatToMercator(QPointF(lon, lat));
    const double r = BdRes(z);
    px = m.x() / r;
    py = m.y() / r;
}

QPointF CBaiduToConvert::TileCoordToLatLng(int bx, int by, int z)
{
    const double span = kTileSize * BdRes(z);
    return SinglePrecisionMetresToBd(bx * span, by * span);
}

QPointF CBaiduToConvert::PixCoordToLatLng(int px, int py, int z)
{
    const double r = BdRes(z);
    return SinglePrecisionMetresToBd(px * r, py * r);
}

int CBaiduToConvert::CheckTileCoordIsValid(int /*gx*/, int /*gy*/, int z)
{
    const double h = GeneralHalfWidth(z);
    const double n = BaiduHalfWidth(z);
    return h == n ? 0 : SaturateToInt(std::trunc(h - n));
}

void CBaiduToConvert::GeneralTileToBdTile(int gx, int gy, int z, QString& bx, QString& by)
{
    const double n = BaiduHalfWidth(z);
    if (gx > 2 * n || gy > 2 * n)
        return;
    bx = SignedText(static_cast<long long>(gx - n - 1));
    by = SignedText(static_cast<long long>(n - gy));
}

void CBaiduToConvert::GeneralTileToBdTileXY(int gx, int gy, int z, QString& bx, QString& by)
{
    const double n = BaiduHalfWidth(z);
    if (gx > 2 * n || gy > 2 * n)
        return;
    const auto text = [](long long v) { return v < 0 ? QStringLiteral("M%1").arg(-v) : QString::number(v); };
    bx = text(static_cast<long long>(gx - n - 1));
    by = text(static_cast<long long>(n - gy));
}

QList<QPointF> CBaiduToConvert::GetBdPointFromTile(int gx, int gy, int level)
{
    if (level < 2)
        return {};
    const int z = level - 1;
    const int k = CheckTileCoordIsValid(gx, gy, z);
    if (k != 0) {
        // Shifted into Baidu's narrower grid and held inside it.
        const double limit = 2 * BaiduHalfWidth(z);
        gx = SaturateToInt(std::min(limit, std::max(0.0, static_cast<double>(gx) - k)));
        gy = SaturateToInt(std::min(limit, std::max(0.0, static_cast<double>(gy) - k)));
    }
    QString bxText;
    QString byText;
    GeneralTileToBdTile(gx, gy, z, bxText, byText);
    if (bxText.isEmpty() || byText.isEmpty())
        return {};
    const int bx = bxText.toInt();
    const int by = byText.toInt();
    return {TileCoordToLatLng(bx, by, z),
            PixCoordToLatLng(SaturateToInt((bx + 1.0) * kTileSize), SaturateToInt((by + 1.0) * kTileSize), z)};
}

bool CBaiduToConvert::GetBdLBFromTile(int gx, int gy, int level, double& minx, double& miny, double& maxx,
                                      double& maxy)
{
    const QList<QPointF> corners = GetBdPointFromTile(gx, gy, level);
    if (corners.size() < 2) {
        minx = miny = maxx = maxy = 0.0;
        return false;
    }
    minx = corners[0].x();
    miny = corners[0].y();
    maxx = corners[1].x();
    maxy = corners[1].y();
    return true;
}

QPointF CBaiduToConvert::BdToWGS84PointF(QPointF p, int level, int mapType)
{
    const double lon = std::clamp(p.x(), -180.0, 180.0);
    const double lat = std::clamp(p.y(), -kLatitudeClamp, kLatitudeClamp);
    int gx = 0;
    int gy = 0;
    double px = 0.0;
    double py = 0.0;
    BdPointToTile(lon, lat, gx, gy, px, py, level);
    const long long id = Tools::getMapID(level, gy, gx);
    double minx = 0.0;
    double miny = 0.0;
    double maxx = 0.0;
    double maxy = 0.0;
    Tools::getExtent(level, id, minx, miny, maxx, maxy, false, mapType);
    const double X = minx + (maxx - minx) * px / kTileSize;
    const double Y = miny + (maxy - miny) * (kTileSize - py) / kTileSize;
    double outLon = 0.0;
    double outLat = 0.0;
    Tools::getLB(X, Y, outLon, outLat);
    return QPointF(outLon, outLat);
}

QList<QPointF> CBaiduToConvert::BdToWGS84Points(QList<QPointF> pts, int level, int mapType)
{
    if (!Tools::isBaidu(mapType))
        return pts;
    for (QPointF& p : pts)
        p = BdToWGS84PointF(p, level, mapType);
    return pts;
}

QPointF CBaiduToConvert::WGS84ToBdPointF(QPointF p)
{
    return Tools::wgs84ToBd09ByPos(p, 20);
}

QPointF CBaiduToConvert::WGS84ToBdLngLat(QPointF p)
{
    CBD09ToWGS84().WGS84ToBD09(p);
    return p;
}

QList<QPointF> CBaiduToConvert::getBdCoordByPoints(const CExtent& world, const double& scale, int clientHeight,
                                                   QList<QPointF> pts, int mapType)
{
    for (QPointF& p : pts)
        p = Tools::getBdCoordByPos(world, scale, clientHeight, p, mapType);
    return pts;
}

QPointF ConvertBDTo84(const QPointF& p)
{
    return Tools::bdToWGS84ByPoint(p.x(), p.y(), 20);
}

QPointF Convert84ToBD(const QPointF& p)
{
    return Tools::wgs84ToBd09ByPos(p, 20);
}
