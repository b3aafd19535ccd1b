#include "catalog/PolygonBlob_p.h"

#include <QtEndian>

#include <cstring>

namespace {

constexpr quint32 kMultiPolygonMarker = 0xFFFFFFFFu;
constexpr int kPointBytes = 16;

// Bounded little-endian reader: every read checks the bytes left and fails instead of running on.
class BlobReader {
public:
    explicit BlobReader(const QByteArray& blob)
        : m_data(reinterpret_cast<const uchar*>(blob.constData())), m_size(blob.size()) {}

    bool readU32(quint32& value) {
        if (m_size - m_pos < 4) return false;
        value = qFromLittleEndian<quint32>(m_data + m_pos);
        m_pos += 4;
        return true;
    }
    bool readI32(qint32& value) {
        quint32 raw = 0;
        if (!readU32(raw)) return false;
        value = static_cast<qint32>(raw);
        return true;
    }
    bool readPoint(QPointF& point) {
        if (m_size - m_pos < kPointBytes) return false;
        point.setX(readDouble(m_data + m_pos));
        point.setY(readDouble(m_data + m_pos + 8));
        m_pos += kPointBytes;
        return true;
    }
    int pointsLeft() const { return (m_size - m_pos) / kPointBytes; }

private:
    static double readDouble(const uchar* p) {
        const quint64 bits = qFromLittleEndian<quint64>(p);
        double value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

    const uchar* m_data;
    int m_size;
    int m_pos = 0;
};

// Reads up to `announced` points; returns false when the data ended first.
bool readPolygon(BlobReader& reader, qint64 announced, QPolygonF& polygon) {
    if (announced <= 0) return true;
    // Reserve only what the bytes can hold, whatever the count claims.
    polygon.reserve(static_cast<int>(qMin<qint64>(announced, reader.pointsLeft())));
    for (qint64 i = 0; i < announced; ++i) {
        QPointF point;
        if (!reader.readPoint(point)) return false;
        polygon.append(point);
    }
    return true;
}

QList<QPolygonF> readPolygonList(BlobReader& reader) {
    QList<QPolygonF> polygons;
    qint32 count = 0;
    if (!reader.readI32(count) || count < 1) return polygons;
    for (qint32 i = 0; i < count; ++i) {
        qint32 points = 0;
        if (!reader.readI32(points)) break;
        QPolygonF polygon;
        const bool complete = readPolygon(reader, points, polygon);
        // A polygon cut short by the end of the data is kept with the points it has.
        if (!polygon.isEmpty() || complete) polygons.append(polygon);
        if (!complete) break;
    }
    return polygons;
}

}  // namespace

namespace PolygonBlob {

QList<QPolygonF> decodeTaskPolygons(const QByteArray& blob) {
    BlobReader reader(blob);
    quint32 first = 0;
    if (!reader.readU32(first)) return {};
    if (first == kMultiPolygonMarker) return readPolygonList(reader);
    QPolygonF polygon;
    readPolygon(reader, first, polygon);
    return {polygon};
}

QList<QPolygonF> decodeOutline(const QByteArray& blob) {
    BlobReader reader(blob);
    return readPolygonList(reader);
}

}  // namespace PolygonBlob
