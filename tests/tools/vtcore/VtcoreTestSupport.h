#pragma once

// Helpers of the vtcore tool tests: running a command in-process and reading results back.
#include "storage/IdxFileDepository.h"
#include "tools/vtcore/Vtcore.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

#include <tuple>

namespace VtTest {

struct RunResult {
    int code = -1;
    QString out;
    QString err;
};

// Runs `vtcore <args>` in this process.
RunResult RunTool(const QStringList& args);

// Tiles of a depository with data: (zoom, x, y) -> bytes, zero-based keys of its scheme.
using TileMap = QMap<std::tuple<int, int, int>, QByteArray>;
TileMap ReadTiles(const QString& idxPath);
// Slot states of a depository's selected levels: (zoom, x, y) -> state.
QMap<std::tuple<int, int, int>, int> ReadStates(const QString& idxPath);

// One MBTiles file read with the SQLite library.
struct Mbtiles {
    bool ok = false;
    QString error;
    QStringList tables;                  // names from sqlite_master (tables and indexes)
    QMap<QString, QString> metadata;
    TileMap tiles;                       // (zoom_level, tile_column, tile_row) -> tile_data
    QStringList tileColumns;             // column names of "tiles"
};
Mbtiles ReadMbtiles(const QString& file);

}  // namespace VtTest
