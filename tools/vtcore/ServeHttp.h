#pragma once

// The small part of HTTP/1.1 that `vtcore serve` speaks: GET and HEAD requests without bodies,
// keep-alive, one response per request in order. Parsing never throws; anything it does not
// accept becomes a status code for the caller to answer with before closing the connection.
#include <QByteArray>
#include <QList>
#include <QPair>

namespace VtCli {

// Longest request head (request line and headers) accepted; longer heads get 431.
constexpr int kMaxRequestHead = 16 * 1024;
// Longest request target accepted; longer ones get 414.
constexpr int kMaxRequestTarget = 4096;

struct HttpRequest {
    QByteArray method;                         // "GET", "HEAD", ... as sent
    QByteArray target;                         // origin-form "/path?query", as sent
    QByteArray path;                           // target up to '?', still percent-encoded
    QByteArray query;                          // after '?', without it
    QList<QPair<QByteArray, QByteArray>> headers;  // names lower-cased, values trimmed
    bool http11 = true;                        // false for HTTP/1.0
    bool keepAlive = true;                     // from the version and "Connection"

    // The first header of that (lower-case) name; empty when absent.
    QByteArray Header(const QByteArray& name) const;
};

enum class HeadResult {
    Incomplete,  // more bytes are needed (the buffer is untouched)
    Ok,          // `request` is filled and the head removed from the buffer
    Bad,         // `status` tells why (400, 414, 431, 501, 505); the connection must close
};

// Takes one request head off the front of `buffer`. Lines end in CRLF or a bare LF. Requests that
// announce a body (Content-Length above 0, Transfer-Encoding) are refused with 400/501 because no
// route takes one and skipping it safely would mean reading it.
HeadResult TakeRequestHead(QByteArray& buffer, HttpRequest& request, int& status);

// Splits a path into its segments, each percent-decoded. False (the request is refused with 400)
// for paths that do not start with '/', and for segments that decode to "." or "..", or that
// contain '/', '\\', NUL or other control characters: names of this server never do, so such a
// path can only be an attempt to step outside what is served. A trailing '/' gives a last empty
// segment; "/" gives one empty segment.
bool SplitPath(const QByteArray& path, QList<QByteArray>& segments);

// The value of one query parameter (percent-decoded, '+' as space); `found` tells whether it was
// there.
QByteArray QueryValue(const QByteArray& query, const QByteArray& name, bool* found = nullptr);

// A whole decimal number of 1 to 9 digits, nothing else (no sign, spaces or leading '+').
bool ParseDecimal(const QByteArray& text, int& value);

// Whether an If-None-Match value ("*", one tag or a comma-separated list, weak tags included)
// matches `etag` (given with its quotes).
bool EtagMatches(const QByteArray& ifNoneMatch, const QByteArray& etag);

// Reason phrase of a status code used by the server ("OK", "Not Found", ...).
const char* ReasonPhrase(int status);

// Status line and headers of a response, ending in the empty line. Content-Length is always
// sent (also for HEAD, with the length a GET would get); `close` adds "Connection: close".
QByteArray ResponseHead(int status, const QByteArray& contentType, qint64 contentLength,
                        const QList<QPair<QByteArray, QByteArray>>& extraHeaders, bool close);

}  // namespace VtCli
