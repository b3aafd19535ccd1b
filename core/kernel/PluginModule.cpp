#include "core/kernel/PluginModule.h"

#include "core/kernel/Plugin.h"
#include "core/log/VtLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLibrary>

#include <algorithm>
#include <atomic>

namespace {

using VersionFn = int (*)();
using CreateFn = IPlugin* (*)();
using DestroyFn = void (*)(IPlugin*);

// A configuration file is a short list; anything larger is not one.
constexpr qint64 kMaxConfigBytes = 1 << 20;

std::atomic<int> g_nextKernelModuleId{1};

std::string toLocal(const QString& s) { return s.toLocal8Bit().toStdString(); }

void warn(const char* tag, const char* what, const std::string& file, const QString& detail = QString()) {
    CVtLogObject record = VtLogWarn();
    record << tag << VtGB(what) << file;
    if (!detail.isEmpty()) record << ", " << VtGB(detail.toStdString());
}

}  // namespace

struct CPluginModule::Entry {
    PluginInfo info;
    std::unique_ptr<QLibrary> library;
    IPlugin* plugin = nullptr;
    DestroyFn destroy = nullptr;
};

CPluginModuleObserver::~CPluginModuleObserver() = default;
void CPluginModuleObserver::OnPluginLoaded(CPluginModule*, IPlugin*) {}
void CPluginModuleObserver::OnPluginUnloading(CPluginModule*, IPlugin*) {}

IObject::~IObject() = default;

IPlugin::~IPlugin() = default;
bool IPlugin::Install(CPluginModule*, const std::string&) { return true; }
void IPlugin::Uninstall() {}

CPluginModule::PluginInfoVisitor::~PluginInfoVisitor() = default;

CPluginModule::CPluginModule() : m_strName("CPluginModule"), m_nID(g_nextKernelModuleId++) {}

CPluginModule::~CPluginModule() { UnloadAllPlugins(); }

const std::string& CPluginModule::GetObjectName() const { return m_strName; }
void CPluginModule::SetObjectName(const std::string& name) { m_strName = name; }
int CPluginModule::GetID() { return m_nID; }
std::string CPluginModule::GetName() { return m_strName; }

bool CPluginModule::RegisterObserver(CPluginModuleObserver* observer) {
    if (observer == nullptr) return false;
    if (std::find(m_vecObservers.begin(), m_vecObservers.end(), observer) != m_vecObservers.end()) return false;
    m_vecObservers.push_back(observer);
    return true;
}

void CPluginModule::UnregisterObserver(CPluginModuleObserver* observer) {
    m_vecObservers.erase(std::remove(m_vecObservers.begin(), m_vecObservers.end(), observer), m_vecObservers.end());
}

bool CPluginModule::IsPluginLoaded(const std::string& nameOrFile) {
    if (nameOrFile.empty()) return false;
    const QString canonical = QFileInfo(QString::fromLocal8Bit(nameOrFile.c_str())).canonicalFilePath();
    return std::any_of(m_vecPlugins.begin(), m_vecPlugins.end(), [&](const std::unique_ptr<Entry>& e) {
        return e->info.name == nameOrFile || e->info.file == nameOrFile ||
               (!canonical.isEmpty() && QString::fromLocal8Bit(e->info.file.c_str()) == canonical);
    });
}

bool CPluginModule::LoadPlugin(const std::string& owner, const std::string& file, const std::string& options,
                               const std::string& group) {
    static const char* const kTag = "[CPluginModule::LoadPlugin] ";
    if (file.empty()) return false;
    auto library = std::make_unique<QLibrary>(QString::fromLocal8Bit(file.c_str()));
    if (!library->load()) {
        warn(kTag, "无法加载插件库：", file, library->errorString());
        return false;
    }
    // QLibrary instances of one file share one handle; unload() below drops only ours.
    const QString loaded = QFileInfo(library->fileName()).canonicalFilePath();
    const std::string loadedPath = toLocal(loaded.isEmpty() ? library->fileName() : loaded);
    if (std::any_of(m_vecPlugins.begin(), m_vecPlugins.end(),
                    [&](const std::unique_ptr<Entry>& e) { return e->info.file == loadedPath; })) {
        library->unload();
        warn(kTag, "插件已加载：", loadedPath);
        return false;
    }
    const auto version = reinterpret_cast<VersionFn>(library->resolve("VtPluginKernelVersion"));
    const auto create = reinterpret_cast<CreateFn>(library->resolve("VtCreatePlugin"));
    const auto destroy = reinterpret_cast<DestroyFn>(library->resolve("VtDestroyPlugin"));
    if (version == nullptr || create == nullptr || destroy == nullptr) {
        library->unload();
        warn(kTag, "不是插件库（缺少入口）：", loadedPath);
        return false;
    }
    if (version() != VT_PLUGIN_KERNEL_VERSION) {
        library->unload();
        warn(kTag, "插件内核版本不符：", loadedPath);
        return false;
    }
    IPlugin* plugin = create();
    if (plugin == nullptr) {
        library->unload();
        warn(kTag, "插件未能创建对象：", loadedPath);
        return false;
    }
    bool installed = false;
    try {
        installed = plugin->Install(this, options);
    } catch (...) {
        installed = false;
    }
    if (!installed) {
        destroy(plugin);
        library->unload();
        warn(kTag, "插件拒绝安装：", loadedPath);
        return false;
    }

    auto entry = std::make_unique<Entry>();
    entry->info = PluginInfo{owner, loadedPath, options, group, plugin->GetPluginName()};
    entry->library = std::move(library);
    entry->plugin = plugin;
    entry->destroy = destroy;
    m_vecPlugins.push_back(std::move(entry));
    for (CPluginModuleObserver* observer : m_vecObservers) observer->OnPluginLoaded(this, plugin);
    return true;
}

bool CPluginModule::LoadPluginsFromFile(const std::string& configFile, const std::string& group) {
    static const char* const kTag = "[CPluginModule::LoadPluginsFromFile] ";
    const QString path = QString::fromLocal8Bit(configFile.c_str());
    QFile in(path);
    if (configFile.empty() || !in.open(QIODevice::ReadOnly)) {
        warn(kTag, "无法打开插件配置文件：", configFile);
        return false;
    }
    if (in.size() > kMaxConfigBytes) {
        warn(kTag, "插件配置文件过大：", configFile);
        return false;
    }
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(in.read(kMaxConfigBytes), &error);
    const QJsonValue list = doc.isObject() ? doc.object().value(QStringLiteral("plugins")) : QJsonValue();
    if (error.error != QJsonParseError::NoError || !list.isArray()) {
        warn(kTag, "插件配置文件格式错误：", configFile, error.errorString());
        return false;
    }

    const QDir base = QFileInfo(path).absoluteDir();
    bool all = true;
    for (const QJsonValue& item : list.toArray()) {
        QString file;
        QString options;
        if (item.isString()) {
            file = item.toString();
        } else if (item.isObject()) {
            const QJsonObject object = item.toObject();
            if (!object.value(QStringLiteral("enabled")).toBool(true)) continue;
            file = object.value(QStringLiteral("file")).toString();
            options = object.value(QStringLiteral("options")).toString();
        }
        if (file.isEmpty()) {
            warn(kTag, "插件配置项无效：", configFile);
            all = false;
            continue;
        }
        const std::string target = toLocal(QDir::cleanPath(base.absoluteFilePath(file)));
        all = LoadPlugin("-", target, toLocal(options), group) && all;
    }
    return all;
}

void CPluginModule::UnloadAllPlugins() {
    while (!m_vecPlugins.empty()) {
        std::unique_ptr<Entry> entry = std::move(m_vecPlugins.back());
        m_vecPlugins.pop_back();
        for (CPluginModuleObserver* observer : m_vecObservers) observer->OnPluginUnloading(this, entry->plugin);
        try {
            entry->plugin->Uninstall();
        } catch (...) {
            // The library goes regardless; a plug-in that throws here only loses its own clean-up.
        }
        entry->destroy(entry->plugin);
        entry->library->unload();
    }
}

void CPluginModule::Travel(PluginInfoVisitor& visitor) {
    // By index and through a copy of the pointer: a visitor may load more plug-ins, and must not
    // be able to make the manager lose the object it has to destroy.
    for (std::size_t i = 0; i < m_vecPlugins.size(); ++i) {
        IPlugin* plugin = m_vecPlugins[i]->plugin;
        visitor.Visit(m_vecPlugins[i]->info, plugin);
    }
}

std::size_t CPluginModule::GetPluginCount() const { return m_vecPlugins.size(); }

bool CPluginModule::OnNotify(CEventObject& event) {
    bool handled = false;
    for (const std::unique_ptr<Entry>& entry : m_vecPlugins) {
        if (auto* observer = dynamic_cast<CEventObserver*>(entry->plugin)) handled = observer->Notify(event, false) || handled;
    }
    return handled;
}
