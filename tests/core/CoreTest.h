#pragma once
// Small helpers shared by the core tests (header-only: the plug-in test program links no support library).
#include "core/TextConvert.h"
#include "core/log/VtLog.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

// Writes a file (and its missing parent directories).
inline bool touch(const QString& path, const QByteArray& bytes = "x") {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The file's UTF-8 text; empty when it cannot be read.
inline QString readText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

inline std::string gb(const QString& text) { return ConvertQStringToStdString(text, "GB18030"); }
inline QString ungb(const std::string& text) { return ConvertStdStringToQString(text, "GB18030"); }

// Polls until pred holds; the deadline is generous for a loaded machine, correct code needs milliseconds.
template <typename Pred>
bool waitFor(Pred pred) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}
