#include "catalog/PolygonBlob_p.h"
#include "CatalogTest.h"

namespace {

// Writes the blob with QDataStream, as the application does.
QByteArray blob(const std::function<void(QDataStream&)>& write) {
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    write(out);
    return bytes;
}

const QPolygonF kTriangle = poly({{116.3, 39.9}, {116.5, 39.9}, {116.4, 40.1}});
const quint32 kMarker = 0xFFFFFFFF;
void triangle(QDataStream& s) {
    s << qint32(3);
    for (const QPointF& p : kTriangle) s << p.x() << p.y();
}

}  // namespace

TEST(PolygonBlob, TaskPolygonsAndOutlines) {
    const auto task = &PolygonBlob::decodeTaskPolygons, outline = &PolygonBlob::decodeOutline;
    const std::tuple<const char*, decltype(task), QByteArray, QList<QPolygonF>> cases[] = {
        {"one polygon", task, blob([](QDataStream& s) { triangle(s); }), {kTriangle}},
        {"one polygon of no points", task, blob([](QDataStream& s) { s << quint32(0); }), {QPolygonF()}},
        {"more points announced than held", task, blob([](QDataStream& s) { s << quint32(1000000) << 1.0 << 2.0 << 3.0; }),
         {poly({{1, 2}})}},
        {"several polygons", task, blob([](QDataStream& s) { s << kMarker << qint32(2) << qint32(1) << 5.0 << 6.0; triangle(s); }),
         {poly({{5, 6}}), kTriangle}},
        {"marker and a count of 0", task, blob([](QDataStream& s) { s << kMarker << qint32(0); }), {}},
        {"marker and a negative count", task, blob([](QDataStream& s) { s << kMarker << qint32(-4); }), {}},
        {"more polygons announced than present", task,
         blob([](QDataStream& s) { s << kMarker << qint32(0x7FFFFFFF) << qint32(1) << 5.0 << 6.0; }), {poly({{5, 6}})}},
        {"negative point count", task,
         blob([](QDataStream& s) { s << kMarker << qint32(2) << qint32(-1) << qint32(1) << 5.0 << 6.0; }),
         {QPolygonF(), poly({{5, 6}})}},
        {"outline: empty blob", outline, QByteArray(), {}},
        {"outline: no polygons", outline, outlineBlob({}), {}},
        {"outline: two polygons", outline, outlineBlob({poly({{5, 6}}), kTriangle}), {poly({{5, 6}}), kTriangle}},
        {"outline: no marker word, 0xFFFFFFFF is -1", outline, blob([](QDataStream& s) { s << kMarker << qint32(1); }), {}},
        {"outline: point count larger than the data", outline,
         blob([](QDataStream& s) { s << qint32(1) << qint32(0x7FFFFFFF) << 5.0 << 6.0; }), {poly({{5, 6}})}},
    };
    for (const auto& [what, decode, bytes, expected] : cases) EXPECT_EQ(decode(bytes), expected) << what;
}
