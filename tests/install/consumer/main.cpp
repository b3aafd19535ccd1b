// A host application in miniature: links the installed library and uses its public API.
#include <core/log/VtLog.h>

#include <cstdio>

int main() {
    CVtLogCapture capture;
    VtLogInfo() << "[consumer] " << 42;
    if (!capture.Contains("[consumer] 42")) return 1;
    std::puts("consumer ok");
    return 0;
}
