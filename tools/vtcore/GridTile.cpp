#include "tools/vtcore/GridTile.h"

#include <QBuffer>
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QString>

#include <cstdint>

namespace VtCli {
namespace {

// 5 x 7 glyphs, one row per byte, bit 4 = leftmost column.
struct Glyph {
    char ch;
    std::uint8_t rows[7];
};
constexpr Glyph kGlyphs[] = {
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}}, {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}}, {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}}, {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}}, {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}}, {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {'X', {0x11, 0x11, 0x0A, 0x04, 0x0A, 0x11, 0x11}}, {'Y', {0x11, 0x11, 0x0A, 0x04, 0x04, 0x04, 0x04}},
    {'Z', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x10, 0x1F}},
};
constexpr int kScale = 4;        // pixels per glyph dot
constexpr int kAdvance = 6 * kScale;
constexpr int kMargin = 16;

const Glyph* FindGlyph(char c) {
    for (const Glyph& g : kGlyphs)
        if (g.ch == c) return &g;
    return nullptr;
}

void DrawText(QPainter& p, int left, int top, const QByteArray& text, const QColor& colour) {
    int x = left;
    for (char c : text) {
        if (const Glyph* g = FindGlyph(c)) {
            for (int row = 0; row < 7; ++row)
                for (int col = 0; col < 5; ++col)
                    if (g->rows[row] & (0x10 >> col))
                        p.fillRect(x + col * kScale, top + row * kScale, kScale, kScale, colour);
        }
        x += kAdvance;
    }
}

}  // namespace

QByteArray RenderGridTile(int zoom, int x, int y) {
    if (zoom < 0 || x < 0 || y < 0) return QByteArray();
    QImage image(kGridTileSize, kGridTileSize, QImage::Format_RGB32);
    // A pale colour per zoom level, a checkerboard shade per tile: neighbours are told apart.
    QColor background = QColor::fromHsv((zoom * 47) % 360, 40, ((x + y) % 2) ? 235 : 250);
    image.fill(background);
    {
        QPainter p(&image);
        const QColor ink(40, 40, 40);
        p.fillRect(0, 0, kGridTileSize, 2, ink);
        p.fillRect(0, kGridTileSize - 2, kGridTileSize, 2, ink);
        p.fillRect(0, 0, 2, kGridTileSize, ink);
        p.fillRect(kGridTileSize - 2, 0, 2, kGridTileSize, ink);
        DrawText(p, kMargin, 40, "Z" + QByteArray::number(zoom), ink);
        DrawText(p, kMargin, 104, "X" + QByteArray::number(x), ink);
        DrawText(p, kMargin, 168, "Y" + QByteArray::number(y), ink);
    }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) return QByteArray();
    return png;
}

}  // namespace VtCli
