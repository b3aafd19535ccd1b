#include "catalog/OfflineMapInfo.h"

#include <QJsonValue>

COfflineMapInfo::COfflineMapInfo(const QJsonObject& object) : m_object(object) {}

QString COfflineMapInfo::Text(const char* key) const { return m_object.value(QLatin1String(key)).toString(); }

void COfflineMapInfo::SetText(const char* key, const QString& value) { m_object.insert(QLatin1String(key), value); }
