#include "LocalTileServer.h"

#include <QBuffer>
#include <QImage>
#include <QMutexLocker>
#include <QPointer>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace VtTest {

CLocalTileServer::CLocalTileServer(Rule rule) : m_rule(std::move(rule)) {
    start();
    m_ready.acquire();
}

CLocalTileServer::~CLocalTileServer() {
    quit();
    wait();
}

QString CLocalTileServer::UrlTemplate() const {
    return QStringLiteral("http://127.0.0.1:%1/{z}/{x}/{y}.png").arg(m_port);
}

int CLocalTileServer::Requests(int z, int x, int y) const {
    QMutexLocker lock(&m_mutex);
    return m_counts.value(QStringLiteral("/%1/%2/%3.png").arg(z).arg(x).arg(y).toLatin1());
}

void CLocalTileServer::ResetCounts() {
    QMutexLocker lock(&m_mutex);
    m_counts.clear();
    m_heads.clear();
}

QByteArray CLocalTileServer::TileBytes(int z, int x, int y) {
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(qRgb((x * 37 + z) & 0xFF, (y * 53 + z * 7) & 0xFF, (x ^ y) & 0xFF));
    image.setPixel(z % 16, (x + y) % 16, qRgb(255, 255, 255));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

QList<QByteArray> CLocalTileServer::Heads() const {
    QMutexLocker lock(&m_mutex);
    return m_heads;
}

TileReply CLocalTileServer::Decide(const QByteArray& head, const QByteArray& path, int& z, int& x, int& y) {
    int attempt = 0;
    {
        QMutexLocker lock(&m_mutex);
        attempt = ++m_counts[path];
        m_heads.append(head);
    }
    static const QRegularExpression tile("^/(\\d{1,9})/(\\d{1,9})/(\\d{1,9})\\.png$");
    const QRegularExpressionMatch m = tile.match(QString::fromLatin1(path));
    z = m.hasMatch() ? m.captured(1).toInt() : -1;
    x = m.hasMatch() ? m.captured(2).toInt() : -1;
    y = m.hasMatch() ? m.captured(3).toInt() : -1;
    if (m_rule) return m_rule(z, x, y, attempt);
    return TileReply{z < 0 ? 404 : 200};
}

void CLocalTileServer::run() {
    // Declared before the server: sockets report their disconnection while the server deletes them.
    QHash<QTcpSocket*, QByteArray> pending;  // bytes received, per connection
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    m_port = server.serverPort();

    auto answer = [this](QPointer<QTcpSocket> socket, const TileReply& r, const QByteArray& body) {
        if (!socket || socket->state() != QAbstractSocket::ConnectedState) return;
        if (r.drop) {
            socket->abort();
            return;
        }
        const char* reason = r.status == 200 ? "OK" : r.status == 404 ? "Not Found" : "Error";
        const QByteArray head = "HTTP/1.1 " + QByteArray::number(r.status) + " " + reason +
                          "\r\nContent-Type: image/png\r\nContent-Length: " + QByteArray::number(body.size()) +
                          "\r\nConnection: keep-alive\r\n" + r.headers + "\r\n";
        socket->write(head + (r.cutShort ? body.left(body.size() / 2) : body));
        if (r.cutShort) socket->disconnectFromHost();  // once the bytes are out
    };

    auto serve = [&, answer](QTcpSocket* socket) {
        QByteArray& buf = pending[socket];
        buf += socket->readAll();
        for (;;) {
            const int end = buf.indexOf("\r\n\r\n");
            if (end < 0) return;
            const QByteArray request = buf.left(end);
            buf.remove(0, end + 4);
            const QList<QByteArray> line = request.left(request.indexOf("\r\n")).split(' ');
            int z = 0, x = 0, y = 0;
            const TileReply r = Decide(request, line.size() >= 2 ? line[1] : QByteArray(), z, x, y);
            const QByteArray body = r.empty            ? QByteArray()
                                    : !r.body.isEmpty()  ? r.body
                                    : r.status != 200 ? QByteArray()
                                    : z < 0           ? TileBytes(0, 0, 0)
                                                      : TileBytes(z, x, y);
            QPointer<QTcpSocket> guard(socket);
            if (r.delayMs > 0) QTimer::singleShot(r.delayMs, socket, [=] { answer(guard, r, body); });
            else answer(guard, r, body);
            if (r.drop || r.cutShort) return;
        }
    };

    QObject::connect(&server, &QTcpServer::newConnection, &server, [&] {
        while (QTcpSocket* socket = server.nextPendingConnection()) {
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [&, socket] { serve(socket); });
            QObject::connect(socket, &QTcpSocket::disconnected, socket, [&, socket] {
                pending.remove(socket);
                socket->deleteLater();
            });
        }
    });
    m_ready.release();
    exec();
}

}  // namespace VtTest
