#pragma once

#include <QString>

class CIdxFileDepository;

namespace VtCli {

struct ExportCounts {
    long long tiles = 0;
    long long bytes = 0;
    // Tiles of the selected levels that could not be read and were left out: slots pointing past
    // the data file's end or holding an impossible length, and slots missing from a short index.
    long long skipped = 0;
    int minZoom = -1;  // -1 when nothing was written
    int maxZoom = -1;
};

// Image format of tile bytes by their signature: "png", "jpg", "webp", "gif", or "" for others.
QString TileFormat(const QByteArray& bytes);

// Writes the tiles of an open depository (Web Mercator tiles only) as an MBTiles 1.3 file: tables
// "metadata" (name, value) and "tiles" (zoom_level, tile_column, tile_row, tile_data) with rows in
// TMS order (row 0 in the south), metadata name, format, bounds (WGS84), center, minzoom, maxzoom,
// type, version, description. The file is written under a temporary name in the same folder and
// renamed when complete, so a failed or killed export never leaves a partial file under `file`
// (temporary files of exports that were killed are removed by the next export to the same
// name). An existing file is replaced only with `overwrite`. Without any tile to write nothing
// is written (counts.tiles is 0). False with a reason otherwise.
bool ExportMbtiles(CIdxFileDepository& dep, const QString& file, bool overwrite, const QString& name,
                   ExportCounts& counts, QString& error);

// Writes the tiles as files <dir>/<zoom>/<column>/<row>.<format> (rows from the north).
bool ExportXyz(CIdxFileDepository& dep, const QString& dir, ExportCounts& counts, QString& error);

}  // namespace VtCli
