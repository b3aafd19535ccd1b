#include "tools/vtcore/ServeHttp.h"

namespace VtCli {
namespace {

bool IsTokenChar(char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
    switch (c) {
    case '!': case '#': case '$': case '%': case '&': case '\'': case '*': case '+':
    case '-': case '.': case '^': case '_': case '`': case '|': case '~': return true;
    default: return false;
    }
}

bool IsToken(const QByteArray& s) {
    if (s.isEmpty()) return false;
    for (char c : s)
        if (!IsTokenChar(c)) return false;
    return true;
}

// Request targets are plain visible ASCII; anything else is refused before it reaches a route.
bool IsVisibleAscii(const QByteArray& s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) <= 0x20 || static_cast<unsigned char>(c) >= 0x7f) return false;
    return true;
}

// Position just past the blank line that ends a head, or -1.
int HeadEnd(const QByteArray& buffer) {
    const int crlf = buffer.indexOf("\r\n\r\n");
    const int lf = buffer.indexOf("\n\n");
    if (crlf < 0 && lf < 0) return -1;
    if (lf < 0 || (crlf >= 0 && crlf < lf)) return crlf + 4;
    return lf + 2;
}

}  // namespace

QByteArray HttpRequest::Header(const QByteArray& name) const {
    for (const auto& h : headers)
        if (h.first == name) return h.second;
    return QByteArray();
}

HeadResult TakeRequestHead(QByteArray& buffer, HttpRequest& request, int& status) {
    // Blank lines before a request are allowed (a client's stray CRLF after a previous one).
    int lead = 0;
    while (lead < buffer.size() && (buffer[lead] == '\r' || buffer[lead] == '\n')) ++lead;
    if (lead > 0) buffer.remove(0, lead);
    const int end = HeadEnd(buffer);
    if (end < 0) {
        if (buffer.size() > kMaxRequestHead) {
            // Without a line end the request line itself is too long.
            status = buffer.indexOf('\n') < 0 ? 414 : 431;
            return HeadResult::Bad;
        }
        return HeadResult::Incomplete;
    }
    if (end > kMaxRequestHead) {
        status = 431;
        return HeadResult::Bad;
    }
    const QByteArray head = buffer.left(end);
    buffer.remove(0, end);
    request = HttpRequest();
    status = 400;
    QList<QByteArray> lines = head.split('\n');
    for (QByteArray& l : lines)
        if (l.endsWith('\r')) l.chop(1);
    const QList<QByteArray> parts = lines.value(0).split(' ');
    if (parts.size() != 3 || !IsToken(parts[0])) return HeadResult::Bad;
    request.method = parts[0];
    request.target = parts[1];
    if (request.target.size() > kMaxRequestTarget) {
        status = 414;
        return HeadResult::Bad;
    }
    if (!request.target.startsWith('/') || !IsVisibleAscii(request.target)) return HeadResult::Bad;
    if (parts[2] == "HTTP/1.1") {
        request.http11 = true;
    } else if (parts[2] == "HTTP/1.0") {
        request.http11 = false;
    } else {
        status = parts[2].startsWith("HTTP/") ? 505 : 400;
        return HeadResult::Bad;
    }
    const int q = request.target.indexOf('?');
    request.path = q < 0 ? request.target : request.target.left(q);
    request.query = q < 0 ? QByteArray() : request.target.mid(q + 1);
    for (int i = 1; i < lines.size(); ++i) {
        const QByteArray& line = lines[i];
        if (line.isEmpty()) continue;
        const int colon = line.indexOf(':');
        // Obsolete line folding and names with spaces are refused, as RFC 9112 asks of servers.
        if (colon <= 0 || !IsToken(line.left(colon))) return HeadResult::Bad;
        request.headers.append({line.left(colon).toLower(), line.mid(colon + 1).trimmed()});
    }
    if (!request.Header("transfer-encoding").isEmpty()) {
        status = 501;
        return HeadResult::Bad;
    }
    const QByteArray length = request.Header("content-length");
    if (!length.isEmpty() && length != "0") return HeadResult::Bad;
    if (request.http11 && request.Header("host").isEmpty()) return HeadResult::Bad;
    const QByteArray connection = request.Header("connection").toLower();
    request.keepAlive = request.http11 ? !connection.contains("close") : connection.contains("keep-alive");
    return HeadResult::Ok;
}

bool SplitPath(const QByteArray& path, QList<QByteArray>& segments) {
    segments.clear();
    if (!path.startsWith('/')) return false;
    const QList<QByteArray> raw = path.mid(1).split('/');
    for (const QByteArray& r : raw) {
        const QByteArray s = QByteArray::fromPercentEncoding(r);
        if (s == "." || s == "..") return false;
        for (char c : s)
            if (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return false;
        segments.append(s);
    }
    return true;
}

QByteArray QueryValue(const QByteArray& query, const QByteArray& name, bool* found) {
    if (found) *found = false;
    for (const QByteArray& pair : query.split('&')) {
        const int eq = pair.indexOf('=');
        QByteArray key = eq < 0 ? pair : pair.left(eq);
        key.replace('+', ' ');
        if (QByteArray::fromPercentEncoding(key) != name) continue;
        if (found) *found = true;
        QByteArray value = eq < 0 ? QByteArray() : pair.mid(eq + 1);
        value.replace('+', ' ');
        return QByteArray::fromPercentEncoding(value);
    }
    return QByteArray();
}

bool ParseDecimal(const QByteArray& text, int& value) {
    if (text.isEmpty() || text.size() > 9) return false;
    int v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    value = v;
    return true;
}

bool EtagMatches(const QByteArray& ifNoneMatch, const QByteArray& etag) {
    for (QByteArray tag : ifNoneMatch.split(',')) {
        tag = tag.trimmed();
        if (tag == "*") return true;
        if (tag.startsWith("W/")) tag = tag.mid(2);  // weak comparison, as If-None-Match asks
        if (tag == etag) return true;
    }
    return false;
}

const char* ReasonPhrase(int status) {
    switch (status) {
    case 200: return "OK";
    case 204: return "No Content";
    case 301: return "Moved Permanently";
    case 304: return "Not Modified";
    case 400: return "Bad Request";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 414: return "URI Too Long";
    case 431: return "Request Header Fields Too Large";
    case 500: return "Internal Server Error";
    case 501: return "Not Implemented";
    case 503: return "Service Unavailable";
    case 505: return "HTTP Version Not Supported";
    default: return "Unknown";
    }
}

QByteArray ResponseHead(int status, const QByteArray& contentType, qint64 contentLength,
                        const QList<QPair<QByteArray, QByteArray>>& extraHeaders, bool close) {
    QByteArray h;
    h.reserve(256);
    h += "HTTP/1.1 ";
    h += QByteArray::number(status);
    h += ' ';
    h += ReasonPhrase(status);
    h += "\r\nServer: vtcore\r\n";
    if (!contentType.isEmpty()) h += "Content-Type: " + contentType + "\r\n";
    // 204 and 304 carry no body and no length of their own.
    if (status != 204 && status != 304) h += "Content-Length: " + QByteArray::number(contentLength) + "\r\n";
    for (const auto& kv : extraHeaders) h += kv.first + ": " + kv.second + "\r\n";
    if (close) h += "Connection: close\r\n";
    h += "\r\n";
    return h;
}

}  // namespace VtCli
