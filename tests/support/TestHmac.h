#pragma once

#include <QByteArray>
#include <QCryptographicHash>

// RFC 2104 HMAC-SHA256 written out for the tests, independent of the library's implementation:
// the fake data cloud verifies signatures with it.
inline QByteArray TestHmacSha256(QByteArray key, const QByteArray& message) {
    const int block = 64;
    if (key.size() > block) key = QCryptographicHash::hash(key, QCryptographicHash::Sha256);
    key = key.leftJustified(block, '\0');
    QByteArray inner(block, '\0'), outer(block, '\0');
    for (int i = 0; i < block; ++i) {
        inner[i] = static_cast<char>(key[i] ^ 0x36);
        outer[i] = static_cast<char>(key[i] ^ 0x5c);
    }
    const QByteArray innerHash = QCryptographicHash::hash(inner + message, QCryptographicHash::Sha256);
    return QCryptographicHash::hash(outer + innerHash, QCryptographicHash::Sha256);
}
