#include "tile/BaiduTileModel.h"

#include "core/Tools.h"
#include "tile/TileModelMath_p.h"

namespace {

// Every conversion of the model runs at level 20 of the map-ID scheme (Baidu zoom 19).
constexpr int kInterpolationLevel = 20;

QPointF BdToWgs(double x, double y)
{
    return Tools::bdToWGS84ByPoint(x, y, kInterpolationLevel);
}

QPointF WgsToBd(double x, double y)
{
    return Tools::wgs84ToBd09ByPos(QPointF(x, y), kInterpolationLevel);
}

// The inner model: a finer row tie-break than the shared Mercator model's, since its inputs come
// through an interpolation.
std::unique_ptr<CMercatorTileModel> MakeInner()
{
    auto inner = std::make_unique<CMercatorTileModel>();
    inner->SetDefualtYPrecision(0.01);
    return inner;
}

}  // namespace

CBaiduTileModel::CBaiduTileModel() : m_pMercatorModel(MakeInner()) {}

CBaiduTileModel::CBaiduTileModel(const CBaiduTileModel& other)
    : CMercatorTileModel(other),
      m_pMercatorModel(other.m_pMercatorModel ? std::make_unique<CMercatorTileModel>(*other.m_pMercatorModel)
                                              : nullptr)
{
}

CBaiduTileModel& CBaiduTileModel::operator=(const CBaiduTileModel& other)
{
    if (this != &other) {
        CMercatorTileModel::operator=(other);
        m_pMercatorModel =
            other.m_pMercatorModel ? std::make_unique<CMercatorTileModel>(*other.m_pMercatorModel) : nullptr;
    }
    return *this;
}

CBaiduTileModel::~CBaiduTileModel() = default;

E_TILE_MODEL CBaiduTileModel::GetTileModel() const
{
    return TILE_MODEL_BAIDU;
}

void CBaiduTileModel::SetPixelWidth(int width)
{
    CMercatorTileModel::SetPixelWidth(width);
    if (m_pMercatorModel)
        m_pMercatorModel->SetPixelWidth(width);
}

void CBaiduTileModel::SetPixelHeight(int height)
{
    CMercatorTileModel::SetPixelHeight(height);
    if (m_pMercatorModel)
        m_pMercatorModel->SetPixelHeight(height);
}

void CBaiduTileModel::SetMinLongitude(double v)
{
    CMercatorTileModel::SetMinLongitude(v);
    if (m_pMercatorModel)
        m_pMercatorModel->SetMinLongitude(v);
}

void CBaiduTileModel::SetMaxLongitude(double v)
{
    CMercatorTileModel::SetMaxLongitude(v);
    if (m_pMercatorModel)
        m_pMercatorModel->SetMaxLongitude(v);
}

void CBaiduTileModel::SetMinLatitude(double v)
{
    CMercatorTileModel::SetMinLatitude(v);
    if (m_pMercatorModel)
        m_pMercatorModel->SetMinLatitude(v);
}

void CBaiduTileModel::SetMaxLatitude(double v)
{
    CMercatorTileModel::SetMaxLatitude(v);
    if (m_pMercatorModel)
        m_pMercatorModel->SetMaxLatitude(v);
}

void CBaiduTileModel::SetLevel1TileXNumber(int n)
{
    CMercatorTileModel::SetLevel1TileXNumber(n);
    if (m_pMercatorModel)
        m_pMercatorModel->SetLevel1TileXNumber(n);
}

void CBaiduTileModel::SetLevel1TileYNumber(int n)
{
    CMercatorTileModel::SetLevel1TileYNumber(n);
    if (m_pMercatorModel)
        m_pMercatorModel->SetLevel1TileYNumber(n);
}

void CBaiduTileModel::SetLeftTopUP(bool leftTopUp)
{
    CMercatorTileModel::SetLeftTopUP(leftTopUp);
    if (m_pMercatorModel)
        m_pMercatorModel->SetLeftTopUP(leftTopUp);
}

double CBaiduTileModel::GetResolutionX(int level) const
{
    return m_pMercatorModel ? m_pMercatorModel->GetResolutionX(level) : 0.0;
}

double CBaiduTileModel::GetResolutionY(int level) const
{
    return m_pMercatorModel ? m_pMercatorModel->GetResolutionY(level) : 0.0;
}

double CBaiduTileModel::GetTileXStride(int level) const
{
    return m_pMercatorModel ? m_pMercatorModel->GetTileXStride(level) : 0.0;
}

double CBaiduTileModel::GetTileYStride(int level) const
{
    return m_pMercatorModel ? m_pMercatorModel->GetTileYStride(level) : 0.0;
}

double CBaiduTileModel::GetMeterXViaPixel(int level, double px) const
{
    return m_pMercatorModel ? m_pMercatorModel->GetMeterXViaPixel(level, px) : 0.0;
}

double CBaiduTileModel::GetPixelXViaMeter(int level, double m) const
{
    return m_pMercatorModel ? m_pMercatorModel->GetPixelXViaMeter(level, m) : 0.0;
}

double CBaiduTileModel::GetMeterYViaPixel(int level, double py) const
{
    return m_pMercatorModel ? m_pMercatorModel->GetMeterYViaPixel(level, py) : 0.0;
}

double CBaiduTileModel::GetPixelYViaMeter(int level, double m) const
{
    return m_pMercatorModel ? m_pMercatorModel->GetPixelYViaMeter(level, m) : 0.0;
}

CExtent CBaiduTileModel::GetPixelExtent(const CTileKey& k, int level) const
{
    return m_pMercatorModel ? m_pMercatorModel->GetPixelExtent(k, level) : CExtent();
}

CExtent CBaiduTileModel::ConvertGeoExtentToPixel(const EXTENT& e, int level) const
{
    if (!m_pMercatorModel)
        return CExtent();
    const QPointF lo = BdToWgs(e.minx, e.miny);
    const QPointF hi = BdToWgs(e.maxx, e.maxy);
    return m_pMercatorModel->ConvertGeoExtentToPixel(CExtent(lo.x(), lo.y(), hi.x(), hi.y()), level);
}

int CBaiduTileModel::GetTileX(int level, double x) const
{
    return m_pMercatorModel ? m_pMercatorModel->GetTileX(level, WgsToBd(x, 0.0).x()) : 0;
}

bool CBaiduTileModel::IsCrossTileX(int level, double x) const
{
    return m_pMercatorModel && m_pMercatorModel->IsCrossTileX(level, BdToWgs(x, 0.0).x());
}

bool CBaiduTileModel::IsCrossTileX(int level, double x, double y) const
{
    return m_pMercatorModel && m_pMercatorModel->IsCrossTileX(level, BdToWgs(x, y).x());
}

int CBaiduTileModel::GetTileY(int level, double y) const
{
    return m_pMercatorModel ? m_pMercatorModel->GetTileY(level, BdToWgs(0.0, y).y()) : 0;
}

bool CBaiduTileModel::IsCrossTileY(int level, double y) const
{
    return m_pMercatorModel && m_pMercatorModel->IsCrossTileY(level, WgsToBd(0.0, y).y());
}

bool CBaiduTileModel::IsCrossTileY(int level, double x, double y) const
{
    return m_pMercatorModel && m_pMercatorModel->IsCrossTileY(level, WgsToBd(x, y).y());
}

CTileKey CBaiduTileModel::MakeKey(int level, double x, double y) const
{
    if (!m_pMercatorModel)
        return CTileKey();
    const QPointF w = BdToWgs(x, y);
    return m_pMercatorModel->MakeKey(level, w.x(), w.y());
}

double CBaiduTileModel::GetPixelX(int level, double x) const
{
    return m_pMercatorModel ? m_pMercatorModel->GetPixelX(level, BdToWgs(x, 0.0).x()) : 0.0;
}

double CBaiduTileModel::GetPixelY(int level, double y) const
{
    return m_pMercatorModel ? m_pMercatorModel->GetPixelY(level, BdToWgs(0.0, y).y()) : 0.0;
}

void CBaiduTileModel::GetPixelViaGeo(double& px, double& py, int level, double x, double y) const
{
    if (!m_pMercatorModel)
        return;
    const QPointF w = BdToWgs(x, y);
    m_pMercatorModel->GetPixelViaGeo(px, py, level, w.x(), w.y());
}

void CBaiduTileModel::ProjectGeoToMeter(double& mx, double& my, double x, double y) const
{
    if (!m_pMercatorModel)
        return;
    const QPointF b = WgsToBd(x, y);
    m_pMercatorModel->ProjectGeoToMeter(mx, my, b.x(), b.y());
}

CExtent CBaiduTileModel::GetGeoExtent(const CTileKey& k) const
{
    if (!m_pMercatorModel)
        return CExtent();
    const CExtent w = m_pMercatorModel->GetGeoExtent(k);
    const QPointF lo = WgsToBd(w.minx, w.miny);
    const QPointF hi = WgsToBd(w.maxx, w.maxy);
    return CExtent(lo.x(), lo.y(), hi.x(), hi.y());
}

double CBaiduTileModel::GetLongitudeViaPixelX(int level, double px) const
{
    return m_pMercatorModel ? WgsToBd(m_pMercatorModel->GetLongitudeViaPixelX(level, px), 0.0).x() : 0.0;
}

double CBaiduTileModel::GetLatitudeViaPixelY(int level, double py) const
{
    return m_pMercatorModel ? WgsToBd(0.0, m_pMercatorModel->GetLatitudeViaPixelY(level, py)).y() : 0.0;
}

void CBaiduTileModel::GetGeoViaPixel(double& x, double& y, int level, double px, double py) const
{
    if (!m_pMercatorModel)
        return;
    double wx = 0.0;
    double wy = 0.0;
    m_pMercatorModel->GetGeoViaPixel(wx, wy, level, px, py);
    const QPointF b = WgsToBd(wx, wy);
    x = b.x();
    y = b.y();
}

double CBaiduTileModel::GetLatitudeViaY(int level, int row) const
{
    return m_pMercatorModel ? WgsToBd(0.0, m_pMercatorModel->GetLatitudeViaY(level, row)).y() : 0.0;
}

void CBaiduTileModel::ProjectMeterToGeo(double& x, double& y, double mx, double my) const
{
    if (!m_pMercatorModel)
        return;
    double wx = 0.0;
    double wy = 0.0;
    m_pMercatorModel->ProjectMeterToGeo(wx, wy, mx, my);
    const QPointF b = WgsToBd(wx, wy);
    x = b.x();
    y = b.y();
}

bool CBaiduTileModel::GetRowColInfo(int& startRow, int& startCol, int& rowCount, int& colCount, const EXTENT& e,
                                    int level) const
{
    if (!m_pMercatorModel)
        return false;
    EXTENT clamped = e;
    Clamp(clamped, CExtent(m_dMinLongitude, m_dMinLatitude, m_dMaxLongitude, m_dMaxLatitude));
    const QPointF lo = BdToWgs(clamped.minx, clamped.miny);
    const QPointF hi = BdToWgs(clamped.maxx, clamped.maxy);
    const CMercatorTileModel& inner = *m_pMercatorModel;
    const long long c0 = inner.GetTileX(level, lo.x());
    const long long c1 = inner.GetTileX(level, hi.x());
    const long long rS = inner.GetTileY(level, lo.y());
    const long long rN = inner.GetTileY(level, hi.y());
    const bool topUp = inner.IsLeftTopUP();
    long long rows = topUp ? rS - rN + 1 : rN - rS + 1;
    // An edge on a border does not pull in the tile beyond it; the counts are not clamped into
    // the level afterwards.
    if (inner.IsCrossTileY(level, topUp ? lo.y() : hi.y()) && rS != rN)
        --rows;
    long long cols = c1 - c0 + 1;
    if (inner.IsCrossTileX(level, hi.x()) && c1 != c0)
        --cols;
    startRow = static_cast<int>(topUp ? rN : rS);
    startCol = static_cast<int>(c0);
    rowCount = vt_tile::SaturateToInt(static_cast<double>(rows));
    colCount = vt_tile::SaturateToInt(static_cast<double>(cols));
    return true;
}

bool CBaiduTileModel::GetTileBound(CTileKey& minKey, CTileKey& maxKey, const EXTENT& e, int level) const
{
    if (!m_pMercatorModel)
        return false;
    const QPointF lo = BdToWgs(e.minx, e.miny);
    const QPointF hi = BdToWgs(e.maxx, e.maxy);
    return m_pMercatorModel->GetTileBound(minKey, maxKey, CExtent(lo.x(), lo.y(), hi.x(), hi.y()), level);
}

void CBaiduTileModel::ConvertGeoToMercatorMeter(double& mx, double& my, double x, double y) const
{
    if (!m_pMercatorModel)
        return;
    const QPointF w = BdToWgs(x, y);
    m_pMercatorModel->ConvertGeoToMercatorMeter(mx, my, w.x(), w.y());
}

void CBaiduTileModel::ConvertMercatorToGeoMeter(double& x, double& y, double mx, double my) const
{
    if (!m_pMercatorModel)
        return;
    double wx = 0.0;
    double wy = 0.0;
    m_pMercatorModel->ConvertMercatorToGeoMeter(wx, wy, mx, my);
    const QPointF b = WgsToBd(wx, wy);
    x = b.x();
    y = b.y();
}

void CBaiduTileModel::ConvertGeoToMercatorUnit(double& mx, double& my, double x, double y) const
{
    if (!m_pMercatorModel)
        return;
    const QPointF w = BdToWgs(x, y);
    m_pMercatorModel->ConvertGeoToMercatorUnit(mx, my, w.x(), w.y());
}

void CBaiduTileModel::ConvertMercatorToGeoUnit(double& x, double& y, double mx, double my) const
{
    if (!m_pMercatorModel)
        return;
    double wx = 0.0;
    double wy = 0.0;
    m_pMercatorModel->ConvertMercatorToGeoUnit(wx, wy, mx, my);
    const QPointF b = WgsToBd(wx, wy);
    x = b.x();
    y = b.y();
}

double CBaiduTileModel::ConvertLatitudeToMercatorUnit(double y) const
{
    return m_pMercatorModel ? m_pMercatorModel->ConvertLatitudeToMercatorUnit(BdToWgs(0.0, y).y()) : 0.0;
}

double CBaiduTileModel::ConvertMercatorToLatitudeUnit(double u) const
{
    return m_pMercatorModel ? WgsToBd(0.0, m_pMercatorModel->ConvertMercatorToLatitudeUnit(u)).y() : 0.0;
}

double CBaiduTileModel::ConvertLatitudeToMercator(double y) const
{
    return m_pMercatorModel ? m_pMercatorModel->ConvertLatitudeToMercator(BdToWgs(0.0, y).y()) : 0.0;
}

// The inner result is a unit value, not a latitude; it is converted like one all the same.
double CBaiduTileModel::ConvertMercatorToLatitude(double v) const
{
    return m_pMercatorModel ? WgsToBd(0.0, m_pMercatorModel->ConvertMercatorToLatitude(v)).y() : 0.0;
}
