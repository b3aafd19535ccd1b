#pragma once

// Helpers of the vtcore tool tests: running a command in-process and reading results back.
#include "storage/IdxFileDepository.h"
#include "tools/vtcore/Vtcore.h"

#include <QByteArray>
#include <QMap>
#include <QProcess>
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

// nginx serving the folder `root` on a free port of 127.0.0.1, closing each connection after five
// requests; its configuration, logs and temporary files go to `work`. Port() is 0 and Why() tells
// the reason when it cannot run here. Stops on destruction.
class CNginx {
public:
    CNginx(const QString& root, const QString& work);
    ~CNginx();
    quint16 Port() const { return m_port; }
    QString Why() const { return m_why; }

private:
    QString Start(const QString& root, const QString& work);  // the reason it cannot run, or empty

    QProcess m_process;
    quint16 m_port = 0;
    QString m_why;
};

}  // namespace VtTest
