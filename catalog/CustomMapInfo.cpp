#include "catalog/CustomMapInfo.h"

#include "core/TextConvert.h"

#include <json/json.h>

#include <QJsonValue>

#include <exception>

namespace {

const char* const kGb = "GB18030";
const char* const kUtf8 = "UTF-8";

QString FromGb(const std::string& text) { return ConvertStdStringToQString(text, kGb); }
std::string ToGb(const QString& text) { return ConvertQStringToStdString(text, kGb); }

// jsoncpp throws on a member of the wrong type (asInt of a string, of 1e300); these read such a
// member as missing instead.
int JsonInt(const Json::Value& v) { return v.isConvertibleTo(Json::intValue) ? v.asInt() : 0; }
bool JsonBool(const Json::Value& v) { return v.isConvertibleTo(Json::booleanValue) ? v.asBool() : false; }
// jsoncpp's text is UTF-8; the fields hold GB18030.
std::string JsonText(const Json::Value& v) {
    return v.isString() ? ToGb(ConvertStdStringToQString(v.asString(), kUtf8)) : std::string();
}
Json::Value JsonTextValue(const std::string& gb) { return Json::Value(ConvertQStringToStdString(FromGb(gb), kUtf8)); }

}  // namespace

CCustomMapInfo::CCustomMapInfo() : CCustomMapInfo(0) {}

CCustomMapInfo::CCustomMapInfo(int index)
    : m_nIndex(index),
      m_bExistLabel(false),
      m_bWgs84(true),
      m_bOffset(false),
      m_bDem(false),
      m_bBd09(false) {}

CCustomMapInfo::CCustomMapInfo(const CCustomMapInfo& other) = default;
CCustomMapInfo& CCustomMapInfo::operator=(const CCustomMapInfo& other) = default;
CCustomMapInfo::~CCustomMapInfo() = default;

void CCustomMapInfo::SetIsWGS84(bool b) {
    if (m_bBd09) return;
    m_bWgs84 = m_bDem ? true : b;
}

void CCustomMapInfo::SetIsBD09(bool b) {
    m_bBd09 = b;
    if (b) {
        m_bWgs84 = false;
        m_bDem = false;
    }
}

void CCustomMapInfo::SetIsOffset(bool b) { m_bOffset = m_bDem ? false : b; }

void CCustomMapInfo::SetIsDem(bool b) {
    if (m_bBd09) return;
    m_bDem = b;
}

QJsonObject CCustomMapInfo::ToJsonObject() const {
    QJsonObject o;
    o.insert(QStringLiteral("Index"), m_nIndex);
    o.insert(QStringLiteral("Name"), FromGb(m_strName));
    o.insert(QStringLiteral("ExistLabel"), m_bExistLabel);
    o.insert(QStringLiteral("MapUrl"), FromGb(m_strMapUrl));
    o.insert(QStringLiteral("LabelUrl"), FromGb(m_strLabelUrl));
    o.insert(QStringLiteral("InfoHost"), FromGb(m_strInfoHost));
    o.insert(QStringLiteral("InfoReferer"), FromGb(m_strInfoReferer));
    o.insert(QStringLiteral("WGS84"), m_bWgs84);
    o.insert(QStringLiteral("Offset"), m_bOffset);
    o.insert(QStringLiteral("DemMap"), m_bDem);
    o.insert(QStringLiteral("BD09"), m_bBd09);
    return o;
}

bool CCustomMapInfo::FromJsonObject(const QJsonObject& o) {
    m_nIndex = o.value(QStringLiteral("Index")).toInt();
    m_strName = ToGb(o.value(QStringLiteral("Name")).toString());
    m_bExistLabel = o.value(QStringLiteral("ExistLabel")).toBool();
    m_strMapUrl = ToGb(o.value(QStringLiteral("MapUrl")).toString());
    m_strLabelUrl = ToGb(o.value(QStringLiteral("LabelUrl")).toString());
    m_strInfoHost = ToGb(o.value(QStringLiteral("InfoHost")).toString());
    m_strInfoReferer = ToGb(o.value(QStringLiteral("InfoReferer")).toString());
    m_bWgs84 = o.value(QStringLiteral("WGS84")).toBool();
    m_bOffset = o.value(QStringLiteral("Offset")).toBool();
    m_bDem = o.value(QStringLiteral("DemMap")).toBool();
    m_bBd09 = o.value(QStringLiteral("BD09")).toBool();
    return true;
}

std::string CCustomMapInfo::ToJsonString() const {
    Json::Value root(Json::objectValue);
    root["Index"] = m_nIndex;
    root["Name"] = JsonTextValue(m_strName);
    root["ExistLabel"] = m_bExistLabel;
    root["MapUrl"] = JsonTextValue(m_strMapUrl);
    root["LabelUrl"] = JsonTextValue(m_strLabelUrl);
    root["InfoHost"] = JsonTextValue(m_strInfoHost);
    root["InfoReferer"] = JsonTextValue(m_strInfoReferer);
    root["WGS84"] = m_bWgs84;
    root["Offset"] = m_bOffset;
    root["DemMap"] = m_bDem;
    root["BD09"] = m_bBd09;
    try {
        Json::FastWriter writer;
        return writer.write(root);
    } catch (const std::exception&) {
        return std::string();
    }
}

bool CCustomMapInfo::LoadFromJsonString(const std::string& text) {
    Json::Value root;
    try {
        Json::Reader reader;
        if (!reader.parse(text, root, false)) return false;
    } catch (const std::exception&) {
        return false;
    }
    // A root that parsed but is not an object has none of the members.
    const Json::Value none;
    const Json::Value& object = root;
    auto member = [&](const char* key) -> const Json::Value& {
        return object.isObject() && object.isMember(key) ? object[key] : none;
    };
    m_nIndex = JsonInt(member("Index"));
    m_strName = JsonText(member("Name"));
    m_bExistLabel = JsonBool(member("ExistLabel"));
    m_strMapUrl = JsonText(member("MapUrl"));
    m_strLabelUrl = JsonText(member("LabelUrl"));
    m_strInfoHost = JsonText(member("InfoHost"));
    m_strInfoReferer = JsonText(member("InfoReferer"));
    return true;
}
