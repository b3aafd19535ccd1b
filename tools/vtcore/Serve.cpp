// vtcore serve: the depositories over HTTP/1.1 with keep-alive. One thread accepts connections
// and hands each to one of a pool of worker threads; a worker owns its connections for their whole
// life and answers their requests in order, reading tiles through the shared read-only
// depositories (which any number of threads may read at once).
#include "tools/vtcore/Commands_p.h"
#include "tools/vtcore/ServeHttp.h"
#include "tools/vtcore/ServeSite.h"
#include "tools/vtcore/Vtcore.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QEvent>
#include <QEventLoop>
#include <QFileInfo>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <thread>
#include <unistd.h>
#include <vector>

static void InitServeResources() { Q_INIT_RESOURCE(serve); }

namespace VtCli {
namespace {

// Connections without a byte from the client for this long are closed (also half-sent heads).
constexpr qint64 kIdleMs = 60000;
constexpr int kSweepMs = 5000;
// A client that sends requests without reading the answers gets no more answers until this much
// is sent, so that it cannot make the server buffer without bound.
constexpr qint64 kMaxPendingOutput = 8 * 1024 * 1024;
constexpr int kMaxPendingInput = 1024 * 1024;
constexpr int kMaxConnections = 1024;
constexpr int kRefreshMs = 2000;

// One line per request on standard output, whole lines from any thread.
class CAccessLog {
public:
    explicit CAccessLog(bool quiet) : m_quiet(quiet) {}
    void Write(const HttpRequest& request, int status, qint64 bytes, const QByteArray& note) {
        if (m_quiet) return;
        QByteArray line = request.method + ' ' + request.target + ' ' + QByteArray::number(status) + ' ' +
                          QByteArray::number(bytes);
        if (!note.isEmpty()) line += ' ' + note;
        line += '\n';
        Emit(line);
    }
    void WriteBad(int status) {
        if (!m_quiet) Emit("- - " + QByteArray::number(status) + " 0 bad-request\n");
    }

private:
    void Emit(const QByteArray& line) {
        std::lock_guard<std::mutex> lock(m_mutex);
        std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
        std::fflush(stdout);
    }
    bool m_quiet;
    std::mutex m_mutex;
};

class CServeSocket : public QTcpSocket {
public:
    using QTcpSocket::QTcpSocket;
    QByteArray input;
    qint64 lastActive = 0;
    bool closing = false;
};

// Host names in TileJSON links: the client's Host header when it looks like one, else our address.
QByteArray LinkHost(const HttpRequest& request, const QTcpSocket& socket) {
    const QByteArray host = request.Header("host");
    bool ok = !host.isEmpty() && host.size() <= 255;
    for (char c : host)
        ok = ok && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                    c == '-' || c == ':' || c == '[' || c == ']');
    if (ok) return host;
    const QHostAddress a = socket.localAddress();
    const QString text = a.protocol() == QAbstractSocket::IPv6Protocol ? QStringLiteral("[%1]").arg(a.toString())
                                                                        : a.toString();
    return text.toLatin1() + ':' + QByteArray::number(socket.localPort());
}

class CServeWorker {
public:
    CServeWorker(const CServeSite& site, CAccessLog& log, std::atomic<int>& connections)
        : m_site(site), m_log(log), m_connections(connections) {
        m_thread = std::thread([this] { Run(); });
        std::unique_lock<std::mutex> lock(m_mutex);
        m_ready.wait(lock, [this] { return m_hub != nullptr; });
    }
    // Closes the worker's connections and joins its thread.
    ~CServeWorker() {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stop = true;
        }
        QCoreApplication::postEvent(m_hub, new QEvent(kWakeEvent));
        m_thread.join();
    }
    CServeWorker(const CServeWorker&) = delete;
    CServeWorker& operator=(const CServeWorker&) = delete;

    // Hands an accepted socket to this worker (from the accepting thread).
    void Adopt(qintptr fd) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_incoming.push_back(fd);
        }
        QCoreApplication::postEvent(m_hub, new QEvent(kWakeEvent));
    }

private:
    static constexpr QEvent::Type kWakeEvent = QEvent::Type(QEvent::User + 17);

    // Receives the wake-ups; sockets are its children and end with it.
    class CHub : public QObject {
    public:
        explicit CHub(CServeWorker& worker) : m_worker(worker) {}
        bool event(QEvent* e) override {
            if (e->type() != kWakeEvent) return QObject::event(e);
            m_worker.TakeIncoming();
            return true;
        }

    private:
        CServeWorker& m_worker;
    };

    // The thread: its own event loop. Sockets and descriptors pass between threads only under
    // m_mutex, so that the hand-over is plain to see (also for ThreadSanitizer).
    void Run() {
        QEventLoop loop;
        CHub hub(*this);
        QTimer sweep;
        QObject::connect(&sweep, &QTimer::timeout, &hub, [this] { Sweep(); });
        sweep.start(kSweepMs);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_loop = &loop;
            m_hub = &hub;
        }
        m_ready.notify_all();
        loop.exec();
        qDeleteAll(hub.children());  // before the hub: their slots refer to it
    }

    void TakeIncoming() {
        std::vector<qintptr> fds;
        bool stop = false;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            fds.swap(m_incoming);
            stop = m_stop;
        }
        for (qintptr fd : fds) AdoptHere(fd);
        if (stop) m_loop->quit();
    }

    void AdoptHere(qintptr fd) {
        auto* s = new CServeSocket(m_hub);  // in this thread, whose loop serves it
        if (!s->setSocketDescriptor(fd)) {
            ::close(int(fd));
            delete s;
            --m_connections;
            return;
        }
        s->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        s->lastActive = QDateTime::currentMSecsSinceEpoch();
        QObject::connect(s, &QObject::destroyed, [this] { --m_connections; });
        QObject::connect(s, &QTcpSocket::readyRead, m_hub, [this, s] { Process(s); });
        QObject::connect(s, &QTcpSocket::bytesWritten, m_hub, [this, s] {
            if (!s->input.isEmpty() && s->bytesToWrite() < kMaxPendingOutput) Process(s);
        });
        QObject::connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
        if (s->bytesAvailable() > 0) Process(s);
    }

    void Process(CServeSocket* s) {
        if (s->closing) {
            s->readAll();
            return;
        }
        s->input += s->readAll();
        if (s->input.size() > kMaxPendingInput) {
            s->abort();  // requests keep coming while answers are not read
            return;
        }
        s->lastActive = QDateTime::currentMSecsSinceEpoch();
        while (!s->closing && s->bytesToWrite() < kMaxPendingOutput) {
            HttpRequest request;
            int status = 0;
            const HeadResult got = TakeRequestHead(s->input, request, status);
            if (got == HeadResult::Incomplete) break;
            if (got == HeadResult::Bad) {
                const QByteArray body = QByteArray(ReasonPhrase(status)) + "\n";
                s->write(ResponseHead(status, "text/plain; charset=utf-8", body.size(), {}, true));
                s->write(body);
                m_log.WriteBad(status);
                Close(s);
                break;
            }
            const ServeReply reply = m_site.Handle(request, LinkHost(request, *s));
            const bool close = !request.keepAlive;
            s->write(ResponseHead(reply.status, reply.contentType, reply.body.size(), reply.headers, close));
            const bool withBody = request.method != "HEAD" && reply.status != 204 && reply.status != 304;
            if (withBody) s->write(reply.body);
            m_log.Write(request, reply.status, withBody ? reply.body.size() : 0, reply.note);
            if (close) Close(s);
        }
        s->flush();
    }

    static void Close(CServeSocket* s) {
        s->closing = true;
        s->input.clear();
        s->disconnectFromHost();  // after what is buffered has been sent
    }

    void Sweep() {
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        for (QObject* child : m_hub->children()) {
            auto* s = dynamic_cast<CServeSocket*>(child);
            if (s != nullptr && now - s->lastActive > kIdleMs) s->abort();
        }
    }

    const CServeSite& m_site;
    CAccessLog& m_log;
    std::atomic<int>& m_connections;
    std::mutex m_mutex;
    std::condition_variable m_ready;
    std::vector<qintptr> m_incoming;  // accepted, not yet adopted
    bool m_stop = false;
    QObject* m_hub = nullptr;       // set once the thread runs; parent of its connections
    QEventLoop* m_loop = nullptr;
    std::thread m_thread;
};

class CAcceptor : public QTcpServer {
public:
    CAcceptor(std::vector<std::unique_ptr<CServeWorker>>& workers, std::atomic<int>& connections)
        : m_workers(workers), m_connections(connections) {}

protected:
    void incomingConnection(qintptr fd) override {
        if (++m_connections > kMaxConnections) {
            --m_connections;
            ::close(int(fd));
            return;
        }
        m_workers[m_next++ % m_workers.size()]->Adopt(fd);
    }

private:
    std::vector<std::unique_ptr<CServeWorker>>& m_workers;
    std::atomic<int>& m_connections;
    size_t m_next = 0;
};

}  // namespace

int CmdServe(const QStringList& args, Io& io) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Serves depositories over HTTP to look at them in a browser: an index page at /, a viewer at "
        "/NAME/, tiles at /NAME/{z}/{x}/{y}.png (zoom = level - 1), TileJSON at /NAME/tiles.json. "
        "Depositories are opened read-only. Ctrl-C stops it."));
    parser.addPositionalArgument(QStringLiteral("depository"), QStringLiteral("Index files."),
                                 QStringLiteral("depository..."));
    parser.addOption({QStringLiteral("port"), QStringLiteral("TCP port (0: any free one; default 8080)."),
                      QStringLiteral("n"), QStringLiteral("8080")});
    parser.addOption({QStringLiteral("bind"),
                      QStringLiteral("Address to listen on (default 127.0.0.1; 0.0.0.0 serves the network)."),
                      QStringLiteral("address"), QStringLiteral("127.0.0.1")});
    parser.addOption({QStringLiteral("threads"), QStringLiteral("Worker threads (default: the processor count)."),
                      QStringLiteral("n")});
    parser.addOption({QStringLiteral("quiet"), QStringLiteral("No request log on standard output.")});
    int code = kExitOk;
    if (!ParseCommand(parser, QStringLiteral("serve"), args, io, code)) return code;
    const QStringList deps = parser.positionalArguments();
    if (deps.isEmpty()) return Fail(io, QStringLiteral("serve: give at least one depository"));
    QString error;
    int port = 0;
    if (!ParseInt(parser.value(QStringLiteral("port")), 0, 65535, port, error))
        return Fail(io, QStringLiteral("serve: --port: %1").arg(error));
    int threads = qBound(2, QThread::idealThreadCount(), 16);
    if (parser.isSet(QStringLiteral("threads")) &&
        !ParseInt(parser.value(QStringLiteral("threads")), 1, 64, threads, error))
        return Fail(io, QStringLiteral("serve: --threads: %1").arg(error));
    QString bindText = parser.value(QStringLiteral("bind"));
    if (bindText == QLatin1String("localhost")) bindText = QStringLiteral("127.0.0.1");
    const QHostAddress bind(bindText);
    if (bind.isNull()) return Fail(io, QStringLiteral("serve: --bind takes an IP address, not '%1'").arg(bindText));

    InitServeResources();
    CServeSite site;
    for (const QString& arg : deps) {
        const QString idx = DepositoryPath(arg);
        if (!QFileInfo::exists(idx)) return Fail(io, QStringLiteral("no depository %1").arg(idx));
        QString state;
        const QString name = site.Add(idx, state);
        io.out << "depository /" << name << "/  " << idx << "  (" << state << ")\n";
    }

    StopFlag() = false;
    std::atomic<int> connections{0};
    std::vector<std::unique_ptr<CServeWorker>> workers;
    CAccessLog log(parser.isSet(QStringLiteral("quiet")));
    for (int i = 0; i < threads; ++i) workers.push_back(std::make_unique<CServeWorker>(site, log, connections));
    {
        CAcceptor acceptor(workers, connections);
        if (!acceptor.listen(bind, quint16(port)))
            return Fail(io, QStringLiteral("serve: cannot listen on %1:%2: %3")
                                .arg(bind.toString())
                                .arg(port)
                                .arg(acceptor.errorString()));
        const QString host = bind.protocol() == QAbstractSocket::IPv6Protocol
                                 ? QStringLiteral("[%1]").arg(bind.toString())
                                 : bind.toString();
        if (!bind.isLoopback())
            io.out << "note       listening beyond this machine: anyone who reaches it can read the tiles\n";
        io.out << "listening  http://" << host << ":" << acceptor.serverPort() << "/\n";
        io.out.flush();

        QEventLoop loop;
        QTimer stopPoll;
        QObject::connect(&stopPoll, &QTimer::timeout, &loop, [&] {
            if (StopFlag()) loop.quit();
        });
        stopPoll.start(100);
        QTimer refresh;
        QObject::connect(&refresh, &QTimer::timeout, &loop, [&] { site.Refresh(); });
        refresh.start(kRefreshMs);
        loop.exec();
        acceptor.close();
    }
    workers.clear();  // each closes its connections and joins its thread
    io.out << "stopped\n";
    return kExitOk;
}

}  // namespace VtCli
