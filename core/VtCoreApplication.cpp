#include "core/VtCoreApplication.h"

#include "core/PluginDirVisitor.h"
#include "core/VtPluginModule.h"
#include "core/io/XDir.h"
#include "core/io/XPath.h"
#include "core/log/VtLog.h"
#include "core/platform/Platform.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <map>

namespace {

// The files of the CAD control, relative to the product directory, in the order they are checked.
constexpr const char* kMxCtrlFiles[] = {
    "Bin/CADx64/1mxmenu.mnu",
    "Bin/CADx64/Compare52x64.mrx",
    "Bin/CADx64/ExApp52x64.mrx",
    "Bin/CADx64/mfc100u.dll",
    "Bin/CADx64/msvcp100.dll",
    "Bin/CADx64/msvcr100.dll",
    "Bin/CADx64/mx.lin",
    "Bin/CADx64/mx.pat",
    "Bin/CADx64/MxArx52x64.dll",
    "Bin/CADx64/MxBase52x64.dll",
    "Bin/CADx64/mxbrowner.mnu",
    "Bin/CADx64/MxDraw-Browner_ToolBar.mxt",
    "Bin/CADx64/MxDraw-ToolBar-Draw.mxt",
    "Bin/CADx64/MxDraw-ToolBar-DrawParam.mxt",
    "Bin/CADx64/MxDraw-ToolBar-Edit.mxt",
    "Bin/CADx64/MxDraw-ToolBar-ET.mxt",
    "Bin/CADx64/MxDraw-ToolBar.mxt",
    "Bin/CADx64/MxDraw52x64.dll",
    "Bin/CADx64/MxDrawX.ocx",
    "Bin/CADx64/MxDwg52x64.dll",
    "Bin/CADx64/MxEdit52x64.mrx",
    "Bin/CADx64/MxExpressTools52x64.mrx",
    "Bin/CADx64/MxFile52x64.dll",
    "Bin/CADx64/MxGe52x64.dll",
    "Bin/CADx64/mxiso.pat",
    "Bin/CADx64/MxKernel52x64.dll",
    "Bin/CADx64/mxmenu.mnu",
    "Bin/CADx64/MxMrxDbg52x64.mrx",
    "Bin/CADx64/mxpopmenu.mnu",
    "Bin/CADx64/mxpopmenuent.mnu",
    "Bin/CADx64/mxuser.pat",
    "Bin/CADx64/PropertyEditor52x64.mrx",
    "Bin/CADx64/QuickCommand.ini",
    "Bin/CADx64/RegMxDrawX.bat",
    "Bin/CADx64/UnRegMxDrawX.bat",
    "Bin/CADx64/icon/build.bmp",
    "Bin/CADx64/icon/export.bmp",
    "Bin/CADx64/icon/exportImg.bmp",
    "Bin/CADx64/icon/exvector.bmp",
    "Bin/CADx64/icon/imvector.bmp",
    "Bin/CADx64/icon/locate.bmp",
    "Bin/CADx64/shx/Aaa.shx",
    "Bin/CADx64/shx/hztxt.shx",
    "Bin/CADx64/shx/intecad.shx",
    "Bin/CADx64/shx/isocp.shx",
    "Bin/CADx64/shx/ltypeshp.shx",
    "Bin/CADx64/shx/txt.shx",
    "Bin/CADx64/shx/hztxt/gbcbig.shx",
    "Bin/CADx64/shx/intecad/gbcbig.shx",
    "Bin/Releasex64/china.dll",
};

constexpr const char* kMxCtrlRegistryKey = "CLSID\\{74a777f8-7a8f-4e7c-af47-7074828086e2}\\InprocServer32";
constexpr std::size_t kRegistryValueBytes = 1024;
constexpr const char* kLogDirPrefix = "VtCoreLog";
constexpr std::size_t kKeptLogDirs = 21;

QString local(const std::string& s) { return QString::fromLocal8Bit(s.c_str()); }
std::string local(const QString& s) { return s.toLocal8Bit().toStdString(); }

std::string upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Everything before the last "/" ("" when there is none).
std::string cutLastName(const std::string& s) {
    const std::size_t slash = s.rfind('/');
    return slash == std::string::npos ? std::string() : s.substr(0, slash);
}

// Subdirectory names of dir that begin with the log prefix (case-sensitive).
QStringList logDirNames(const QString& dir) {
    QStringList names = QDir(dir).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    names.erase(std::remove_if(names.begin(), names.end(),
                               [](const QString& n) { return !n.startsWith(QLatin1String(kLogDirPrefix)); }),
                names.end());
    return names;
}

// Unloads, deletes and forgets a module if there is one; the record is written in every case.
void unloadModule(IVtPluginModule*& module, const char* record) {
    if (module != nullptr) {
        module->UnloadAllPlugin();
        delete module;
        module = nullptr;
    }
    VtLogInfo() << VtGB(record) << "[Yes]";
}

}  // namespace

CVtCoreApplication* CVtCoreApplication::GetInstance() {
    static CVtCoreApplication instance;
    return &instance;
}

CVtCoreApplication::CVtCoreApplication()
    : m_bUseDebug(false),
      m_bUseDebugNetwork(false),
      m_bApplicationExit(false),
      m_bOpenGLAvailable(true),
      m_bUseNetProxy(false),
      m_dMemorySafeThreshold(0.0),
      m_nMajorVersion(0),
      m_nMinorVersion(0),
      m_nIteratorVersion(0),
      m_nBuildVersion(0),
      m_strDefaultSaveDir("D:/DOVavevovu/"),
      m_strOfficialURL("https://www.vtcore.example.com/"),
      m_pSystemPluginModule(nullptr),
      m_pUserPluginModule(nullptr) {
    IVtPlatform& platform = GetVtPlatform();
    std::uint64_t available = 0;
    if (platform.AvailableVirtualBytes(available)) m_dMemorySafeThreshold = static_cast<double>(available >> 20) * 0.8;
    VtLOG(1) << "[VtCoreApplication] " << VtGB("进程设置内存安全阈值:") << m_dMemorySafeThreshold << "MB";

    std::array<std::uint32_t, 4> regs{};
    platform.Cpuid(0, regs);
    const std::uint32_t highest = regs[0];
    std::array<std::uint32_t, 4> signature{};
    for (std::uint32_t leaf = 0; leaf <= highest; ++leaf) {
        platform.Cpuid(leaf, regs);
        if (leaf == 1) signature = regs;
    }
    char text[16];
    std::snprintf(text, sizeof text, "%08X", static_cast<unsigned int>(signature[0]));
    m_strCpuID = text;
}

// Releases only strings and lists: the host unloads plug-ins with Cleanup before exit.
CVtCoreApplication::~CVtCoreApplication() = default;

bool CVtCoreApplication::Setup() {
    const std::string logDir = GetLogDir();
    const QDateTime now = QDateTime::currentDateTime();
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04d%02d%02d%02d%02d%02d", now.date().year(), now.date().month(),
                  now.date().day(), now.time().hour(), now.time().minute(), now.time().second());
    std::string module = std::string(kLogDirPrefix) + stamp;
    InitVtLog(&module[0], 3, logDir.c_str());
    VtEnableAllLogModuleLevel(VTLOG_LEVEL_ALL, true);
    VtEnableAllLogModuleShowInfo(VTLOG_SHOW_ALL, true);
    VtLogInfo() << "########## Engine Start (V" << m_nMajorVersion << "." << m_nMinorVersion << "."
                << m_nIteratorVersion << ")##########";

    // A repeated Setup keeps the modules it made the first time.
    if (m_pSystemPluginModule == nullptr) m_pSystemPluginModule = new CVtPluginModule();
    VtLogInfo() << VtGB("构建系统插件管理模块....") << "[Yes]";
    if (m_pUserPluginModule == nullptr) m_pUserPluginModule = new CVtPluginModule();
    VtLogInfo() << VtGB("构建用户插件管理模块....") << "[Yes]";
    return true;
}

void CVtCoreApplication::Cleanup() {
    UnloadUserPlugin();
    UnloadSystemPlugin();
    ArrangeLogs();
}

std::string CVtCoreApplication::GetExecuteDir() const {
    const std::string exe = IOx::XPath::Normalize(GetVtPlatform().ExecutablePath());
    return cutLastName(exe) + "/";
}

std::string CVtCoreApplication::GetProductDir() const {
    if (!m_strProductDir.empty()) return m_strProductDir;
    std::string dir = GetExecuteDir();
    dir.pop_back();  // the trailing "/"
    return cutLastName(cutLastName(dir)) + "/";
}

std::string CVtCoreApplication::GetDataDir() const { return GetProductDir() + "Data/"; }
std::string CVtCoreApplication::GetGDALDataDir() const { return GetDataDir() + "gdal_data/"; }
std::string CVtCoreApplication::GetLogDir() const { return GetDataDir() + "Log/"; }
std::string CVtCoreApplication::GetTestDir() const { return GetProductDir() + "Test/"; }
std::string CVtCoreApplication::GetConfigDir() const { return GetProductDir() + "Config/"; }
std::string CVtCoreApplication::GetProfileDir() const { return GetConfigDir() + "Profiles/"; }
std::string CVtCoreApplication::GetGDALLogFile() const { return GetLogDir() + "gdal.log"; }

void CVtCoreApplication::CreateProductContent() {
    const std::string dirs[] = {GetProductDir(), GetDataDir(), GetLogDir(), GetGDALDataDir(), GetConfigDir(),
                                GetProfileDir()};
    for (const std::string& dir : dirs) {
        const QString path = local(dir);
        if (!QFileInfo(path).isDir()) QDir().mkdir(path);
    }
}

double CVtCoreApplication::CheckCurrentMemorySize() const {
    std::uint64_t bytes = 0;
    if (!GetVtPlatform().WorkingSetBytes(bytes)) return -1.0;
    return static_cast<double>(bytes / 1024 / 1024);
}

bool CVtCoreApplication::IsBeyondMemorySafeThreshold() const {
    return CheckCurrentMemorySize() > m_dMemorySafeThreshold;
}

void CVtCoreApplication::TrimMemoryChip() {
    GetVtPlatform().TrimWorkingSet();
    VtLOG(1) << "[CVtCoreApplication::TrimMemoryChip] " << VtGB("清理内存碎片");
}

void CVtCoreApplication::AddSupportFileFormat(const std::string& pattern, bool listA) {
    if (pattern.size() < 2 || pattern.find("*.") == std::string::npos) return;
    std::vector<std::string>& list = formats(listA);
    if (std::find(list.begin(), list.end(), pattern) != list.end()) return;
    list.push_back(pattern);
}

void CVtCoreApplication::AddSupportFileFormats(const std::vector<std::string>& patterns, bool listA) {
    for (const std::string& p : patterns) AddSupportFileFormat(p, listA);
}

void CVtCoreApplication::RemoveSupportFileFormat(const std::string& pattern, bool listA) {
    std::vector<std::string>& list = formats(listA);
    const auto it = std::find(list.begin(), list.end(), pattern);
    if (it != list.end()) list.erase(it);
}

void CVtCoreApplication::RemoveSupportFileFormats(const std::vector<std::string>& patterns, bool listA) {
    for (const std::string& p : patterns) RemoveSupportFileFormat(p, listA);
}

void CVtCoreApplication::SetSupportFileFormat(const std::vector<std::string>& patterns, bool listA) {
    formats(listA) = patterns;
}

std::vector<std::string> CVtCoreApplication::GetSupportFileFormat(bool listA) const { return formats(listA); }

bool CVtCoreApplication::IsSupportFileFormat(const std::string& extension, bool listA) const {
    const std::vector<std::string>& list = formats(listA);
    if (extension.empty() || list.empty()) return false;
    const std::string wanted = upper(extension);
    for (const std::string& pattern : list) {
        const std::size_t dot = pattern.rfind('.');
        const std::string last = dot == std::string::npos ? pattern : pattern.substr(dot + 1);
        if (!last.empty() && upper(last).rfind(wanted, 0) == 0) return true;
    }
    return false;
}

bool CVtCoreApplication::IsMxCtrlComplete() const {
    const std::string product = GetProductDir();
    for (const char* file : kMxCtrlFiles) {
        const std::string path = product + file;
        if (!QFileInfo::exists(local(path))) {
            VtLogError() << VtGB("CAD 不完整，缺少文件：") << path;
            return false;
        }
    }
    return true;
}

bool CVtCoreApplication::IsMxCtrlAvailable() const {
    std::string registered;
    switch (GetVtPlatform().ReadClassesRootDefault(kMxCtrlRegistryKey, kRegistryValueBytes, registered)) {
    case IVtPlatform::REGISTRY_OPEN_FAILED:
        VtLogError() << VtGB("CAD 不可用，打开注册表失败");
        return false;
    case IVtPlatform::REGISTRY_READ_FAILED:
        VtLogError() << VtGB("CAD 不可用，读取注册表失败");
        return false;
    case IVtPlatform::REGISTRY_OK:
        break;
    }
    const std::string actual = lower(IOx::XPath::Normalize(registered));
    const std::string expected = lower(GetProductDir() + "Bin/CADx64/MxDrawX.ocx");
    if (actual == expected) return true;
    VtLogError() << VtGB("CAD 不可用，注册路径不一致，1=") << actual << VtGB("，2=") << expected;
    return false;
}

bool CVtCoreApplication::IsMxCtrlCompleteAvailable() const { return IsMxCtrlComplete() && IsMxCtrlAvailable(); }

bool CVtCoreApplication::LoadSystemPlugin(const std::string& configFile) {
    return LoadPluginFromFile(m_pSystemPluginModule, configFile);
}

bool CVtCoreApplication::LoadUserPlugin(std::string configFile) {
    return LoadPluginFromFile(m_pUserPluginModule, configFile);
}

bool CVtCoreApplication::UnloadSystemPlugin() {
    unloadModule(m_pSystemPluginModule, "卸载系统插件...");
    return true;
}

bool CVtCoreApplication::UnloadUserPlugin() {
    unloadModule(m_pUserPluginModule, "卸载用户插件...");
    return true;
}

bool CVtCoreApplication::LoadPlugins(IVtPluginModule* module, const std::string& subDir) {
    if (module == nullptr) return false;
    CPluginDirVisitor visitor(module);
    IOx::XDir(GetExecuteDir() + subDir + "/").Travel(visitor);
    return true;
}

bool CVtCoreApplication::LoadPluginFromFile(IVtPluginModule* module, const std::string& configFile) {
    if (module == nullptr || !QFileInfo::exists(local(configFile))) return false;
    const bool loaded = module->LoadPluginsFromFile(configFile);
    VtLogInfo() << VtGB("加载插件配置文件:") << configFile << "," << VtGB(loaded ? "成功" : "失败");
    return loaded;
}

void CVtCoreApplication::ArrangeLogs() {
    const QString executeDir = local(GetExecuteDir());
    for (const QString& name : logDirNames(executeDir)) {
        // rmdir removes only an empty directory, which is all that may go here.
        if (!QDir(executeDir).rmdir(name))
            VtLogWarn() << VtGB("警告：退出时，删除可执行目录下") << local(name) << VtGB("失败");
    }

    const QString logDir = local(GetLogDir());
    const QDateTime now = QDateTime::currentDateTime();
    std::map<qint64, QString> byAge;  // seconds old -> name; equal ages keep the later one
    for (const QString& name : logDirNames(logDir)) {
        QString stamp = name;
        stamp.remove(QLatin1String(kLogDirPrefix));
        const QDateTime time = QDateTime::fromString(stamp, QStringLiteral("yyyyMMddhhmmss"));
        if (!time.isValid()) continue;
        byAge[time.secsTo(now)] = name;
    }
    if (byAge.size() < kKeptLogDirs) return;
    std::size_t rank = 0;
    for (const auto& entry : byAge) {  // youngest first
        if (++rank <= kKeptLogDirs) continue;
        if (!QDir(QDir(logDir).filePath(entry.second)).removeRecursively())
            VtLogWarn() << VtGB("警告：退出时，删除日志目录下") << local(entry.second) << VtGB("失败");
    }
}
