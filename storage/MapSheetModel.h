#pragma once

#include "core/VtCoreExport.h"
#include "storage/MapSheet.h"
#include "storage/MapSheetEnums.h"

#include <QList>
#include <QPointF>
#include <QPolygonF>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <QVector>

#include <memory>

class CTileModel;

// Points, rectangles and polygons (degrees, x = longitude) to sheets of the national series and
// back. Every computation runs in integer milliseconds of arc (1 degree = 3,600,000 ms) over the
// fixed limits -180..180 and -88..88 degrees.
//
// Numbering: a 1:1,000,000 sheet is a 6-degree zone (column 1..60 from -180) and a 4-degree band
// (row letter 'A'.. from the equator, the same letters north and south). Larger scales split it
// into n x n sheets (n per scale: 2, 4, 12, 24, 48, 96, 192, 576, 1152, 2304), rows counted from the
// band's edge farther from the equator, columns from its west edge. A point on a sheet line
// belongs to the sheet farther from the prime meridian (for the column) and from the equator (for
// the row), as the series counts |lon| and |lat|; that count would name a sheet the point is not
// on where the line is a 1:1,000,000 border in the west or south (-6 degrees, -4 degrees), and at
// the limits, so such points keep the sheet they are on: the one of the same 1:1,000,000 sheet,
// and at 180 and 88 degrees the last sheet inside the limits.
//
// Sheet lists (GetMapSheetFromRect, GetMapSheetFromRange) refuse to grow by more than
// kMaxSheetList sheets per call and then add nothing; count with CalcMapSheetCountFromRect first.
class VTCORE_EXPORT CMapSheetModel {
public:
    static constexpr int kMaxSheetList = 1000000;

    // Callers' walker over sheets (Travel).
    class VTCORE_EXPORT CMapSheetVisitor {
    public:
        virtual ~CMapSheetVisitor();
        // name: without hemisphere letter. Return false to stop the walk.
        virtual bool Visit(const QString& name, const CMapSheet& sheet) = 0;
    };

    CMapSheetModel();
    CMapSheetModel(const CMapSheetModel& other);
    CMapSheetModel& operator=(const CMapSheetModel& other);
    virtual ~CMapSheetModel();

    // The tile model of the view the sheets are drawn in; not owned.
    void AttachTileModel(CTileModel* model);
    void DetachTileModel();
    CTileModel* GetTileModel() const;

    double GetMinLongitude() const { return -180.0; }
    double GetMaxLongitude() const { return 180.0; }
    double GetMinLatitude() const { return -88.0; }
    double GetMaxLatitude() const { return 88.0; }

    // The valid sheet of p by the numbering above (p clamped to the limits; degrees rounded up to
    // whole ms); p always lies on the sheet's rect.
    // The bool is not used. An invalid sheet for a scale outside 1..11 (with the size warning).
    CMapSheet GetMapSheetFromPoint(ENUM_MAPSHEET scale, QPointF p, bool = false) const;

    // The sheet's name from its fields, with a leading "N"/"S" unless noHemisphere: row letter,
    // two-digit column and, when row and column in sheet are set, the scale letter with both
    // (three digits, four for J and K). An invalid sheet is named from its fields all the same
    // (a cleared sheet gives "N", the character 0 and "00").
    void GetStringFromMapSheet(QString& out, const CMapSheet& s, bool noHemisphere) const;
    // Parses an upper-case name, optionally prefixed by "N" or "S"; s is cleared first and left
    // invalid when the name does not follow the grammar or a number is out of range.
    void GetMapSheetFromString(CMapSheet& s, const QString& name) const;
    // Upper-cases, then parses; true when the name is a valid sheet.
    bool IsMapSheet(const QString& name) const;
    // Appends one parsed sheet per name (invalid ones included).
    void GetMultiMapSheetFromStringList(QVector<CMapSheet>& out, const QStringList& names) const;

    // The sheet of the next smaller scale containing s. A default (invalid) sheet for an invalid s or
    // a 1:1,000,000 sheet, which has no parent.
    CMapSheet GetParentMapSheet(const CMapSheet& s) const;

    // Map zoom level to the scale whose sheet names are shown: 1-5 -> 1, 7-8 -> 3, 9 -> 4, 10 -> 5,
    // 11 -> 6, 12 -> 7, 13 -> 8, 14-15 -> 9, 16 -> 10, 17-23 -> 11, anything else -> 2.
    ENUM_MAPSHEET GetMapSheetFromLevel(int level) const;

    // Sheet size in degrees; 0, 0 and a warning for a scale outside 1..11.
    void GetDelta(double& dlon, double& dlat, ENUM_MAPSHEET scale) const;

    // r clipped to the limits (x >= -180, y >= -88, right <= 180, bottom <= 88).
    QRectF GetExtremum(const QRectF& r) const;
    // r clamped to the limits and grown outward onto the scale's sheet grid (corners within 1 ms of a
    // grid line count as on it). An empty rect for a scale outside 1..11.
    QRectF GetExpandRect(ENUM_MAPSHEET scale, const QRectF& r) const;

    bool IsMapSheetRange(ENUM_MAPSHEET, const QRectF&) const { return false; }  // not supported

    // Number of sheets of the expanded rect (saturating at INT_MAX); -1 for a scale outside 1..11.
    int CalcMapSheetCountFromRect(ENUM_MAPSHEET scale, const QRectF& r) const;
    // exact: the number of sheets GetMapSheetFromRange finds; otherwise CalcMapSheetCountFromRect of
    // the union of the polygons' bounding rects. -1 for a scale outside 1..11 or no polygons.
    int CalcMapSheetCountFromRange(ENUM_MAPSHEET scale, const QList<QPolygonF>& polygons, bool exact) const;

    // Appends the sheets of the expanded rect, west to east and, within a column, south to north.
    void GetMapSheetFromRect(QVector<CMapSheet>& out, ENUM_MAPSHEET scale, const QRectF& r) const;
    // Appends the sheets meeting any polygon (each name once, in the order first found).
    void GetMapSheetFromRange(QList<CMapSheet>& out, ENUM_MAPSHEET scale, const QList<QPolygonF>& polygons) const;

    // True when the sheet's rect and the polygon (closed, odd-even fill) share an area: a polygon
    // edge runs through the rect's inside, or the rect lies inside the polygon. Touching borders do
    // not count. False for an invalid sheet or name.
    bool Intersected(const QString& name, const QPolygonF& polygon) const;
    bool Intersected(const CMapSheet& sheet, const QPolygonF& polygon) const;

    // Visits the sheets of the expanded rect, west to east and, within a column, south to north,
    // until the visitor returns false. Nothing happens for a null visitor.
    void Travel(CMapSheetVisitor* v, ENUM_MAPSHEET scale, QRectF r) const;

    // Appends to out the outline of `in` united with every sheet that meets it (degrees).
    void GetExternalRange(QPolygonF& out, ENUM_MAPSHEET scale, const QPolygonF& in) const;
    void GetMultiExternalRange(QVector<QPolygonF>&, const QVector<QPolygonF>&) const {}  // not supported

private:
    struct Private;
    std::unique_ptr<Private> d;
};
