// Region polygon blobs come from database rows that the application or a damaged file wrote: both
// decoders must never read past the blob, and never return more points than its bytes can hold.
#include "catalog/PolygonBlob_p.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

int pointCount(const QList<QPolygonF>& polygons) {
    int points = 0;
    for (const QPolygonF& p : polygons) points += p.size();
    return points;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 65536) return 0;
    // A detached copy of exactly the input, so a read past its end is caught by the sanitizer.
    const QByteArray blob(reinterpret_cast<const char*>(data), static_cast<int>(size));
    const int maxPoints = static_cast<int>(size / 16);
    if (pointCount(PolygonBlob::decodeTaskPolygons(blob)) > maxPoints) std::abort();
    if (pointCount(PolygonBlob::decodeOutline(blob)) > maxPoints) std::abort();
    return 0;
}
