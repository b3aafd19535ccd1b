// Process-level services of the tool: the interrupt flag and the terminal test. The tool is a
// host program, so it may use the C and POSIX interfaces directly.
#include "tools/vtcore/Vtcore.h"

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace VtCli {
namespace {

std::atomic<bool> g_stop{false};

extern "C" void OnInterrupt(int sig) {
    g_stop.store(true);
    // A second Ctrl-C must still be able to end a stuck process.
    std::signal(sig, SIG_DFL);
}

}  // namespace

std::atomic<bool>& StopFlag() { return g_stop; }

void InstallInterruptHandler() {
    static_assert(std::atomic<bool>::is_always_lock_free, "the flag is set from a signal handler");
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
}

bool StderrIsTerminal() { return isatty(fileno(stderr)) == 1; }

void DetachStdout() {
    std::fflush(stdout);
    const int null = open("/dev/null", O_WRONLY);
    if (null < 0) return;
    dup2(null, fileno(stdout));
    close(null);
}

QByteArray CaptureStderr(const std::function<void()>& work) {
    int fds[2];
    std::fflush(stderr);
    const int saved = dup(fileno(stderr));
    if (saved < 0 || pipe2(fds, O_CLOEXEC) != 0) {
        if (saved >= 0) close(saved);
        work();
        return QByteArray();
    }
    // A full pipe must not block the writer: its further words are lost instead.
    fcntl(fds[1], F_SETFL, fcntl(fds[1], F_GETFL) | O_NONBLOCK);
    dup2(fds[1], fileno(stderr));
    close(fds[1]);
    work();
    std::fflush(stderr);
    dup2(saved, fileno(stderr));
    close(saved);
    QByteArray said;
    char buf[4096];
    for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) said.append(buf, int(n));
    close(fds[0]);
    return said;
}

}  // namespace VtCli
