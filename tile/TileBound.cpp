#include "tile/TileBound.h"

#include "tile/TileRange.h"

#include <algorithm>
#include <climits>

bool CTileBound::operator==(const CTileBound& other) const
{
    return m_minTile == other.m_minTile && m_maxTile == other.m_maxTile;
}

bool CTileBound::operator<(const CTileBound& other) const
{
    if (m_minTile < other.m_minTile)
        return true;
    if (m_minTile > other.m_minTile)
        return false;
    return m_maxTile < other.m_maxTile;
}

bool CTileBound::operator<=(const CTileBound& other) const
{
    if (this == &other || m_minTile < other.m_minTile)
        return true;
    if (m_minTile > other.m_minTile)
        return false;
    return !(m_maxTile > other.m_maxTile);
}

bool CTileBound::IsValid() const
{
    return m_minTile.IsValid() && m_maxTile.IsValid() && !(m_minTile > m_maxTile);
}

void CTileBound::Normalize()
{
    m_maxTile.ChangeTileModel(m_minTile.GetTileModel());
    if (m_minTile.GetLevel() > m_maxTile.GetLevel())
        m_minTile = m_minTile.CreateAncientTileKey(m_maxTile.GetLevel());
}

void CTileBound::ChangeTileModel(E_TILE_MODEL m)
{
    m_minTile.ChangeTileModel(m);
    m_maxTile.ChangeTileModel(m);
}

bool CTileBound::InRange(const CTileKey& k) const
{
    return InTileRange(k, m_minTile, m_maxTile);
}

bool CTileBound::InPyramidRange(const CTileKey& k) const
{
    CTileKey key = k;
    key.ChangeTileModel(m_minTile.GetTileModel());
    if (key.GetLevel() < m_minTile.GetLevel())
        return false;
    if (key.GetLevel() > m_minTile.GetLevel())
        key = key.CreateAncientTileKey(m_minTile.GetLevel());
    return InTileRange(key, m_minTile, m_maxTile);
}

CTileKey CTileBound::GetCenter() const
{
    CTileKey a = m_minTile;
    CTileKey b = m_maxTile;
    a.ChangeTileModel(TILE_MODEL_GEOGRAPHIC);
    b.ChangeTileModel(TILE_MODEL_GEOGRAPHIC);
    // Sums in 64 bits: halving keeps every result inside the int range.
    const auto half = [](int p, int q) { return static_cast<int>((static_cast<long long>(p) + q) / 2); };
    CTileKey c(half(a.GetLevel(), b.GetLevel()), half(a.GetTileX(), b.GetTileX()), half(a.GetTileY(), b.GetTileY()),
               TILE_MODEL_GEOGRAPHIC);
    c.ChangeTileModel(m_minTile.GetTileModel());
    return c;
}

void CTileBound::AddTile(const CTileKey& k)
{
    CTileKey key = k;
    key.ChangeTileModel(m_minTile.GetTileModel());
    if (key.GetLevel() < m_minTile.GetLevel())
        return;
    if (key.GetLevel() > m_minTile.GetLevel())
        key = key.CreateAncientTileKey(m_minTile.GetLevel());
    m_minTile.SetTileX(std::min(m_minTile.GetTileX(), key.GetTileX()));
    m_maxTile.SetTileX(std::max(m_maxTile.GetTileX(), key.GetTileX()));
    m_minTile.SetTileY(std::min(m_minTile.GetTileY(), key.GetTileY()));
    m_maxTile.SetTileY(std::max(m_maxTile.GetTileY(), key.GetTileY()));
}

void CTileBound::Expand(const CTileBound& b)
{
    AddTile(b.m_minTile);
    AddTile(b.m_maxTile);
}

void CTileBound::Clear()
{
    m_minTile = CTileKey();
    m_maxTile = CTileKey();
}
