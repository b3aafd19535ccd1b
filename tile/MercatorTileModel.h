#pragma once

#include "core/VtCoreExport.h"
#include "tile/TileModel.h"

// The Web Mercator tiling scheme: 2 x 2 tiles at level 1 over longitude -180..180 and latitude
// +-85.05112877980655. Geographic inputs stay degrees; rows follow the Mercator plane, so tiles are
// square in metres. Metres are Web Mercator metres (R = 20037508.342789244 at the antimeridian);
// "units" are the plane scaled to [-1, 1] on both axes. Keys made here are TILE_MODEL_MERCATOR.
//
// Latitudes beyond +-85.05112877980655 give rows outside the level from GetTileY (MakeKey clamps
// them); exactly +-90 lies at infinity in the plane and gives the first or last row.
class VTCORE_EXPORT CMercatorTileModel : public CTileModel {
public:
    CMercatorTileModel();
    CMercatorTileModel(const CMercatorTileModel&) = default;
    CMercatorTileModel& operator=(const CMercatorTileModel&) = default;
    ~CMercatorTileModel() override;

    E_TILE_MODEL GetTileModel() const override;
    // Metres per pixel.
    double GetResolutionX(int level) const override;
    double GetResolutionY(int level) const override;
    double GetTileXStride(int level) const override;
    // Always 10000.0: Mercator rows are not equal in degrees and the row operations do not use it.
    double GetTileYStride(int level) const override;
    int GetTileY(int level, double y) const override;
    bool IsCrossTileY(int level, double y) const override;
    CTileKey MakeKey(int level, double x, double y) const override;
    CExtent GetGeoExtent(const CTileKey& k) const override;
    double GetPixelY(int level, double y) const override;
    double GetLatitudeViaPixelY(int level, double py) const override;
    double GetLatitudeViaY(int level, int row) const override;
    double GetMeterXViaPixel(int level, double px) const override;
    double GetPixelXViaMeter(int level, double m) const override;
    double GetMeterYViaPixel(int level, double py) const override;
    double GetPixelYViaMeter(int level, double m) const override;
    void ProjectGeoToMeter(double& mx, double& my, double x, double y) const override;
    void ProjectMeterToGeo(double& x, double& y, double mx, double my) const override;
    bool GetTileBound(CTileKey& minKey, CTileKey& maxKey, const EXTENT& e, int level) const override;
    // Pixel tolerance of the row tie-break: a latitude this close before the next row's border
    // already belongs to the next row. Default 0.001.
    virtual void SetDefualtYPrecision(double precision);

    // Degrees <-> Web Mercator metres (the formulas of ProjectGeoToMeter / ProjectMeterToGeo).
    void ConvertGeoToMercatorMeter(double& mx, double& my, double x, double y) const;
    void ConvertMercatorToGeoMeter(double& x, double& y, double mx, double my) const;
    // Degrees <-> units: mx = x / 180, my = the Mercator value of y scaled to [-1, 1].
    void ConvertGeoToMercatorUnit(double& mx, double& my, double x, double y) const;
    void ConvertMercatorToGeoUnit(double& x, double& y, double mx, double my) const;
    double ConvertLatitudeToMercatorUnit(double y) const;
    double ConvertMercatorToLatitudeUnit(double u) const;
    // The Mercator value of y stretched linearly onto the model's latitude range.
    double ConvertLatitudeToMercator(double y) const;
    // The unit value (not a latitude) of a value made by ConvertLatitudeToMercator.
    double ConvertMercatorToLatitude(double v) const;

protected:
    double m_dDefaultYPrecision = 0.001;  // pixels

private:
    // Border probe of a row position t = merc(y') + 1 (finite).
    vt_tile::BorderProbe ProbeMercatorRow(int level, double t) const;
};
