#pragma once

#include "tile/TileKey.h"

#include <QByteArray>
#include <QList>
#include <QNetworkRequest>
#include <QPair>
#include <QString>
#include <QStringList>

#include <memory>

namespace VtCli {

// One tile to fetch: its depository slot and its key in the depository's tiling scheme.
struct TileJob {
    long long slot = 0;  // from 1
    int level = 0;       // one-based depository level
    int x = 0;           // zero-based column
    int y = 0;           // zero-based row from the north
};

using HeaderList = QList<QPair<QByteArray, QByteArray>>;

// Where tile bytes come from. Sources are used by every download thread at once: all operations
// are const and re-entrant.
class ITileSource {
public:
    virtual ~ITileSource() = default;
    virtual QString Describe() const = 0;
    // Local sources produce bytes themselves (Render); the others name a request (Request).
    virtual bool IsLocal() const = 0;
    // The tile's bytes; empty when the source has none.
    virtual QByteArray Render(const TileJob& job) const = 0;
    // The tile's request (http, https or file URL, with the source's headers); a request with an
    // empty URL when the source has no such tile.
    virtual QNetworkRequest Request(const TileJob& job) const = 0;
};

// The built-in grid source.
std::unique_ptr<ITileSource> MakeGridSource();

// A URL template source: {z}, {x}, {y} and their variants (offsets, flips "{-y}" for TMS rows,
// divisions) are the tile's zero-based zoom, column and row, expanded by Tools::ReplaceUrlXYZ;
// {q} or {quadkey} is the tile's quadkey (one digit 0-3 per zoom step, empty at zoom 0); {s} is one
// of `subdomains` (a, b, c when empty), chosen by (column + row) so a tile always has the same
// host. `halfRows` for geographic schemes, whose levels have half as many rows as columns. Headers
// are sent with every request. Null with a reason, before any request is made, when the template
// names no tile (it needs a zoom, column and row form, or {q}), holds a brace form it does not
// know, one that would stay unexpanded (two forms of one coordinate, a division by 0) or an
// unmatched brace.
std::unique_ptr<ITileSource> MakeUrlTemplateSource(const QString& urlTemplate, bool halfRows,
                                                   const HeaderList& headers, const QStringList& subdomains,
                                                   QString& error);

// The quadkey of a tile: for each zoom step from the top, 1 for an odd column plus 2 for an odd row.
QString Quadkey(int zoom, int x, int y);

// Baidu's tile services for a Baidu map type, through the library's URL builders (general one-based
// tiles). `style` chooses the street-map style of type 47. Null for a type without a builder.
std::unique_ptr<ITileSource> MakeBaiduSource(int mapType, int style, const HeaderList& headers);

// A custom map of a catalogue file ("MyMap.bin"): its URL template, referer and host.
struct CustomMapSource {
    std::unique_ptr<ITileSource> source;
    int mapType = 0;    // 601 (WGS84 geographic tiles) or 602 (Web Mercator)
    int offsetKind = 0; // 0 WGS84, 1 GCJ-02, 2 BD-09 (the datum of its tiles)
    bool elevation = false;
    QString name;
};
// False with a reason when the file holds no online map under `key`.
bool MakeCustomMapSource(const QString& catalogueFile, int key, const HeaderList& headers, CustomMapSource& out,
                         QString& error);

// User agent sent when the source names none.
QByteArray DefaultUserAgent();

}  // namespace VtCli
