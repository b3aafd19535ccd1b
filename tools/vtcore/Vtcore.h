#pragma once

#include <QStringList>
#include <QTextStream>

#include <QByteArray>

#include <atomic>
#include <functional>

// The vtcore command-line tool as a library: the program's main() and the tests call RunVtcore.
namespace VtCli {

// Exit codes.
constexpr int kExitOk = 0;
constexpr int kExitError = 1;        // bad arguments, unreadable input, failed write
constexpr int kExitIncomplete = 2;   // download ended with failed tiles; verify found problems
constexpr int kExitInterrupted = 130;

// Runs one command ("plan", "download", ...; args without the program name). Text goes to `out`,
// errors and progress to `err`. A QCoreApplication (a QGuiApplication for the grid source) must
// exist. Downloads stop cleanly when StopFlag() is raised.
int RunVtcore(const QStringList& args, QTextStream& out, QTextStream& err);

// Raised by SIGINT and SIGTERM once InstallInterruptHandler() ran (a second signal ends the
// process the default way); tests may raise it themselves. Cleared as plan, download and serve
// start; planning and downloading stop soon after it is raised, with kExitInterrupted.
std::atomic<bool>& StopFlag();
void InstallInterruptHandler();
// Whether standard error is a terminal (progress bar) or a pipe or file (progress lines).
bool StderrIsTerminal();
// Points standard output at the null device once the command's output is complete: the library's
// process-wide timer thread reports its shutdown on standard output, which would spoil output that
// other programs read (plan --json, tasks --json).
void DetachStdout();
// Runs `work` with the process's standard error (file descriptor 2) caught and returns what was
// written to it meanwhile (what fits a pipe; the rest is dropped). Libraries that print straight to
// it, such as libpng's default error handler, are kept off the terminal. No other thread should
// write to standard error meanwhile.
QByteArray CaptureStderr(const std::function<void()>& work);

}  // namespace VtCli
