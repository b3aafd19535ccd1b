#pragma once

#include "catalog/MapTypeEnums.h"
#include "core/VtCoreExport.h"
#include "storage/MapSheetEnums.h"
#include "tile/Extent.h"

#include <QList>
#include <QPoint>
#include <QPointF>
#include <QString>

#include <string>
#include <vector>

// Tools: the library's static helper functions, grouped by theme. Each theme's definitions live in
// a Tools<Theme>.cpp in the folder of the subsystem that owns the theme. Add declarations only to
// your theme's section, keeping the blank lines between sections (they keep merges clean).
class VTCORE_EXPORT Tools {
public:
    Tools() = delete;

    // ---- map-ID addressing (tile/ToolsMapId.cpp) ----
    // One-based tiles: level L has n = 2^(L-1) columns; IDs (row - 1) * n + col run row by row from
    // the north-west. Mercator branch in normalised units (X = lon / 360, Y in -0.5..0.5, 0.5 north);
    // WGS branch (map types answering isWgs84) in degrees with square tiles of 360 / 2^(L-1).
    // Levels below 1 count as 1 and above 31 as 31, so every count fits its type.
    static void getXY(const double& lon, const double& lat, double& X, double& Y);
    static double getX(const double& lon);
    static double getY(const double& lat);  // latitude clamped to +-85.05112877980655
    static void getLB(const double& X, const double& Y, double& lon, double& lat);
    static double getL(const double& X);
    static double getB(const double& Y);
    // Web Mercator metres; without inDegrees v is first turned from normalised units into degrees,
    // and written back.
    static double getProjectX(double& v, bool inDegrees);
    static double getProjectY(double& v, bool inDegrees);
    static void getProjectXY(double& x, double& y, double& mx, double& my, bool inDegrees);
    static void getProjectXYToLB(double& lon, double& lat, double& mx, double& my);
    static double RadToDegree(double rad);
    static double DegreeToRad(double deg);

    static long long getMapID(int level, int row, int col);
    static void getRowCol(long long id, int level, int& row, int& col);
    static void getRowColWGS(long long id, int level, int& row, int& col);
    static int getColCount(int level);
    static int getColCountWGS(int level);
    static int getRowCountWGS(int level);  // 1 at level 1, else n / 2
    static double getSingleMapWidth(int level);  // normalised units
    static double getSingleMapWidthWGS(int level);   // degrees
    static double getSingleMapHeightWGS(int level);  // degrees, the same as the width
    static void getSingleMapSizeWGS(int level, double& w, double& h);  // h is half of w
    // Quadtree code: "t" for the root, then one of q r t s (upper-left, upper-right, lower-left,
    // lower-right) per level below it.
    static QString getCodeByIndex(int row, int col, int level);
    static QString getCodeByMapID(long long id, int level);
    // -1 for a code longer than 31 letters; letters other than q r s t change nothing.
    static long long getMapIdByCode(QString code);
    // Extent of a quadtree code in normalised units, or degrees; all 0 for a code over 31 letters.
    static void getExtent(QString code, double& minx, double& miny, double& maxx, double& maxy, bool inDegrees);
    static void getExtent(int level, long long id, double& minx, double& miny, double& maxx, double& maxy,
                          bool inDegrees, int mapType);
    static void getExtentWGS(long long id, int level, double& minx, double& miny, double& maxx, double& maxy);
    static void getExtentWGS(int col, int row, int level, double& minx, double& miny, double& maxx, double& maxy);
    // Tile of a point, clamped into the level.
    static void getRowColWGS(double lon, double lat, int level, int& row, int& col);

    // First row and column and the counts of the tiles covering an extent, each clamped into 1 .. n;
    // an edge on a tile border does not pull in the tile beyond it. WGS map types take degrees.
    static void getRowColInfo(double minx, double miny, double maxx, double maxy, int level, int& row, int& col,
                              int& rowCount, int& colCount, bool inDegrees, int mapType);
    static void getRowColInfoWGS(double minx, double miny, double maxx, double maxy, int level, int& row, int& col,
                                 int& rowCount, int& colCount);
    // Tiles of levels 1 .. maxLevel (at most 31); 0 when maxLevel < 1.
    static long long getAllMapCount(int maxLevel, double minx, double miny, double maxx, double maxy, bool inDegrees,
                                    int mapType);
    // Index of the level's first tile in a multi-level task over e (degrees) and its tile count.
    static void getMapIndexRange(EXTENT& e, int level, long long& first, long long& count, int mapType);
    static void getMapIndexRange(EXTENT& e, int level, long long& first, long long& count, int& rowCount,
                                 int& colCount, int mapType);
    // Level of the index-th tile of a multi-level task; -1 when the index lies beyond maxLevel.
    static int getLevelByIndex(long long index, CExtent e, int mapType, int maxLevel, bool inDegrees);
    // IDs of the tiles covering an extent, appended row by row. The Mercator list is squared up by
    // moving its first row or column (unclamped). A range of more than 16777216 tiles appends
    // nothing and is logged.
    static void getMapIDArray(double minx, double miny, double maxx, double maxy, int level, QList<long long>& ids,
                              int mapType);
    static void getMapIDArrayMEC(double minx, double miny, double maxx, double maxy, int level,
                                 QList<long long>& ids, int mapType);
    static void getMapIDArrayWGS(double minx, double miny, double maxx, double maxy, int level,
                                 QList<long long>& ids);
    // Deepest level (1..21) whose tile still covers the extent's larger side.
    static int getBaseLevel(double minx, double miny, double maxx, double maxy, bool inDegrees, int mapType);
    static int getBaseLevelWGS(double minx, double miny, double maxx, double maxy);
    // Level whose tile size first fits a resolution (normalised units, or degrees for WGS); res is
    // overwritten with that tile size.
    static int afcGetLevel(double& res, short minLevel, short maxLevel);
    static int afcGetLevel(double& res);
    static int afcGetLevelWGS(double& res);
    static int afcGetLevelWGS(double& res, int maxLevel);
    // Clips e (degrees) to the map type's valid longitudes and latitudes.
    static void setExtentReasonble(EXTENT& e, int mapType);

    // View transforms: scale in pixels per world unit, client y grows downwards.
    static QPointF World2ClientF(const CExtent& world, const double& scale, int clientHeight, QPointF p);
    // p in degrees; turned into normalised units first for a non-WGS map type.
    static QPointF getClientCoord(const CExtent& world, const double& scale, int clientHeight, QPointF p,
                                  int mapType);
    static void world2Client(const CExtent& world, const double& scale, CExtent& e);
    static POINTD client2World(const CExtent& world, const double& scale, const QPoint& p);

    // Degrees, minutes, seconds; signs kept.
    static void degreeToDMS(double deg, int& d, int& m, double& s);
    // "116°30′00.00″E": absolute value, hemisphere E/W or N/S.
    static QString degreeToDMS(double deg, bool isLongitude);
    static void dMSToDegree(int d, int m, double s, QString hemisphere, double& deg);
    // Reads "116°30'15\"E" (ASCII minute and second marks, whole numbers) or a plain decimal.
    static double dMSToDegree(QString text);
    // 2^n points on a circle around centre (radius in the coordinates' unit), without a closing
    // point; empty when n < 0 or n > 20.
    static QList<QPointF> translateRadToWGS84(const QPointF& centre, const double& radius, int n);

    // ---- datum conversions (tile/ToolsDatum.cpp) ----
    // Points (x = longitude, y = latitude) from the map type's datum to WGS84, in order; GCJ-02 and
    // BD-09 types are converted, other types returned unchanged.
    static QList<QPointF> shapeCorrect(QList<QPointF> pts, int mapType);
    // The reverse: WGS84 points into the map type's datum.
    static QList<QPointF> shapeShifting(QList<QPointF> pts, int mapType);

    // ---- Baidu tiles and tile-interpolated conversions (tile/ToolsBaidu.cpp) ----

    // ---- map type catalogue and settings (catalog/ToolsMapType.cpp) ----
    // Predicates of the catalogue; unknown ids answer false (isMixMap: true).
    static bool isLabel(int mapType);
    static bool isHaveLabel(int mapType);
    static bool isMixMap(int mapType);  // no label layer of its own
    static bool isBaidu(int mapType);
    static bool isVector(int mapType);
    static bool isWGS(int mapType);
    static int getLabelByMapType(int mapType);  // label overlay id, 0 when none
    static bool getMapTypeIsBigFont(int mapType);
    static bool getIsBigFont(int mapType);
    // Elevation types; for the custom WGS84 type the custom map under `customKey` decides (-1: none).
    static bool isDem(int mapType, int customKey);
    static bool isGEDem(int mapType);
    static bool isBackupOfficialMap(int mapType);
    static bool isHaveMapAndMixMap(int mapType);
    static bool isWebMkt(int mapType);
    static bool IsElectronicMap(int mapType);
    // Whether downloaded tiles of the type may be cached; `n` 15 also disables it for 47.
    static bool IsCacheEnable(int mapType, int n);
    // Levels offered for download (one-based, inclusive); the second argument is not used.
    static void GetDownloadMinAndMaxLevel(int mapType, int unused, int& minLevel, int& maxLevel);
    // Datum of the type's tiles; for the custom map types the custom map under `customId` may
    // refine the catalogue's answer.
    static CoordOffsetType getOffsetType(int mapType, int customId);

    // Settings in "config.ini" under "kmtr/" + key, cached per key for the process. Defaults when
    // the file or key is missing: "x-local", 1 and GOOGLE_SERVER_2 (a stored 0 also reads as 2).
    static QString getMapLanType(QString key);
    static void setMapLanType(QString key, QString value);
    static int getLanType(QString key);
    static void setLanType(QString key, int value);
    static ENUM_GOOGLE_SERVER getGoogleServerType(QString key);
    static void setGoogleServerType(QString key, ENUM_GOOGLE_SERVER value);
    // Settings in "mapver.dll" (an INI text file), read on every call; default 1, a value that is
    // not a number reads as 0.
    static int getMapSourceType();  // "kmtr/mapsosurce"
    static void setMapSourceType(ENUM_MAP_SOURCE source);
    static int getMapSourceType(QString key);  // "kmtr/" + key
    static void setMapSourceType(QString key, int value);

    // Region code of a data source ("JS_XZ" for 1703), "" for an unknown value.
    static QString getTDMapDataSrcStrCode(ENUM_MAP_SOURCE source);
    // Language code ("zh-cn" for 28), "" for an unknown value.
    static QString getGoogleMapLangStrCode(ENUM_MAP_LANG_TYPE lang);
    // The first language whose code equals `code` exactly; MAP_LANG_LOCAL when none does.
    static ENUM_MAP_LANG_TYPE langStr2Enum(QString code);
    static QString GetBaiduToken();  // always ""

    // ---- tile URL templates (catalog/ToolsUrl.cpp) ----

    // ---- custom maps (catalog/ToolsCustomMap.cpp) ----

    // ---- map sheets (storage/ToolsMapSheet.cpp) ----
    // Sheet size in degrees (longitude, latitude); (6, 4) for any scale outside 2..11.
    static QPointF getMapSheetDistance(ENUM_MAPSHEET scale);
    // First map zoom level that shows the scale's sheet names; 16 for a scale outside 1..11.
    static int GetMinShowTextLevel(ENUM_MAPSHEET scale);

    // ---- text, files, paths, shell, images, geometry (core/ToolsFile.cpp and neighbours) ----

};
