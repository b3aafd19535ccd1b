#include "tile/TileModel.h"

#include "tile/TileMath_p.h"
#include "tile/TileModelMath_p.h"

#include <climits>
#include <cmath>

using namespace vt_tile;

CTileModel::~CTileModel() = default;

E_TILE_MODEL CTileModel::GetTileModel() const
{
    return TILE_MODEL_GEOGRAPHIC;
}

void CTileModel::SetPixelWidth(int width)
{
    m_nPixelWidth = width;
}

void CTileModel::SetPixelHeight(int height)
{
    m_nPixelHeight = height;
}

void CTileModel::SetMinLongitude(double v)
{
    m_dMinLongitude = v;
}

void CTileModel::SetMaxLongitude(double v)
{
    m_dMaxLongitude = v;
}

void CTileModel::SetMinLatitude(double v)
{
    m_dMinLatitude = v;
}

void CTileModel::SetMaxLatitude(double v)
{
    m_dMaxLatitude = v;
}

void CTileModel::SetLevel1TileXNumber(int n)
{
    m_nLevel1TileXNumber = n;
}

void CTileModel::SetLevel1TileYNumber(int n)
{
    m_nLevel1TileYNumber = n;
}

void CTileModel::SetLeftTopUP(bool leftTopUp)
{
    m_bLeftTopUP = leftTopUp;
}

double CTileModel::TilesX(int level) const
{
    return level < 1 ? 1.0 : m_nLevel1TileXNumber * PowerOfTwo(level - 1);
}

double CTileModel::TilesY(int level) const
{
    return level < 1 ? 1.0 : m_nLevel1TileYNumber * PowerOfTwo(level - 1);
}

int CTileModel::GetNumberTileX(int level) const
{
    return SaturateToInt(TilesX(level));
}

int CTileModel::GetNumberTileY(int level) const
{
    return SaturateToInt(TilesY(level));
}

int CTileModel::GetTileCount(int level) const
{
    return SaturateToInt(TilesX(level) * TilesY(level));
}

void CTileModel::GetPixelCoordinate(int& px, int& py, const CTileKey& key) const
{
    CTileKey k = key;
    k.ChangeTileModel(GetTileModel());
    px = SaturateToInt(static_cast<double>(k.GetTileX()) * m_nPixelWidth);
    py = SaturateToInt(static_cast<double>(k.GetTileY()) * m_nPixelHeight);
}

double CTileModel::GetResolutionX(int level) const
{
    return Width() / (m_nPixelWidth * TilesX(level));
}

double CTileModel::GetResolutionY(int level) const
{
    return Height() / (m_nPixelHeight * TilesY(level));
}

double CTileModel::GetTileXStride(int level) const
{
    if (level < 1)
        return Width();
    return Width() / m_nLevel1TileXNumber * HalfPower(level - 1);
}

double CTileModel::GetTileYStride(int level) const
{
    if (level < 1)
        return Height();
    return Height() / m_nLevel1TileYNumber * HalfPower(level - 1);
}

double CTileModel::BorderPixelX(int level, double x) const
{
    return (x - m_dMinLongitude) / Width() * TilesX(level) * m_nPixelWidth;
}

double CTileModel::BorderPixelY(int level, double y) const
{
    return (y - m_dMinLatitude) / Height() * TilesY(level) * m_nPixelHeight;
}

vt_tile::BorderProbe CTileModel::ProbeColumn(int level, double x) const
{
    const double s = GetTileXStride(level);
    return MakeProbe(std::trunc((x - m_dMinLongitude) / s), BorderPixelX(level, x),
                     [&](double k) { return BorderPixelX(level, m_dMinLongitude + k * s); });
}

// Rows with left-top-up are counted on the negated latitude, so row 0 is the northern edge of the
// symmetric -90..90 range.
vt_tile::BorderProbe CTileModel::ProbeRow(int level, double y) const
{
    const double yy = m_bLeftTopUP ? -y : y;
    const double s = GetTileYStride(level);
    return MakeProbe(std::trunc((yy - m_dMinLatitude) / s), BorderPixelY(level, yy),
                     [&](double k) { return BorderPixelY(level, m_dMinLatitude + k * s); });
}

int CTileModel::GetTileX(int level, double x) const
{
    return TileIndex(ProbeColumn(level, x), kNoTieBreak);
}

bool CTileModel::IsCrossTileX(int level, double x) const
{
    return CrossesBorder(ProbeColumn(level, x), kNoTieBreak);
}

bool CTileModel::IsInSamePixelX(int level, double a, double b) const
{
    return IsNearlyEqual(GetPixelX(level, a), GetPixelX(level, b), kBorderTolerance);
}

bool CTileModel::IsInSamePixelY(int level, double a, double b) const
{
    return IsNearlyEqual(BorderPixelY(level, a), BorderPixelY(level, b), kBorderTolerance);
}

int CTileModel::GetTileY(int level, double y) const
{
    return TileIndex(ProbeRow(level, y), kNoTieBreak);
}

bool CTileModel::IsCrossTileY(int level, double y) const
{
    return CrossesBorder(ProbeRow(level, y), kNoTieBreak);
}

CTileKey CTileModel::MakeKeyAs(int level, double x, double y, E_TILE_MODEL model) const
{
    CTileKey key(level, GetTileX(level, x), GetTileY(level, y), model);
    key.ClampToLevel();
    return key;
}

CTileKey CTileModel::MakeKey(int level, double x, double y) const
{
    return MakeKeyAs(level, x, y, TILE_MODEL_GEOGRAPHIC);
}

CExtent CTileModel::GeoExtentAs(const CTileKey& key, E_TILE_MODEL model) const
{
    CTileKey k = key;
    k.ChangeTileModel(model);
    const int level = k.GetLevel();
    const double stride = GetTileXStride(level);
    const double x = k.GetTileX();
    const int row = k.GetTileY();
    const int nextRow = SaturateToInt(static_cast<double>(row) + 1.0);
    CExtent e;
    e.minx = stride * x + m_dMinLongitude;
    e.maxx = stride * (x + 1) + m_dMinLongitude;
    if (m_bLeftTopUP) {
        e.miny = GetLatitudeViaY(level, nextRow);
        e.maxy = GetLatitudeViaY(level, row);
    } else {
        e.miny = GetLatitudeViaY(level, row);
        e.maxy = GetLatitudeViaY(level, nextRow);
    }
    return e;
}

CExtent CTileModel::GetGeoExtent(const CTileKey& k) const
{
    return GeoExtentAs(k, TILE_MODEL_GEOGRAPHIC);
}

CExtent CTileModel::GetPixelExtent(const CTileKey& k, int level) const
{
    if (level < 0) {
        CTileKey own = k;
        own.ChangeTileModel(GetTileModel());
        level = own.GetLevel();
    }
    const CExtent g = GetGeoExtent(k);
    // std::round: halves away from zero; + 0.0 turns the -0 of an edge a hair north of row 0 into 0.
    const auto nearest = [](double v) { return std::round(v) + 0.0; };
    return CExtent(nearest(GetPixelX(level, g.minx)), nearest(GetPixelY(level, g.maxy)),
                   nearest(GetPixelX(level, g.maxx)), nearest(GetPixelY(level, g.miny)));
}

CExtent CTileModel::ComputeTileExtend(const CTileKey& a, const CTileKey& b) const
{
    return GetGeoExtent(a) + GetGeoExtent(b);
}

CExtent CTileModel::ComputeTilePixelExtent(const CTileKey& a, const CTileKey& b, int level) const
{
    return GetPixelExtent(a, level) + GetPixelExtent(b, level);
}

CExtent CTileModel::ConvertGeoExtentToPixel(const EXTENT& e, int level) const
{
    const double y0 = GetPixelY(level, e.miny);
    const double y1 = GetPixelY(level, e.maxy);
    return CExtent(GetPixelX(level, e.minx), y0 < y1 ? y0 : y1, GetPixelX(level, e.maxx), y0 < y1 ? y1 : y0);
}

CExtent CTileModel::ConvertPixelExtentToGeo(const EXTENT& e, int level) const
{
    const double y0 = GetLatitudeViaPixelY(level, e.miny);
    const double y1 = GetLatitudeViaPixelY(level, e.maxy);
    return CExtent(GetLongitudeViaPixelX(level, e.minx), y0 < y1 ? y0 : y1, GetLongitudeViaPixelX(level, e.maxx),
                   y0 < y1 ? y1 : y0);
}

double CTileModel::GetPixelX(int level, double x) const
{
    return m_nPixelWidth * ((x - m_dMinLongitude) / Width() * TilesX(level));
}

double CTileModel::GetPixelY(int level, double y) const
{
    const double f = (y - m_dMinLatitude) / Height();
    return TilesY(level) * (m_bLeftTopUP ? 1.0 - f : f) * m_nPixelHeight;
}

void CTileModel::GetPixelViaGeo(double& px, double& py, int level, double x, double y) const
{
    px = GetPixelX(level, x);
    py = GetPixelY(level, y);
}

double CTileModel::GetLongitudeViaPixelX(int level, double px) const
{
    return px / TilesX(level) / m_nPixelWidth * Width() + m_dMinLongitude;
}

double CTileModel::GetLatitudeViaPixelY(int level, double py) const
{
    const double f = py / TilesY(level) / m_nPixelHeight;
    return Height() * (m_bLeftTopUP ? 1.0 - f : f) + m_dMinLatitude;
}

void CTileModel::GetGeoViaPixel(double& x, double& y, int level, double px, double py) const
{
    x = GetLongitudeViaPixelX(level, px);
    y = GetLatitudeViaPixelY(level, py);
}

double CTileModel::GetLatitudeViaY(int level, int row) const
{
    const double f = row / TilesY(level);
    return Height() * (m_bLeftTopUP ? 1.0 - f : f) + m_dMinLatitude;
}

double CTileModel::GetMeterXViaPixel(int level, double px) const
{
    return px / (m_nPixelWidth * TilesX(level)) * kEquatorMetres;
}

double CTileModel::GetPixelXViaMeter(int level, double m) const
{
    return m / kEquatorMetres * (m_nPixelWidth * TilesX(level));
}

// The inverse of GetPixelYViaMeter, on the same pole-to-pole span.
double CTileModel::GetMeterYViaPixel(int level, double py) const
{
    return py / (m_nPixelHeight * TilesY(level)) * kMeridianMetres;
}

double CTileModel::GetPixelYViaMeter(int level, double m) const
{
    return m / kMeridianMetres * (m_nPixelHeight * TilesY(level));
}

void CTileModel::ProjectGeoToMeter(double& mx, double& my, double x, double y) const
{
    mx = (x - m_dMinLongitude) / Width() * kEquatorMetres;
    my = (y - m_dMinLatitude) / Height() * kMeridianMetres;
}

void CTileModel::ProjectMeterToGeo(double& x, double& y, double mx, double my) const
{
    x = Width() * mx / kEquatorMetres + m_dMinLongitude;
    y = Height() * my / kMeridianMetres + m_dMinLatitude;
}

bool CTileModel::GetRowColInfo(int& startRow, int& startCol, int& rowCount, int& colCount, const EXTENT& e,
                               int level) const
{
    const auto clampTo = [](double v, double lo, double hi) { return v < lo ? lo : (v > hi ? hi : v); };
    const double x0 = clampTo(e.minx, m_dMinLongitude, m_dMaxLongitude);
    const double x1 = clampTo(e.maxx, m_dMinLongitude, m_dMaxLongitude);
    const double y0 = clampTo(e.miny, m_dMinLatitude, m_dMaxLatitude);
    const double y1 = clampTo(e.maxy, m_dMinLatitude, m_dMaxLatitude);

    const long long c0 = GetTileX(level, x0);
    const long long c1 = GetTileX(level, x1);
    const long long rS = GetTileY(level, y0);
    const long long rN = GetTileY(level, y1);

    long long row = m_bLeftTopUP ? rN : rS;
    long long rows = m_bLeftTopUP ? rS - rN + 1 : rN - rS + 1;
    // An edge that lies on a border does not pull in the row or column beyond it.
    if (IsCrossTileY(level, m_bLeftTopUP ? y0 : y1) && rS != rN)
        --rows;
    long long col = c0;
    long long cols = c1 - c0 + 1;
    if (IsCrossTileX(level, x1) && c1 != c0)
        --cols;

    const long long nx = GetNumberTileX(level);
    const long long ny = GetNumberTileY(level);
    if (cols > nx)
        cols = nx;
    if (rows > ny)
        rows = ny;
    if (row > ny - 1)
        row = ny - 1;
    if (col > nx - 1)
        col = nx - 1;
    startRow = SaturateToInt(static_cast<double>(row));
    startCol = SaturateToInt(static_cast<double>(col));
    rowCount = SaturateToInt(static_cast<double>(rows));
    colCount = SaturateToInt(static_cast<double>(cols));
    return true;
}

bool CTileModel::TileBoundAs(CTileKey& minKey, CTileKey& maxKey, const EXTENT& e, int level,
                             E_TILE_MODEL model) const
{
    int startRow = 0, startCol = 0, rowCount = 0, colCount = 0;
    GetRowColInfo(startRow, startCol, rowCount, colCount, e, level);
    minKey = CTileKey(level, startCol, startRow, model);
    maxKey = CTileKey(level, SaturateToInt(static_cast<double>(startCol) + colCount - 1),
                      SaturateToInt(static_cast<double>(startRow) + rowCount - 1), model);
    return true;
}

bool CTileModel::GetTileBound(CTileKey& minKey, CTileKey& maxKey, const EXTENT& e, int level) const
{
    return TileBoundAs(minKey, maxKey, e, level, TILE_MODEL_GEOGRAPHIC);
}

CExtent CTileModel::ExpandExtendAlignTile(const EXTENT& e, int level) const
{
    CTileKey minKey;
    CTileKey maxKey;
    if (!GetTileBound(minKey, maxKey, e, level))
        return CExtent();
    return ComputeTileExtend(minKey, maxKey);
}

bool CTileModel::CalculateLocalPixelCoordinate(int& px, int& py, int level, double x, double y) const
{
    const CTileKey key(level, GetTileX(level, x), GetTileY(level, y), GetTileModel());
    double gx = 0.0;
    double gy = 0.0;
    GetPixelViaGeo(gx, gy, level, x, y);
    const CExtent t = GetPixelExtent(key, level);
    px = SaturateToInt(ClampPixel(gx - t.minx, m_nPixelWidth));
    py = SaturateToInt(ClampPixel(gy - t.miny, m_nPixelHeight));
    return true;
}
