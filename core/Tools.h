#pragma once

#include "catalog/MapTypeEnums.h"
#include "core/VtCoreExport.h"

#include <QList>
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

    // ---- text, files, paths, shell, images, geometry (core/ToolsFile.cpp and neighbours) ----

};
