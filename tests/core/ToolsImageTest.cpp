#include "core/Tools.h"
#include "tile/BaiduToConvert.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <cmath>

namespace {

QByteArray encode(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

// A 512 x 512 large-font image whose four quarters have distinct colours.
QImage quarters() {
    QImage image(512, 512, QImage::Format_ARGB32);
    QPainter p(&image);
    p.fillRect(0, 0, 256, 256, QColor(255, 0, 0));
    p.fillRect(256, 0, 256, 256, QColor(0, 255, 0));
    p.fillRect(0, 256, 256, 256, QColor(0, 0, 255));
    p.fillRect(256, 256, 256, 256, QColor(255, 255, 0));
    return image;
}

// The first catalogue type with the given traits (-1 when none).
int findMapType(bool baidu, bool wgs, bool dem) {
    for (int t = 0; t < 2000; ++t) {
        if (Tools::isBaidu(t) == baidu && Tools::isWGS(t) == wgs && Tools::isDem(t, -1) == dem) return t;
    }
    return -1;
}

DownloadTask taskOf(int mapType, const EXTENT& extent, QList<int> levels) {
    DownloadTask task;
    task.maptype = mapType;
    task.extent = extent;
    task.level = levels;
    return task;
}

}  // namespace

TEST(ToolsImage, JudgeImageByItsEnding) {
    QByteArray png = encode(QImage(4, 4, QImage::Format_ARGB32), "PNG");
    QByteArray jpg = encode(QImage(4, 4, QImage::Format_RGB32), "JPG");
    QByteArray cut = png.left(png.size() - 1);
    QByteArray tiny("\xFF\xD9", 2);
    QByteArray html("<html></html>");
    EXPECT_TRUE(Tools::judgeImgeIsOk(png, 1));
    EXPECT_TRUE(Tools::judgeImgeIsOk(jpg, 1));
    EXPECT_FALSE(Tools::judgeImgeIsOk(cut, 1));   // truncated download
    EXPECT_FALSE(Tools::judgeImgeIsOk(html, 1));  // an error page
    EXPECT_FALSE(Tools::judgeImgeIsOk(tiny, 1));
    const int dem = findMapType(false, true, true);
    ASSERT_GE(dem, 0);
    EXPECT_TRUE(Tools::judgeImgeIsOk(html, dem));   // elevation tiles are not images
    EXPECT_FALSE(Tools::judgeImgeIsOk(tiny, dem));  // but fewer than 3 bytes never pass
}

TEST(ToolsImage, LargeFontPieces) {
    const QByteArray bytes = encode(quarters(), "PNG");
    const CCache data(reinterpret_cast<const unsigned char*>(bytes.constData()), bytes.size(), false);
    struct Row {
        int column, row;
        QRgb colour;
    };
    const Row rows[] = {{10, 20, qRgb(255, 0, 0)}, {11, 20, qRgb(0, 255, 0)}, {10, 21, qRgb(0, 0, 255)},
                        {11, 21, qRgb(255, 255, 0)}};
    for (const Row& row : rows) {
        const QImage piece = Tools::ConvertBFImage(data, CTileKey(5, row.column, row.row, TILE_MODEL_MERCATOR));
        ASSERT_EQ(piece.size(), QSize(256, 256));
        EXPECT_EQ(piece.pixel(0, 0), row.colour);
        EXPECT_EQ(piece.pixel(255, 255), row.colour);
    }
    const QImage blank = Tools::ConvertBFImage(data, CTileKey(3, 0, 0, TILE_MODEL_MERCATOR));
    ASSERT_EQ(blank.size(), QSize(256, 256));
    EXPECT_EQ(qAlpha(blank.pixel(128, 128)), 0);
    const QByteArray junk("not an image");
    EXPECT_TRUE(Tools::ConvertBFImage(CCache(reinterpret_cast<const unsigned char*>(junk.constData()), junk.size(), false),
                                      CTileKey(5, 0, 0, TILE_MODEL_MERCATOR))
                    .isNull());

    QImage big = quarters();
    // Level 3: 4 tiles a row. Index 6 is row 2, column 2 (one-based): the lower right quarter.
    EXPECT_EQ(Tools::getBigFontImg(big, 6, 3).pixel(0, 0), qRgb(255, 255, 0));
    EXPECT_EQ(Tools::getBigFontImg(big, 1, 3).pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(Tools::getBigFontImg(big, 4, 3).pixel(0, 0), qRgb(0, 255, 0));  // column n
    EXPECT_TRUE(Tools::getBigFontImg(big, 0, 3).isNull());
}

TEST(ToolsImage, GrayConversionLeavesNoFileBehind) {
    QTemporaryDir tmp;
    const QString file = tmp.filePath(QString::fromUtf8("彩色 图.png"));
    ASSERT_TRUE(quarters().save(file));
    const QString cwd = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(tmp.path()));
    const QImage gray = Tools::convertToGray(file);
    const QStringList left = QDir(tmp.path()).entryList(QDir::Files);
    QDir::setCurrent(cwd);
    ASSERT_FALSE(gray.isNull());
    EXPECT_EQ(left, QStringList{QString::fromUtf8("彩色 图.png")});
    EXPECT_EQ(gray.size(), QSize(512, 512));
    EXPECT_TRUE(gray.isGrayscale());
    // JPEG is lossy: compare the grey level of each quarter's centre within a few steps.
    EXPECT_NEAR(qGray(gray.pixel(128, 128)), qGray(qRgb(255, 0, 0)), 4);
    EXPECT_NEAR(qGray(gray.pixel(384, 384)), qGray(qRgb(255, 255, 0)), 4);
    EXPECT_TRUE(Tools::convertToGray(tmp.filePath("missing.png")).isNull());
}

TEST(ToolsImage, TaskSizeCountsTilesOfEveryLevel) {
    const int mercator = findMapType(false, false, false);
    ASSERT_GE(mercator, 0);
    const EXTENT world{-180, -90, 180, 90};  // clamped to the grid first
    // Levels 1..3 are zooms 0..2 of the grid: 1 + 4 + 16 tiles of 192 KB.
    EXPECT_DOUBLE_EQ(Tools::getTaskSize(taskOf(mercator, world, {1, 2, 3})), 21 * 0.1875);
    EXPECT_DOUBLE_EQ(Tools::getTaskSize(taskOf(mercator, world, {})), 0.0);
    EXPECT_DOUBLE_EQ(Tools::getTifImgSize(16), 3.0);  // 16 tiles of 192 KB
    EXPECT_GT(Tools::getFontRect("Beijing", "Sans", 32).width(), Tools::getFontRect("Beijing", "Sans", 8).width());
    // A whole-world task at the deepest levels must not overflow.
    const double deep = Tools::getTaskSize(taskOf(mercator, world, {21, 22}));
    EXPECT_DOUBLE_EQ(deep, (std::ldexp(1.0, 40) + std::ldexp(1.0, 42)) * 0.1875);

    // Elevation tiles (64 x 64 x 32 bits) are a twelfth of image tiles (256 x 256 x 24 bits) on the
    // same geographic grid.
    const int dem = findMapType(false, true, true);
    const int wgs = findMapType(false, true, false);
    ASSERT_GE(dem, 0);
    ASSERT_GE(wgs, 0);
    const EXTENT china{73, 18, 135, 54};
    const double image = Tools::getTaskSize(taskOf(wgs, china, {5, 8}));
    EXPECT_GT(image, 0.0);
    EXPECT_DOUBLE_EQ(Tools::getTaskSize(taskOf(dem, china, {5, 8})) * 12.0, image);
}

TEST(ToolsImage, BaiduTaskSizeUsesTheConvertedExtent) {
    const int baidu = findMapType(true, false, false);
    const int mercator = findMapType(false, false, false);
    ASSERT_GE(baidu, 0);
    // Around Beijing, BD-09 lies some hundred metres north-east of WGS84: at level 12 the counts of
    // the same numbers read in either datum differ, and the Baidu task must count the WGS84 one.
    const EXTENT bd{116.30, 39.85, 116.50, 40.00};
    const double baiduSize = Tools::getTaskSize(taskOf(baidu, bd, {12, 14}));
    EXPECT_GT(baiduSize, 0.0);
    EXPECT_NE(baiduSize, Tools::getTaskSize(taskOf(mercator, bd, {12, 14})));  // unconverted would differ
    const QPointF sw = CBaiduToConvert::BdToWGS84PointF(QPointF(bd.minx, bd.miny), 20, 44);
    const QPointF ne = CBaiduToConvert::BdToWGS84PointF(QPointF(bd.maxx, bd.maxy), 20, 44);
    EXPECT_DOUBLE_EQ(baiduSize, Tools::getTaskSize(taskOf(mercator, EXTENT{sw.x(), sw.y(), ne.x(), ne.y()}, {12, 14})));
}
