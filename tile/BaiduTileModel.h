#pragma once

#include "core/VtCoreExport.h"
#include "tile/MercatorTileModel.h"

#include <memory>

// The Baidu tiling scheme as the application shows it: ordinary Web Mercator tiles (keys are
// TILE_MODEL_MERCATOR) addressed in BD-09 degrees. Geographic inputs are turned into the general
// grid's frame (CBaiduToConvert::BdToWGS84PointF at level 20) and handed to an owned inner Mercator
// model; geographic results come back through the level-20 interpolation the other way
// (Tools::wgs84ToBd09ByPos). A single coordinate travels as the point (x, 0) or (0, y).
//
// GetTileX, both IsCrossTileY and ProjectGeoToMeter convert their input WGS84 -> BD-09 instead;
// nothing in the library calls them. A copy owns a copy of the inner model.
class VTCORE_EXPORT CBaiduTileModel : public CMercatorTileModel {
public:
    CBaiduTileModel();
    CBaiduTileModel(const CBaiduTileModel& other);
    CBaiduTileModel& operator=(const CBaiduTileModel& other);
    ~CBaiduTileModel() override;

    E_TILE_MODEL GetTileModel() const override;  // TILE_MODEL_BAIDU
    // The setters write this model's field and the inner model's.
    void SetPixelWidth(int width) override;
    void SetPixelHeight(int height) override;
    void SetMinLongitude(double v) override;
    void SetMaxLongitude(double v) override;
    void SetMinLatitude(double v) override;
    void SetMaxLatitude(double v) override;
    void SetLevel1TileXNumber(int n) override;
    void SetLevel1TileYNumber(int n) override;
    void SetLeftTopUP(bool leftTopUp) override;
    // Metric and stride questions are the inner model's.
    double GetResolutionX(int level) const override;
    double GetResolutionY(int level) const override;
    double GetTileXStride(int level) const override;
    double GetTileYStride(int level) const override;
    double GetMeterXViaPixel(int level, double px) const override;
    double GetPixelXViaMeter(int level, double m) const override;
    double GetMeterYViaPixel(int level, double py) const override;
    double GetPixelYViaMeter(int level, double m) const override;
    CExtent GetPixelExtent(const CTileKey& k, int level = -1) const override;
    // BD-09 inputs.
    CExtent ConvertGeoExtentToPixel(const EXTENT& e, int level) const override;
    int GetTileX(int level, double x) const override;  // WGS84 input
    bool IsCrossTileX(int level, double x) const override;
    bool IsCrossTileX(int level, double x, double y) const;
    int GetTileY(int level, double y) const override;
    bool IsCrossTileY(int level, double y) const override;  // WGS84 input
    bool IsCrossTileY(int level, double x, double y) const;  // WGS84 input
    CTileKey MakeKey(int level, double x, double y) const override;
    double GetPixelX(int level, double x) const override;
    double GetPixelY(int level, double y) const override;
    void GetPixelViaGeo(double& px, double& py, int level, double x, double y) const override;
    void ProjectGeoToMeter(double& mx, double& my, double x, double y) const override;  // WGS84 input
    // BD-09 results.
    CExtent GetGeoExtent(const CTileKey& k) const override;
    double GetLongitudeViaPixelX(int level, double px) const override;
    double GetLatitudeViaPixelY(int level, double py) const override;
    void GetGeoViaPixel(double& x, double& y, int level, double px, double py) const override;
    double GetLatitudeViaY(int level, int row) const override;
    void ProjectMeterToGeo(double& x, double& y, double mx, double my) const override;
    // The extent is clamped to this model's rectangle, its corners converted, and the inner model's
    // rows and columns counted without the final clamp into the level. Always true.
    bool GetRowColInfo(int& startRow, int& startCol, int& rowCount, int& colCount, const EXTENT& e,
                       int level) const override;
    bool GetTileBound(CTileKey& minKey, CTileKey& maxKey, const EXTENT& e, int level) const override;

    // The Mercator formulas with BD-09 on the geographic side.
    void ConvertGeoToMercatorMeter(double& mx, double& my, double x, double y) const;
    void ConvertMercatorToGeoMeter(double& x, double& y, double mx, double my) const;
    void ConvertGeoToMercatorUnit(double& mx, double& my, double x, double y) const;
    void ConvertMercatorToGeoUnit(double& x, double& y, double mx, double my) const;
    double ConvertLatitudeToMercatorUnit(double y) const;
    double ConvertMercatorToLatitudeUnit(double u) const;
    double ConvertLatitudeToMercator(double y) const;
    double ConvertMercatorToLatitude(double v) const;

private:
    std::unique_ptr<CMercatorTileModel> m_pMercatorModel;  // row tie-break precision 0.01 pixel
};
