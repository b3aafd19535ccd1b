#pragma once

// A tile server on 127.0.0.1 for the tool's tests and the download benchmark: HTTP/1.1 with
// keep-alive on its own thread, serving small generated PNG tiles under /<z>/<x>/<y>.png. A rule
// decides, per tile and attempt, to serve, answer with a status, delay or drop the connection.
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMutex>
#include <QSemaphore>
#include <QString>
#include <QThread>

#include <functional>

namespace VtTest {

struct TileReply {
    TileReply(int s = 200) : status(s) {}
    int status;            // 200 serves the tile's bytes
    int delayMs = 0;       // wait before answering
    bool drop = false;     // close the connection without an answer
    bool cutShort = false; // send the headers and half the body, then close
    QByteArray body;       // replaces the tile's bytes when not empty
    bool empty = false;    // a body of no bytes
    QByteArray headers;    // further header lines, each ending in "\r\n"
};

class CLocalTileServer : public QThread {
public:
    // rule(z, x, y, attempt): attempt counts this tile's requests from 1. Paths that are not
    // /<z>/<x>/<y>.png get z = x = y = -1 (and the bytes of tile 0/0/0 when served).
    using Rule = std::function<TileReply(int z, int x, int y, int attempt)>;
    explicit CLocalTileServer(Rule rule = {});
    ~CLocalTileServer() override;  // stops the server

    quint16 Port() const { return m_port; }
    // "http://127.0.0.1:<port>/{z}/{x}/{y}.png"
    QString UrlTemplate() const;
    int Requests(int z, int x, int y) const;
    // The request line and headers of every request, in order, since the start or ResetCounts().
    QList<QByteArray> Heads() const;
    void ResetCounts();
    // The bytes served for a tile (a 16 x 16 PNG of a colour of its own).
    static QByteArray TileBytes(int z, int x, int y);

protected:
    void run() override;

private:
    TileReply Decide(const QByteArray& head, const QByteArray& path, int& z, int& x, int& y);

    Rule m_rule;
    quint16 m_port = 0;
    QSemaphore m_ready;
    mutable QMutex m_mutex;
    QHash<QByteArray, int> m_counts;  // requests per path
    QList<QByteArray> m_heads;
};

}  // namespace VtTest
