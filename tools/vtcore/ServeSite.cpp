#include "tools/vtcore/ServeSite.h"

#include "core/log/VtLog.h"
#include "storage/IdxFileDepository.h"
#include "tools/vtcore/Commands_p.h"
#include "tools/vtcore/DepositoryLock.h"
#include "tools/vtcore/Region.h"
#include "tools/vtcore/TileExport.h"

#include <QBuffer>
#include <QDateTime>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

#include <algorithm>
#include <mutex>
#include <sys/stat.h>

namespace VtCli {

namespace {

constexpr double kMercatorMaxLat = 85.05112877980655;
// Slots looked at to learn the tiles' format for the TileJSON URL; the bytes decide each tile's
// Content-Type anyway.
constexpr long long kFormatProbeSlots = 4096;
// A slot repointed between reading it and reading its bytes is read again this often.
constexpr int kReadAttempts = 4;

struct LevelGrid {
    int minX = 0;
    int minY = 0;
    int cols = 0;
    int rows = 0;
    long long first = 0;  // slot of (minX, minY)
};

// Identity of a data file: a replaced file (new inode) means a new depository.
struct FileId {
    quint64 dev = 0;
    quint64 ino = 0;
    bool operator==(const FileId& o) const { return dev == o.dev && ino == o.ino; }
};

FileId IdOf(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) return FileId();
    return FileId{quint64(st.st_dev), quint64(st.st_ino)};
}

QByteArray ContentTypeOf(const QByteArray& bytes) {
    const QString format = TileFormat(bytes);
    if (format == QLatin1String("png")) return "image/png";
    if (format == QLatin1String("jpg")) return "image/jpeg";
    if (format == QLatin1String("webp")) return "image/webp";
    if (format == QLatin1String("gif")) return "image/gif";
    return "application/octet-stream";
}

QByteArray StateWord(long long offset) {
    switch (offset) {
    case BLOCK_EMPTY: return "failed";
    case BLOCK_WAITING: return "waiting";
    case BLOCK_DAMAGED: return "damaged";
    case 4: return "absent";  // the source has no such tile (recorded by vtcore download)
    case BLOCK_SKIPPED_LEVEL: return "outside";
    default: return offset < 0 ? "invalid" : "state-" + QByteArray::number(offset);
    }
}

const QByteArray& TransparentPng() {
    static const QByteArray png = [] {
        QImage image(256, 256, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        return bytes;
    }();
    return png;
}

struct StaticFile {
    QByteArray contentType;
    QByteArray bytes;
};

QByteArray StaticType(const QString& path) {
    if (path.endsWith(QLatin1String(".html"))) return "text/html; charset=utf-8";
    if (path.endsWith(QLatin1String(".js"))) return "text/javascript; charset=utf-8";
    if (path.endsWith(QLatin1String(".css"))) return "text/css; charset=utf-8";
    if (path.endsWith(QLatin1String(".png"))) return "image/png";
    return "text/plain; charset=utf-8";
}

// The embedded web files by their path under /_static/, read once. Only these can be served.
const QHash<QByteArray, StaticFile>& StaticFiles() {
    static const QHash<QByteArray, StaticFile> files = [] {
        QHash<QByteArray, StaticFile> out;
        const QString root = QStringLiteral(":/vtcore-serve/web/");
        QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            QFile f(path);
            if (!f.open(QIODevice::ReadOnly)) continue;
            out.insert(path.mid(root.size()).toUtf8(), StaticFile{StaticType(path), f.readAll()});
        }
        return out;
    }();
    return files;
}

ServeReply Plain(int status, const QByteArray& text) {
    ServeReply r;
    r.status = status;
    r.contentType = "text/plain; charset=utf-8";
    r.body = text + "\n";
    return r;
}

ServeReply Json(const QJsonObject& o) {
    ServeReply r;
    r.contentType = "application/json";
    r.body = QJsonDocument(o).toJson(QJsonDocument::Compact);
    r.headers.append(qMakePair(QByteArray("Access-Control-Allow-Origin"), QByteArray("*")));
    r.headers.append(qMakePair(QByteArray("Cache-Control"), QByteArray("no-cache")));
    return r;
}

QByteArray NameInUrl(const QString& name) { return QUrl::toPercentEncoding(name); }

}  // namespace

struct CServeSite::Snapshot {
    std::shared_ptr<CIdxFileDepository> dep;  // null when the depository cannot be opened
    QString reason;                           // why not
    FileId id;
    QList<int> headerLevels;  // as read, to notice a download adding levels
    int mapType = 0;
    int tileModel = 0;
    EXTENT extent{0, 0, 0, 0};
    bool gcj = false;
    std::vector<int> levels;       // selected, ascending
    std::vector<LevelGrid> grids;  // levels 1..deepest (index level - 1)
    long long stored = 0;          // tiles with data when opened
    QByteArray format;             // "png", "jpg", ... of the first tile found; "png" when none
    QByteArray etagPrefix;
    // Looked up once here: the catalogue behind them is not meant for many threads at once.
    QString mapTypeText;
    EXTENT wgs84{0, 0, 0, 0};  // the extent in WGS84, latitudes clipped to the scheme's

    const LevelGrid* Grid(int z) const {
        return z >= 0 && z < int(grids.size()) && grids[size_t(z)].cols > 0 ? &grids[size_t(z)] : nullptr;
    }
};

struct CServeSite::Served {
    QString name;
    QString idxPath;
    QString datPath;
    mutable std::mutex mutex;
    std::shared_ptr<const Snapshot> snapshot;

    std::shared_ptr<const Snapshot> Get() const {
        std::lock_guard<std::mutex> lock(mutex);
        return snapshot;
    }
    void Set(std::shared_ptr<const Snapshot> s) {
        std::lock_guard<std::mutex> lock(mutex);
        snapshot = std::move(s);
    }
};

namespace {

std::shared_ptr<CServeSite::Snapshot> OpenSnapshot(const CServeSite::Served& served) {
    auto s = std::make_shared<CServeSite::Snapshot>();
    s->id = IdOf(served.datPath);
    if (!QFileInfo::exists(served.idxPath) || !QFileInfo::exists(served.datPath)) {
        s->reason = QStringLiteral("index or data file missing");
        return s;
    }
    auto dep = std::make_shared<CIdxFileDepository>();
    dep->SetIndexFile(DepositoryPath8(served.idxPath));
    if (!dep->Open(true)) {
        s->reason = QStringLiteral("not a readable depository");
        return s;
    }
    const STRUCT_DOWNLOAD_TASK task = dep->GetDatFileInfo();
    s->headerLevels = task.level;
    s->mapType = dep->GetMapType();
    s->extent = dep->GetExtent();
    s->gcj = task.bIsGoogleOffset;
    s->mapTypeText = MapTypeText(s->mapType);
    s->levels = dep->GetLevelList();
    std::sort(s->levels.begin(), s->levels.end());
    s->levels.erase(std::unique(s->levels.begin(), s->levels.end()), s->levels.end());
    const CDatIndexConvert& conv = dep->GetIndexConverter();
    s->tileModel = conv.GetTileModel();
    const Region inMap{s->extent, {}, QString()};
    s->wgs84 = ConvertRegion(inMap, s->gcj ? Datum::Gcj02 : MapTypeDatum(s->mapType, -1), Datum::Wgs84).extent;
    const double maxLat = s->tileModel == TILE_MODEL_GEOGRAPHIC ? 90.0 : kMercatorMaxLat;
    s->wgs84.miny = std::max(s->wgs84.miny, -maxLat);
    s->wgs84.maxy = std::min(s->wgs84.maxy, maxLat);
    const int deepest = s->levels.empty() ? 0 : s->levels.back();
    for (int level = 1; level <= deepest; ++level) {
        LevelGrid g;
        CTileKey minKey;
        CTileKey maxKey;
        if (conv.GetTileBound(minKey, maxKey, level) && conv.GetTileNumber(level) > 0) {
            g.minX = minKey.GetTileX();
            g.minY = minKey.GetTileY();
            g.cols = maxKey.GetTileX() - minKey.GetTileX() + 1;
            g.rows = maxKey.GetTileY() - minKey.GetTileY() + 1;
            g.first = conv.GetTileNumberUtilLevel(level - 1) + 1;
        }
        s->grids.push_back(g);
    }
    s->format = "png";
    long long probed = 0;
    bool formatFound = false;
    for (int level : s->levels) {
        const LevelGrid& g = s->grids[size_t(level - 1)];
        const long long count = (long long)g.cols * g.rows;
        for (long long slot = g.first; slot < g.first + count; ++slot) {
            if (!dep->IsFileIndexHavData(slot)) continue;
            ++s->stored;
            if (formatFound || ++probed > kFormatProbeSlots) continue;
            unsigned char head[16] = {};
            const int n = dep->ReadBufferLimit(slot, head, int(sizeof head));
            const QString f = n > 0 ? TileFormat(QByteArray(reinterpret_cast<const char*>(head), n)) : QString();
            if (!f.isEmpty()) {
                s->format = f.toLatin1();
                formatFound = true;
            }
        }
    }
    // The tag names bytes at one offset of one data file, which never change once written; the
    // opening time keeps tags of a replaced depository from matching old ones.
    s->etagPrefix = QByteArray::number(qHash(QByteArray::number(s->id.dev) + ':' + QByteArray::number(s->id.ino) +
                                             ':' + QByteArray::number(QDateTime::currentMSecsSinceEpoch())),
                                       16);
    s->dep = std::move(dep);
    return s;
}

}  // namespace

CServeSite::CServeSite() = default;
CServeSite::~CServeSite() = default;

QString CServeSite::Add(const QString& idxPath, QString& state) {
    auto served = std::make_unique<Served>();
    const QFileInfo fi(idxPath);
    QString base = fi.completeBaseName();
    if (base.isEmpty() || base.startsWith(QLatin1Char('_'))) base.prepend(QLatin1Char('d'));
    QString name = base;
    for (int n = 2;; ++n) {
        const bool taken = std::any_of(m_served.begin(), m_served.end(),
                                       [&](const std::unique_ptr<Served>& s) { return s->name == name; });
        if (!taken) break;
        name = QStringLiteral("%1-%2").arg(base).arg(n);
    }
    served->name = name;
    served->idxPath = idxPath;
    served->datPath = fi.path() + QLatin1Char('/') + fi.completeBaseName() + QStringLiteral(".dat");
    auto snapshot = OpenSnapshot(*served);
    state = snapshot->dep ? QStringLiteral("%1 tiles, levels %2")
                                .arg(FormatCount(snapshot->stored))
                                .arg(FormatLevels(snapshot->headerLevels))
                          : QStringLiteral("unavailable: %1 (retried while serving)").arg(snapshot->reason);
    served->Set(std::move(snapshot));
    m_served.push_back(std::move(served));
    return name;
}

void CServeSite::Refresh() {
    for (const auto& served : m_served) {
        const std::shared_ptr<const Snapshot> current = served->Get();
        bool reopen = !current->dep || !(IdOf(served->datPath) == current->id);
        if (!reopen) {
            const STRUCT_DOWNLOAD_TASK onDisk = CIdxFileDepository::ReadDatFileInfo(DepositoryPath8(served->datPath));
            // A header that cannot be read now (being rewritten, or damaged since) keeps what is open.
            reopen = onDisk.maptype != 0 && (onDisk.level != current->headerLevels || onDisk.maptype != current->mapType);
        }
        if (!reopen) continue;
        std::shared_ptr<const Snapshot> next = OpenSnapshot(*served);
        if (next->dep || !current->dep) served->Set(std::move(next));
    }
}

QStringList CServeSite::Names() const {
    QStringList names;
    for (const auto& s : m_served) names << s->name;
    return names;
}

ServeReply CServeSite::Handle(const HttpRequest& request, const QByteArray& host) const {
    if (request.method != "GET" && request.method != "HEAD") {
        ServeReply r = Plain(405, "only GET and HEAD");
        r.headers.append(qMakePair(QByteArray("Allow"), QByteArray("GET, HEAD")));
        return r;
    }
    QList<QByteArray> seg;
    if (!SplitPath(request.path, seg)) return Plain(400, "bad path");
    if (seg.size() == 1 && seg[0].isEmpty()) return Index();
    if (seg[0] == "_static") {
        const auto& files = StaticFiles();
        const auto it = files.find(seg.mid(1).join('/'));
        if (it == files.end()) return Plain(404, "no such file");
        ServeReply r;
        r.contentType = it->contentType;
        r.body = it->bytes;
        r.headers.append(qMakePair(QByteArray("Cache-Control"), QByteArray("max-age=3600")));
        return r;
    }
    const QString name = QString::fromUtf8(seg[0]);
    const auto found = std::find_if(m_served.begin(), m_served.end(),
                                    [&](const std::unique_ptr<Served>& s) { return s->name == name; });
    if (found == m_served.end()) return Plain(404, "no such depository");
    const Served& served = **found;
    if (seg.size() == 1) {
        ServeReply r = Plain(301, "see the viewer");
        r.headers.append(qMakePair(QByteArray("Location"), QByteArray("/" + NameInUrl(name) + "/")));
        return r;
    }
    if (seg.size() == 2 && seg[1].isEmpty()) {
        const auto& files = StaticFiles();
        ServeReply r;
        r.contentType = "text/html; charset=utf-8";
        r.body = files.value("viewer.html").bytes;
        return r;
    }
    const std::shared_ptr<const Snapshot> s = served.Get();
    if (!s->dep) return Plain(503, "depository unavailable: " + s->reason.toUtf8());
    if (seg.size() == 2 && seg[1] == "tiles.json") return TileJson(served, *s, host);
    if (seg.size() == 2 && seg[1] == "states") return States(*s, request.query);
    if (seg.size() != 4) return Plain(404, "no such page");
    QByteArray yText = seg[3];
    const int dot = yText.indexOf('.');
    if (dot >= 0) {
        const QByteArray ext = yText.mid(dot + 1);
        if (ext.isEmpty() || ext.size() > 8) return Plain(400, "bad tile extension");
        for (char c : ext)
            if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
                return Plain(400, "bad tile extension");
        yText.truncate(dot);
    }
    int z = 0;
    int x = 0;
    int y = 0;
    if (!ParseDecimal(seg[1], z) || !ParseDecimal(seg[2], x) || !ParseDecimal(yText, y))
        return Plain(400, "tile numbers are whole numbers: /NAME/z/x/y.ext");
    return Tile(*s, z, x, y, request);
}

ServeReply CServeSite::Index() const {
    QString html = QStringLiteral(
        "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>vtcore serve</title>"
        "<style>body{font:14px sans-serif;margin:2em}td,th{padding:2px 12px;text-align:left}</style>"
        "</head><body><h1>Depositories</h1>\n<table><tr><th>name</th><th>map type</th><th>levels</th>"
        "<th>tiles</th><th>file</th><th></th></tr>\n");
    for (const auto& served : m_served) {
        const std::shared_ptr<const Snapshot> s = served->Get();
        const QString link = QString::fromLatin1(NameInUrl(served->name));
        html += QStringLiteral("<tr><td><a href=\"/%1/\">%2</a></td>").arg(link, served->name.toHtmlEscaped());
        if (s->dep) {
            const long long writer = CDepositoryLock::Holder(served->idxPath);
            const QString note = writer == 0 ? QString()
                                 : writer < 0 ? QStringLiteral(" (being downloaded into)")
                                              : QStringLiteral(" (being downloaded into by process %1)").arg(writer);
            html += QStringLiteral("<td>%1</td><td>%2</td><td>%3%4</td>")
                        .arg(s->mapTypeText.toHtmlEscaped(), FormatLevels(s->headerLevels),
                             FormatCount(s->stored), note);
        } else {
            html += QStringLiteral("<td colspan=\"3\">unavailable: %1</td>").arg(s->reason.toHtmlEscaped());
        }
        html += QStringLiteral("<td>%1</td><td><a href=\"/%2/tiles.json\">TileJSON</a></td></tr>\n")
                    .arg(served->idxPath.toHtmlEscaped(), link);
    }
    html += QStringLiteral("</table></body></html>\n");
    ServeReply r;
    r.contentType = "text/html; charset=utf-8";
    r.body = html.toUtf8();
    r.headers.append(qMakePair(QByteArray("Cache-Control"), QByteArray("no-cache")));
    return r;
}

ServeReply CServeSite::Tile(const Snapshot& s, int z, int x, int y, const HttpRequest& request) const {
    bool emptyGiven = false;
    const QByteArray empty = QueryValue(request.query, "empty", &emptyGiven);
    if (emptyGiven && empty != "404" && empty != "204" && empty != "png")
        return Plain(400, "empty= takes 404, 204 or png");
    auto absent = [&](const QByteArray& why) {
        ServeReply r;
        if (empty == "204") {
            r.status = 204;
        } else if (empty == "png") {
            r.contentType = "image/png";
            r.body = TransparentPng();
        } else {
            r = Plain(404, "no tile: " + why);
        }
        r.headers.append(qMakePair(QByteArray("Access-Control-Allow-Origin"), QByteArray("*")));
        r.headers.append(qMakePair(QByteArray("Cache-Control"), QByteArray("no-cache")));
        r.headers.append(qMakePair(QByteArray("X-Tile-State"), QByteArray(why)));
        r.note = why;
        return r;
    };
    const LevelGrid* g = s.Grid(z);
    if (g == nullptr || x < g->minX || y < g->minY || x >= g->minX + g->cols || y >= g->minY + g->rows)
        return absent("no-slot");
    const long long slot = g->first + (long long)(y - g->minY) * g->cols + (x - g->minX);
    CIdxFileDepository& dep = *s.dep;
    for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
        long long mapId = 0;
        long long offset = 0;
        int length = 0;
        if (!dep.GetIndexInfo(mapId, offset, length, slot)) return absent("invalid");
        if (offset < CIdxFileDepository::kHeaderSize) return absent(StateWord(offset));
        const QByteArray etag = '"' + s.etagPrefix + '-' + QByteArray::number(offset, 16) + '-' +
                                QByteArray::number(length, 16) + '"';
        QList<QPair<QByteArray, QByteArray>> headers = {
            {"ETag", etag}, {"Cache-Control", "no-cache"}, {"Access-Control-Allow-Origin", "*"}};
        const QByteArray ifNoneMatch = request.Header("if-none-match");
        if (!ifNoneMatch.isEmpty() && EtagMatches(ifNoneMatch, etag)) {
            ServeReply r;
            r.status = 304;
            r.headers = headers;
            return r;
        }
        if (length < 1 || length > CIdxFileDepository::kMaxTileLength) {
            VtLogWarn() << "vtcore serve: slot " << std::to_string(slot) << " holds a tile length of "
                        << length;
            ServeReply r = Plain(500, "damaged slot");
            r.note = "damaged";
            return r;
        }
        QByteArray body(length, Qt::Uninitialized);
        const int n = dep.ReadBuffer(slot, reinterpret_cast<unsigned char*>(body.data()), length);
        long long mapId2 = 0;
        long long offset2 = 0;
        int length2 = 0;
        const bool same = dep.GetIndexInfo(mapId2, offset2, length2, slot) && offset2 == offset && length2 == length;
        if (!same) continue;  // rewritten meanwhile: the bytes may be of either copy
        if (n != length) {
            VtLogWarn() << "vtcore serve: the bytes of slot " << std::to_string(slot)
                        << " cannot be read (past the end of the data file?)";
            ServeReply r = Plain(500, "unreadable tile");
            r.note = "unreadable";
            return r;
        }
        ServeReply r;
        r.contentType = ContentTypeOf(body);
        r.body = std::move(body);
        r.headers = std::move(headers);
        return r;
    }
    return Plain(503, "tile is being rewritten, try again");
}

ServeReply CServeSite::TileJson(const Served& served, const Snapshot& s, const QByteArray& host) const {
    const EXTENT& e = s.wgs84;
    const double south = e.miny;
    const double north = e.maxy;
    const int minZoom = s.levels.empty() ? 0 : s.levels.front() - 1;
    const int maxZoom = s.levels.empty() ? 0 : s.levels.back() - 1;
    const QString base = QStringLiteral("http://%1/%2/").arg(QString::fromLatin1(host),
                                                             QString::fromLatin1(NameInUrl(served.name)));
    QJsonArray levels;
    for (int l : s.levels) levels.append(l);
    const char* model = s.tileModel == TILE_MODEL_MERCATOR     ? "mercator"
                        : s.tileModel == TILE_MODEL_GEOGRAPHIC ? "geographic"
                        : s.tileModel == TILE_MODEL_BAIDU      ? "baidu"
                                                               : "none";
    QJsonObject o{
        {QStringLiteral("tilejson"), QStringLiteral("3.0.0")},
        {QStringLiteral("name"), served.name},
        {QStringLiteral("description"), QStringLiteral("Depository %1, map type %2")
                                            .arg(QFileInfo(served.idxPath).fileName(), s.mapTypeText)},
        {QStringLiteral("version"), QStringLiteral("1.0.0")},
        {QStringLiteral("scheme"), QStringLiteral("xyz")},
        {QStringLiteral("tiles"), QJsonArray{base + QStringLiteral("{z}/{x}/{y}.") + QString::fromLatin1(s.format)}},
        {QStringLiteral("minzoom"), minZoom},
        {QStringLiteral("maxzoom"), maxZoom},
        {QStringLiteral("bounds"), QJsonArray{e.minx, south, e.maxx, north}},
        {QStringLiteral("center"),
         QJsonArray{(e.minx + e.maxx) / 2, (south + north) / 2, minZoom + (maxZoom - minZoom) / 2}},
        {QStringLiteral("format"), QString::fromLatin1(s.format)},
        // Not part of TileJSON: what the viewer needs to draw the tiles and their slot states.
        {QStringLiteral("vtcore"), QJsonObject{{QStringLiteral("map_type"), s.mapType},
                                               {QStringLiteral("tile_model"), QString::fromLatin1(model)},
                                               {QStringLiteral("levels"), levels},
                                               {QStringLiteral("states"), base + QStringLiteral("states")}}},
    };
    return Json(o);
}

ServeReply CServeSite::States(const Snapshot& s, const QByteArray& query) const {
    int z = 0;
    int x0 = 0;
    int y0 = 0;
    int x1 = 0;
    int y1 = 0;
    if (!ParseDecimal(QueryValue(query, "z"), z) || !ParseDecimal(QueryValue(query, "x0"), x0) ||
        !ParseDecimal(QueryValue(query, "y0"), y0) || !ParseDecimal(QueryValue(query, "x1"), x1) ||
        !ParseDecimal(QueryValue(query, "y1"), y1) || x1 < x0 || y1 < y0)
        return Plain(400, "states?z=&x0=&y0=&x1=&y1= with x0 <= x1 and y0 <= y1");
    if ((long long)(x1 - x0 + 1) * (y1 - y0 + 1) > kMaxStateTiles)
        return Plain(400, "at most " + QByteArray::number(kMaxStateTiles) + " tiles per request");
    // One character per tile, rows from y0, columns from x0: the slot's state digit ('2' stored,
    // '1' waiting, '0' failed, '3' damaged, '4' absent at the source, '6' outside the region or
    // level), '-' where the depository has no slot, '?' for states outside 0..9.
    QByteArray states;
    states.reserve((x1 - x0 + 1) * (y1 - y0 + 1));
    const LevelGrid* g = s.Grid(z);
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            if (g == nullptr || x < g->minX || y < g->minY || x >= g->minX + g->cols || y >= g->minY + g->rows) {
                states += '-';
                continue;
            }
            const long long slot = g->first + (long long)(y - g->minY) * g->cols + (x - g->minX);
            const long long offset = s.dep->GetFileIndexOffset(slot);
            const long long state = offset >= CIdxFileDepository::kHeaderSize ? (long long)BLOCK_HAS_DATA : offset;
            states += state >= 0 && state <= 9 ? char('0' + state) : '?';
        }
    }
    return Json(QJsonObject{{QStringLiteral("z"), z},
                            {QStringLiteral("x0"), x0},
                            {QStringLiteral("y0"), y0},
                            {QStringLiteral("x1"), x1},
                            {QStringLiteral("y1"), y1},
                            {QStringLiteral("states"), QString::fromLatin1(states)}});
}

}  // namespace VtCli
