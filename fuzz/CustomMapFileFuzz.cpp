// "MyMap.bin" is read back from disk at every start: loading must never crash, must take only whole
// items that have a "type", and whatever it took must save and load back unchanged. Inputs are
// used both as a file of their own and as damage applied to a valid catalogue (flipped bytes and a
// cut), so the binary JSON validator sees near-valid documents.
#include "catalog/CustomMapManager.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtGlobal>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void Quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

QByteArray ValidCatalogue() {
    QJsonArray items;
    items.append(QJsonObject{{"type", "online"}, {"Index", 1}, {"Name", QString::fromUtf8("地图")},
                             {"MapUrl", "http://t/{z}/{x}/{y}"}, {"WGS84", true}, {"ThemeType", 0}});
    items.append(QJsonObject{{"type", "offline"}, {"name", "o"}, {"path", "/p"}, {"ThemeType", 7}});
    items.append(QJsonObject{{"name", "typeless"}, {"ThemeType", 3}});
    const QJsonObject root{{"version", "1.0.0"}, {"items", items}, {"MaxTheme", 8}};
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    return QJsonDocument(root).toBinaryData();
#pragma GCC diagnostic pop
}

void Check(const QByteArray& bytes, const QString& file) {
    CCustomMapManager::MaxTheme = 0;
    CCustomMapManager loaded(QString{});
    loaded.LoadBytes(bytes);
    for (auto it = loaded.constBegin(); it != loaded.constEnd(); ++it) {
        if (it.value().IsEmpty()) std::abort();  // an item without "type" got in
    }
    if (loaded.isEmpty()) return;
    // Round trip through a real file.
    loaded.SetFilePath(file);
    if (!loaded.Save()) std::abort();
    const int maxTheme = CCustomMapManager::MaxTheme;
    CCustomMapManager::MaxTheme = -1;
    CCustomMapManager again(file);
    if (again.keys() != loaded.keys() || CCustomMapManager::MaxTheme != maxTheme) std::abort();
    for (auto it = loaded.constBegin(); it != loaded.constEnd(); ++it) {
        QJsonObject expected = it.value().Object();
        expected.insert("ThemeType", it.key());
        // Compared as text: a NaN that the damage produced never equals itself.
        if (QJsonDocument(again.value(it.key()).Object()).toJson() != QJsonDocument(expected).toJson()) std::abort();
    }
    again.SetFilePath(QString{});
    loaded.SetFilePath(QString{});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool quiet = [] {
        qInstallMessageHandler(&Quiet);  // every rejected file writes a debug message
        return true;
    }();
    (void)quiet;
    static QTemporaryDir dir;
    static const QByteArray valid = ValidCatalogue();
    const QString file = dir.filePath("MyMap.bin");
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<int>(size));
    Check(input, file);

    // Damage the valid catalogue: pairs of (position, xor) bytes, the last byte choosing a cut.
    QByteArray damaged = valid;
    for (size_t i = 0; i + 1 < size; i += 2) {
        const int pos = data[i] % damaged.size();
        damaged[pos] = static_cast<char>(damaged[pos] ^ data[i + 1]);
    }
    if (size % 2 == 1) damaged.truncate(static_cast<int>(data[size - 1] * damaged.size() / 255));
    Check(damaged, file);
    return 0;
}

// Short seeds: after the driver's few edits they damage the valid catalogue in one or two places.
extern "C" const char* const* VtFuzzSeeds() {
    static const char* const seeds[] = {"", "\x01", "\x10\x01", "\x40\x80\x7f", "\x0c\xff\x30\x01\x20", nullptr};
    return seeds;
}
