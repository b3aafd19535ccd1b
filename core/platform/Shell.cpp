#include "core/platform/Shell.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QMetaObject>
#include <QThread>

bool VtShellOpenUrl(const QUrl& url) {
    // QDesktopServices needs the GUI application's platform integration; without one it would crash.
    QGuiApplication* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (app == nullptr || !url.isValid()) return false;
    if (QThread::currentThread() != app->thread()) {
        return QMetaObject::invokeMethod(app, [url]() { QDesktopServices::openUrl(url); }, Qt::QueuedConnection);
    }
    return QDesktopServices::openUrl(url);
}
