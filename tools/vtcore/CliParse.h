#pragma once

#include "tile/Extent.h"

#include <QList>
#include <QString>

// Parsing of the small texts that the command line carries. Every parser returns false and
// writes a one-line reason into `error` for text it does not accept; it never throws.
namespace VtCli {

// Datums a region or a point may be given in.
enum class Datum { Wgs84, Gcj02, Bd09 };

// One-based depository levels: "12", "1-12", "3,5,7-9". Ascending, without duplicates, each in
// minLevel..maxLevel.
bool ParseLevels(const QString& text, int minLevel, int maxLevel, QList<int>& levels, QString& error);
// "minx,miny,maxx,maxy" in degrees (west, south, east, north); longitudes -180..180, latitudes
// -90..90, west <= east and south <= north.
bool ParseExtent(const QString& text, EXTENT& extent, QString& error);
// "wgs84", "gcj02", "bd09" (case-insensitive; "gcj-02", "bd-09" and "wgs-84" too).
bool ParseDatum(const QString& text, Datum& datum, QString& error);
const char* DatumName(Datum datum);
// A whole number in lo..hi.
bool ParseInt(const QString& text, int lo, int hi, int& value, QString& error);
// A finite number in lo..hi.
bool ParseDouble(const QString& text, double lo, double hi, double& value, QString& error);
// "Name: value" with a token name (letters, digits and !#$%&'*+-.^_`|~) and a value without line
// breaks.
bool ParseHeader(const QString& text, QByteArray& name, QByteArray& value, QString& error);
// "1-12" style text of a level list (the inverse of ParseLevels for display).
QString FormatLevels(const QList<int>& levels);

}  // namespace VtCli
