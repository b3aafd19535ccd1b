#pragma once

// What `vtcore serve` answers: the depositories named on the command line, each under a name of
// its own, and the pages that show them. Knows nothing of sockets (see Serve.cpp).
//
// Routes (NAME: a depository's name, zoom z = depository level - 1, x and y zero-based keys of
// the depository's scheme, rows from the north):
//   /                       index page listing the depositories
//   /NAME/                  viewer page (slippy map)
//   /NAME/tiles.json        TileJSON 3.0.0
//   /NAME/{z}/{x}/{y}[.ext] tile bytes (the extension is ignored; Content-Type comes from the
//                           bytes); 404 when the slot holds no tile, or with ?empty=204 a 204,
//                           with ?empty=png a transparent 256 x 256 PNG
//   /NAME/states?z=&x0=&y0=&x1=&y1=
//                           slot states of a tile range (at most kMaxStateTiles tiles) as JSON
//   /_static/...            the viewer's scripts, styles and images (embedded)
// No route reads a file named by the request: names come from the command line only.
#include "tools/vtcore/ServeHttp.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace VtCli {

// Largest tile range the states route answers.
constexpr int kMaxStateTiles = 65536;

struct ServeReply {
    int status = 200;
    QByteArray contentType;
    QByteArray body;  // left out for HEAD by the caller
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray note;  // a word for the request log ("waiting", "damaged", ...)
};

class CServeSite {
public:
    CServeSite();
    ~CServeSite();
    CServeSite(const CServeSite&) = delete;
    CServeSite& operator=(const CServeSite&) = delete;

    // Adds the depository of an index file under a name made from its file name (made unique with
    // "-2", "-3", ...). It is opened read-only and never written. One that cannot be opened (yet)
    // is still listed and answered with 503 until Refresh() can open it. Returns the name; `state`
    // tells whether it is open and if not, why. Call before serving starts.
    QString Add(const QString& idxPath, QString& state);
    // Reopens depositories that could not be opened, whose files were replaced, or whose header
    // changed (a download adding levels). Readers keep the copy they hold until they are done.
    void Refresh();
    // Answers one request. Safe to call from any number of threads at once (also during Refresh).
    ServeReply Handle(const HttpRequest& request, const QByteArray& host) const;
    QStringList Names() const;

    struct Served;
    struct Snapshot;

private:
    ServeReply Index() const;
    ServeReply Tile(const Snapshot& s, int z, int x, int y, const HttpRequest& request) const;
    ServeReply TileJson(const Served& served, const Snapshot& s, const QByteArray& host) const;
    ServeReply States(const Snapshot& s, const QByteArray& query) const;

    std::vector<std::unique_ptr<Served>> m_served;
};

}  // namespace VtCli
