#pragma once

#include "core/Vector3D.h"
#include "core/VtCoreExport.h"

#include <vector>

// Geodesic measurements and constructions for the measuring and drawing tools. Every point is a
// CVector3D: x the longitude and y the latitude in degrees, z the height in metres. The ellipsoid is
// WGS84 (a = 6378137.0 m, b = 6356752.3142 m); the rhumb-line distance uses a sphere of radius a.
//
// Planar offsets (parallel line and corridor) are computed in the local east/north/up frame of the
// first input point; heights are kept as they are and only east and north move. A positive distance
// lies to the right of the direction of travel, a negative one to the left.
//
// Join rule of the offsets: neighbouring shifted segments are intersected as infinite lines (a mitred
// join). Two segments whose unit directions have a cross product below 1e-9 count as parallel and
// have no intersection. A mitre point farther than kVtGeoMitreLimit x |d| from its vertex (turns
// sharper than about 151 degrees) is not used, so nearly reversing lines never grow spikes:
// - the parallel line (one output point per vertex) then takes the end of the previous shifted
//   segment instead;
// - the corridor cuts such a corner on its outer side with a bevel (the end of the previous and the
//   start of the next shifted segment). On the inner side of a turn the intersection is the true
//   corner and is kept whenever it lies on both shifted segments, however far from the vertex;
//   otherwise (segments shorter than the offset) the inner side also takes the bevel.
// Consecutive points that are equal within 1e-8 m in the local frame are treated as one point.
namespace VtGeoNS {

// Largest accepted distance of a mitre point from its vertex, in multiples of the offset distance.
constexpr double kVtGeoMitreLimit = 4.0;

// Distance in metres between two points. rhumb true: the loxodrome on the sphere of radius
// 6378137 m (heights ignored; longitudes differing by more than 180 degrees go the short way).
// rhumb false: the straight-line (chord) distance between the two points on the ellipsoid surface
// (heights ignored, both taken at height 0).
VTCORE_EXPORT double CalculateDistanceHS(double x1, double y1, double z1, double x2, double y2, double z2,
                                         bool rhumb);
// Sum of the distances of consecutive points; 0 for fewer than two points.
VTCORE_EXPORT double CalculateDistanceHS(const std::vector<CVector3D>& pts, bool rhumb);

// Area in square metres of the polygon through the points (heights used), as the plane fan of their
// earth-centred positions; independent of the winding order. 0 for fewer than three points or when
// all points lie on one line.
VTCORE_EXPORT double CalculateArea(const std::vector<CVector3D>& pts);

// The point reached from p by moving `distance` metres in p's tangent plane along `azimuth` degrees,
// counted counter-clockwise from north (0 north, 90 west, 180 south, 270 east). The result's height
// grows with the distance because the tangent plane leaves the ellipsoid.
VTCORE_EXPORT CVector3D CalculateNextPointGeo(const CVector3D& p, double azimuth, double distance);

// The line parallel to `in` at the signed distance d in metres (one output point per distinct input
// point). One point moves d metres east; two coincident points too. Returns false (out untouched)
// for empty input; out is replaced otherwise.
VTCORE_EXPORT bool CalculateParrelLineGeo(std::vector<CVector3D>& out, const std::vector<CVector3D>& in,
                                          double d);

// The corridor outline around `in` at distance |d|: the side at +d followed by the side at -d in
// reverse order (butt ends, mitre or bevel joins as described above). Returns false (out untouched)
// for empty input; out is replaced otherwise.
VTCORE_EXPORT bool CalculateExpandPolygonGeo(std::vector<CVector3D>& out, const std::vector<CVector3D>& in,
                                             double d);

}  // namespace VtGeoNS
