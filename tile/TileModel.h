#pragma once

#include "core/VtCoreExport.h"
#include "tile/Extent.h"
#include "tile/ITileModel.h"
#include "tile/TileKey.h"

namespace vt_tile {
struct BorderProbe;
}

// The geographic (equirectangular WGS84) tiling scheme and the base of the other schemes.
//
// Level L has NX(L) x NY(L) tiles: one at L < 1, m_nLevel1TileXNumber x m_nLevel1TileYNumber at
// level 1 (2 x 1 here) and twice as many each way per level below. Longitudes x and latitudes y are
// degrees; pixel coordinates px/py are of the whole level (NX x m_nPixelWidth columns); with
// left-top-up, row 0 and pixel row 0 are at the northern edge. Keys made here are zero-based
// TILE_MODEL_GEOGRAPHIC keys. A point within one pixel (0.99999999999) of a tile border counts as
// on the border; a border belongs to the tile east of (below) it.
//
// Composite operations (extents, ranges, keys) call the primitive ones virtually, so a derived
// scheme that overrides a primitive changes the composites. The order of the virtual operations
// is part of the binary interface: do not reorder.
class VTCORE_EXPORT CTileModel : public ITileModel {
public:
    CTileModel() = default;
    CTileModel(const CTileModel&) = default;
    CTileModel& operator=(const CTileModel&) = default;
    ~CTileModel() override;

    virtual E_TILE_MODEL GetTileModel() const;
    virtual void SetPixelWidth(int width);
    virtual void SetPixelHeight(int height);
    virtual void SetMinLongitude(double v);
    virtual void SetMaxLongitude(double v);
    virtual void SetMinLatitude(double v);
    virtual void SetMaxLatitude(double v);
    virtual void SetLevel1TileXNumber(int n);
    virtual void SetLevel1TileYNumber(int n);
    virtual void SetLeftTopUP(bool leftTopUp);
    // Degrees per pixel.
    virtual double GetResolutionX(int level) const;
    virtual double GetResolutionY(int level) const;
    // The extent grown to whole tiles of the level; a zero extent when no tile bound exists.
    virtual CExtent ExpandExtendAlignTile(const EXTENT& e, int level) const;
    // Union of the geographic extents of two tiles.
    virtual CExtent ComputeTileExtend(const CTileKey& a, const CTileKey& b) const;
    // Union of the pixel extents of two tiles at the level.
    virtual CExtent ComputeTilePixelExtent(const CTileKey& a, const CTileKey& b, int level) const;
    // Geographic extent to whole-level pixels and back; the y values come out sorted.
    virtual CExtent ConvertGeoExtentToPixel(const EXTENT& e, int level) const;
    virtual CExtent ConvertPixelExtentToGeo(const EXTENT& e, int level) const;
    // Degrees per tile.
    virtual double GetTileXStride(int level) const;
    virtual double GetTileYStride(int level) const;
    // Column of a longitude. Not clamped: 180 gives NX, one past the last column.
    virtual int GetTileX(int level, double x) const;
    // True when x lies within one pixel of a column border.
    virtual bool IsCrossTileX(int level, double x) const;
    virtual bool IsInSamePixelX(int level, double a, double b) const;
    virtual bool IsInSamePixelY(int level, double a, double b) const;
    // Row of a latitude (counted from the north with left-top-up). Not clamped.
    virtual int GetTileY(int level, double y) const;
    virtual bool IsCrossTileY(int level, double y) const;
    // The key of the tile holding (x, y), clamped into the level.
    virtual CTileKey MakeKey(int level, double x, double y) const;
    // Geographic extent of a tile (keys of either family).
    virtual CExtent GetGeoExtent(const CTileKey& k) const;
    // Whole-level pixel extent of a tile at `level` (< 0: the key's own level), edges rounded to
    // whole pixels; miny is the pixel row of the tile's northern edge.
    virtual CExtent GetPixelExtent(const CTileKey& k, int level = -1) const;
    virtual double GetPixelX(int level, double x) const;
    virtual double GetPixelY(int level, double y) const;
    virtual void GetPixelViaGeo(double& px, double& py, int level, double x, double y) const;
    virtual double GetLongitudeViaPixelX(int level, double px) const;
    virtual double GetLatitudeViaPixelY(int level, double py) const;
    virtual void GetGeoViaPixel(double& x, double& y, int level, double px, double py) const;
    // Latitude of the start edge of a row (its northern edge with left-top-up).
    virtual double GetLatitudeViaY(int level, int row) const;
    // Metres of the whole-level pixel axes, measured from the model's western / southern edge.
    virtual double GetMeterXViaPixel(int level, double px) const;
    virtual double GetPixelXViaMeter(int level, double m) const;
    virtual double GetMeterYViaPixel(int level, double py) const;
    virtual double GetPixelYViaMeter(int level, double m) const;
    virtual void ProjectGeoToMeter(double& mx, double& my, double x, double y) const;
    virtual void ProjectMeterToGeo(double& x, double& y, double mx, double my) const;
    // Tiles covering an extent (clamped to the model's rectangle first). An edge lying on a tile
    // border does not pull in the tile beyond it. Always true.
    virtual bool GetRowColInfo(int& startRow, int& startCol, int& rowCount, int& colCount, const EXTENT& e,
                               int level) const;
    // GetRowColInfo as the first and last key (inclusive) of this model's key type. Always true.
    virtual bool GetTileBound(CTileKey& minKey, CTileKey& maxKey, const EXTENT& e, int level) const;
    // The pixel of (x, y) inside its own tile, clamped to 0..m_nPixelWidth / 0..m_nPixelHeight
    // (the upper bound included). Always true.
    virtual bool CalculateLocalPixelCoordinate(int& px, int& py, int level, double x, double y) const;

    int GetPixelWidth() const { return m_nPixelWidth; }
    int GetPixelHeight() const { return m_nPixelHeight; }
    double GetMinLongitude() const { return m_dMinLongitude; }
    double GetMaxLongitude() const { return m_dMaxLongitude; }
    double GetMinLatitude() const { return m_dMinLatitude; }
    double GetMaxLatitude() const { return m_dMaxLatitude; }
    int GetLevel1TileXNumber() const { return m_nLevel1TileXNumber; }
    int GetLevel1TileYNumber() const { return m_nLevel1TileYNumber; }
    bool IsLeftTopUP() const { return m_bLeftTopUP; }
    // Tile counts of a level; saturated at INT_MAX for levels too deep for 32 bits.
    int GetNumberTileX(int level) const;
    int GetNumberTileY(int level) const;
    int GetTileCount(int level) const;
    // Whole-level pixel of a tile's corner (column x pixel width, row x pixel height), zero-based.
    void GetPixelCoordinate(int& px, int& py, const CTileKey& key) const;

protected:
    // Exact tile counts as doubles (powers of two), for the geometry.
    double TilesX(int level) const;
    double TilesY(int level) const;
    double Width() const { return m_dMaxLongitude - m_dMinLongitude; }
    double Height() const { return m_dMaxLatitude - m_dMinLatitude; }
    // The base implementations with the key type of the calling scheme.
    CTileKey MakeKeyAs(int level, double x, double y, E_TILE_MODEL model) const;
    CExtent GeoExtentAs(const CTileKey& k, E_TILE_MODEL model) const;
    bool TileBoundAs(CTileKey& minKey, CTileKey& maxKey, const EXTENT& e, int level, E_TILE_MODEL model) const;

    int m_nPixelWidth = 256;
    int m_nPixelHeight = 256;
    int m_nLevel1TileXNumber = 2;
    int m_nLevel1TileYNumber = 1;
    double m_dMinLongitude = -180.0;
    double m_dMaxLongitude = 180.0;
    double m_dMinLatitude = -90.0;
    double m_dMaxLatitude = 90.0;
    bool m_bLeftTopUP = true;

private:
    // Pixel column / row (unflipped) of a coordinate, as the border rules measure it.
    double BorderPixelX(int level, double x) const;
    double BorderPixelY(int level, double y) const;
    vt_tile::BorderProbe ProbeColumn(int level, double x) const;
    vt_tile::BorderProbe ProbeRow(int level, double y) const;
};
