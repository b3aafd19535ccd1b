#include "core/platform/Shell.h"

#if !defined(_WIN32)

#include <QFileInfo>

bool VtShellRevealFile(const QString& absoluteFilePath) {
    return VtShellOpenUrl(QUrl::fromLocalFile(QFileInfo(absoluteFilePath).absolutePath()));
}

#endif
