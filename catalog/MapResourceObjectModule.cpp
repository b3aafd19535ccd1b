#include "catalog/MapResourceObjectModule.h"

#include "catalog/MapCustomResourceObject.h"
#include "catalog/MapResourceObject.h"
#include "catalog/MapSettingsLocation_p.h"
#include "catalog/MapTypeManager.h"
#include "core/ReplyWait_p.h"
#include "core/VtPluginModule.h"
#include "core/log/VtLog.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSettings>
#include <QUrl>

namespace {
CMapResourceObjectModule* g_mapResourceModule = nullptr;
}  // namespace

IMapResourceObject::~IMapResourceObject() = default;
IMapCustomResourceObject::~IMapCustomResourceObject() = default;
IMapResourceObjectModule::~IMapResourceObjectModule() = default;
IMapResourceObjectModule::IMapResourceObjectVisitor::~IMapResourceObjectVisitor() = default;

const char* const CMapResourceObjectModule::kMapTypeUrlServerKey = "kmtr/MapTypeUrlServer";
const char* const CMapResourceObjectModule::kMapTypeUrlConfigPath = "/updateq7/MapTypeUrlConifg.json";

CMapResourceObjectModule::CMapResourceObjectModule() : m_pPluginModule(nullptr) {}

CMapResourceObjectModule::~CMapResourceObjectModule() = default;

std::string CMapResourceObjectModule::GetName() const { return m_strName; }
std::string CMapResourceObjectModule::GetUUID() const { return std::string(); }

IMapResourceObject* CMapResourceObjectModule::GetMapResourceByName(const std::string& name) {
    const auto it = m_mapResources.find(name);
    return it != m_mapResources.end() ? it->second : nullptr;
}

IMapResourceObject* CMapResourceObjectModule::GetMapResource(int mapType) {
    for (const auto& entry : m_mapResources) {
        if (entry.second != nullptr && entry.second->GetMapType() == mapType) return entry.second;
    }
    return nullptr;
}

IMapCustomResourceObject* CMapResourceObjectModule::GetCustomMapResource(int mapType) {
    return dynamic_cast<IMapCustomResourceObject*>(GetMapResource(mapType));
}

bool CMapResourceObjectModule::RegisterMapResource(IMapResourceObject* object) {
    if (object == nullptr) return false;
    VtLogDebug() << VtGB("[CMapResourceObjectModule::RegisterMapResource] 注册地图资源，MapType: ")
                 << object->GetMapType();
    m_mapResources[object->GetResourceName()] = object;
    return true;
}

void CMapResourceObjectModule::UnregisterMapResource(IMapResourceObject* object) {
    if (object == nullptr) return;
    m_mapResources.erase(object->GetResourceName());
}

IVtPluginModule* CMapResourceObjectModule::GetPluginModule() { return m_pPluginModule; }

std::vector<int> CMapResourceObjectModule::GetAllMapType() {
    std::vector<int> types;
    types.reserve(m_mapResources.size());
    for (const auto& entry : m_mapResources) {
        if (entry.second != nullptr) types.push_back(entry.second->GetMapType());
    }
    return types;
}

void CMapResourceObjectModule::Accept(IMapResourceObjectVisitor& visitor) {
    // A copy, so that a visitor may register or unregister without invalidating the walk.
    const auto entries = m_mapResources;
    for (const auto& entry : entries) {
        if (entry.second != nullptr) visitor.Visit(this, entry.first, entry.second);
    }
}

bool CMapResourceObjectModule::Reserved11() { return false; }
void CMapResourceObjectModule::Reserved12() {}
void CMapResourceObjectModule::Reserved13() {}
std::string CMapResourceObjectModule::Reserved14() { return std::string(); }
std::string CMapResourceObjectModule::Reserved15() { return std::string(); }
QVariant CMapResourceObjectModule::Reserved16() { return QVariant(); }
QVariant CMapResourceObjectModule::Reserved17() { return QVariant(); }
bool CMapResourceObjectModule::Reserved18() { return false; }
bool CMapResourceObjectModule::Reserved19() { return false; }

QString CMapResourceObjectModule::MapTypeUrlConfigAddress() {
    QSettings settings(MapSettingsDirectory() + QStringLiteral("/config.ini"), QSettings::IniFormat);
    settings.setIniCodec("SYSTEM");
    QString server = settings.value(QLatin1String(kMapTypeUrlServerKey)).toString().trimmed();
    if (server.isEmpty()) return QString();
    while (server.endsWith(QLatin1Char('/'))) server.chop(1);
    return server + QLatin1String(kMapTypeUrlConfigPath);
}

QVector<QPair<QString, int>> CMapResourceObjectModule::GetMapTypeUrls(int mapType) {
    if (!m_mapUrlCache.empty()) {
        const auto it = m_mapUrlCache.find(mapType);
        return it != m_mapUrlCache.end() ? it->second : UrlList();
    }

    const QString address = MapTypeUrlConfigAddress();
    if (address.isEmpty()) {
        VtLogDebug() << "[CMapResourceObjectModule::GetMapTypeUrls] " << kMapTypeUrlServerKey
                     << VtGB(" 未配置");
        return UrlList();
    }

    QByteArray bytes;
    {
        QNetworkAccessManager manager;
        QNetworkReply* reply = manager.get(QNetworkRequest(QUrl(address)));
        // An unfinished reply may hold the start of a document; only a whole reply is used.
        if (WaitForReply(reply, kFetchTimeoutMs)) bytes = reply->readAll();
        reply->deleteLater();
    }  // the manager goes here, and with it the reply

    if (bytes.isEmpty() || !FillUrlCache(bytes)) return UrlList();
    const auto it = m_mapUrlCache.find(mapType);
    return it != m_mapUrlCache.end() ? it->second : UrlList();
}

bool CMapResourceObjectModule::FillUrlCache(const QByteArray& bytes) {
    const QJsonDocument document = QJsonDocument::fromJson(bytes);
    if (document.isNull() || document.isEmpty()) return false;
    const QJsonValue data = document.object().value(QStringLiteral("data"));
    if (!data.isArray()) return true;
    for (const QJsonValue& element : data.toArray()) {
        const QJsonObject entry = element.toObject();
        const QJsonValue urls = entry.value(QStringLiteral("MapUrl"));
        if (!urls.isArray()) continue;
        UrlList list;
        for (const QJsonValue& url : urls.toArray()) {
            const QJsonObject item = url.toObject();
            list.append(qMakePair(item.value(QStringLiteral("url")).toString(),
                                  item.value(QStringLiteral("weight")).toInt()));
        }
        // A map type listed twice keeps its last list.
        m_mapUrlCache[entry.value(QStringLiteral("MapType")).toInt()] = list;
    }
    return true;
}

IMapResourceObjectModule* GetOrCreateMapResourceObjectModule() {
    if (g_mapResourceModule == nullptr) {
        auto* module = new CMapResourceObjectModule();
        module->SetName("MapResourceObjectModule");
        module->SetPluginModule(new CVtPluginModule());
        g_mapResourceModule = module;
    }
    return g_mapResourceModule;
}

void DestroyMapResourceObjectModule() {
    if (g_mapResourceModule == nullptr) return;
    if (IVtPluginModule* plugins = g_mapResourceModule->GetPluginModule()) {
        plugins->UnloadAllPlugin();
        delete plugins;
    }
    delete g_mapResourceModule;
    g_mapResourceModule = nullptr;
}

bool CMapTypeManager::IsInSupportMapRange(int id, int level) const {
    IMapResourceObjectModule* module = GetOrCreateMapResourceObjectModule();
    IMapResourceObject* object = module != nullptr ? module->GetMapResource(id) : nullptr;
    if (object == nullptr) return false;
    return object->GetMinLevel() <= level && level <= object->GetMaxLevel();
}
