#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>

namespace VtCli {

// Outcome of one plain-HTTP request.
struct HttpReply {
    enum class Error {
        None,       // an answer arrived: see status
        Refused,    // the connection was refused
        Dns,        // the host name did not resolve
        Timeout,    // no complete answer before the deadline
        Closed,     // the connection was closed or reset before the answer was complete
        TooLarge,   // the body would exceed the caller's limit
        Stopped,    // the caller's stop test said so
        Network,    // any other socket failure
        BadReply,   // the bytes received are not HTTP
    };
    Error error = Error::None;
    int status = 0;          // HTTP status of the final answer (after redirects)
    QByteArray body;
    QByteArray location;     // where a redirect points that this client does not follow (https)
    int retryAfterMs = -1;   // the Retry-After header in milliseconds, -1 when absent or unreadable
    QString detail;          // the system's words for a socket failure
};

// A blocking HTTP/1.1 client for http:// URLs, used by one thread: it keeps one connection per
// host open between requests and needs no event loop and no helper thread, so a tile costs a
// handful of system calls. Follows up to five redirects to http URLs; reports the others in
// `location`. Not thread-safe; one client per thread.
class CHttpClient {
public:
    using Clock = std::chrono::steady_clock;
    using Headers = QList<QPair<QByteArray, QByteArray>>;

    CHttpClient();
    ~CHttpClient();
    CHttpClient(const CHttpClient&) = delete;
    CHttpClient& operator=(const CHttpClient&) = delete;

    // GET `url` (scheme http) with `headers` (a Host header given there replaces the URL's).
    // The whole exchange ends by `deadline`; `stop` is asked about every 50 ms while waiting.
    // A body longer than `maxBody` bytes is not read (TooLarge).
    HttpReply Get(const QByteArray& url, const Headers& headers, Clock::time_point deadline, int maxBody,
                  const std::function<bool()>& stop);

private:
    struct Private;
    std::unique_ptr<Private> d;
};

// Milliseconds a Retry-After value asks for: delta seconds or an HTTP date (relative to `nowUtcMs`,
// milliseconds since the epoch); -1 when the value is neither.
int ParseRetryAfterMs(const QByteArray& value, qint64 nowUtcMs);

}  // namespace VtCli
