#pragma once

// Configuration of Baidu's tile services; internal, not installed.

#include <QString>

// The hosts (scheme and host name; "{s}" marks where a server number goes, a host without it gets
// none) and the access keys of the Baidu URL builders.
struct BAIDU_TILE_SETTINGS {
    QString strSatelliteHost;         // satellite tiles, servers 1..3
    QString strTileHost;              // labels, large-font tiles and the street map, servers 1..9
    QString strCustomImageHost;       // named street-map styles, no server number
    QString strCustomImageServerHost; // keyed street-map styles, servers 0..2
    QString strKeyA;
    QString strKeyB;
    QString strKeyC;
};

// The settings of "baidu.ini" in the map settings directory (MapSettingsDirectory), read again
// whenever the file or the directory changes. A missing file or key gives the public host names and
// empty keys; an empty host also reads as the public one.
BAIDU_TILE_SETTINGS BaiduTileSettings();
