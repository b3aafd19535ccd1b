#include "core/CloudSignature_p.h"

#include <QCryptographicHash>
#include <QMessageAuthenticationCode>
#include <QStringList>
#include <QUuid>

const char* const kCloudService = "zadeda-data-cloud";

QByteArray CloudHmacSha256(const QByteArray& key, const QByteArray& message) {
    return QMessageAuthenticationCode::hash(message, key, QCryptographicHash::Sha256);
}

QString CloudTextToSign(const QString& service, const QString& method, const QString& path, const QString& query,
                        const QString& body, const QString& nonce, const QString& timestamp) {
    return QStringList{service, method, path, query, body, nonce, timestamp}.join(QLatin1Char('\n'));
}

QString CloudNonce() {
    QString text = QUuid::createUuid().toString();
    text.remove(QLatin1Char('-')).remove(QLatin1Char('{')).remove(QLatin1Char('}'));
    return text.right(32);
}

QString CloudSignatureHeader(const QString& secretId, const QString& secretKeyBase64, const QString& method,
                             const QString& path, const QString& query, const QString& body, const QString& nonce,
                             long long timestampMs) {
    const QString service = QLatin1String(kCloudService);
    const QString timestamp = QString::number(timestampMs);
    const QString text = CloudTextToSign(service, method, path, query, body, nonce, timestamp);
    const QByteArray key = QByteArray::fromBase64(secretKeyBase64.toLatin1());
    const QString signature = QString::fromLatin1(CloudHmacSha256(key, text.toUtf8()).toHex());
    return QStringLiteral("secretId=") + secretId + QStringLiteral(",nonceStr=") + nonce +
           QStringLiteral(",service=") + service + QStringLiteral(",timestamp=") + timestamp +
           QStringLiteral(",signature=") + signature;
}
