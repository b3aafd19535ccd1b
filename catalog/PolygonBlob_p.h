#pragma once

#include <QByteArray>
#include <QList>
#include <QPolygonF>

// Decoders of the two polygon blobs kept in the databases (little-endian, doubles of 8 bytes).
// Both stop at the end of the bytes: a count larger than the data that follows yields only the
// points actually present, and nothing is read past the end.
namespace PolygonBlob {

// Task region ("rangepoints"): either u32 n (n != 0xFFFFFFFF) then n points, or the marker
// 0xFFFFFFFF, i32 m, then m x (i32 n, n points). A count m below 1 gives no polygons.
QList<QPolygonF> decodeTaskPolygons(const QByteArray& blob);

// Administrative outline ("region"): i32 m, then m x (i32 n, n points).
QList<QPolygonF> decodeOutline(const QByteArray& blob);

}  // namespace PolygonBlob
