#include "tile/MercatorTileModel.h"

#include "tile/TileModelMath_p.h"

#include <cmath>

using namespace vt_tile;

CMercatorTileModel::CMercatorTileModel()
{
    m_nLevel1TileYNumber = 2;
    m_dMinLatitude = -kMercatorMaxLatitude;
    m_dMaxLatitude = kMercatorMaxLatitude;
}

CMercatorTileModel::~CMercatorTileModel() = default;

E_TILE_MODEL CMercatorTileModel::GetTileModel() const
{
    return TILE_MODEL_MERCATOR;
}

double CMercatorTileModel::GetResolutionX(int level) const
{
    return kEquatorMetres / (m_nPixelWidth * TilesX(level));
}

double CMercatorTileModel::GetResolutionY(int level) const
{
    return kEquatorMetres / (m_nPixelHeight * TilesY(level));
}

double CMercatorTileModel::GetTileXStride(int level) const
{
    return Width() * HalfPower(level);
}

double CMercatorTileModel::GetTileYStride(int /*level*/) const
{
    return 10000.0;
}

// Rows are found on t = merc(y') + 1 in [0, 2], rows of size s = 2 * 0.5^L; t is infinite at
// the poles, which the callers handle before probing.
vt_tile::BorderProbe CMercatorTileModel::ProbeMercatorRow(int level, double t) const
{
    const double s = 2.0 * HalfPower(level);
    const double scale = 0.5 * TilesY(level) * m_nPixelHeight;
    return MakeProbe(std::trunc(t / s), t * scale, [&](double k) { return k * s * scale; });
}

// A latitude within the precision (default 0.001 pixel) before the next border already belongs to
// the next row, so that the edge latitude of a row, computed back from the row number, lands in it.
int CMercatorTileModel::GetTileY(int level, double y) const
{
    const double t = MercatorUnitOfLatitude(m_bLeftTopUP ? -y : y) + 1.0;
    if (std::isnan(t))
        return 0;
    if (std::isinf(t))
        return t < 0 ? 0 : GetNumberTileY(level) - 1;  // a pole: never an infinite row
    return TileIndex(ProbeMercatorRow(level, t), m_dDefaultYPrecision);
}

bool CMercatorTileModel::IsCrossTileY(int level, double y) const
{
    const double t = MercatorUnitOfLatitude(m_bLeftTopUP ? -y : y) + 1.0;
    if (!std::isfinite(t))
        return false;
    // The fixed 0.001 here, not the settable precision of GetTileY.
    return CrossesBorder(ProbeMercatorRow(level, t), 0.001);
}

CTileKey CMercatorTileModel::MakeKey(int level, double x, double y) const
{
    return MakeKeyAs(level, x, y, TILE_MODEL_MERCATOR);
}

CExtent CMercatorTileModel::GetGeoExtent(const CTileKey& k) const
{
    return GeoExtentAs(k, TILE_MODEL_MERCATOR);
}

double CMercatorTileModel::GetPixelY(int level, double y) const
{
    const double f = (MercatorUnitOfLatitude(y) + 1.0) * 0.5;
    return (m_bLeftTopUP ? 1.0 - f : f) / HalfPower(level) * m_nPixelHeight;
}

double CMercatorTileModel::GetLatitudeViaPixelY(int level, double py) const
{
    double f = py / m_nPixelHeight * HalfPower(level);
    if (m_bLeftTopUP)
        f = 1.0 - f;
    return LatitudeOfMercatorUnit(2.0 * f - 1.0);
}

double CMercatorTileModel::GetLatitudeViaY(int level, int row) const
{
    double f = row * HalfPower(level);
    if (m_bLeftTopUP)
        f = 1.0 - f;
    return LatitudeOfMercatorUnit(2.0 * f - 1.0);
}

double CMercatorTileModel::GetMeterXViaPixel(int level, double px) const
{
    return GetLongitudeViaPixelX(level, px) / 180.0 * kMercatorRadiusSpan;
}

double CMercatorTileModel::GetPixelXViaMeter(int level, double m) const
{
    return GetPixelX(level, m / kMercatorRadiusSpan * 180.0);
}

double CMercatorTileModel::GetMeterYViaPixel(int level, double py) const
{
    return MercatorUnitOfLatitude(GetLatitudeViaPixelY(level, py)) * kMercatorRadiusSpan;
}

double CMercatorTileModel::GetPixelYViaMeter(int level, double m) const
{
    return GetPixelY(level, LatitudeOfMercatorUnit(m / kMercatorRadiusSpan));
}

void CMercatorTileModel::ProjectGeoToMeter(double& mx, double& my, double x, double y) const
{
    ConvertGeoToMercatorMeter(mx, my, x, y);
}

void CMercatorTileModel::ProjectMeterToGeo(double& x, double& y, double mx, double my) const
{
    ConvertMercatorToGeoMeter(x, y, mx, my);
}

bool CMercatorTileModel::GetTileBound(CTileKey& minKey, CTileKey& maxKey, const EXTENT& e, int level) const
{
    return TileBoundAs(minKey, maxKey, e, level, TILE_MODEL_MERCATOR);
}

void CMercatorTileModel::SetDefualtYPrecision(double precision)
{
    m_dDefaultYPrecision = precision;
}

void CMercatorTileModel::ConvertGeoToMercatorMeter(double& mx, double& my, double x, double y) const
{
    mx = x / 180.0 * kMercatorRadiusSpan;
    my = MercatorUnitOfLatitude(y) * kMercatorRadiusSpan;
}

void CMercatorTileModel::ConvertMercatorToGeoMeter(double& x, double& y, double mx, double my) const
{
    x = mx / kMercatorRadiusSpan * 180.0;
    y = LatitudeOfMercatorUnit(my / kMercatorRadiusSpan);
}

void CMercatorTileModel::ConvertGeoToMercatorUnit(double& mx, double& my, double x, double y) const
{
    mx = x / 180.0;
    my = MercatorUnitOfLatitude(y);
}

void CMercatorTileModel::ConvertMercatorToGeoUnit(double& x, double& y, double mx, double my) const
{
    x = mx * 180.0;
    y = LatitudeOfMercatorUnit(my);
}

double CMercatorTileModel::ConvertLatitudeToMercatorUnit(double y) const
{
    return MercatorUnitOfLatitude(y);
}

double CMercatorTileModel::ConvertMercatorToLatitudeUnit(double u) const
{
    return LatitudeOfMercatorUnit(u);
}

double CMercatorTileModel::ConvertLatitudeToMercator(double y) const
{
    return (MercatorUnitOfLatitude(y) + 1.0) * 0.5 * Height() + m_dMinLatitude;
}

double CMercatorTileModel::ConvertMercatorToLatitude(double v) const
{
    return 2.0 * (v - m_dMinLatitude) / Height() - 1.0;
}
