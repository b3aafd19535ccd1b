#include "VtcoreTestSupport.h"

#include <QTextStream>

#include <sqlite3.h>

#include <memory>

namespace VtTest {

RunResult RunTool(const QStringList& args) {
    RunResult r;
    {
        QTextStream out(&r.out);
        QTextStream err(&r.err);
        r.code = VtCli::RunVtcore(args, out, err);
    }
    return r;
}

namespace {

template <typename Visit>
void WalkSlots(const QString& idxPath, Visit visit) {
    CIdxFileDepository dep;
    dep.SetIndexFile(idxPath.toStdString());
    if (!dep.Open(true)) return;
    const CDatIndexConvert& conv = dep.GetIndexConverter();
    for (int level : dep.GetLevelList()) {
        CTileKey minKey;
        CTileKey maxKey;
        if (!conv.GetTileBound(minKey, maxKey, level)) continue;
        const long long first = conv.GetTileNumberUtilLevel(level - 1) + 1;
        const int cols = maxKey.GetTileX() - minKey.GetTileX() + 1;
        for (long long i = 0; i < conv.GetTileNumber(level); ++i)
            visit(dep, first + i, std::make_tuple(level - 1, minKey.GetTileX() + int(i % cols), minKey.GetTileY() + int(i / cols)));
    }
}

}  // namespace

TileMap ReadTiles(const QString& idxPath) {
    TileMap tiles;
    WalkSlots(idxPath, [&](CIdxFileDepository& dep, long long slot, std::tuple<int, int, int> key) {
        E_QUERY_RESULT result = QUERY_UNKNOWN;
        const CCache c = dep.ReadBuffer(result, slot);
        if (result == QUERY_OK)
            tiles.insert(key, QByteArray(reinterpret_cast<const char*>(c.GetData()), c.GetLength()));
    });
    return tiles;
}

QMap<std::tuple<int, int, int>, int> ReadStates(const QString& idxPath) {
    QMap<std::tuple<int, int, int>, int> states;
    WalkSlots(idxPath, [&](CIdxFileDepository& dep, long long slot, std::tuple<int, int, int> key) {
        states.insert(key, dep.GetFileIndexStatus(slot));
    });
    return states;
}

Mbtiles ReadMbtiles(const QString& file) {
    Mbtiles m;
    sqlite3* raw = nullptr;
    if (sqlite3_open_v2(file.toUtf8().constData(), &raw, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        m.error = QString::fromUtf8(sqlite3_errmsg(raw));
        sqlite3_close(raw);
        return m;
    }
    std::unique_ptr<sqlite3, decltype(&sqlite3_close)> db(raw, &sqlite3_close);
    auto query = [&](const char* sql, auto row) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db.get(), sql, -1, &st, nullptr) != SQLITE_OK) {
            m.error = QString::fromUtf8(sqlite3_errmsg(db.get()));
            return false;
        }
        std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)> stmt(st, &sqlite3_finalize);
        int rc = 0;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) row(st);
        return rc == SQLITE_DONE;
    };
    auto text = [](sqlite3_stmt* st, int col) {
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, col)));
    };
    m.ok = query("SELECT name FROM sqlite_master ORDER BY name", [&](sqlite3_stmt* st) { m.tables << text(st, 0); }) &&
           query("SELECT name FROM pragma_table_info('tiles') ORDER BY cid",
                 [&](sqlite3_stmt* st) { m.tileColumns << text(st, 0); }) &&
           query("SELECT name, value FROM metadata",
                 [&](sqlite3_stmt* st) { m.metadata.insert(text(st, 0), text(st, 1)); }) &&
           query("SELECT zoom_level, tile_column, tile_row, tile_data FROM tiles", [&](sqlite3_stmt* st) {
               const auto* data = static_cast<const char*>(sqlite3_column_blob(st, 3));
               m.tiles.insert(std::make_tuple(sqlite3_column_int(st, 0), sqlite3_column_int(st, 1),
                                              sqlite3_column_int(st, 2)),
                              QByteArray(data, sqlite3_column_bytes(st, 3)));
           });
    return m;
}

}  // namespace VtTest
