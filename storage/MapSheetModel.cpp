#include "storage/MapSheetModel.h"

#include "core/log/VtLog.h"
#include "storage/MapSheetTable_p.h"

#include <QPainterPath>
#include <QSet>

#include <algorithm>
#include <climits>
#include <cmath>
#include <utility>
#include <vector>

namespace {

constexpr long long kMs = kMapSheetMsPerDegree;
constexpr long long kZoneMs = 6 * kMs;
constexpr long long kBandMs = 4 * kMs;
constexpr long long kMinLonMs = -180 * kMs;
constexpr long long kMaxLonMs = 180 * kMs;
constexpr long long kMinLatMs = -88 * kMs;
constexpr long long kMaxLatMs = 88 * kMs;

// Sheet size of a scale; warns and gives false outside 1..11.
bool SheetSize(ENUM_MAPSHEET scale, long long& dlon, long long& dlat) {
    const MapSheetScaleRow* row = FindMapSheetScale(scale);
    if (row == nullptr) {
        VtLogWarn() << VtGB("[CMapSheetModel] 枚举错误，拒绝计算图幅行列号");
        dlon = dlat = 0;
        return false;
    }
    dlon = row->dlon;
    dlat = row->dlat;
    return true;
}

// Rows (= columns) per 1:1,000,000 sheet; warns and gives 0 outside 1..11.
int SheetCount(int scale) {
    const MapSheetScaleRow* row = FindMapSheetScale(scale);
    if (row == nullptr) {
        VtLogWarn() << VtGB("[CMapSheetModel] 枚举错误，拒绝计算图幅最大行列号");
        return 0;
    }
    return row->count;
}

int ScaleOfLetter(char letter) {
    for (const MapSheetScaleRow& row : kMapSheetScales) {
        if (row.letter == letter) return row.scale;
    }
    return 0;
}

long long FloorDiv(long long a, long long b) { return a / b - ((a % b != 0 && (a < 0) != (b < 0)) ? 1 : 0); }
long long CeilDiv(long long a, long long b) { return -FloorDiv(-a, b); }

// Degrees to whole milliseconds. Points are rounded up (a point given on a border lands in the
// sheet east or north of it even after decimal rounding); outlines are rounded to nearest, so an
// outline copied from sheet corners keeps its corners exactly.
bool PointToMs(double deg, long long& ms) {
    if (!std::isfinite(deg)) return false;
    ms = static_cast<long long>(std::ceil(deg * static_cast<double>(kMs)));
    return true;
}
double OutlineToMs(double deg) { return std::round(deg * static_cast<double>(kMs)); }
double MsToDeg(double ms) { return ms / static_cast<double>(kMs); }

// Snaps onto multiples of d; a value within 1 ms of a grid line counts as on it.
long long SnapDown(long long v, long long d) {
    const long long down = FloorDiv(v, d) * d;
    return v - down >= d - 1 ? down + d : down;
}
long long SnapUp(long long v, long long d) {
    const long long up = CeilDiv(v, d) * d;
    return up - v >= d - 1 ? up - d : up;
}

// The rect of a numbered sheet, from its fields (scale 1 has no row and column in sheet).
QRectF SheetRect(const CMapSheet& s, long long dlon, long long dlat) {
    const long long band = s.m_cRowLetter - 'A' + 1;
    long long west = (s.m_nColumn - 31) * kZoneMs;
    long long south = s.m_bNorth ? band * kBandMs - kBandMs : -band * kBandMs;
    if (s.m_nRow != 0 && s.m_nColumnInSheet != 0) {
        west += (s.m_nColumnInSheet - 1) * dlon;
        south += s.m_bNorth ? kBandMs - s.m_nRow * dlat : (s.m_nRow - 1) * dlat;
    } else {
        dlon = kZoneMs;
        dlat = kBandMs;
    }
    return QRectF(MsToDeg(static_cast<double>(west)), MsToDeg(static_cast<double>(south)),
                  MsToDeg(static_cast<double>(dlon)), MsToDeg(static_cast<double>(dlat)));
}

bool Covers(long long low, long long size, long long v) { return low <= v && v <= low + size; }

// The sheet of (lon, lat) in ms by the series' numbering; the scale must be valid. The numbering
// counts |lon| and |lat| away from the prime meridian and the equator, so a point on an inner
// sheet line goes to the sheet farther from them. Where that count names a sheet the point is not
// on (a point on a 1:1,000,000 line in the west or south, the east and north limits), the point
// goes to the sheet it is on, inside the same 1:1,000,000 sheet and the limits.
CMapSheet SheetAtMs(const MapSheetScaleRow& scale, long long lon, long long lat) {
    lon = std::clamp(lon, kMinLonMs, kMaxLonMs);
    lat = std::clamp(lat, kMinLatMs, kMaxLatMs);
    CMapSheet s;
    s.m_bValid = true;
    s.m_bNorth = lat >= 0;
    // 180 and 88 would open a column 61 and a band W; they are the last sheets' edges instead.
    const long long zone = std::min<long long>(FloorDiv(lon, kZoneMs) + 31, 60);
    const long long band = std::min<long long>(s.m_bNorth ? lat / kBandMs + 1 : CeilDiv(-lat, kBandMs), 22);
    s.m_nColumn = static_cast<int>(zone);
    s.m_cRowLetter = static_cast<char>('A' + band - 1);
    s.m_cScaleLetter = scale.letter;
    if (scale.scale != MAPSHEET_1M) {
        const long long n = scale.count;
        const long long zoneWest = (zone - 31) * kZoneMs;
        const long long bandSouth = s.m_bNorth ? (band - 1) * kBandMs : -band * kBandMs;
        const long long absLon = lon < 0 ? -lon : lon;
        const long long absLat = lat < 0 ? -lat : lat;
        long long col = (absLon % kZoneMs) / scale.dlon + 1;
        if (lon < 0) col = n + 1 - col;
        if (!Covers(zoneWest + (col - 1) * scale.dlon, scale.dlon, lon))
            col = std::clamp<long long>((lon - zoneWest) / scale.dlon + 1, 1, n);
        long long row = n - (absLat % kBandMs) / scale.dlat;
        const auto rowSouth = [&](long long r) {
            return s.m_bNorth ? bandSouth + kBandMs - r * scale.dlat : bandSouth + (r - 1) * scale.dlat;
        };
        if (!Covers(rowSouth(row), scale.dlat, lat)) {
            const long long fromSouth = (lat - bandSouth) / scale.dlat;
            row = std::clamp<long long>(s.m_bNorth ? n - fromSouth : fromSouth + 1, 1, n);
        }
        s.m_nColumnInSheet = static_cast<int>(col);
        s.m_nRow = static_cast<int>(row);
    }
    s.m_rect = SheetRect(s, scale.dlon, scale.dlat);
    return s;
}

// Built from the fields whether or not the sheet is valid.
QString SheetName(const CMapSheet& s, bool noHemisphere) {
    QString name;
    if (!noHemisphere) name += QLatin1Char(s.m_bNorth ? 'N' : 'S');
    name += QLatin1Char(s.m_cRowLetter);
    name += QStringLiteral("%1").arg(s.m_nColumn, 2, 10, QLatin1Char('0'));
    if (s.m_nRow != 0 && s.m_nColumnInSheet != 0) {
        const int digits = s.m_cScaleLetter == 'J' || s.m_cScaleLetter == 'K' ? 4 : 3;
        name += QLatin1Char(s.m_cScaleLetter);
        name += QStringLiteral("%1").arg(s.m_nRow, digits, 10, QLatin1Char('0'));
        name += QStringLiteral("%1").arg(s.m_nColumnInSheet, digits, 10, QLatin1Char('0'));
    }
    return name;
}

// Reads `count` ASCII digits at `pos`; false on any other character.
bool ReadDigits(const QString& text, int pos, int count, int& value) {
    value = 0;
    for (int i = pos; i < pos + count; ++i) {
        const ushort c = text.at(i).unicode();
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

bool IsAsciiUpper(ushort c, char first, char last) { return c >= static_cast<ushort>(first) && c <= static_cast<ushort>(last); }

// The expanded rect of r in ms; false for an invalid scale or a rect with non-finite corners.
bool ExpandMs(ENUM_MAPSHEET scale, const QRectF& r, long long& west, long long& south, long long& east,
              long long& north) {
    long long dlon = 0, dlat = 0;
    if (!SheetSize(scale, dlon, dlat)) return false;
    const QRectF n = r.normalized();
    const double corners[4] = {n.left(), n.top(), n.right(), n.bottom()};
    for (double c : corners) {
        if (!std::isfinite(c)) return false;
    }
    const auto lon = [](double deg) { return static_cast<long long>(OutlineToMs(std::clamp(deg, -180.0, 180.0))); };
    const auto lat = [](double deg) { return static_cast<long long>(OutlineToMs(std::clamp(deg, -88.0, 88.0))); };
    west = SnapDown(lon(n.left()), dlon);
    south = SnapDown(lat(n.top()), dlat);
    east = std::max(SnapUp(lon(n.right()), dlon), west);
    north = std::max(SnapUp(lat(n.bottom()), dlat), south);
    return true;
}

long long SheetCountOf(long long west, long long south, long long east, long long north, const MapSheetScaleRow& s) {
    return ((east - west) / s.dlon) * ((north - south) / s.dlat);
}

// Walks the sheets of an expanded rect: west to east, and south to north within a column.
template <typename Visit>
void WalkSheets(const MapSheetScaleRow& scale, long long west, long long south, long long east, long long north,
                Visit visit) {
    for (long long lon = west; lon < east; lon += scale.dlon) {
        for (long long lat = south; lat < north; lat += scale.dlat) {
            // Just inside the south-west corner: the corner itself lies on lines the numbering
            // may give to a neighbour.
            if (!visit(SheetAtMs(scale, lon + 1, lat + 1))) return;
        }
    }
}

// Polygon test in ms: an edge running through the open rect, or the rect inside the polygon
// (odd-even). Vertices are rounded to whole ms like every outline. Sheets are tested column by
// column, so the edges that reach into the current column are kept: a sheet then costs only the
// few edges of its column, and the inside test casts its ray north through the same edges.
class CAreaTest {
public:
    explicit CAreaTest(const QPolygonF& polygon) {
        m_points.reserve(static_cast<size_t>(polygon.size()));
        for (const QPointF& p : polygon) {
            if (!std::isfinite(p.x()) || !std::isfinite(p.y())) {
                m_points.clear();
                return;
            }
            m_points.push_back({OutlineToMs(p.x()), OutlineToMs(p.y())});
        }
    }

    bool Meets(const QRectF& rectDeg) {
        if (m_points.empty()) return false;
        const double x0 = OutlineToMs(rectDeg.left()), x1 = OutlineToMs(rectDeg.right());
        const double y0 = OutlineToMs(rectDeg.top()), y1 = OutlineToMs(rectDeg.bottom());
        SelectColumn(x0, x1);
        for (const Edge& e : m_column) {
            if (EdgeEntersRect(e, x0, y0, x1, y1)) return true;
        }
        return Contains((x0 + x1) / 2, (y0 + y1) / 2);
    }

private:
    struct Point {
        double x, y;
    };
    struct Edge {
        Point a, b;
    };

    void SelectColumn(double x0, double x1) {
        if (m_bColumnValid && x0 == m_dColumnX0 && x1 == m_dColumnX1) return;
        m_column.clear();
        const size_t n = m_points.size();
        for (size_t i = 0; i < n; ++i) {
            const Point& a = m_points[i];
            const Point& b = m_points[(i + 1) % n];
            if (std::max(a.x, b.x) >= x0 && std::min(a.x, b.x) <= x1) m_column.push_back({a, b});
        }
        m_bColumnValid = true;
        m_dColumnX0 = x0;
        m_dColumnX1 = x1;
    }

    // Liang-Barsky clip; the clipped part runs through the inside when its midpoint does.
    static bool EdgeEntersRect(const Edge& e, double x0, double y0, double x1, double y1) {
        const double dx = e.b.x - e.a.x, dy = e.b.y - e.a.y;
        double t0 = 0.0, t1 = 1.0;
        const double p[4] = {-dx, dx, -dy, dy};
        const double q[4] = {e.a.x - x0, x1 - e.a.x, e.a.y - y0, y1 - e.a.y};
        for (int k = 0; k < 4; ++k) {
            if (p[k] == 0.0) {
                if (q[k] < 0.0) return false;
                continue;
            }
            const double t = q[k] / p[k];
            if (p[k] < 0.0) t0 = std::max(t0, t);
            else t1 = std::min(t1, t);
        }
        if (t0 > t1) return false;
        const double tm = (t0 + t1) / 2;
        const double mx = e.a.x + tm * dx, my = e.a.y + tm * dy;
        return mx > x0 && mx < x1 && my > y0 && my < y1;
    }

    // Odd-even test with a ray going north from (x, y); x lies inside the selected column.
    bool Contains(double x, double y) const {
        bool inside = false;
        for (const Edge& e : m_column) {
            if ((e.a.x > x) != (e.b.x > x) && e.a.y + (x - e.a.x) * (e.b.y - e.a.y) / (e.b.x - e.a.x) > y) {
                inside = !inside;
            }
        }
        return inside;
    }

    std::vector<Point> m_points;
    std::vector<Edge> m_column;  // edges reaching into the column [m_dColumnX0, m_dColumnX1]
    bool m_bColumnValid = false;
    double m_dColumnX0 = 0.0;
    double m_dColumnX1 = 0.0;
};

// Identity of a sheet for de-duplication (the name with hemisphere letter, as a number).
long long SheetKey(const CMapSheet& s) {
    return ((((static_cast<long long>(s.m_bNorth) * 32 + (s.m_cRowLetter - 'A')) * 64 + s.m_nColumn) * 16 +
             (s.m_cScaleLetter - 'A')) * 4096 + s.m_nRow) * 4096 + s.m_nColumnInSheet;
}

}  // namespace

CMapSheetModel::CMapSheetVisitor::~CMapSheetVisitor() = default;

struct CMapSheetModel::Private {
    CMapSheetModel* owner = nullptr;    // back pointer
    CTileModel* tileModel = nullptr;    // not owned
};

CMapSheetModel::CMapSheetModel() : d(new Private) { d->owner = this; }

CMapSheetModel::CMapSheetModel(const CMapSheetModel& other) : d(new Private(*other.d)) { d->owner = this; }

CMapSheetModel& CMapSheetModel::operator=(const CMapSheetModel& other) {
    d->tileModel = other.d->tileModel;
    return *this;
}

CMapSheetModel::~CMapSheetModel() = default;

void CMapSheetModel::AttachTileModel(CTileModel* model) { d->tileModel = model; }
void CMapSheetModel::DetachTileModel() { d->tileModel = nullptr; }
CTileModel* CMapSheetModel::GetTileModel() const { return d->tileModel; }

CMapSheet CMapSheetModel::GetMapSheetFromPoint(ENUM_MAPSHEET scale, QPointF p, bool) const {
    long long dlon = 0, dlat = 0;
    if (!SheetSize(scale, dlon, dlat)) return CMapSheet();
    long long lon = 0, lat = 0;
    if (!PointToMs(std::clamp(p.x(), -180.0, 180.0), lon) || !PointToMs(std::clamp(p.y(), -88.0, 88.0), lat)) {
        return CMapSheet();
    }
    return SheetAtMs(*FindMapSheetScale(scale), lon, lat);
}

void CMapSheetModel::GetStringFromMapSheet(QString& out, const CMapSheet& s, bool noHemisphere) const {
    out = SheetName(s, noHemisphere);
}

void CMapSheetModel::GetMapSheetFromString(CMapSheet& s, const QString& name) const {
    s.Clear();
    QString rest = name;
    bool north = true;
    if (rest.size() >= 2 && rest.at(1).isLetter()) {
        if (rest.at(0) == QLatin1Char('S')) north = false;
        else if (rest.at(0) != QLatin1Char('N')) return;
        rest.remove(0, 1);
    }
    // [A-V][0-9]{2}, optionally followed by [B-I] and 3 + 3 digits or [J-K] and 4 + 4 digits.
    if (rest.size() != 3 && rest.size() != 10 && rest.size() != 12) return;
    const ushort rowLetter = rest.at(0).unicode();
    int column = 0;
    if (!IsAsciiUpper(rowLetter, 'A', 'V') || !ReadDigits(rest, 1, 2, column) || column < 1 || column > 60) return;
    CMapSheet parsed;
    parsed.m_bNorth = north;
    parsed.m_cRowLetter = static_cast<char>(rowLetter);
    parsed.m_nColumn = column;
    parsed.m_cScaleLetter = 'A';
    long long dlon = 0, dlat = 0;
    if (rest.size() > 3) {
        const ushort letter = rest.at(3).unicode();
        const int digits = rest.size() == 10 ? 3 : 4;
        const bool letterFits = digits == 3 ? IsAsciiUpper(letter, 'B', 'I') : IsAsciiUpper(letter, 'J', 'K');
        int row = 0, col = 0;
        if (!letterFits || !ReadDigits(rest, 4, digits, row) || !ReadDigits(rest, 4 + digits, digits, col)) return;
        const int scale = ScaleOfLetter(static_cast<char>(letter));
        const int count = SheetCount(scale);
        if (row < 1 || row > count || col < 1 || col > count) return;
        SheetSize(static_cast<ENUM_MAPSHEET>(scale), dlon, dlat);
        parsed.m_cScaleLetter = static_cast<char>(letter);
        parsed.m_nRow = row;
        parsed.m_nColumnInSheet = col;
    }
    parsed.m_rect = SheetRect(parsed, dlon, dlat);
    parsed.m_bValid = true;
    s = parsed;
}

bool CMapSheetModel::IsMapSheet(const QString& name) const {
    CMapSheet s;
    GetMapSheetFromString(s, name.toUpper());
    return s.m_bValid;
}

void CMapSheetModel::GetMultiMapSheetFromStringList(QVector<CMapSheet>& out, const QStringList& names) const {
    for (const QString& name : names) {
        CMapSheet s;
        GetMapSheetFromString(s, name);
        out.append(s);
    }
}

CMapSheet CMapSheetModel::GetParentMapSheet(const CMapSheet& s) const {
    if (!s.m_bValid) return CMapSheet();
    const int scale = ScaleOfLetter(s.m_cScaleLetter);
    if (scale <= MAPSHEET_1M || s.m_nRow < 1 || s.m_nColumnInSheet < 1) return CMapSheet();
    const MapSheetScaleRow& parentScale = *FindMapSheetScale(scale - 1);
    const int ratio = FindMapSheetScale(scale)->count / parentScale.count;
    CMapSheet parent = s;
    parent.m_cScaleLetter = parentScale.letter;
    if (parentScale.scale == MAPSHEET_1M) {
        parent.m_nRow = 0;
        parent.m_nColumnInSheet = 0;
    } else {
        parent.m_nRow = (s.m_nRow + ratio - 1) / ratio;
        parent.m_nColumnInSheet = (s.m_nColumnInSheet + ratio - 1) / ratio;
    }
    parent.m_rect = SheetRect(parent, parentScale.dlon, parentScale.dlat);
    return parent;
}

ENUM_MAPSHEET CMapSheetModel::GetMapSheetFromLevel(int level) const {
    if (level >= 1 && level <= 5) return MAPSHEET_1M;
    switch (level) {
    case 7:
    case 8: return MAPSHEET_250K;
    case 9: return MAPSHEET_100K;
    case 10: return MAPSHEET_50K;
    case 11: return MAPSHEET_25K;
    case 12: return MAPSHEET_10K;
    case 13: return MAPSHEET_5K;
    case 14:
    case 15: return MAPSHEET_2K;
    case 16: return MAPSHEET_1K;
    default: break;
    }
    return level >= 17 && level <= 23 ? MAPSHEET_500 : MAPSHEET_500K;
}

void CMapSheetModel::GetDelta(double& dlon, double& dlat, ENUM_MAPSHEET scale) const {
    long long lonMs = 0, latMs = 0;
    SheetSize(scale, lonMs, latMs);
    dlon = MsToDeg(static_cast<double>(lonMs));
    dlat = MsToDeg(static_cast<double>(latMs));
}

QRectF CMapSheetModel::GetExtremum(const QRectF& r) const {
    const QPointF lowerLeft(std::max(r.left(), -180.0), std::max(r.top(), -88.0));
    const QPointF upperRight(std::min(r.right(), 180.0), std::min(r.bottom(), 88.0));
    return QRectF(lowerLeft, upperRight);
}

QRectF CMapSheetModel::GetExpandRect(ENUM_MAPSHEET scale, const QRectF& r) const {
    long long west = 0, south = 0, east = 0, north = 0;
    if (!ExpandMs(scale, r, west, south, east, north)) return QRectF();
    return QRectF(QPointF(MsToDeg(static_cast<double>(west)), MsToDeg(static_cast<double>(south))),
                  QPointF(MsToDeg(static_cast<double>(east)), MsToDeg(static_cast<double>(north))));
}

int CMapSheetModel::CalcMapSheetCountFromRect(ENUM_MAPSHEET scale, const QRectF& r) const {
    const MapSheetScaleRow* row = FindMapSheetScale(scale);
    long long west = 0, south = 0, east = 0, north = 0;
    if (row == nullptr || !ExpandMs(scale, r, west, south, east, north)) return -1;
    return static_cast<int>(std::min<long long>(SheetCountOf(west, south, east, north, *row), INT_MAX));
}

int CMapSheetModel::CalcMapSheetCountFromRange(ENUM_MAPSHEET scale, const QList<QPolygonF>& polygons, bool exact) const {
    if (FindMapSheetScale(scale) == nullptr || polygons.isEmpty()) return -1;
    if (exact) {
        QList<CMapSheet> sheets;
        GetMapSheetFromRange(sheets, scale, polygons);
        return sheets.size();
    }
    QRectF bounds;
    for (const QPolygonF& polygon : polygons) bounds = bounds.united(polygon.boundingRect());
    return CalcMapSheetCountFromRect(scale, bounds);
}

void CMapSheetModel::GetMapSheetFromRect(QVector<CMapSheet>& out, ENUM_MAPSHEET scale, const QRectF& r) const {
    long long west = 0, south = 0, east = 0, north = 0;
    if (!ExpandMs(scale, r, west, south, east, north)) return;
    const MapSheetScaleRow& row = *FindMapSheetScale(scale);
    const long long count = SheetCountOf(west, south, east, north, row);
    if (count > kMaxSheetList) return;
    out.reserve(out.size() + static_cast<int>(count));
    WalkSheets(row, west, south, east, north, [&](const CMapSheet& s) {
        out.append(s);
        return true;
    });
}

void CMapSheetModel::GetMapSheetFromRange(QList<CMapSheet>& out, ENUM_MAPSHEET scale,
                                          const QList<QPolygonF>& polygons) const {
    const MapSheetScaleRow* row = FindMapSheetScale(scale);
    if (row == nullptr) return;
    QSet<long long> seen;
    long long added = 0;
    for (const QPolygonF& polygon : polygons) {
        long long west = 0, south = 0, east = 0, north = 0;
        if (polygon.isEmpty() || !ExpandMs(scale, polygon.boundingRect(), west, south, east, north)) continue;
        if (SheetCountOf(west, south, east, north, *row) > kMaxSheetList - added) return;
        CAreaTest test(polygon);
        WalkSheets(*row, west, south, east, north, [&](const CMapSheet& s) {
            if (!test.Meets(s.m_rect)) return true;
            const long long key = SheetKey(s);
            if (seen.contains(key)) return true;
            seen.insert(key);
            out.append(s);
            ++added;
            return true;
        });
    }
}

bool CMapSheetModel::Intersected(const QString& name, const QPolygonF& polygon) const {
    CMapSheet s;
    GetMapSheetFromString(s, name);
    return Intersected(s, polygon);
}

bool CMapSheetModel::Intersected(const CMapSheet& sheet, const QPolygonF& polygon) const {
    if (!sheet.m_bValid) return false;
    CAreaTest test(polygon);
    return test.Meets(sheet.m_rect);
}

void CMapSheetModel::Travel(CMapSheetVisitor* v, ENUM_MAPSHEET scale, QRectF r) const {
    long long west = 0, south = 0, east = 0, north = 0;
    if (v == nullptr || !ExpandMs(scale, r, west, south, east, north)) return;
    WalkSheets(*FindMapSheetScale(scale), west, south, east, north,
               [&](const CMapSheet& s) { return v->Visit(SheetName(s, true), s); });
}

namespace {

// Collects, column by column, the sheets meeting a polygon and merges each column's adjacent
// sheets into one run, so that the union below sees few rectangles.
class CExternalRangeVisitor : public CMapSheetModel::CMapSheetVisitor {
public:
    explicit CExternalRangeVisitor(const QPolygonF& polygon) : m_test(polygon) {}

    bool Visit(const QString&, const CMapSheet& sheet) override {
        if (!sheet.m_bValid || !m_test.Meets(sheet.m_rect)) return true;
        const QRectF r(QPointF(OutlineToMs(sheet.m_rect.left()), OutlineToMs(sheet.m_rect.top())),
                       QPointF(OutlineToMs(sheet.m_rect.right()), OutlineToMs(sheet.m_rect.bottom())));
        if (!m_runs.isEmpty() && m_runs.last().left() == r.left() && m_runs.last().bottom() == r.top()) {
            m_runs.last().setBottom(r.bottom());
        } else {
            m_runs.append(r);
        }
        return true;
    }

    const QVector<QRectF>& Runs() const { return m_runs; }

private:
    CAreaTest m_test;
    QVector<QRectF> m_runs;  // ms
};

}  // namespace

void CMapSheetModel::GetExternalRange(QPolygonF& out, ENUM_MAPSHEET scale, const QPolygonF& in) const {
    const MapSheetScaleRow* row = FindMapSheetScale(scale);
    long long west = 0, south = 0, east = 0, north = 0;
    if (row == nullptr || in.isEmpty() || !ExpandMs(scale, in.boundingRect(), west, south, east, north)) return;
    if (SheetCountOf(west, south, east, north, *row) > kMaxSheetList) return;
    CExternalRangeVisitor visitor(in);
    Travel(&visitor, scale, in.boundingRect());

    QPolygonF inMs;
    for (const QPointF& p : in) inMs.append(QPointF(OutlineToMs(p.x()), OutlineToMs(p.y())));
    QPainterPath current;
    current.addPolygon(inMs);
    current.closeSubpath();
    QPainterPath sheets;
    for (const QRectF& run : visitor.Runs()) {
        // Each outline runs north-west, north-east, south-east, south-west, north-west.
        sheets.addPolygon(QPolygonF({QPointF(run.left(), run.bottom()), QPointF(run.right(), run.bottom()),
                                     QPointF(run.right(), run.top()), QPointF(run.left(), run.top()),
                                     QPointF(run.left(), run.bottom())}));
    }
    const QPolygonF united = current.united(sheets).simplified().toFillPolygon();
    for (const QPointF& p : united) out.append(QPointF(MsToDeg(p.x()), MsToDeg(p.y())));
}
