#include "catalog/CustomMapObj.h"

#include "core/TextConvert.h"

#include <QJsonValue>

namespace {
const QLatin1String kType("type");
const QLatin1String kOnline("online");
const QLatin1String kOffline("offline");
}  // namespace

CCustomMapObj::CCustomMapObj(const QJsonObject& object) : m_object(object) {}

CCustomMapObj::CCustomMapObj(const CCustomMapInfo& info) : m_object(info.ToJsonObject()) {
    m_object.insert(kType, kOnline);
}

CCustomMapObj::CCustomMapObj(const COfflineMapInfo& info) : m_object(info.Json()) {
    m_object.insert(kType, kOffline);
}

CCustomMapObj::CCustomMapObj(const CCustomMapObj& other) = default;

CCustomMapObj CCustomMapObj::operator=(const CCustomMapObj& other) {
    m_object = other.m_object;
    return *this;
}

CCustomMapObj::~CCustomMapObj() = default;

QString CCustomMapObj::Type() const { return m_object.value(kType).toString(); }

bool CCustomMapObj::IsEmpty() const { return !m_object.contains(kType); }
bool CCustomMapObj::IsOnline() const { return Type() == kOnline; }
bool CCustomMapObj::IsOffline() const { return Type() == kOffline; }

bool CCustomMapObj::IsDemMap() const { return IsOnline() && m_object.value(QLatin1String("DemMap")).toBool(); }

QString CCustomMapObj::Name() const {
    if (IsOffline()) return ToOfflineMapInfo().Name();
    if (IsOnline()) return ConvertStdStringToQString(ToCustomMapInfo().GetName(), "GB18030");
    return QString();
}

CCustomMapInfo CCustomMapObj::ToCustomMapInfo() const {
    CCustomMapInfo info;
    if (IsOnline()) info.FromJsonObject(m_object);
    return info;
}

COfflineMapInfo CCustomMapObj::ToOfflineMapInfo() const {
    return IsOffline() ? COfflineMapInfo(m_object) : COfflineMapInfo();
}
