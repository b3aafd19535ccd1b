#include "core/platform/Shell.h"

#if defined(_WIN32)

#include <QDir>

#include <windows.h>
#include <shellapi.h>

bool VtShellRevealFile(const QString& absoluteFilePath) {
    const QString args = QStringLiteral("/select,\"") + QDir::toNativeSeparators(absoluteFilePath) + QStringLiteral("\"");
    const HINSTANCE result = ::ShellExecuteW(nullptr, L"open", L"explorer.exe",
                                             reinterpret_cast<LPCWSTR>(args.utf16()), nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) > 32;  // ShellExecute reports success as a value above 32
}

#endif
