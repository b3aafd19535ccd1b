#include "support/FakeHttpServer.h"

#include <QHostAddress>
#include <QTcpSocket>

struct CFakeHttpServer::CONNECTION {
    QTcpSocket* socket = nullptr;
    QByteArray buffer;
    bool bDone = false;
};

CFakeHttpServer::CFakeHttpServer(Handler handler)
    : m_handler(std::move(handler)), m_pAlive(std::make_shared<bool>(true)) {}

CFakeHttpServer::~CFakeHttpServer() {
    *m_pAlive = false;
    m_server.close();
}

bool CFakeHttpServer::Start() {
    if (!m_server.listen(QHostAddress::LocalHost, 0)) return false;
    QObject::connect(&m_server, &QTcpServer::newConnection, [this] { OnConnection(); });
    return true;
}

QString CFakeHttpServer::Origin() const {
    return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort());
}

void CFakeHttpServer::OnConnection() {
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        // The socket is the server's child; the connection state dies with it.
        auto connection = std::make_shared<CONNECTION>();
        connection->socket = socket;
        std::weak_ptr<bool> alive = m_pAlive;
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, connection, alive] {
            if (auto a = alive.lock(); a && *a) OnData(connection.get());
        });
        QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
}

void CFakeHttpServer::OnData(CONNECTION* connection) {
    connection->buffer += connection->socket->readAll();
    if (connection->bDone) return;
    const int headerEnd = connection->buffer.indexOf("\r\n\r\n");
    if (headerEnd < 0) return;

    FAKE_HTTP_REQUEST request;
    const QList<QByteArray> lines = connection->buffer.left(headerEnd).split('\n');
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    request.method = requestLine.value(0);
    const QByteArray target = requestLine.value(1);
    const int question = target.indexOf('?');
    request.path = QString::fromUtf8(QByteArray::fromPercentEncoding(question < 0 ? target : target.left(question)));
    if (question >= 0) request.query = QString::fromUtf8(QByteArray::fromPercentEncoding(target.mid(question + 1)));
    for (int i = 1; i < lines.size(); ++i) {
        const int colon = lines[i].indexOf(':');
        if (colon > 0) request.headers.insert(lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed());
    }
    const int length = request.headers.value("content-length", "0").toInt();
    if (connection->buffer.size() - (headerEnd + 4) < length) return;
    request.body = connection->buffer.mid(headerEnd + 4, length);
    connection->bDone = true;

    m_requests.append(request);
    const FAKE_HTTP_RESPONSE response = m_handler ? m_handler(request) : FAKE_HTTP_RESPONSE{404, {}, false};
    if (response.bNoAnswer) return;
    QByteArray out = "HTTP/1.1 " + QByteArray::number(response.status) + " X\r\n";
    out += "Content-Type: application/json\r\nContent-Length: " + QByteArray::number(response.body.size()) +
           "\r\nConnection: close\r\n\r\n" + response.body;
    connection->socket->write(out);
    connection->socket->disconnectFromHost();
}
