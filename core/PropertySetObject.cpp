#include "core/PropertySetObject.h"

#include "core/TextConvert.h"
#include "core/log/VtLog.h"

#include <json/json.h>

#include <exception>
#include <memory>

namespace {

const char* const kGb = "GB18030";

// Converts one variant by the type table; false for types that have no JSON form here.
bool toJsonValue(const QVariant& value, Json::Value& out) {
    switch (static_cast<QMetaType::Type>(value.type())) {
    case QMetaType::Bool: out = Json::Value(value.toBool() ? 1 : 0); return true;
    case QMetaType::Int: out = Json::Value(value.toInt()); return true;
    case QMetaType::UInt: out = Json::Value(static_cast<Json::UInt>(value.toUInt())); return true;
    case QMetaType::LongLong: out = Json::Value(static_cast<Json::Int64>(value.toLongLong())); return true;
    case QMetaType::ULongLong: out = Json::Value(static_cast<Json::UInt64>(value.toULongLong())); return true;
    case QMetaType::Double: out = Json::Value(value.toDouble()); return true;
    case QMetaType::QString: out = Json::Value(ConvertQStringToStdString(value.toString(), kGb)); return true;
    default: return false;
    }
}

bool fromJsonValue(const Json::Value& value, QVariant& out) {
    switch (value.type()) {
    case Json::intValue:
    case Json::uintValue:
        // The text does not say which kind was written, and the parser calls every number up to
        // 2^63 - 1 signed; the smallest kind that holds the number brings Int and UInt back as they
        // were written (a LongLong between 2^31 and 2^32 - 1 comes back as UInt).
        if (value.isInt()) out = QVariant(value.asInt());
        else if (value.isUInt()) out = QVariant(value.asUInt());
        else if (value.isInt64()) out = QVariant(static_cast<qlonglong>(value.asInt64()));
        else out = QVariant(static_cast<qulonglong>(value.asUInt64()));
        return true;
    case Json::realValue: out = QVariant(value.asDouble()); return true;
    case Json::stringValue: out = QVariant(ConvertStdStringToQString(value.asString(), kGb)); return true;
    case Json::booleanValue: out = QVariant(value.asBool()); return true;
    default: return false;
    }
}

}  // namespace

void CPropertySetObject::SetProperty(const std::string& key, const QVariant& value) { m_mapProperties[key] = value; }

QVariant CPropertySetObject::GetProperty(const std::string& key) {
    const auto it = m_mapProperties.find(key);
    return it == m_mapProperties.end() ? QVariant() : it->second;
}

bool CPropertySetObject::DelProperty(const std::string& key) { return m_mapProperties.erase(key) > 0; }

void CPropertySetObject::CopyTo(CPropertySetObject& target) const {
    if (&target == this) return;
    for (const auto& entry : m_mapProperties) target.SetProperty(entry.first, entry.second);
}

void CPropertySetObject::Clear() { m_mapProperties.clear(); }

bool CPropertySetObject::FromJson(const std::string& json) {
    VtLogInfo() << VtGB("[CPropertySetObject::FromJson] 通过Json内容加载PropertySet");
    Json::Value root;
    bool parsed = false;
    try {
        // jsoncpp throws on input nested past its stack limit; that is a parse failure like any other.
        Json::CharReaderBuilder builder;
        const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
        std::string errors;
        parsed = reader->parse(json.data(), json.data() + json.size(), &root, &errors);
    } catch (const std::exception&) {
        parsed = false;
    }
    if (!parsed) {
        VtLogError() << VtGB("[CPropertySetObject::FromJson] 加载Json内容读取失败");
        return false;
    }
    if (!root.isObject()) return true;  // getMemberNames() of a scalar or array would throw
    for (const std::string& name : root.getMemberNames()) {
        if (m_mapProperties.count(name) != 0) continue;
        QVariant value;
        if (fromJsonValue(root[name], value)) {
            m_mapProperties.emplace(name, value);
        } else {
            VtLogWarn() << "[PropertySetObject].LoadFromJson " << name << VtGB(" 未解出的类型");
        }
    }
    return true;
}

std::string CPropertySetObject::ToJson() const {
    VtLogInfo() << VtGB("[CPropertySetObject::ToJson] 转换为Json内容");
    Json::Value root;
    for (const auto& entry : m_mapProperties) {
        Json::Value value;
        if (toJsonValue(entry.second, value)) {
            root[entry.first] = value;
        } else {
            VtLogWarn() << "[PropertySetObject].ToJson " << entry.first << VtGB(" 未解出的类型");
        }
    }
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    // Strings are GB18030 bytes: written raw, since jsoncpp's escaping would read them as UTF-8
    // and mangle them.
    builder["emitUTF8"] = true;
    return Json::writeString(builder, root) + "\n";
}
