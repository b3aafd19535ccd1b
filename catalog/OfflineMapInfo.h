#pragma once

#include "core/VtCoreExport.h"

#include <QJsonObject>
#include <QString>

// An offline custom map: tiles already on disk. A thin view of one JSON object whose text members
// are "name", "path", "labelPath", "sourceIndex", "sourceType" and "sourceWkt" (the tiles'
// spatial reference as well-known text). A missing or non-text member reads as "".
class VTCORE_EXPORT COfflineMapInfo {
public:
    explicit COfflineMapInfo(const QJsonObject& object = QJsonObject());

    QString Name() const { return Text("name"); }
    void SetName(const QString& v) { SetText("name", v); }
    QString Path() const { return Text("path"); }
    void SetPath(const QString& v) { SetText("path", v); }
    QString LabelPath() const { return Text("labelPath"); }
    void SetLabelPath(const QString& v) { SetText("labelPath", v); }
    QString SourceIndex() const { return Text("sourceIndex"); }
    void SetSourceIndex(const QString& v) { SetText("sourceIndex", v); }
    QString SourceType() const { return Text("sourceType"); }
    void SetSourceType(const QString& v) { SetText("sourceType", v); }
    QString SourceWkt() const { return Text("sourceWkt"); }
    void SetSourceWkt(const QString& v) { SetText("sourceWkt", v); }

    QJsonObject Json() const { return m_object; }
    void SetJson(const QJsonObject& object) { m_object = object; }

private:
    QString Text(const char* key) const;
    void SetText(const char* key, const QString& value);

    QJsonObject m_object;
};
