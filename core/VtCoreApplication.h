#pragma once

#include "core/VtCoreExport.h"

#include <string>
#include <vector>

class IVtPluginModule;

// The process-wide application object: versions and flags, the product's directory tree,
// memory housekeeping, supported file formats, the CAD control checks and the two plug-in
// modules (system and user). Only GetInstance is safe against concurrent first use; everything
// else belongs to the host's main thread. Directory strings use "/" and end in "/".
class VTCORE_EXPORT CVtCoreApplication {
public:
    // The one instance, built on first call and destroyed at process exit.
    static CVtCoreApplication* GetInstance();

    CVtCoreApplication(const CVtCoreApplication&) = delete;
    CVtCoreApplication& operator=(const CVtCoreApplication&) = delete;

    // Opens the log ("VtCoreLog" + local time stamp, in GetLogDir()), writes the start record and
    // creates the system and user plug-in modules. Always true.
    bool Setup();
    // Unloads user, then system plug-ins, then prunes old log directories.
    void Cleanup();

    void SetMajorVersion(int v) { m_nMajorVersion = v; }
    int GetMajorVersion() const { return m_nMajorVersion; }
    void SetMinorVersion(int v) { m_nMinorVersion = v; }
    int GetMinorVersion() const { return m_nMinorVersion; }
    void SetIteratorVersion(int v) { m_nIteratorVersion = v; }
    int GetIteratorVersion() const { return m_nIteratorVersion; }
    void SetBuildVersion(int v) { m_nBuildVersion = v; }
    int GetBuildVersion() const { return m_nBuildVersion; }

    void SetUseDebug(bool b) { m_bUseDebug = b; }
    bool IsUseDebug() const { return m_bUseDebug; }
    void SetUseDebugNetwork(bool b) { m_bUseDebugNetwork = b; }
    bool IsUseDebugNetwork() const { return m_bUseDebugNetwork; }
    void SetUseNetProxy(bool b) { m_bUseNetProxy = b; }
    bool IsUseNetProxy() const { return m_bUseNetProxy; }
    void SetApplicationExitStatus(bool b) { m_bApplicationExit = b; }
    bool GetApplicationExitStatus() const { return m_bApplicationExit; }
    void SetOpenGLAvailable(bool b) { m_bOpenGLAvailable = b; }
    bool GetOpenGLAvailable() const { return m_bOpenGLAvailable; }
    void SetOfficialURL(const std::string& url) { m_strOfficialURL = url; }
    std::string GetOfficialURL() const { return m_strOfficialURL; }

    // The executable's directory, normalised; computed on every call.
    std::string GetExecuteDir() const;
    // The stored product directory, or else the executable directory less its last two names
    // (C:/P/Bin/Releasex64/ gives C:/P/). Evaluated on every call.
    std::string GetProductDir() const;
    std::string GetDataDir() const;      // product + "Data/"
    std::string GetGDALDataDir() const;  // data + "gdal_data/"
    std::string GetLogDir() const;       // data + "Log/"
    std::string GetTestDir() const;      // product + "Test/"
    std::string GetConfigDir() const;    // product + "Config/"
    std::string GetProfileDir() const;   // config + "Profiles/"
    std::string GetGDALLogFile() const;  // log + "gdal.log"
    std::string GetDefaultSaveDir() const { return m_strDefaultSaveDir; }
    // Stored as given ("" returns to the derived product directory).
    void SetProductDir(const std::string& dir) { m_strProductDir = dir; }
    void SetDefaultSaveDir(const std::string& dir) { m_strDefaultSaveDir = dir; }
    // Creates, one level each and in this order, the product, data, log, GDAL data, config and
    // profile directories that do not exist.
    void CreateProductContent();

    // The processor signature (leaf 1, eax) as eight upper-case hexadecimal digits.
    std::string GetCpuID() const { return m_strCpuID; }

    // In MB: 80 % of the virtual address space that was free when the object was built.
    double GetMemorySafeThreshold() const { return m_dMemorySafeThreshold; }
    // The working set in whole MB; -1.0 when it cannot be read.
    double CheckCurrentMemorySize() const;
    bool IsBeyondMemorySafeThreshold() const;
    // Hands the process's free memory back to the system.
    void TrimMemoryChip();

    // Patterns have the form "*.ext"; `listA` picks list A (true) or list B (false).
    // Adds unless shorter than 2 characters, without "*.", or already listed.
    void AddSupportFileFormat(const std::string& pattern, bool listA);
    void AddSupportFileFormats(const std::vector<std::string>& patterns, bool listA);
    // Removes the first equal entry.
    void RemoveSupportFileFormat(const std::string& pattern, bool listA);
    void RemoveSupportFileFormats(const std::vector<std::string>& patterns, bool listA);
    // Replaces the list without checks.
    void SetSupportFileFormat(const std::vector<std::string>& patterns, bool listA);
    std::vector<std::string> GetSupportFileFormat(bool listA) const;
    // True when some pattern's extension begins with `extension` (no dot), compared without case.
    bool IsSupportFileFormat(const std::string& extension, bool listA) const;

    // All 50 files of the CAD control exist under the product directory; else an error record
    // names the first missing one.
    bool IsMxCtrlComplete() const;
    // The control's registration points at product + "Bin/CADx64/MxDrawX.ocx" (compared without case).
    bool IsMxCtrlAvailable() const;
    bool IsMxCtrlCompleteAvailable() const;

    // A plug-in configuration file into the system / user module; false before Setup, after
    // unloading, or when the file does not exist.
    bool LoadSystemPlugin(const std::string& configFile);
    bool LoadUserPlugin(std::string configFile);
    // Unloads and deletes the module if it exists; always true.
    bool UnloadSystemPlugin();
    bool UnloadUserPlugin();
    // Loads the plug-in libraries in executable dir + subDir + "/" (see README, "Plug-ins");
    // false only for a null module.
    bool LoadPlugins(IVtPluginModule* module, const std::string& subDir);
    bool LoadPluginFromFile(IVtPluginModule* module, const std::string& configFile);
    IVtPluginModule* GetSystemPluginModule() const { return m_pSystemPluginModule; }
    IVtPluginModule* GetUserPluginModule() const { return m_pUserPluginModule; }

    // Removes empty "VtCoreLog*" directories beside the executable and keeps only the 21 youngest
    // "VtCoreLog<yyyyMMddhhmmss>" directories in the log directory.
    void ArrangeLogs();

private:
    CVtCoreApplication();
    ~CVtCoreApplication();

    std::vector<std::string>& formats(bool listA) { return listA ? m_vecFormatsA : m_vecFormatsB; }
    const std::vector<std::string>& formats(bool listA) const { return listA ? m_vecFormatsA : m_vecFormatsB; }

    bool m_bUseDebug;
    bool m_bUseDebugNetwork;
    bool m_bApplicationExit;
    bool m_bOpenGLAvailable;
    bool m_bUseNetProxy;
    double m_dMemorySafeThreshold;  // MB
    int m_nMajorVersion;
    int m_nMinorVersion;
    int m_nIteratorVersion;
    int m_nBuildVersion;
    std::string m_strProductDir;  // "" means: derive from the executable
    std::string m_strDefaultSaveDir;
    std::string m_strOfficialURL;
    std::string m_strCpuID;
    IVtPluginModule* m_pSystemPluginModule;  // owned; null until Setup and after unloading
    IVtPluginModule* m_pUserPluginModule;    // owned; likewise
    std::vector<std::string> m_vecFormatsA;
    std::vector<std::string> m_vecFormatsB;
};
