#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QTcpServer>

#include <functional>
#include <memory>

// A small HTTP/1.1 server on 127.0.0.1 for tests of network clients. It lives on the test's thread:
// the client's own local event loop drives it. One request per connection; every request is kept.
struct FAKE_HTTP_REQUEST {
    QByteArray method;
    QString path;   // percent-decoded, without the query
    QString query;  // percent-decoded, without "?"
    QMap<QByteArray, QByteArray> headers;  // names in lower case
    QByteArray body;
};

struct FAKE_HTTP_RESPONSE {
    int status = 200;
    QByteArray body;
    bool bNoAnswer = false;  // keep the connection open and never answer
};

class CFakeHttpServer {
public:
    using Handler = std::function<FAKE_HTTP_RESPONSE(const FAKE_HTTP_REQUEST&)>;

    explicit CFakeHttpServer(Handler handler);
    ~CFakeHttpServer();
    CFakeHttpServer(const CFakeHttpServer&) = delete;
    CFakeHttpServer& operator=(const CFakeHttpServer&) = delete;

    // Listens on a free port of 127.0.0.1; false when it cannot.
    bool Start();
    // "http://127.0.0.1:<port>"
    QString Origin() const;
    const QList<FAKE_HTTP_REQUEST>& Requests() const { return m_requests; }
    void SetHandler(Handler handler) { m_handler = std::move(handler); }

private:
    struct CONNECTION;
    void OnConnection();
    void OnData(CONNECTION* connection);

    Handler m_handler;
    QTcpServer m_server;
    QList<FAKE_HTTP_REQUEST> m_requests;
    std::shared_ptr<bool> m_pAlive;  // lets socket callbacks see that the server has gone
};
