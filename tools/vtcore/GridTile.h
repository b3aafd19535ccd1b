#pragma once

#include <QByteArray>

namespace VtCli {

constexpr int kGridTileSize = 256;

// The built-in "grid" source: a 256 x 256 PNG showing the tile's zoom, column and row (zero-based,
// rows from the north) and its border. The digits are drawn from a built-in bitmap font, so the
// bytes are the same on every machine and need no installed fonts. Empty for negative numbers.
QByteArray RenderGridTile(int zoom, int x, int y);

}  // namespace VtCli
