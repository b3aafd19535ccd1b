#pragma once

#include <QByteArray>
#include <QString>

// Request signing for the data cloud: RFC 2104 HMAC with SHA-256 over a fixed text. Internal to
// the library.

// The keyed hash (32 raw bytes) of `message` under `key`; keys longer than the 64-byte block are
// hashed first, as RFC 2104 says.
QByteArray CloudHmacSha256(const QByteArray& key, const QByteArray& message);

// service, method, path, query, body, nonce and timestamp joined with "\n" (none at the end).
QString CloudTextToSign(const QString& service, const QString& method, const QString& path, const QString& query,
                        const QString& body, const QString& nonce, const QString& timestamp);

// A fresh random UUID as 32 lower-case hexadecimal digits (no "-", "{", "}").
QString CloudNonce();

// The header value "secretId=..,nonceStr=..,service=..,timestamp=..,signature=..", where the
// signature is the lower-case hexadecimal HMAC of the UTF-8 text to sign under the base64-decoded
// secret key. `timestampMs` is milliseconds since the epoch.
QString CloudSignatureHeader(const QString& secretId, const QString& secretKeyBase64, const QString& method,
                             const QString& path, const QString& query, const QString& body, const QString& nonce,
                             long long timestampMs);

extern const char* const kCloudService;  // "zadeda-data-cloud"
