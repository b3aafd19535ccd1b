#include "tools/vtcore/TileExport.h"

#include "core/TextConvert.h"
#include "storage/IdxFileDepository.h"
#include "tile/ITileModel.h"
#include "tile/TileModel.h"
#include "tools/vtcore/Region.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <QVariant>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <unistd.h>
#include <vector>

namespace VtCli {
namespace {

// MBTiles names png, jpg and webp itself; any other kind of tile is named by its media type.
QString MbtilesFormat(const QString& tileFormat) {
    if (tileFormat == QLatin1String("png") || tileFormat == QLatin1String("jpg") || tileFormat == QLatin1String("webp"))
        return tileFormat;
    if (tileFormat == QLatin1String("gif")) return QStringLiteral("image/gif");
    return QStringLiteral("application/octet-stream");
}

// Latitudes beyond this have no Web Mercator row; bounds are clipped to it.
constexpr double kMercatorMaxLat = 85.05112877980655;

// Calls `visit(zoom, x, y, bytes)` for every tile with data, levels ascending; stops when it
// returns false (the result is then false too). Tiles that cannot be read are counted as skipped.
bool ForEachTile(CIdxFileDepository& dep, ExportCounts& counts,
                 const std::function<bool(int, int, int, const CCache&)>& visit) {
    std::vector<int> levels = dep.GetLevelList();
    std::sort(levels.begin(), levels.end());
    const CDatIndexConvert& conv = dep.GetIndexConverter();
    // Slots past the end of a cut index read as empty; whether they held tiles is unknown.
    const long long indexSlots =
        QFileInfo(ConvertStdStringToQString(dep.GetIndexFile(), "GB18030")).size() / CIdxFileDepository::kSlotSize;
    for (int level : levels) {
        CTileKey minKey;
        CTileKey maxKey;
        if (!conv.GetTileBound(minKey, maxKey, level)) continue;
        const long long first = conv.GetTileNumberUtilLevel(level - 1) + 1;
        const int cols = maxKey.GetTileX() - minKey.GetTileX() + 1;
        const long long count = conv.GetTileNumber(level);
        for (long long i = 0; i < count; ++i) {
            if (first + i > indexSlots) {
                ++counts.skipped;
                continue;
            }
            if (!dep.IsFileIndexHavData(first + i)) continue;
            E_QUERY_RESULT result = QUERY_UNKNOWN;
            const CCache tile = dep.ReadBuffer(result, first + i);
            if (result != QUERY_OK || !tile.IsValid()) {
                ++counts.skipped;  // verify names the damage
                continue;
            }
            if (!visit(level - 1, minKey.GetTileX() + int(i % cols), minKey.GetTileY() + int(i / cols), tile))
                return false;
        }
    }
    return true;
}

void Tally(ExportCounts& counts, int zoom, int bytes) {
    ++counts.tiles;
    counts.bytes += bytes;
    counts.minZoom = counts.minZoom < 0 ? zoom : std::min(counts.minZoom, zoom);
    counts.maxZoom = std::max(counts.maxZoom, zoom);
}

QString ExecError(const QSqlQuery& q) { return q.lastError().text(); }

// Owns a uniquely named connection and removes it after every query object is gone.
class CScopedConnection {
public:
    explicit CScopedConnection(const QString& file)
        : m_name(QStringLiteral("vtcore-export-") + QUuid::createUuid().toString(QUuid::WithoutBraces)) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        db.setDatabaseName(file);
        m_open = db.open();
        if (!m_open) m_error = db.lastError().text();
    }
    ~CScopedConnection() {
        {
            QSqlDatabase db = QSqlDatabase::database(m_name, false);
            if (db.isOpen()) db.close();
        }
        QSqlDatabase::removeDatabase(m_name);
    }
    CScopedConnection(const CScopedConnection&) = delete;
    CScopedConnection& operator=(const CScopedConnection&) = delete;
    QSqlDatabase db() const { return QSqlDatabase::database(m_name, false); }
    bool open() const { return m_open; }
    QString error() const { return m_error; }

private:
    QString m_name;
    bool m_open = false;
    QString m_error;
};

// The temporary name of an export to `file` by process `pid`: hidden, in the same folder (so the
// final rename stays within one file system), and never ending in ".mbtiles".
QString PartialPath(const QString& file, long long pid) {
    const QFileInfo fi(file);
    return fi.path() + QStringLiteral("/.") + fi.fileName() + QStringLiteral(".%1.partial").arg(pid);
}

void RemovePartial(const QString& temp) {
    QFile::remove(temp);
    QFile::remove(temp + QStringLiteral("-journal"));
}

// Temporary files of exports to the same name whose process is gone (killed mid-export).
void RemoveStalePartials(const QString& file) {
    const QFileInfo fi(file);
    const QString prefix = QStringLiteral(".") + fi.fileName() + QLatin1Char('.');
    const QStringList found = fi.dir().entryList({prefix + QStringLiteral("*.partial*")}, QDir::Files | QDir::Hidden);
    for (const QString& entry : found) {
        bool ok = false;
        const long long pid = entry.mid(prefix.size()).section(QLatin1Char('.'), 0, 0).toLongLong(&ok);
        if (!ok || pid <= 0 || pid == getpid()) continue;
        if (::kill(pid_t(pid), 0) != 0 && errno == ESRCH) QFile::remove(fi.dir().filePath(entry));
    }
}

bool SyncPath(const QString& path, int flags) {
    const int fd = ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

// Gives the finished temporary file its name in one step. Without `overwrite` a file that
// appeared meanwhile is kept: a hard link, unlike a rename, refuses an existing name.
bool Publish(const QString& temp, const QString& file, bool overwrite, QString& error) {
    const QByteArray from = QFile::encodeName(temp);
    const QByteArray to = QFile::encodeName(file);
    if (!SyncPath(temp, O_RDONLY)) {
        error = QStringLiteral("cannot write %1: %2").arg(temp, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    bool done = false;
    if (!overwrite) {
        if (::link(from.constData(), to.constData()) == 0) {
            ::unlink(from.constData());
            done = true;
        } else if (errno == EEXIST) {
            error = QStringLiteral("%1 exists (use --overwrite)").arg(file);
            return false;
        }
        // File systems without hard links fall through to the rename.
    }
    if (!done && !overwrite && QFileInfo::exists(file)) {
        error = QStringLiteral("%1 exists (use --overwrite)").arg(file);
        return false;
    }
    if (!done && std::rename(from.constData(), to.constData()) != 0) {
        error = QStringLiteral("cannot rename %1 to %2: %3").arg(temp, file, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    SyncPath(QFileInfo(file).path(), O_RDONLY | O_DIRECTORY);  // the new name survives a power cut
    return true;
}

bool WriteMbtiles(CIdxFileDepository& dep, const QString& file, const QString& name, ExportCounts& counts,
                  QString& error) {
    CScopedConnection conn(file);
    if (!conn.open()) {
        error = QStringLiteral("cannot create %1: %2").arg(file, conn.error());
        return false;
    }
    QSqlDatabase db = conn.db();
    QSqlQuery q(db);
    // The file is thrown away whole when anything fails, so SQLite needs neither a journal nor
    // syncs of its own; the finished file is synced once before it gets its name.
    const char* const schema[] = {
        "PRAGMA journal_mode=OFF",
        "PRAGMA synchronous=OFF",
        "CREATE TABLE metadata (name text, value text)",
        "CREATE TABLE tiles (zoom_level integer, tile_column integer, tile_row integer, tile_data blob)",
        "CREATE UNIQUE INDEX tile_index ON tiles (zoom_level, tile_column, tile_row)",
    };
    for (const char* sql : schema) {
        if (!q.exec(QString::fromLatin1(sql))) {
            error = ExecError(q);
            return false;
        }
    }
    if (!db.transaction()) {
        error = db.lastError().text();
        return false;
    }
    QSqlQuery insert(db);
    insert.prepare(QStringLiteral(
        "INSERT OR REPLACE INTO tiles (zoom_level, tile_column, tile_row, tile_data) VALUES (?, ?, ?, ?)"));
    CTileModel* model = ITileModel::GetTileModel(TILE_MODEL_MERCATOR, true);
    QString format;
    const bool walked = ForEachTile(dep, counts, [&](int zoom, int x, int y, const CCache& tile) {
        const QByteArray bytes(reinterpret_cast<const char*>(tile.GetData()), tile.GetLength());
        if (format.isEmpty()) format = TileFormat(bytes);
        insert.bindValue(0, zoom);
        insert.bindValue(1, x);
        insert.bindValue(2, model->GetNumberTileY(zoom) - 1 - y);  // TMS rows count from the south
        insert.bindValue(3, bytes);
        if (!insert.exec()) {
            error = ExecError(insert);
            return false;
        }
        Tally(counts, zoom, bytes.size());
        return true;
    });
    if (!walked) {
        db.rollback();
        return false;
    }
    if (counts.tiles == 0) return true;  // nothing to publish
    // Bounds in WGS84, whatever datum the map type's tiles are drawn in.
    const Region inMap{dep.GetExtent(), {}, QString()};
    const Datum datum = dep.GetDatFileInfo().bIsGoogleOffset ? Datum::Gcj02 : MapTypeDatum(dep.GetMapType(), -1);
    const EXTENT e = ConvertRegion(inMap, datum, Datum::Wgs84).extent;
    const double south = std::max(e.miny, -kMercatorMaxLat);
    const double north = std::min(e.maxy, kMercatorMaxLat);
    const int minZoom = std::max(0, counts.minZoom);
    const int maxZoom = std::max(0, counts.maxZoom);
    const QList<QPair<QString, QString>> metadata = {
        {QStringLiteral("name"), name},
        {QStringLiteral("format"), MbtilesFormat(format)},
        {QStringLiteral("bounds"), QString::asprintf("%.8f,%.8f,%.8f,%.8f", e.minx, south, e.maxx, north)},
        {QStringLiteral("center"), QString::asprintf("%.8f,%.8f,%d", (e.minx + e.maxx) / 2, (south + north) / 2,
                                                     minZoom + (maxZoom - minZoom) / 2)},
        {QStringLiteral("minzoom"), QString::number(minZoom)},
        {QStringLiteral("maxzoom"), QString::number(maxZoom)},
        {QStringLiteral("type"), QStringLiteral("baselayer")},
        {QStringLiteral("version"), QStringLiteral("1.0")},
        {QStringLiteral("description"), QStringLiteral("Exported by vtcore from %1, map type %2")
                                            .arg(QFileInfo(QString::fromLocal8Bit(dep.GetIndexFile().c_str())).fileName())
                                            .arg(dep.GetMapType())},
    };
    QSqlQuery meta(db);
    meta.prepare(QStringLiteral("INSERT INTO metadata (name, value) VALUES (?, ?)"));
    for (const auto& kv : metadata) {
        meta.bindValue(0, kv.first);
        meta.bindValue(1, kv.second);
        if (!meta.exec()) {
            error = ExecError(meta);
            db.rollback();
            return false;
        }
    }
    if (!db.commit()) {
        error = db.lastError().text();
        return false;
    }
    return true;
}

}  // namespace

QString TileFormat(const QByteArray& b) {
    if (b.startsWith("\x89PNG")) return QStringLiteral("png");
    if (b.startsWith("\xff\xd8\xff")) return QStringLiteral("jpg");
    if (b.size() >= 12 && b.startsWith("RIFF") && b.mid(8, 4) == "WEBP") return QStringLiteral("webp");
    if (b.startsWith("GIF8")) return QStringLiteral("gif");
    return QString();
}

bool ExportMbtiles(CIdxFileDepository& dep, const QString& file, bool overwrite, const QString& name,
                   ExportCounts& counts, QString& error) {
    if (dep.GetIndexConverter().GetTileModel() == TILE_MODEL_GEOGRAPHIC) {
        error = QStringLiteral("MBTiles holds Web Mercator tiles; this depository has geographic tiles "
                               "(use --format xyz)");
        return false;
    }
    if (QFileInfo::exists(file) && !overwrite) {
        error = QStringLiteral("%1 exists (use --overwrite)").arg(file);
        return false;
    }
    if (!QFileInfo(file).dir().exists() && !QDir().mkpath(QFileInfo(file).path())) {
        error = QStringLiteral("cannot create the folder of %1").arg(file);
        return false;
    }
    RemoveStalePartials(file);
    const QString temp = PartialPath(file, getpid());
    counts = ExportCounts();
    const bool written = WriteMbtiles(dep, temp, name, counts, error);
    if (!written || counts.tiles == 0) {
        RemovePartial(temp);
        return written;
    }
    if (!Publish(temp, file, overwrite, error)) {
        RemovePartial(temp);
        return false;
    }
    return true;
}

bool ExportXyz(CIdxFileDepository& dep, const QString& dir, ExportCounts& counts, QString& error) {
    counts = ExportCounts();
    return ForEachTile(dep, counts, [&](int zoom, int x, int y, const CCache& tile) {
        const QByteArray bytes(reinterpret_cast<const char*>(tile.GetData()), tile.GetLength());
        QString format = TileFormat(bytes);
        if (format.isEmpty()) format = QStringLiteral("bin");
        const QString folder = QStringLiteral("%1/%2/%3").arg(dir).arg(zoom).arg(x);
        const QString path = QStringLiteral("%1/%2.%3").arg(folder).arg(y).arg(format);
        QFile f(path);
        if (!QDir().mkpath(folder) || !f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) {
            error = QStringLiteral("cannot write %1").arg(path);
            return false;
        }
        Tally(counts, zoom, bytes.size());
        return true;
    });
}

}  // namespace VtCli
