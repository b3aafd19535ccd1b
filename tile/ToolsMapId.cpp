#include "core/Tools.h"

#include "catalog/MapTypeManager.h"
#include "core/log/VtLog.h"

#include <QStringList>

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kMercatorK = 0.15915494309189535;  // 1 / 2π
constexpr double kMercatorMaxLat = 85.05112877980655;
constexpr double kEarthRadius = 6378137.0;
constexpr double kMercatorHalfWorld = 20037508.342789244;
constexpr double kDegreesPerRad = 57.29577951308232;
constexpr double kRadsPerDegree = 0.017453292519943295;

// Levels as the tile keys take them: n = 2^(L-1) up to 2^62 at level 63, the deepest level whose
// numbers a long long holds; deeper levels count as 63, shallower than 1 as 1.
constexpr int kMaxLevel = 63;
constexpr int kBaseLevelSearchDepth = 21;
// A QList holds at most 2^28 - 1 pointer-sized elements; the documented refusal keeps a margin.
constexpr long long kMaxIdListSize = 1LL << 27;
constexpr int kMaxRingPower = 24;
const char* const kQuadLetters = "qrts";

int ClampLevel(int level) { return std::clamp(level, 1, kMaxLevel); }

long long ColCount(int level) { return 1LL << (ClampLevel(level) - 1); }

long long RowCountWGS(int level) { return ClampLevel(level) == 1 ? 1 : ColCount(level) / 2; }

// (row - 1) * n + col, or -1 when that does not fit 64 bits.
long long IdOf(long long row, long long col, long long n) {
    long long id = 0;
    if (__builtin_mul_overflow(row - 1, n, &id) || __builtin_add_overflow(id, col, &id)) return -1;
    return id;
}

// Tile edge of the Mercator branch in normalised units, and of the WGS branch in degrees.
double MercatorTileSize(int level) { return std::ldexp(1.0, -(ClampLevel(level) - 1)); }
double WgsTileSize(int level) { return 360.0 * MercatorTileSize(level); }

int ClampToInt(long long v) { return static_cast<int>(std::clamp<long long>(v, INT_MIN, INT_MAX)); }

// Truncation towards zero that stays defined for NaN and out-of-range values; the result keeps
// room for the +1 and -1 of the index arithmetic.
long long TruncToLong(double v) {
    constexpr double kLimit = 4.0e18;
    if (std::isnan(v)) return 0;
    if (v >= kLimit) return static_cast<long long>(kLimit);
    if (v <= -kLimit) return -static_cast<long long>(kLimit);
    return static_cast<long long>(v);
}
int TruncToInt(double v) { return ClampToInt(TruncToLong(v)); }

// Into 1 .. count, and into an int: rows and columns beyond 2^31 - 1 cannot be named.
int ClampIndex(long long v, long long count) {
    return static_cast<int>(std::clamp<long long>(v, 1, std::min<long long>(count, INT_MAX)));
}

bool IsWgs(int mapType) { return CMapTypeManager::getInstance()->isWgs84(mapType); }

double Fraction(double v) { return v - std::floor(v); }

// Row and column of a quadtree code; false for a code deeper than kMaxLevel.
bool DecodeQuadCode(const QString& code, long long& row, long long& col) {
    row = 1;
    col = 1;
    if (code.size() > kMaxLevel) return false;
    for (int i = 1; i < code.size(); ++i) {
        const QChar c = code.at(i);
        if (c == QLatin1Char('q')) {
            row = 2 * row - 1;
            col = 2 * col - 1;
        } else if (c == QLatin1Char('r')) {
            row = 2 * row - 1;
            col = 2 * col;
        } else if (c == QLatin1Char('s')) {
            row = 2 * row;
            col = 2 * col;
        } else if (c == QLatin1Char('t')) {
            row = 2 * row;
            col = 2 * col - 1;
        }
    }
    return true;
}

void MercatorExtent(long long row, long long col, double size, bool inDegrees, double& minx, double& miny,
                    double& maxx, double& maxy) {
    minx = static_cast<double>(col - 1) * size - 0.5;
    maxy = 0.5 - static_cast<double>(row - 1) * size;
    maxx = minx + size;
    miny = maxy - size;
    if (inDegrees) {
        minx = Tools::getL(minx);
        maxx = Tools::getL(maxx);
        miny = Tools::getB(miny);
        maxy = Tools::getB(maxy);
    }
}

// Appends the IDs of rows firstRow..lastRow and columns firstCol..lastCol, row by row.
void AppendIds(const char* tag, int level, long long firstRow, long long lastRow, long long firstCol,
               long long lastCol, QList<long long>& ids) {
    const long long rows = lastRow - firstRow + 1;
    const long long cols = lastCol - firstCol + 1;
    if (rows <= 0 || cols <= 0) return;
    if (rows > kMaxIdListSize || cols > kMaxIdListSize || rows * cols > kMaxIdListSize) {
        VtLogError() << tag << VtGB("瓦片数量超过编号列表上限") << static_cast<unsigned long long>(kMaxIdListSize)
                     << VtGB(", 未生成编号列表: ") << static_cast<unsigned long long>(rows) << " x "
                     << static_cast<unsigned long long>(cols);
        return;
    }
    const long long n = ColCount(level);
    if (IdOf(firstRow, firstCol, n) == -1 || IdOf(lastRow, lastCol, n) == -1) {
        VtLogError() << tag << VtGB("瓦片编号超出64位整数, 未生成编号列表: 层级 ") << level;
        return;
    }
    ids.reserve(ids.size() + static_cast<int>(rows * cols));
    for (long long r = firstRow; r <= lastRow; ++r) {
        for (long long c = firstCol; c <= lastCol; ++c) ids.append((r - 1) * n + c);
    }
}

// Running tile count of levels 1..maxLevel; stops early when `stop` says so for a running sum.
template <typename Stop>
int SumLevels(int maxLevel, const CExtent& e, bool inDegrees, int mapType, long long& sum, Stop stop) {
    sum = 0;
    const int last = std::min(maxLevel, kMaxLevel);
    for (int level = 1; level <= last; ++level) {
        int row = 0, col = 0, rowCount = 0, colCount = 0;
        Tools::getRowColInfo(e.minx, e.miny, e.maxx, e.maxy, level, row, col, rowCount, colCount, inDegrees,
                             mapType);
        // Whole-world counts of the deepest levels pass 2^63: the sum saturates.
        if (__builtin_add_overflow(sum, static_cast<long long>(rowCount) * colCount, &sum)) sum = LLONG_MAX;
        if (stop(sum)) return level;
    }
    return -1;
}

// The level-search of afcGetLevel on a scale whose level-1 tile is `firstSize`.
int LevelForResolution(double& res, double firstSize, int minLevel, int maxLevel) {
    double size = firstSize;
    int level = 1;
    // A size that underflowed to 0 ends the search too: no deeper tile is smaller.
    while (!((size <= res && level >= minLevel) || level >= maxLevel || size == 0.0)) {
        size *= 0.5;
        ++level;
    }
    res = size;
    return level;
}

}  // namespace

void Tools::getXY(const double& lon, const double& lat, double& X, double& Y) {
    X = getX(lon);
    Y = getY(lat);
}

double Tools::getX(const double& lon) { return lon / 360.0; }

double Tools::getY(const double& lat) {
    const double phi = std::clamp(lat, -kMercatorMaxLat, kMercatorMaxLat) * kRadsPerDegree;
    const double s = std::sin(phi);
    return std::log((1.0 + s) / (1.0 - s)) * 0.5 * kMercatorK;
}

void Tools::getLB(const double& X, const double& Y, double& lon, double& lat) {
    lon = getL(X);
    lat = getB(Y);
}

double Tools::getL(const double& X) { return 360.0 * X; }

double Tools::getB(const double& Y) {
    // tanh(t) is (e^2t - 1) / (e^2t + 1) without the overflow of e^2t for large |Y|.
    return std::asin(std::tanh(Y / kMercatorK)) / (kPi / 180.0);
}

double Tools::getProjectX(double& v, bool inDegrees) {
    if (!inDegrees) v = getL(v);
    return v * kEarthRadius * kPi / 180.0;
}

double Tools::getProjectY(double& v, bool inDegrees) {
    if (!inDegrees) v = getB(v);
    // Single precision, as the application's saved metre values were computed.
    const float t = std::tan(static_cast<float>(v * kPi / 180.0 * 0.5 + kPi / 4.0));
    return static_cast<double>(std::log(t)) * kEarthRadius;
}

void Tools::getProjectXY(double& x, double& y, double& mx, double& my, bool inDegrees) {
    mx = getProjectX(x, inDegrees);
    my = getProjectY(y, inDegrees);
}

void Tools::getProjectXYToLB(double& lon, double& lat, double& mx, double& my) {
    lon = mx * 180.0 / kMercatorHalfWorld;
    lat = (std::atan(std::exp(my / kEarthRadius)) - kPi / 4.0) * 360.0 / kPi;
}

double Tools::RadToDegree(double rad) { return rad * kDegreesPerRad; }

double Tools::DegreeToRad(double deg) { return deg * kRadsPerDegree; }

long long Tools::getMapID(int level, int row, int col) { return IdOf(row, col, ColCount(level)); }

void Tools::getRowCol(long long id, int level, int& row, int& col) {
    const long long n = ColCount(level);
    if (id >= n) {
        const long long rest = id % n;
        row = ClampToInt(id / n + (rest != 0 ? 1 : 0));
        col = ClampToInt(rest == 0 ? n : rest);
    } else {
        row = 1;
        col = ClampToInt(id);
    }
}

void Tools::getRowColWGS(long long id, int level, int& row, int& col) { getRowCol(id, level, row, col); }

int Tools::getColCount(int level) { return ClampToInt(ColCount(level)); }

int Tools::getColCountWGS(int level) { return ClampToInt(ColCount(level)); }

int Tools::getRowCountWGS(int level) { return ClampToInt(RowCountWGS(level)); }

double Tools::getSingleMapWidth(int level) { return MercatorTileSize(level); }

double Tools::getSingleMapWidthWGS(int level) { return WgsTileSize(level); }

double Tools::getSingleMapHeightWGS(int level) { return WgsTileSize(level); }

void Tools::getSingleMapSizeWGS(int level, double& w, double& h) {
    w = WgsTileSize(level);
    h = w / 2.0;
}

QString Tools::getCodeByIndex(int row, int col, int level) {
    const double s = MercatorTileSize(level);
    // The tile centre in 0..1, y from the north; each step reads one more binary digit of it.
    double x = col * s - s / 2.0;
    double y = row * s - s / 2.0;
    QString code(QLatin1Char('t'));
    for (int i = 1; i < ClampLevel(level); ++i) {
        const double fx = Fraction(x);
        const double fy = Fraction(y);
        code += QLatin1Char(kQuadLetters[(fx >= 0.5 ? 1 : 0) + (fy >= 0.5 ? 2 : 0)]);
        x = 2.0 * fx;
        y = 2.0 * fy;
    }
    return code;
}

QString Tools::getCodeByMapID(long long id, int level) {
    int row = 0, col = 0;
    getRowCol(id, level, row, col);
    return getCodeByIndex(row, col, level);
}

long long Tools::getMapIdByCode(QString code) {
    long long row = 1, col = 1;
    if (!DecodeQuadCode(code, row, col)) return -1;
    return IdOf(row, col, ColCount(code.size()));
}

void Tools::getExtent(QString code, double& minx, double& miny, double& maxx, double& maxy, bool inDegrees) {
    long long row = 1, col = 1;
    if (!DecodeQuadCode(code, row, col)) {
        minx = miny = maxx = maxy = 0.0;
        return;
    }
    const double size = std::ldexp(1.0, -std::max(0, static_cast<int>(code.size()) - 1));
    MercatorExtent(row, col, size, inDegrees, minx, miny, maxx, maxy);
}

void Tools::getExtent(int level, long long id, double& minx, double& miny, double& maxx, double& maxy,
                      bool inDegrees, int mapType) {
    if (IsWgs(mapType)) {
        getExtentWGS(id, level, minx, miny, maxx, maxy);
        return;
    }
    int row = 0, col = 0;
    getRowCol(id, level, row, col);
    MercatorExtent(row, col, MercatorTileSize(level), inDegrees, minx, miny, maxx, maxy);
}

void Tools::getExtentWGS(long long id, int level, double& minx, double& miny, double& maxx, double& maxy) {
    int row = 0, col = 0;
    getRowColWGS(id, level, row, col);
    getExtentWGS(col, row, level, minx, miny, maxx, maxy);
}

void Tools::getExtentWGS(int col, int row, int level, double& minx, double& miny, double& maxx, double& maxy) {
    const double w = WgsTileSize(level);
    minx = (static_cast<double>(col) - 1.0) * w - 180.0;
    maxy = 90.0 - (static_cast<double>(row) - 1.0) * w;
    maxx = minx + w;
    miny = maxy - w;
}

void Tools::getRowColWGS(double lon, double lat, int level, int& row, int& col) {
    const double w = WgsTileSize(level);
    col = ClampIndex(TruncToLong((std::clamp(lon, -180.0, 180.0) + 180.0) / w) + 1, ColCount(level));
    row = ClampIndex(TruncToLong((90.0 - std::clamp(lat, -90.0, 90.0)) / w) + 1, RowCountWGS(level));
}

void Tools::getRowColInfo(double minx, double miny, double maxx, double maxy, int level, int& row, int& col,
                          int& rowCount, int& colCount, bool inDegrees, int mapType) {
    if (IsWgs(mapType)) {
        getRowColInfoWGS(minx, miny, maxx, maxy, level, row, col, rowCount, colCount);
        return;
    }
    if (inDegrees) {
        miny = getY(miny);
        maxy = getY(maxy);
        minx = getX(minx);
        maxx = getX(maxx);
    }
    const double b = std::max(-0.5, miny);
    const double l = std::max(-0.5, minx) + 0.5;
    const double t = 0.5 - std::min(0.5, maxy);
    const double r = std::min(0.5, maxx) + 0.5;
    const double s = MercatorTileSize(level);
    const long long col0 = TruncToLong(l / s) + 1;
    const long long row0 = TruncToLong(t / s) + 1;
    // ceil: an edge exactly on a border leaves the next tile out.
    long long rows = TruncToLong(std::ceil((0.5 - b - static_cast<double>(row0 - 1) * s) / s));
    long long cols = TruncToLong(std::ceil((r - static_cast<double>(col0 - 1) * s) / s));
    if (rows == 0) rows = 1;
    if (cols == 0) cols = 1;
    const long long n = ColCount(level);
    row = ClampIndex(row0, n);
    col = ClampIndex(col0, n);
    rowCount = ClampIndex(rows, n);
    colCount = ClampIndex(cols, n);
}

void Tools::getRowColInfoWGS(double minx, double miny, double maxx, double maxy, int level, int& row, int& col,
                             int& rowCount, int& colCount) {
    const double w = WgsTileSize(level);
    const long long col0 = TruncToLong((std::max(-180.0, minx) + 180.0) / w) + 1;
    const long long r0 = TruncToLong((90.0 - std::min(90.0, maxy)) / w);
    long long rows = TruncToLong(std::ceil((90.0 - std::max(-90.0, miny) - static_cast<double>(r0) * w) / w));
    long long cols = TruncToLong(std::ceil((std::min(180.0, maxx) + 180.0 - static_cast<double>(col0 - 1) * w) / w));
    if (rows == 0) rows = 1;
    if (cols == 0) cols = 1;
    const long long rowLimit = RowCountWGS(level);
    const long long colLimit = ColCount(level);
    row = ClampIndex(r0 + 1, rowLimit);
    rowCount = ClampIndex(rows, rowLimit);
    col = ClampIndex(col0, colLimit);
    colCount = ClampIndex(cols, colLimit);
}

long long Tools::getAllMapCount(int maxLevel, double minx, double miny, double maxx, double maxy, bool inDegrees,
                                int mapType) {
    if (maxLevel < 1) return 0;
    long long sum = 0;
    SumLevels(maxLevel, CExtent(minx, miny, maxx, maxy), inDegrees, mapType, sum, [](long long) { return false; });
    return sum;
}

void Tools::getMapIndexRange(EXTENT& e, int level, long long& first, long long& count, int mapType) {
    int rowCount = 0, colCount = 0;
    getMapIndexRange(e, level, first, count, rowCount, colCount, mapType);
}

void Tools::getMapIndexRange(EXTENT& e, int level, long long& first, long long& count, int& rowCount,
                             int& colCount, int mapType) {
    int row = 0, col = 0;
    getRowColInfo(e.minx, e.miny, e.maxx, e.maxy, level, row, col, rowCount, colCount, true, mapType);
    first = getAllMapCount(level - 1, e.minx, e.miny, e.maxx, e.maxy, true, mapType);
    count = static_cast<long long>(rowCount) * colCount;
}

int Tools::getLevelByIndex(long long index, CExtent e, int mapType, int maxLevel, bool inDegrees) {
    long long sum = 0;
    return SumLevels(maxLevel, e, inDegrees, mapType, sum, [index](long long running) { return running > index; });
}

void Tools::getMapIDArray(double minx, double miny, double maxx, double maxy, int level, QList<long long>& ids,
                          int mapType) {
    if (IsWgs(mapType)) {
        getMapIDArrayWGS(minx, miny, maxx, maxy, level, ids);
    } else {
        getMapIDArrayMEC(minx, miny, maxx, maxy, level, ids, mapType);
    }
}

void Tools::getMapIDArrayMEC(double minx, double miny, double maxx, double maxy, int level, QList<long long>& ids,
                             int mapType) {
    int row = 0, col = 0, rowCount = 0, colCount = 0;
    getRowColInfo(minx, miny, maxx, maxy, level, row, col, rowCount, colCount, false, mapType);
    // The view wants a square block: the first row or column moves out, the last stays.
    long long firstRow = row, firstCol = col;
    if (colCount > rowCount) firstRow -= (colCount - rowCount + 1) / 2;
    if (rowCount > colCount) firstCol -= (rowCount - colCount + 1) / 2;
    AppendIds("[Tools::getMapIDArrayMEC] ", level, firstRow, static_cast<long long>(row) + rowCount - 1, firstCol,
              static_cast<long long>(col) + colCount - 1, ids);
}

void Tools::getMapIDArrayWGS(double minx, double miny, double maxx, double maxy, int level,
                             QList<long long>& ids) {
    int row = 0, col = 0, rowCount = 0, colCount = 0;
    getRowColInfoWGS(minx, miny, maxx, maxy, level, row, col, rowCount, colCount);
    AppendIds("[Tools::getMapIDArrayWGS] ", level, row, static_cast<long long>(row) + rowCount - 1, col,
              static_cast<long long>(col) + colCount - 1, ids);
}

int Tools::getBaseLevel(double minx, double miny, double maxx, double maxy, bool inDegrees, int mapType) {
    if (IsWgs(mapType)) {
        if (!inDegrees) {
            minx = getL(minx);
            maxx = getL(maxx);
            miny = getB(miny);
            maxy = getB(maxy);
        }
        return getBaseLevelWGS(minx, miny, maxx, maxy);
    }
    if (inDegrees) {
        minx = getX(minx);
        maxx = getX(maxx);
        miny = getY(miny);
        maxy = getY(maxy);
    }
    const double width = maxx - minx;
    const double height = maxy - miny;
    for (int level = 1; level <= kBaseLevelSearchDepth; ++level) {
        const double s = std::ldexp(1.0, -level);
        if (width > s || height > s) return level;
    }
    return 1;
}

int Tools::getBaseLevelWGS(double minx, double miny, double maxx, double maxy) {
    const double width = maxx - minx;
    const double height = maxy - miny;
    for (int level = 1; level <= kBaseLevelSearchDepth; ++level) {
        const double f = std::ldexp(1.0, -level);
        if (width > 360.0 * f || height > 180.0 * f) return level;
    }
    return 1;
}

int Tools::afcGetLevel(double& res, short minLevel, short maxLevel) {
    if (maxLevel < 1) {
        res = 1.0;
        return 1;
    }
    return LevelForResolution(res, 1.0, minLevel, maxLevel);
}

int Tools::afcGetLevel(double& res) { return afcGetLevel(res, 1, 21); }

int Tools::afcGetLevelWGS(double& res) { return afcGetLevelWGS(res, 21); }

int Tools::afcGetLevelWGS(double& res, int maxLevel) {
    if (maxLevel < 1) {
        res = 360.0;
        return 1;
    }
    return LevelForResolution(res, 360.0, 1, maxLevel);
}

void Tools::setExtentReasonble(EXTENT& e, int mapType) {
    const double bound = IsWgs(mapType) ? 90.0 : std::asin(std::tanh(kPi)) * kDegreesPerRad;
    e.minx = std::max(e.minx, -180.0);
    e.maxx = std::min(e.maxx, 180.0);
    e.miny = std::max(e.miny, -bound);
    e.maxy = std::min(e.maxy, bound);
}

QPointF Tools::World2ClientF(const CExtent& world, const double& scale, int clientHeight, QPointF p) {
    return QPointF((p.x() - world.minx) * scale, clientHeight - (p.y() - world.miny) * scale);
}

QPointF Tools::getClientCoord(const CExtent& world, const double& scale, int clientHeight, QPointF p, int mapType) {
    if (!IsWgs(mapType)) p = QPointF(getX(p.x()), getY(p.y()));
    return World2ClientF(world, scale, clientHeight, p);
}

void Tools::world2Client(const CExtent& world, const double& scale, CExtent& e) {
    const CExtent in = e;
    e.minx = (in.minx - world.minx) * scale;
    e.maxx = (in.maxx - world.minx) * scale;
    e.miny = (world.maxy - in.maxy) * scale;
    e.maxy = (world.maxy - in.miny) * scale;
}

POINTD Tools::client2World(const CExtent& world, const double& scale, const QPoint& p) {
    return POINTD{p.x() / scale + world.minx, world.maxy - p.y() / scale};
}

void Tools::degreeToDMS(double deg, int& d, int& m, double& s) {
    if (deg == 0.0) {
        d = 0;
        m = 0;
        s = 0.0;
        return;
    }
    d = TruncToInt(deg);
    const double minutes = (deg - d) * 60.0;
    m = TruncToInt(minutes);
    s = (minutes - m) * 60.0;
}

QString Tools::degreeToDMS(double deg, bool isLongitude) {
    const double limit = isLongitude ? 180.0 : 90.0;
    int d = 0, m = 0;
    double s = 0.0;
    if (std::fabs(deg) >= limit) {
        d = static_cast<int>(limit);
    } else {
        degreeToDMS(std::fabs(deg), d, m, s);
    }
    const char* hemisphere = isLongitude ? (deg > 0 ? "E" : "W") : (deg > 0 ? "N" : "S");
    return QString::fromUtf8("%1°%2′%3″%4")
        .arg(d)
        .arg(m, 2, 10, QLatin1Char('0'))
        .arg(s, 5, 'f', 2, QLatin1Char('0'))
        .arg(QLatin1String(hemisphere));
}

void Tools::dMSToDegree(int d, int m, double s, QString hemisphere, double& deg) {
    deg = std::fabs(static_cast<double>(d)) + m / 60.0 + s / 3600.0;
    if (hemisphere == QLatin1String("W") || hemisphere == QLatin1String("S")) deg = -deg;
}

double Tools::dMSToDegree(QString text) {
    text.remove(QLatin1Char(' '));
    const int degreeMark = text.indexOf(QChar(0x00B0));
    if (degreeMark < 0) return text.toDouble();
    const int d = text.left(degreeMark).toInt();
    QString rest = text.mid(degreeMark + 1);
    int m = 0, s = 0;
    // Whole numbers only: a fractional second does not parse and counts as 0; a missing mark leaves
    // the numbers after it at 0.
    const int minuteMark = rest.indexOf(QLatin1Char('\''));
    if (minuteMark >= 0) {
        m = rest.left(minuteMark).toInt();
        rest = rest.mid(minuteMark + 1);
        const int secondMark = rest.indexOf(QLatin1Char('"'));
        if (secondMark >= 0) {
            s = rest.left(secondMark).toInt();
            rest = rest.mid(secondMark + 1);
        }
    }
    double deg = 0.0;
    dMSToDegree(d, m, s, rest, deg);
    return deg;
}

QList<QPointF> Tools::translateRadToWGS84(const QPointF& centre, const double& radius, int n) {
    QList<QPointF> ring;
    if (n < 0) return ring;
    if (n > kMaxRingPower) {
        VtLogError() << "[Tools::translateRadToWGS84] " << VtGB("圆周点数过多(上限2^") << kMaxRingPower
                     << VtGB("), 未生成: 2^") << n;
        return ring;
    }
    const int count = 1 << n;
    ring.reserve(count);
    for (int i = 0; i < count; ++i) {
        const double angle = DegreeToRad(i * 360.0 / count);
        ring.append(QPointF(centre.x() + radius * std::cos(angle), centre.y() + radius * std::sin(angle)));
    }
    return ring;
}
