#include "tools/vtcore/Downloader.h"
#include "tools/vtcore/GridTile.h"
#include "tools/vtcore/TileExport.h"

#include <QBuffer>
#include <QImage>

#include <gtest/gtest.h>

using namespace VtCli;

TEST(GridTile, IsA256PngTellingNeighboursApart) {
    const QByteArray a = RenderGridTile(11, 1686, 775);
    ASSERT_FALSE(a.isEmpty());
    EXPECT_TRUE(LooksLikeImage(a));
    EXPECT_EQ(TileFormat(a), QStringLiteral("png"));
    const QImage img = QImage::fromData(a, "PNG");
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(img.size(), QSize(256, 256));
    // Same tile, same bytes: the grid needs no fonts and renders identically everywhere.
    EXPECT_EQ(RenderGridTile(11, 1686, 775), a);
    // Each neighbour and the same numbers at another zoom differ.
    EXPECT_NE(RenderGridTile(11, 1687, 775), a);
    EXPECT_NE(RenderGridTile(11, 1686, 776), a);
    EXPECT_NE(RenderGridTile(12, 1686, 775), a);
    // The deepest zoom's widest numbers still render.
    EXPECT_TRUE(LooksLikeImage(RenderGridTile(22, 4194303, 4194303)));
    EXPECT_TRUE(RenderGridTile(-1, 0, 0).isEmpty());
    EXPECT_TRUE(RenderGridTile(0, -1, 0).isEmpty());
}

TEST(LooksLikeImage, CompleteImagesOnly) {
    const QByteArray png = RenderGridTile(3, 2, 1);
    QImage jpgImage(8, 8, QImage::Format_RGB32);
    jpgImage.fill(Qt::red);
    QByteArray jpg;
    {
        QBuffer b(&jpg);
        b.open(QIODevice::WriteOnly);
        ASSERT_TRUE(jpgImage.save(&b, "JPG"));
    }
    QByteArray webp("RIFF\x08\x00\x00\x00WEBPVP8 ", 16);  // RIFF size = length - 8
    QByteArray webpShort = webp;
    webpShort[4] = '\x10';  // announces more than it holds
    struct Row {
        QByteArray bytes;
        bool image;
        const char* why;
    };
    const Row rows[] = {
        {png, true, "png"},
        {jpg, true, "jpeg"},
        {webp, true, "webp"},
        {QByteArray("GIF89a....;"), true, "gif"},
        {png.left(png.size() - 1), false, "png cut short"},
        {png.left(png.size() / 2), false, "png cut in half"},
        {jpg.left(jpg.size() - 2), false, "jpeg without its end marker"},
        {webpShort, false, "webp shorter than its header says"},
        {QByteArray("<html>not found</html>"), false, "error page"},
        {QByteArray(), false, "empty"},
        {QByteArray("\x89PNG"), false, "signature only"},
    };
    for (const Row& r : rows) EXPECT_EQ(LooksLikeImage(r.bytes), r.image) << r.why;
}
