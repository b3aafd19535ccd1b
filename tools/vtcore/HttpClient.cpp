#include "tools/vtcore/HttpClient.h"

#include <QDateTime>
#include <QLocale>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <vector>

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace VtCli {
namespace {

using Clock = CHttpClient::Clock;

// How often a blocked call comes back to look at the deadline and the stop test.
constexpr int kSliceMs = 50;
constexpr int kMaxRedirects = 5;
constexpr int kMaxHeadBytes = 64 * 1024;
constexpr int kReadChunk = 64 * 1024;
constexpr size_t kMaxConnections = 4;

struct Target {
    QByteArray authority;  // host[:port] as written, for the Host header
    QByteArray host;       // without brackets
    QByteArray port;
    QByteArray path;       // from the first '/', without the fragment
};

bool SplitUrl(const QByteArray& url, Target& t) {
    if (!url.startsWith("http://")) return false;
    int end = 7;
    while (end < url.size() && url[end] != '/' && url[end] != '?' && url[end] != '#') ++end;
    t.authority = url.mid(7, end - 7);
    if (t.authority.isEmpty() || t.authority.contains('@')) return false;
    int fragment = url.indexOf('#', end);
    t.path = url.mid(end, fragment < 0 ? -1 : fragment - end);
    if (t.path.isEmpty() || t.path[0] != '/') t.path.prepend('/');
    if (t.authority.startsWith('[')) {
        const int close = t.authority.indexOf(']');
        if (close < 0) return false;
        t.host = t.authority.mid(1, close - 1);
        t.port = t.authority.mid(close + 1).startsWith(':') ? t.authority.mid(close + 2) : QByteArray("80");
    } else {
        const int colon = t.authority.lastIndexOf(':');
        t.host = colon < 0 ? t.authority : t.authority.left(colon);
        t.port = colon < 0 ? QByteArray("80") : t.authority.mid(colon + 1);
    }
    if (t.port.isEmpty()) t.port = "80";
    return !t.host.isEmpty();
}

int MsUntil(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return int(std::max<long long>(0, std::min<long long>(left, kSliceMs)));
}

QString SystemText(int err) { return QString::fromLocal8Bit(std::strerror(err)); }

bool HeaderIs(const QByteArray& line, int colon, const char* name) {
    return line.left(colon).trimmed().compare(name, Qt::CaseInsensitive) == 0;
}

struct Connection {
    QByteArray key;  // host:port
    int fd = -1;
    bool used = false;  // has carried a request: the server may have closed it meanwhile
};

}  // namespace

int ParseRetryAfterMs(const QByteArray& value, qint64 nowUtcMs) {
    const QByteArray v = value.trimmed();
    if (v.isEmpty()) return -1;
    bool ok = false;
    const qlonglong seconds = v.toLongLong(&ok);
    if (ok) return seconds < 0 ? -1 : int(std::min<qlonglong>(seconds, 24 * 3600) * 1000);
    QDateTime when = QLocale::c().toDateTime(QString::fromLatin1(v), QStringLiteral("ddd, dd MMM yyyy hh:mm:ss 'GMT'"));
    if (!when.isValid()) return -1;
    when.setTimeSpec(Qt::UTC);
    const qint64 ms = when.toMSecsSinceEpoch() - nowUtcMs;
    return int(std::max<qint64>(0, std::min<qint64>(ms, 24LL * 3600 * 1000)));
}

struct CHttpClient::Private {
    std::vector<Connection> pool;  // most recently used last
    std::map<QByteArray, std::vector<sockaddr_storage>> resolved;
    QByteArray in;  // bytes received and not yet consumed

    ~Private() {
        for (Connection& c : pool) ::close(c.fd);
    }

    void Drop(const QByteArray& key) {
        for (auto it = pool.begin(); it != pool.end(); ++it) {
            if (it->key == key) {
                ::close(it->fd);
                pool.erase(it);
                return;
            }
        }
    }

    // The addresses of a host, looked up once per client.
    bool Resolve(const Target& t, std::vector<sockaddr_storage>& out, HttpReply& r) {
        const QByteArray key = t.host + ':' + t.port;
        auto it = resolved.find(key);
        if (it != resolved.end()) {
            out = it->second;
            return true;
        }
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* list = nullptr;
        const int rc = getaddrinfo(t.host.constData(), t.port.constData(), &hints, &list);
        if (rc != 0 || list == nullptr) {
            r.error = HttpReply::Error::Dns;
            r.detail = QString::fromLocal8Bit(gai_strerror(rc));
            return false;
        }
        out.clear();
        for (addrinfo* a = list; a != nullptr; a = a->ai_next) {
            sockaddr_storage s{};
            std::memcpy(&s, a->ai_addr, std::min<size_t>(a->ai_addrlen, sizeof s));
            out.push_back(s);
        }
        freeaddrinfo(list);
        resolved[key] = out;
        return true;
    }

    // A new connection to one of the host's addresses.
    int Connect(const Target& t, Clock::time_point deadline, const std::function<bool()>& stop, HttpReply& r) {
        std::vector<sockaddr_storage> addresses;
        if (!Resolve(t, addresses, r)) return -1;
        int lastError = ECONNREFUSED;
        for (const sockaddr_storage& a : addresses) {
            const socklen_t len = a.ss_family == AF_INET6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
            const int fd = ::socket(a.ss_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
            if (fd < 0) {
                lastError = errno;
                continue;
            }
            int rc = ::connect(fd, reinterpret_cast<const sockaddr*>(&a), len);
            if (rc != 0 && errno == EINPROGRESS) {
                for (;;) {
                    if (stop && stop()) {
                        ::close(fd);
                        r.error = HttpReply::Error::Stopped;
                        return -1;
                    }
                    if (Clock::now() >= deadline) {
                        ::close(fd);
                        r.error = HttpReply::Error::Timeout;
                        return -1;
                    }
                    pollfd p{fd, POLLOUT, 0};
                    if (::poll(&p, 1, MsUntil(deadline)) > 0) break;
                }
                int err = 0;
                socklen_t errLen = sizeof err;
                ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &errLen);
                rc = err == 0 ? 0 : -1;
                errno = err;
            }
            if (rc != 0) {
                lastError = errno;
                ::close(fd);
                continue;
            }
            // Blocking from here on, but never for longer than a slice.
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
            const int one = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            timeval slice{0, kSliceMs * 1000};
            ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &slice, sizeof slice);
            ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &slice, sizeof slice);
            return fd;
        }
        r.error = lastError == ECONNREFUSED ? HttpReply::Error::Refused : HttpReply::Error::Network;
        r.detail = SystemText(lastError);
        return -1;
    }

    // The pooled connection to a host, or a new one.
    Connection* Open(const Target& t, Clock::time_point deadline, const std::function<bool()>& stop, HttpReply& r) {
        const QByteArray key = t.host + ':' + t.port;
        for (size_t i = 0; i < pool.size(); ++i) {
            if (pool[i].key == key) {
                std::rotate(pool.begin() + long(i), pool.begin() + long(i) + 1, pool.end());
                return &pool.back();
            }
        }
        const int fd = Connect(t, deadline, stop, r);
        if (fd < 0) return nullptr;
        if (pool.size() >= kMaxConnections) {
            ::close(pool.front().fd);
            pool.erase(pool.begin());
        }
        pool.push_back(Connection{key, fd, false});
        return &pool.back();
    }

    enum class Io { Ok, Closed, Failed, Timeout, Stopped };

    Io Send(int fd, const QByteArray& bytes, Clock::time_point deadline, const std::function<bool()>& stop, int& err) {
        int sent = 0;
        while (sent < bytes.size()) {
            const ssize_t n = ::send(fd, bytes.constData() + sent, size_t(bytes.size() - sent), MSG_NOSIGNAL);
            if (n > 0) {
                sent += int(n);
                continue;
            }
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
                if (stop && stop()) return Io::Stopped;
                if (Clock::now() >= deadline) return Io::Timeout;
                continue;
            }
            err = errno;
            return err == EPIPE || err == ECONNRESET ? Io::Closed : Io::Failed;
        }
        return Io::Ok;
    }

    // Appends what the socket has to `in`; waits at most until the deadline.
    Io Receive(int fd, Clock::time_point deadline, const std::function<bool()>& stop, int& err) {
        for (;;) {
            const int old = in.size();
            in.resize(old + kReadChunk);
            const ssize_t n = ::recv(fd, in.data() + old, kReadChunk, 0);
            in.resize(old + int(std::max<ssize_t>(0, n)));
            if (n > 0) return Io::Ok;
            if (n == 0) return Io::Closed;
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
                if (stop && stop()) return Io::Stopped;
                if (Clock::now() >= deadline) return Io::Timeout;
                continue;
            }
            err = errno;
            return err == ECONNRESET ? Io::Closed : Io::Failed;
        }
    }

    // One request on one connection. `fresh` is false when the server never answered on a
    // connection it had kept open: the request was not seen and may be sent again.
    HttpReply Exchange(const Target& t, const QByteArray& request, Clock::time_point deadline, int maxBody,
                       const std::function<bool()>& stop, bool& resend) {
        HttpReply r;
        resend = false;
        Connection* c = Open(t, deadline, stop, r);
        if (c == nullptr) return r;
        const bool reused = c->used;
        c->used = true;
        const int fd = c->fd;
        const QByteArray key = c->key;
        in.clear();
        int err = 0;
        auto fail = [&](Io io) {
            Drop(key);
            switch (io) {
            case Io::Stopped: r.error = HttpReply::Error::Stopped; break;
            case Io::Timeout: r.error = HttpReply::Error::Timeout; break;
            case Io::Closed:
                resend = reused && in.isEmpty();
                r.error = HttpReply::Error::Closed;
                r.detail = err != 0 ? SystemText(err) : QStringLiteral("closed by the server");
                break;
            default:
                r.error = HttpReply::Error::Network;
                r.detail = SystemText(err);
                break;
            }
            return r;
        };
        Io io = Send(fd, request, deadline, stop, err);
        if (io != Io::Ok) return fail(io);

        // Head, skipping interim 1xx answers.
        int headEnd = -1;
        int status = 0;
        bool http11 = true;
        for (;;) {
            int from = 0;
            while ((headEnd = in.indexOf("\r\n\r\n", from)) < 0) {
                if (in.size() > kMaxHeadBytes) {
                    Drop(key);
                    r.error = HttpReply::Error::BadReply;
                    return r;
                }
                from = std::max(0, in.size() - 3);
                io = Receive(fd, deadline, stop, err);
                if (io != Io::Ok) return fail(io);
            }
            if (!in.startsWith("HTTP/1.") || in.size() < 12) {
                Drop(key);
                r.error = HttpReply::Error::BadReply;
                return r;
            }
            http11 = in[7] != '0';
            bool ok = false;
            status = in.mid(9, 3).toInt(&ok);
            if (!ok) {
                Drop(key);
                r.error = HttpReply::Error::BadReply;
                return r;
            }
            if (status >= 200 || status == 101) break;
            in.remove(0, headEnd + 4);
        }
        r.status = status;
        const QByteArray head = in.left(headEnd);
        long long length = -1;
        bool chunked = false;
        bool keepAlive = http11;
        int lineStart = head.indexOf("\r\n") + 2;
        while (lineStart > 1 && lineStart < head.size()) {
            int lineEnd = head.indexOf("\r\n", lineStart);
            if (lineEnd < 0) lineEnd = head.size();
            const QByteArray line = head.mid(lineStart, lineEnd - lineStart);
            const int colon = line.indexOf(':');
            if (colon > 0) {
                const QByteArray value = line.mid(colon + 1).trimmed();
                if (HeaderIs(line, colon, "content-length")) length = value.toLongLong();
                else if (HeaderIs(line, colon, "transfer-encoding")) chunked = value.toLower().contains("chunked");
                else if (HeaderIs(line, colon, "connection"))
                    keepAlive = value.toLower().contains("close") ? false : value.toLower().contains("keep-alive") || keepAlive;
                else if (HeaderIs(line, colon, "location")) r.location = value;
                else if (HeaderIs(line, colon, "retry-after"))
                    r.retryAfterMs = ParseRetryAfterMs(value, QDateTime::currentMSecsSinceEpoch());
            }
            lineStart = lineEnd + 2;
        }
        int at = headEnd + 4;
        const bool noBody = status == 204 || status == 304 || status == 101;
        if (noBody) {
            length = 0;
            chunked = false;
        }
        if (chunked) {
            for (;;) {
                int lineEnd;
                while ((lineEnd = in.indexOf("\r\n", at)) < 0) {
                    io = Receive(fd, deadline, stop, err);
                    if (io != Io::Ok) return fail(io);
                }
                bool ok = false;
                QByteArray sizeText = in.mid(at, lineEnd - at);
                const int ext = sizeText.indexOf(';');
                if (ext >= 0) sizeText.truncate(ext);
                const long long size = sizeText.trimmed().toLongLong(&ok, 16);
                if (!ok || size < 0) {
                    Drop(key);
                    r.error = HttpReply::Error::BadReply;
                    return r;
                }
                if (r.body.size() + size > maxBody) {
                    Drop(key);
                    r.error = HttpReply::Error::TooLarge;
                    return r;
                }
                if (size == 0) {
                    // Trailers, if any, end with an empty line.
                    const int rest = lineEnd + 2;
                    for (;;) {
                        if (in.mid(rest, 2) == "\r\n") {
                            at = rest + 2;
                            break;
                        }
                        const int end = in.indexOf("\r\n\r\n", rest);
                        if (end >= 0) {
                            at = end + 4;
                            break;
                        }
                        io = Receive(fd, deadline, stop, err);
                        if (io != Io::Ok) return fail(io);
                    }
                    break;
                }
                const long long need = lineEnd + 2 + size + 2;
                while (in.size() < need) {
                    io = Receive(fd, deadline, stop, err);
                    if (io != Io::Ok) return fail(io);
                }
                r.body.append(in.constData() + lineEnd + 2, int(size));
                at = int(need);
            }
        } else if (length >= 0) {
            if (length > maxBody) {
                Drop(key);
                r.error = HttpReply::Error::TooLarge;
                return r;
            }
            while (in.size() < at + length) {
                io = Receive(fd, deadline, stop, err);
                if (io != Io::Ok) return fail(io);
            }
            r.body = in.mid(at, int(length));
            at += int(length);
        } else {
            // No length: the body ends with the connection.
            for (;;) {
                if (in.size() - at > maxBody) {
                    Drop(key);
                    r.error = HttpReply::Error::TooLarge;
                    return r;
                }
                io = Receive(fd, deadline, stop, err);
                if (io == Io::Closed) break;
                if (io != Io::Ok) return fail(io);
            }
            r.body = in.mid(at);
            keepAlive = false;
            at = in.size();
        }
        // Bytes beyond the answer were never asked for: the connection cannot be trusted.
        if (!keepAlive || at != in.size()) Drop(key);
        return r;
    }
};

CHttpClient::CHttpClient() : d(std::make_unique<Private>()) {}

CHttpClient::~CHttpClient() = default;

HttpReply CHttpClient::Get(const QByteArray& url, const Headers& headers, Clock::time_point deadline, int maxBody,
                           const std::function<bool()>& stop) {
    QByteArray current = url;
    HttpReply r;
    for (int redirects = 0;; ++redirects) {
        Target t;
        if (!SplitUrl(current, t)) {
            r = HttpReply();
            r.error = HttpReply::Error::BadReply;
            r.detail = QStringLiteral("not an http URL: %1").arg(QString::fromLatin1(current));
            return r;
        }
        QByteArray request;
        request.reserve(256 + t.path.size());
        request += "GET " + t.path + " HTTP/1.1\r\n";
        bool host = false;
        for (const auto& h : headers) {
            if (h.first.compare("host", Qt::CaseInsensitive) == 0) host = true;
            if (h.first.compare("connection", Qt::CaseInsensitive) == 0) continue;
            request += h.first + ": " + h.second + "\r\n";
        }
        if (!host) request += "Host: " + t.authority + "\r\n";
        request += "Accept: */*\r\nConnection: keep-alive\r\n\r\n";
        bool resend = false;
        r = d->Exchange(t, request, deadline, maxBody, stop, resend);
        // A kept connection the server had closed meanwhile: once more on a new one.
        if (resend) r = d->Exchange(t, request, deadline, maxBody, stop, resend);
        const bool redirect = r.error == HttpReply::Error::None &&
                              (r.status == 301 || r.status == 302 || r.status == 303 || r.status == 307 ||
                               r.status == 308) &&
                              !r.location.isEmpty();
        if (!redirect || redirects >= kMaxRedirects) {
            if (!redirect) r.location.clear();
            return r;
        }
        const QByteArray loc = r.location;
        if (loc.startsWith("http://")) current = loc;
        else if (loc.startsWith("//")) current = "http:" + loc;
        else if (loc.startsWith('/')) current = "http://" + t.authority + loc;
        else if (loc.contains("://")) return r;  // another scheme: the caller decides
        else {
            const int query = t.path.indexOf('?');
            const QByteArray dir = t.path.left(t.path.lastIndexOf('/', query < 0 ? -1 : query) + 1);
            current = "http://" + t.authority + dir + loc;
        }
    }
}

}  // namespace VtCli
