#include "core/Tools.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

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
    int dem = -1;
    for (int t = 0; t < 2000 && dem < 0; ++t) {
        if (Tools::isDem(t, -1)) dem = t;
    }
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

TEST(ToolsImage, SizesAndFontRect) {
    EXPECT_DOUBLE_EQ(Tools::getTifImgSize(16), 3.0);  // 16 tiles of 192 KB
    EXPECT_DOUBLE_EQ(Tools::getTifImgSize(0), 0.0);
    const QRect small = Tools::getFontRect(QStringLiteral("Beijing"), QStringLiteral("Sans"), 8);
    const QRect large = Tools::getFontRect(QStringLiteral("Beijing"), QStringLiteral("Sans"), 32);
    EXPECT_GT(large.width(), small.width());
    EXPECT_GT(large.height(), small.height());
}
