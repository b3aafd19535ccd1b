#include "tile/TileKey.h"

#include <climits>
#include <tuple>

namespace {

// Numbers are widened to 64 bits for arithmetic so that hostile keys (INT_MAX columns, levels far
// beyond any pyramid) never overflow; results are narrowed back to the key's 32-bit fields.
struct Numbers {
    long long level;
    long long x;
    long long y;
};

bool IsZeroBased(E_TILE_MODEL m)
{
    return m == TILE_MODEL_MERCATOR || m == TILE_MODEL_GEOGRAPHIC || m == TILE_MODEL_BAIDU;
}

// 2^e for e >= 0, saturated at 2^62.
long long Pow2(long long e)
{
    if (e <= 0)
        return 1;
    return e >= 62 ? (1LL << 62) : (1LL << e);
}

// Tile counts of the factory models (left-top-up): NX = 2^L in every scheme, NY = 2^L for
// Mercator and Baidu, 2^(L-1) for the geographic scheme; one tile at level <= 0.
long long ColumnsAt(long long level)
{
    return level < 1 ? 1 : Pow2(level);
}

long long RowsAt(E_TILE_MODEL m, long long level)
{
    if (m == TILE_MODEL_MERCATOR || m == TILE_MODEL_BAIDU)
        return level < 1 ? 1 : Pow2(level);
    return level <= 1 ? 1 : Pow2(level - 1);
}

// Truncating division by 2^steps, the same as halving `steps` times.
long long DivPow2(long long v, long long steps)
{
    if (steps >= 62)
        return 0;
    return v / (1LL << steps);
}

int Narrow(long long v)
{
    if (v > INT_MAX)
        return INT_MAX;
    if (v < INT_MIN)
        return INT_MIN;
    return static_cast<int>(v);
}

Numbers Wide(const CTileKey& k)
{
    return {k.GetLevel(), k.GetTileX(), k.GetTileY()};
}

// k's numbers in the family of `into` (only MAPID <-> zero-based pairs change).
Numbers InFamilyOf(const CTileKey& k, E_TILE_MODEL into)
{
    Numbers n = Wide(k);
    if (into == TILE_MODEL_MAPID && IsZeroBased(k.GetTileModel())) {
        ++n.level;
        ++n.x;
        ++n.y;
    } else if (IsZeroBased(into) && k.GetTileModel() == TILE_MODEL_MAPID) {
        --n.level;
        --n.x;
        --n.y;
    }
    return n;
}

// Zero-based numbers of a key (one-based keys shifted down, every other scheme as stored).
Numbers ZeroBased(const CTileKey& k)
{
    Numbers n = Wide(k);
    if (k.GetTileModel() == TILE_MODEL_MAPID) {
        --n.level;
        --n.x;
        --n.y;
    }
    return n;
}

// A key of scheme m from zero-based numbers.
CTileKey FromZeroBased(const Numbers& n, E_TILE_MODEL m)
{
    const long long shift = m == TILE_MODEL_MAPID ? 1 : 0;
    return CTileKey(Narrow(n.level + shift), Narrow(n.x + shift), Narrow(n.y + shift), m);
}

long long ClampIndex(long long v, long long count)
{
    if (v < 0)
        v = 0;
    if (v > count - 1)
        v = count - 1;
    return v;
}

}  // namespace

bool CTileKey::ChangeTileModel(E_TILE_MODEL m)
{
    const Numbers n = InFamilyOf(*this, m);
    m_nLevel = Narrow(n.level);
    m_nTileX = Narrow(n.x);
    m_nTileY = Narrow(n.y);
    m_eTileModel = m;
    return true;
}

bool CTileKey::IsValid() const
{
    if (m_eTileModel == TILE_MODEL_MAPID)
        return m_nLevel >= 1 && m_nTileX >= 1 && m_nTileY >= 1;
    if (IsZeroBased(m_eTileModel))
        return m_nLevel >= 0 && m_nTileX >= 0 && m_nTileY >= 0;
    return false;
}

std::string CTileKey::GetTileKeyString() const
{
    return std::to_string(m_nLevel) + "_" + std::to_string(m_nTileX) + "_" + std::to_string(m_nTileY);
}

bool CTileKey::operator==(const CTileKey& other) const
{
    if (this == &other)
        return true;
    const Numbers o = InFamilyOf(other, m_eTileModel);
    return m_nLevel == o.level && m_nTileX == o.x && m_nTileY == o.y;
}

bool CTileKey::operator<(const CTileKey& other) const
{
    if (this == &other)
        return false;
    const Numbers o = InFamilyOf(other, m_eTileModel);
    return std::make_tuple(static_cast<long long>(m_nLevel), static_cast<long long>(m_nTileX),
                           static_cast<long long>(m_nTileY)) < std::make_tuple(o.level, o.x, o.y);
}

bool CTileKey::IsSameTile(const CTileKey& other) const
{
    // Translated equality is the only meaning of "same tile" that the depositories rely on.
    return *this == other;
}

CTileKey CTileKey::CreateParentTileKey() const
{
    if (m_nLevel <= 0)
        return CTileKey(-1, 0, 0, TILE_MODEL_MAPID);
    const Numbers z = ZeroBased(*this);
    return FromZeroBased({z.level - 1, z.x / 2, z.y / 2}, m_eTileModel);
}

CTileKey CTileKey::CreateAncientTileKey(int targetLevel) const
{
    if (targetLevel >= m_nLevel || m_nLevel < 1)
        return *this;
    // Parent after parent stops at the target or once the stored level falls below 1 (at 0);
    // halving k times is one division by 2^k, so deep hostile levels cost nothing.
    const long long finalLevel = targetLevel > 0 ? targetLevel : 0;
    const long long steps = static_cast<long long>(m_nLevel) - finalLevel;
    const Numbers z = ZeroBased(*this);
    return FromZeroBased({z.level - steps, DivPow2(z.x, steps), DivPow2(z.y, steps)}, m_eTileModel);
}

CTileKey CTileKey::CreateChildTileKeyLTCornor() const
{
    const Numbers z = ZeroBased(*this);
    return FromZeroBased({z.level + 1, 2 * z.x, 2 * z.y}, m_eTileModel);
}

CTileKey CTileKey::CreateChildTileKeyRBCornor() const
{
    const Numbers z = ZeroBased(*this);
    return FromZeroBased({z.level + 1, 2 * z.x + 1, 2 * z.y + 1}, m_eTileModel);
}

CTileKey CTileKey::GetLeftSibling() const
{
    return CTileKey(m_nLevel, Narrow(static_cast<long long>(m_nTileX) - 1), m_nTileY, m_eTileModel);
}

CTileKey CTileKey::GetRightSibling() const
{
    return CTileKey(m_nLevel, Narrow(static_cast<long long>(m_nTileX) + 1), m_nTileY, m_eTileModel);
}

CTileKey CTileKey::GetUpSibling() const
{
    return CTileKey(m_nLevel, m_nTileX, Narrow(static_cast<long long>(m_nTileY) - 1), m_eTileModel);
}

CTileKey CTileKey::GetDownSibling() const
{
    return CTileKey(m_nLevel, m_nTileX, Narrow(static_cast<long long>(m_nTileY) + 1), m_eTileModel);
}

long long CTileKey::GetParentQuardIndex() const
{
    const Numbers z = ZeroBased(*this);
    return z.x % 2 + 2 * (z.y % 2);
}

bool CTileKey::GetParentQuardCoordinate(int& qx, int& qy) const
{
    const Numbers z = ZeroBased(*this);
    qx = static_cast<int>(z.x % 2);
    qy = static_cast<int>(z.y % 2);
    return true;
}

bool CTileKey::GetAnicientQuardCoordinate(int& qx, int& qy, int& spanX, int& spanY, int ancientLevel) const
{
    if (ancientLevel >= m_nLevel || !CreateParentTileKey().IsValid())
        return false;
    const long long d = static_cast<long long>(m_nLevel) - ancientLevel;
    const int span = d >= 31 ? INT_MAX : (1 << d);
    spanX = span;
    spanY = span;
    long long sx = 0;
    long long sy = 0;
    CTileKey k = *this;
    // Columns and rows fit in 31 bits, so ancestors beyond 62 levels up add nothing.
    for (long long i = 0; i < d && i < 62; ++i) {
        if (!k.IsValid())
            break;
        const Numbers z = ZeroBased(k);
        sx += (z.x % 2) << i;
        sy += (z.y % 2) << i;
        k = k.CreateParentTileKey();
    }
    qx = Narrow(sx);
    qy = Narrow(sy);
    return true;
}

std::string CTileKey::GetQuardIndexString() const
{
    std::string digits;
    CTileKey k = *this;
    while (k.m_nLevel > 0) {
        const CTileKey parent = k.CreateParentTileKey();
        if (!parent.IsValid())
            break;
        digits.push_back(static_cast<char>('0' + k.GetParentQuardIndex()));
        k = parent;
    }
    return "0" + std::string(digits.rbegin(), digits.rend());
}

long long CTileKey::ToMapID() const
{
    if (!IsValid())
        return -1;
    long long id = 0;
    if (m_eTileModel == TILE_MODEL_MAPID) {
        const long long n = Pow2(static_cast<long long>(m_nLevel) - 1);
        if (__builtin_mul_overflow(n, static_cast<long long>(m_nTileY) - 1, &id) ||
            __builtin_add_overflow(id, static_cast<long long>(m_nTileX), &id))
            return -1;
        return id;
    }
    const long long nx = ColumnsAt(m_nLevel);
    if (__builtin_mul_overflow(nx, static_cast<long long>(m_nTileY), &id) ||
        __builtin_add_overflow(id, static_cast<long long>(m_nTileX) + 1, &id))
        return -1;
    return id;
}

void CTileKey::FromMapID(long long id, int level)
{
    m_nLevel = level;
    if (m_eTileModel == TILE_MODEL_MAPID) {
        // Row-major split with n columns: a full last column keeps its column n.
        const long long n = Pow2(static_cast<long long>(level) - 1);
        long long row = 1;
        long long col = id;
        if (id >= n) {
            row = id / n + (id % n != 0 ? 1 : 0);
            col = id % n == 0 ? n : id % n;
        }
        m_nTileX = Narrow(col);
        m_nTileY = Narrow(row);
    } else if (IsZeroBased(m_eTileModel)) {
        const long long nx = ColumnsAt(level);
        const long long v = id == LLONG_MIN ? LLONG_MIN : id - 1;
        m_nTileX = Narrow(v % nx);
        m_nTileY = Narrow(v / nx);
    }
}

void CTileKey::ClampToLevel()
{
    if (m_eTileModel != TILE_MODEL_MAPID && !IsZeroBased(m_eTileModel))
        return;
    // One-based keys are clamped as zero-based geographic keys.
    const E_TILE_MODEL scheme = m_eTileModel == TILE_MODEL_MAPID ? TILE_MODEL_GEOGRAPHIC : m_eTileModel;
    Numbers z = ZeroBased(*this);
    z.x = ClampIndex(z.x, ColumnsAt(z.level));
    z.y = ClampIndex(z.y, RowsAt(scheme, z.level));
    *this = FromZeroBased(z, m_eTileModel);
}

CTileKey CTileKey::GetInverseYTile() const
{
    if (m_eTileModel == TILE_MODEL_MAPID) {
        const long long ny = RowsAt(TILE_MODEL_GEOGRAPHIC, static_cast<long long>(m_nLevel) - 1);
        return CTileKey(m_nLevel, m_nTileX, Narrow(ny - m_nTileY + 1), m_eTileModel);
    }
    // Scheme 3 and unknown schemes use the geographic row count, as the geographic model does.
    const long long ny = RowsAt(m_eTileModel, m_nLevel);
    return CTileKey(m_nLevel, m_nTileX, Narrow(ny - 1 - m_nTileY), m_eTileModel);
}
