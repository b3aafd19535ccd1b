#pragma once

#include "catalog/CustomMapInfo.h"
#include "catalog/OfflineMapInfo.h"
#include "core/VtCoreExport.h"

#include <QJsonObject>
#include <QString>

// The stored form of a custom map: one JSON object whose "type" is "online" (the members of
// CCustomMapInfo::ToJsonObject) or "offline" (those of COfflineMapInfo). Without "type" it is
// empty and every question answers false or an empty value.
class VTCORE_EXPORT CCustomMapObj {
public:
    explicit CCustomMapObj(const QJsonObject& object = QJsonObject());
    explicit CCustomMapObj(const CCustomMapInfo& info);
    explicit CCustomMapObj(const COfflineMapInfo& info);
    CCustomMapObj(const CCustomMapObj& other);
    // Copies the object and returns a copy of the result.
    CCustomMapObj operator=(const CCustomMapObj& other);
    ~CCustomMapObj();

    bool IsEmpty() const;
    bool IsOnline() const;
    bool IsOffline() const;
    // Online and "DemMap" true.
    bool IsDemMap() const;
    // Offline: "name"; online: the info's name; else "".
    QString Name() const;
    // Online: the stored info (flags as stored); otherwise a default info.
    CCustomMapInfo ToCustomMapInfo() const;
    // Offline: the object; otherwise an empty one.
    COfflineMapInfo ToOfflineMapInfo() const;

    const QJsonObject& Object() const { return m_object; }

private:
    QString Type() const;

    QJsonObject m_object;
};
