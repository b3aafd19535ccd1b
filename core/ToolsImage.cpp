// Tools: image checks, large-font tile pieces, grey-scale conversion and size estimates.
#include "core/Tools.h"

#include "core/log/VtLog.h"
#include "tile/BaiduToConvert.h"
#include "tile/ITileModel.h"
#include "tile/TileModel.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QVector>

namespace {

constexpr int kTileSize = 256;

// A large-font image is the tile one level up drawn at twice the size (512 x 512), so it covers
// 2 x 2 tiles: the piece of a tile is chosen by the parity of its zero-based column and row.
QImage largeFontPiece(const QImage& image, long long column0, long long row0) {
    if (image.isNull()) return QImage();
    if (image.width() <= kTileSize && image.height() <= kTileSize) return image;  // already one tile
    const int x = static_cast<int>(((column0 % 2) + 2) % 2) * kTileSize;
    const int y = static_cast<int>(((row0 % 2) + 2) % 2) * kTileSize;
    return image.copy(x, y, kTileSize, kTileSize);
}

}  // namespace

bool Tools::judgeImgeIsOk(QByteArray& data, int mapType) {
    if (data.size() < 3) return false;
    if (Tools::isDem(mapType, -1)) return true;
    const auto last = static_cast<unsigned char>(data.at(data.size() - 1));
    const auto beforeLast = static_cast<unsigned char>(data.at(data.size() - 2));
    return (beforeLast == 0xFF && last == 0xD9)     // JPEG end of image
           || (beforeLast == 0x60 && last == 0x82);  // last bytes of a PNG IEND chunk's CRC
}

double Tools::getTifImgSize(long long tiles) {
    return static_cast<double>(tiles) * 65536.0 * 3.0 / 1024.0 / 1024.0;
}

QImage Tools::ConvertBFImage(const CCache& data, const CTileKey& key) {
    if (key.GetLevel() < 4) {
        QImage blank(kTileSize, kTileSize, QImage::Format_ARGB32);
        blank.fill(Qt::transparent);
        return blank;
    }
    if (!data.IsValid()) return QImage();
    const QImage image = QImage::fromData(data.GetData(), data.GetLength());
    if (image.isNull()) {
        VtLogError() << "[Tools::ConvertBFImage] " << VtGB("大字体瓦片解码失败");
        return QImage();
    }
    return largeFontPiece(image, key.GetTileX(), key.GetTileY());
}

QImage Tools::getBigFontImg(QImage& img, long long index, int level) {
    if (level < 1 || level > 31 || index < 1) return QImage();
    const long long n = 1LL << (level - 1);
    long long row = 1, column = index;
    if (index >= n) {
        row = (index + n - 1) / n;
        column = index % n == 0 ? n : index % n;
    }
    return largeFontPiece(img, column - 1, row - 1);
}

QImage Tools::convertToGray(QString file) {
    const QImage source(file);
    if (source.isNull()) return QImage();
    const QImage argb = source.convertToFormat(QImage::Format_ARGB32);
    QImage gray(argb.size(), QImage::Format_Indexed8);
    if (argb.isNull() || gray.isNull()) return QImage();
    QVector<QRgb> table(256);
    for (int i = 0; i < 256; ++i) table[i] = qRgb(i, i, i);
    gray.setColorTable(table);
    for (int y = 0; y < argb.height(); ++y) {
        const QRgb* in = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        uchar* out = gray.scanLine(y);
        for (int x = 0; x < argb.width(); ++x) out[x] = static_cast<uchar>(qGray(in[x]));
    }
    // The result is the image as it reads back from JPEG; the round trip stays in memory so no
    // file is left in (or raced for in) the current directory.
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    if (!buffer.open(QIODevice::WriteOnly) || !gray.save(&buffer, "JPG")) return gray;
    QImage result;
    return result.loadFromData(jpeg, "JPG") ? result : gray;
}

QRect Tools::getFontRect(QString text, QString family, int size) {
    // Fonts need the GUI application's font database.
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) return QRect();
    QFont font(family);
    if (size > 0) font.setPointSize(size);
    return QFontMetrics(font).boundingRect(text);
}

double Tools::getTaskSize(DownloadTask task) {
    EXTENT extent = task.extent;
    if (Tools::isBaidu(task.maptype)) {
        // Baidu extents are BD-09; the tile counts below are taken on WGS84 / Mercator grids.
        const QPointF minCorner = CBaiduToConvert::BdToWGS84PointF(QPointF(extent.minx, extent.miny), 20, 44);
        const QPointF maxCorner = CBaiduToConvert::BdToWGS84PointF(QPointF(extent.maxx, extent.maxy), 20, 44);
        extent = EXTENT{minCorner.x(), minCorner.y(), maxCorner.x(), maxCorner.y()};
    }
    CTileModel* model = ITileModel::GetTileModel(Tools::isWGS(task.maptype) ? TILE_MODEL_GEOGRAPHIC : TILE_MODEL_MERCATOR, true);
    if (model == nullptr) return 0.0;
    double tiles = 0.0;  // double: a whole-world task at deep levels overflows 64-bit products of ints
    for (int level : task.level) {
        int startRow = 0, startCol = 0, rowCount = 0, colCount = 0;
        model->GetRowColInfo(startRow, startCol, rowCount, colCount, extent, level - 1);
        tiles += static_cast<double>(rowCount) * static_cast<double>(colCount);
    }
    const double bitsPerTile = Tools::isDem(task.maptype, -1) ? 64.0 * 64.0 * 32.0 : 256.0 * 256.0 * 24.0;
    return tiles * bitsPerTile / 8.0 / 1024.0 / 1024.0;
}
