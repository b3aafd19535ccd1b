#include "catalog/PolygonBlob_p.h"

#include <QDataStream>
#include <QIODevice>
#include <QVector>

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>

namespace {

QPolygonF poly(std::initializer_list<QPointF> points) { return QPolygonF(QVector<QPointF>(points)); }

// Writes the blob with QDataStream, as the application does.
QByteArray blob(const std::function<void(QDataStream&)>& write) {
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    write(out);
    return bytes;
}

const QPolygonF kTriangle = poly({QPointF(116.3, 39.9), QPointF(116.5, 39.9), QPointF(116.4, 40.1)});

}  // namespace

TEST(PolygonBlob, TaskPolygons) {
    struct Case {
        const char* what;
        QByteArray bytes;
        QList<QPolygonF> expected;
    };
    const Case cases[] = {
        {"empty blob", QByteArray(), {}},
        {"shorter than a count", QByteArray("\x02\x00", 2), {}},
        {"one polygon",
         blob([](QDataStream& s) {
             s << quint32(3);
             for (const QPointF& p : kTriangle) s << p.x() << p.y();
         }),
         {kTriangle}},
        {"one polygon of no points", blob([](QDataStream& s) { s << quint32(0); }), {QPolygonF()}},
        {"one polygon announcing more points than it holds",
         blob([](QDataStream& s) { s << quint32(1000000) << 1.0 << 2.0 << 3.0; }),
         {poly({QPointF(1, 2)})}},
        {"several polygons",
         blob([](QDataStream& s) {
             s << quint32(0xFFFFFFFF) << qint32(2) << qint32(1) << 5.0 << 6.0 << qint32(3);
             for (const QPointF& p : kTriangle) s << p.x() << p.y();
         }),
         {poly({QPointF(5, 6)}), kTriangle}},
        {"marker and a count of 0", blob([](QDataStream& s) { s << quint32(0xFFFFFFFF) << qint32(0); }), {}},
        {"marker and a negative count", blob([](QDataStream& s) { s << quint32(0xFFFFFFFF) << qint32(-4); }), {}},
        {"marker without a count", blob([](QDataStream& s) { s << quint32(0xFFFFFFFF); }), {}},
        {"more polygons announced than present",
         blob([](QDataStream& s) { s << quint32(0xFFFFFFFF) << qint32(0x7FFFFFFF) << qint32(1) << 5.0 << 6.0; }),
         {poly({QPointF(5, 6)})}},
        {"polygon with a negative point count",
         blob([](QDataStream& s) { s << quint32(0xFFFFFFFF) << qint32(2) << qint32(-1) << qint32(1) << 5.0 << 6.0; }),
         {QPolygonF(), poly({QPointF(5, 6)})}},
        {"point cut in half",
         blob([](QDataStream& s) { s << quint32(0xFFFFFFFF) << qint32(1) << qint32(2) << 5.0 << 6.0 << 7.0; }),
         {poly({QPointF(5, 6)})}},
    };
    for (const Case& c : cases) EXPECT_EQ(PolygonBlob::decodeTaskPolygons(c.bytes), c.expected) << c.what;
}

TEST(PolygonBlob, Outlines) {
    struct Case {
        const char* what;
        QByteArray bytes;
        QList<QPolygonF> expected;
    };
    const Case cases[] = {
        {"empty blob", QByteArray(), {}},
        {"no polygons", blob([](QDataStream& s) { s << qint32(0); }), {}},
        {"two polygons",
         blob([](QDataStream& s) {
             s << qint32(2) << qint32(1) << 5.0 << 6.0 << qint32(3);
             for (const QPointF& p : kTriangle) s << p.x() << p.y();
         }),
         {poly({QPointF(5, 6)}), kTriangle}},
        // The outline has no marker word: 0xFFFFFFFF is a count of -1.
        {"task marker is not special", blob([](QDataStream& s) { s << quint32(0xFFFFFFFF) << qint32(1); }), {}},
        {"point count larger than the data",
         blob([](QDataStream& s) { s << qint32(1) << qint32(0x7FFFFFFF) << 5.0 << 6.0; }),
         {poly({QPointF(5, 6)})}},
    };
    for (const Case& c : cases) EXPECT_EQ(PolygonBlob::decodeOutline(c.bytes), c.expected) << c.what;
}

TEST(PolygonBlob, EveryTruncationOfAValidBlobDecodesWithinItsBytes) {
    const QByteArray full = blob([](QDataStream& s) {
        s << quint32(0xFFFFFFFF) << qint32(2) << qint32(3);
        for (const QPointF& p : kTriangle) s << p.x() << p.y();
        s << qint32(3);
        for (const QPointF& p : kTriangle) s << p.x() << p.y();
    });
    for (int n = 0; n <= full.size(); ++n) {
        // A detached copy of exactly n bytes, so that a read past the end is caught by the sanitizer.
        const QByteArray cut(full.constData(), n);
        const QList<QPolygonF> polygons = PolygonBlob::decodeTaskPolygons(cut);
        int points = 0;
        for (const QPolygonF& p : polygons) points += p.size();
        const int complete = n < 12 ? 0 : (n - 12 - (n >= 12 + 48 + 4 ? 4 : 0)) / 16;
        EXPECT_EQ(points, complete) << n;
    }
    EXPECT_EQ(PolygonBlob::decodeTaskPolygons(full), QList<QPolygonF>({kTriangle, kTriangle}));
}
