// vtcore: plan, download, inspect, verify and export tile depositories from a shell.
// Run "vtcore help" for the commands.
#include "tools/vtcore/Vtcore.h"

#include <QGuiApplication>
#include <QTextCodec>
#include <QtGlobal>

#include <cstdio>

namespace {
// Qt's own diagnostics (missing runtime directory of the offscreen platform and the like) are not
// the tool's output; only critical messages get through.
void QuietQtMessages(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtCriticalMsg || type == QtFatalMsg) std::fprintf(stderr, "%s\n", qPrintable(text));
}
}  // namespace

int main(int argc, char** argv) {
    // Tiles are drawn into images only; no display is needed or wanted.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(QuietQtMessages);
    QGuiApplication app(argc, argv);
    VtCli::InstallInterruptHandler();
    QTextStream out(stdout);
    QTextStream err(stderr);
    out.setCodec(QTextCodec::codecForName("UTF-8"));
    err.setCodec(QTextCodec::codecForName("UTF-8"));
    const int code = VtCli::RunVtcore(app.arguments().mid(1), out, err);
    out.flush();
    err.flush();
    VtCli::DetachStdout();
    return code;
}

// Qt's platform plug-in and font machinery keep process-lifetime allocations that they never free;
// LeakSanitizer (sanitizer builds) would report them on every run. Our own leaks are still reported.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libQt5Gui.so\n"
           "leak:libqoffscreen.so\n"
           "leak:libfontconfig.so\n";
}
