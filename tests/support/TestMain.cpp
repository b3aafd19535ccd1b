#include <QGuiApplication>
#include <QtGlobal>

#include <gtest/gtest.h>

// Every test program gets a Qt application object: event loops, timers, network replies and
// image and font services need one. No display is used.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

// Qt's platform plug-in and font machinery keep process-lifetime allocations that they never free;
// LeakSanitizer would report them in every test program. Our own leaks are still reported.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libQt5Gui.so\n"
           "leak:libqoffscreen.so\n"
           "leak:libfontconfig.so\n";
}

// LeakSanitizer can misread the thread-local block of the JPEG library Qt loads and crash at exit.
extern "C" const char* __asan_default_options() { return "intercept_tls_get_addr=0"; }
