#pragma once

#include "catalog/MapTypeEnums.h"
#include "core/VtCoreExport.h"
#include "core/RectDirection.h"
#include "core/Vector3D.h"
#include "storage/Cache.h"
#include "storage/DownloadTask.h"
#include "storage/MapSheetEnums.h"
#include "tile/Extent.h"
#include "tile/TileKey.h"

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QList>
#include <QPoint>
#include <QPointF>
#include <QRect>
#include <QRectF>
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
    // Levels below 1 count as 1 and above 63 as 63 (n = 2^62, as far as tile keys' map IDs go).
    // Counts, rows and columns returned as int saturate at INT_MAX (n passes it from level 32);
    // an ID that does not fit 64 bits is -1.
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
    // -1 for a code longer than 63 letters; letters other than q r s t change nothing.
    static long long getMapIdByCode(QString code);
    // Extent of a quadtree code in normalised units, or degrees; all 0 for a code over 63 letters.
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
    // Tiles of levels 1 .. maxLevel (at most 63), saturating at LLONG_MAX; 0 when maxLevel < 1.
    static long long getAllMapCount(int maxLevel, double minx, double miny, double maxx, double maxy, bool inDegrees,
                                    int mapType);
    // Index of the level's first tile in a multi-level task over e (degrees) and its tile count.
    static void getMapIndexRange(EXTENT& e, int level, long long& first, long long& count, int mapType);
    static void getMapIndexRange(EXTENT& e, int level, long long& first, long long& count, int& rowCount,
                                 int& colCount, int mapType);
    // Level of the index-th tile of a multi-level task; -1 when the index lies beyond maxLevel.
    static int getLevelByIndex(long long index, CExtent e, int mapType, int maxLevel, bool inDegrees);
    // IDs of the tiles covering an extent, appended row by row. The Mercator list is squared up by
    // moving its first row or column (unclamped). A range of more than 2^27 (134,217,728) tiles,
    // whose list would take over 1 GiB and near QList's limit, or one whose IDs pass 64 bits,
    // appends nothing and is logged as an error with the reason.
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
    // point. Empty when n < 0; also when n > 24 (over 16.7 million points, some 700 MB), which is
    // logged as an error.
    static QList<QPointF> translateRadToWGS84(const QPointF& centre, const double& radius, int n);

    // ---- datum conversions (tile/ToolsDatum.cpp) ----
    // Points (x = longitude, y = latitude) from the map type's datum to WGS84, in order; GCJ-02 and
    // BD-09 types are converted, other types returned unchanged.
    static QList<QPointF> shapeCorrect(QList<QPointF> pts, int mapType);
    // The reverse: WGS84 points into the map type's datum.
    static QList<QPointF> shapeShifting(QList<QPointF> pts, int mapType);

    // ---- Baidu tiles and tile-interpolated conversions (tile/ToolsBaidu.cpp) ----
    // BD-09 -> WGS84 through the general tiles of a map-ID level (the library uses 20):
    // CBaiduToConvert::BdToWGS84PointF with the Web Mercator map type 44.
    static QPointF bdToWGS84ByPoint(double lon, double lat, int level);
    // WGS84 -> BD-09 by interpolating between the BD-09 corners of the Baidu tile standing at the
    // point's general tile of `level`. Computed on |lon| and |lat| (the latitude held at
    // 85.05112877980655) with the signs restored afterwards; (0, 0) when there is no Baidu tile
    // (level < 2).
    static QPointF wgs84ToBd09ByPos(QPointF p, int level);
    // Both corners of e through wgs84ToBd09ByPos at level 20.
    static void wgs84ToBdExtent(EXTENT& e);
    // BD-09 of the WGS84 point p as the view shows it at the current level (Whole::m_nCurLevel): p's
    // offset from its tile's north-west corner in client pixels (the view transform of
    // getClientCoord: world in normalised units, or degrees for WGS map types) interpolated between
    // the corners of the Baidu tile standing there. (0, 0) when there is no Baidu tile or the view
    // has no extent.
    static QPointF getBdCoordByPos(const CExtent& world, const double& scale, int clientHeight, QPointF p,
                                   int mapType);

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
    // Expands the brace placeholders of a tile URL template in place for column x, row y and level
    // z: {z}, {z+n}, {z-n}; {y}, {-y}, {y+n}, {-y-n} ...; {y/n}; the same for x; letters of either
    // case, n decimal digits. Each form is evaluated once, on its first occurrence, and every copy
    // of that exact text is replaced. A flip counts 2^z columns, and 2^z rows (2^(z-1) with
    // halfRows); the division uses the row or column left by the flip and truncates toward zero.
    // Anything else, a divisor of 0 included, stays in the text. Always true.
    static bool ReplaceUrlXYZ(QString& url, int x, int y, int z, bool halfRows);

    // ---- custom maps (catalog/ToolsCustomMap.cpp) ----

    // ---- map sheets (storage/ToolsMapSheet.cpp) ----
    // Sheet size in degrees (longitude, latitude); (6, 4) for any scale outside 2..11.
    static QPointF getMapSheetDistance(ENUM_MAPSHEET scale);
    // First map zoom level that shows the scale's sheet names; 16 for a scale outside 1..11.
    static int GetMinShowTextLevel(ENUM_MAPSHEET scale);

    // ---- text, files, paths, shell, images, geometry (core/ToolsFile.cpp and neighbours) ----
    // Paths, names and directories (core/ToolsFile.cpp). 8-bit paths are GB18030 text.
    // `path` when nothing exists there, else the first free stem + "(n)." + extension, n = 2, 3, ...
    // (stem: the path up to the file name's last "."; extension: the file name after its first ".";
    // a file name without "." gets "(n)" appended). "" when no candidate is free.
    static std::string GetNonRepeatFilePath(std::string path);
    // An existing directory with `rename`: `path` becomes path + "(n)" for the first n = 2, 3, ...
    // that does not exist, which is created. A missing directory is created with its parents.
    // Returns whether the (possibly renamed) directory exists afterwards.
    static bool createDirectory(QString& path, bool rename);
    // Creates `dir` (one level) when it is not an existing directory and returns it; otherwise
    // creates and returns dir + "(n)" for the first n = 2, 3, ... that is not an existing directory.
    static std::string CreateFileReNameDir(const std::string& dir);
    // Deletes the directory's visible files and subdirectories, then the directory and its empty
    // parents. False for an empty path or when the directory remains; true when it did not exist.
    // Symbolic links are removed, never followed.
    static bool deleteDir(const QString& dir);
    // A task name under `dir` that collides neither with a task directory nor with its "_标签" label
    // directory: a trailing "(digits)" is dropped, then "(n)" added for n = 2, 3, ... as needed.
    static QString GetExistTaskReName(const QString& dir, const QString& name);
    // The task's depository base (path without its ".idx"/".dat" suffix, else path/name) in GB18030,
    // followed by `suffix`; the label variant inserts "_标签" before the suffix.
    static std::string CalculateTaskValidPath(const DownloadTask& task, const std::string& suffix);
    static std::string CalculateTaskLabelValidPath(const DownloadTask& task, const std::string& suffix);
    // Whether the name can name a task directory: not empty, none of / : * ? " < > | (full-width
    // ：？“”《》 count as their ASCII forms).
    static bool IsTaskNameValidity(const QString& name);
    // Free space (all free bytes) on the drive / file system that holds the path, in MB; 0 on failure.
    static double getDiskFreeSpace(QString path);
    // Shell actions: each writes its VtLOG(1) record first; they never wait for the handler.
    static void openFolder(QString dir);
    static void openFolderAndSelect(QString file);
    static void openSites(QString url);

    // Numbers, colours and coordinate text (core/ToolsText.cpp).
    // Qt's conversion; stores the value when `value` is not null.
    static bool isDouble(const QString& s, double* value);
    static QString doubleToString(double v, int decimals);  // fixed notation
    // "rgb(r, g, b)" or "rgba(r, g, b, a)" with integers 0..255; other part counts give opaque red.
    static QColor toColor(QString s);
    // "rgba(r, g, b, a)" with an alpha above 1 read as 0..255, else as a fraction of 255.
    static QColor fromColorF(QString s);
    static QString toRgbaString(QColor c);   // "rgba(r, g, b, a)", alpha 0..255
    static QString toRgbaStringF(QColor c);  // alpha as a fraction 0..1
    // Points in pasted text: "x, y" or "x, y, z" groups (longitude, latitude in degrees, height).
    // Longitudes are wrapped into (-180, 180], latitudes clamped to [-90, 90]. Empty when the text
    // holds anything but digits, white space, ",", ".", "+", "-", "E" and "e". Linear in the length.
    static std::vector<CVector3D> ParseCoordinates(const QString& text);

    // Images and sizes (core/ToolsImage.cpp).
    // False for fewer than 3 bytes; true for elevation map types; else whether the bytes end like a
    // JPEG (FF D9) or a PNG (60 82).
    static bool judgeImgeIsOk(QByteArray& data, int mapType);
    static double getTifImgSize(long long tiles);  // 256 x 256 RGB tiles, MB
    // Estimated size of the task's tiles in MB (64 x 64 x 32-bit for elevation, 256 x 256 x 24-bit
    // otherwise).
    static double getTaskSize(DownloadTask task);
    // The 256 x 256 piece of a large-font image (a 512 x 512 image covering 2 x 2 tiles) for the key;
    // transparent for levels below 4; a null image when the data cannot be decoded.
    static QImage ConvertBFImage(const CCache& data, const CTileKey& key);
    // The same piece for a one-based tile index at a one-based level (2^(level-1) tiles a row).
    static QImage getBigFontImg(QImage& img, long long index, int level);
    // An 8-bit grey-scale version of the image file, as it reads back from JPEG; null when the file
    // cannot be read. Leaves no file behind.
    static QImage convertToGray(QString file);
    // The bounding rectangle of the text in a font of the family at `size` points; empty without a
    // GUI application.
    static QRect getFontRect(QString text, QString family, int size);

    // Geometry in screen coordinates (y grows downwards) (core/ToolsGeometry.cpp).
    // POINT_LOCATED_RECT_DIRECTION of p: 1 left, 2 right, 4 below the bottom, 8 above the top, 0 inside.
    static POINT_LOCATED_RECT_DIRECTION getDirection(QPointF p, QRectF r);
    // Where the line p1-p2 meets the side of r that faces p1; (-200, -200) when p1 is inside. A line
    // parallel to that side gives non-finite coordinates.
    static QPointF getIntersectPoint(QPointF p1, QPointF p2, QRectF r);
    // Whether the segment p1-p2 touches or crosses the rectangle.
    static bool lineAndRectIntersect(QPointF p1, QPointF p2, QRectF r);

};
