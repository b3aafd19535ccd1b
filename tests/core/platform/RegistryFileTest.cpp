#include "core/platform/RegistryFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTextCodec>

#include <gtest/gtest.h>

namespace {

const char* const kKey = "HKEY_CLASSES_ROOT\\CLSID\\{74a777f8-7a8f-4e7c-af47-7074828086e2}\\InprocServer32";

QString writeFile(const QTemporaryDir& dir, const QByteArray& bytes) {
    const QString path = dir.filePath("registry.reg");
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return QString();
    f.write(bytes);
    return path;
}

}  // namespace

TEST(RegistryFile, ReadsDefaultValuesAndTellsFailuresApart) {
    struct Row {
        const char* what;
        QByteArray content;
        std::size_t buffer;
        IVtPlatform::E_REGISTRY_RESULT result;
        std::string value;
    };
    const QByteArray header = "Windows Registry Editor Version 5.00\r\n\r\n";
    const QByteArray section = QByteArray("[") + kKey + "]\r\n";
    const Row rows[] = {
        // escaped backslashes and quotes decode
        {"plain", header + section + "@=\"C:\\\\P\\\\Bin\\\\CADx64\\\\MxDrawX.ocx\"\r\n", 1024,
         IVtPlatform::REGISTRY_OK, "C:\\P\\Bin\\CADx64\\MxDrawX.ocx"},
        // key names compare without case; named values before the default are skipped
        {"case", header + "[hkey_classes_root\\clsid\\{74A777F8-7A8F-4E7C-AF47-7074828086E2}\\inprocserver32]\n"
                              "\"ThreadingModel\"=\"Apartment\"\n@=\"a\\\"b\"\n",
         1024, IVtPlatform::REGISTRY_OK, "a\"b"},
        // another key only
        {"missing key", header + "[HKEY_CLASSES_ROOT\\CLSID\\{other}]\n@=\"x\"\n", 1024,
         IVtPlatform::REGISTRY_OPEN_FAILED, ""},
        // the key without a default value
        {"no default", header + section + "\"ThreadingModel\"=\"Both\"\n[HKEY_CLASSES_ROOT\\X]\n@=\"x\"\n", 1024,
         IVtPlatform::REGISTRY_READ_FAILED, ""},
        // not a string value
        {"dword", header + section + "@=dword:00000001\n", 1024, IVtPlatform::REGISTRY_READ_FAILED, ""},
        // unterminated string
        {"damaged", header + section + "@=\"C:\\\\P\n", 1024, IVtPlatform::REGISTRY_READ_FAILED, ""},
        // exactly fills the buffer with its terminator, and one byte more
        {"fits", header + section + "@=\"" + QByteArray(1023, 'a') + "\"\n", 1024, IVtPlatform::REGISTRY_OK,
         std::string(1023, 'a')},
        {"too long", header + section + "@=\"" + QByteArray(1024, 'a') + "\"\n", 1024,
         IVtPlatform::REGISTRY_READ_FAILED, ""},
        // binary garbage
        {"garbage", QByteArray("\x00\xff\x13[\x01", 5), 1024, IVtPlatform::REGISTRY_OPEN_FAILED, ""},
        // no file at all
        {"missing", QByteArray(), 1024, IVtPlatform::REGISTRY_OPEN_FAILED, ""},
    };
    for (const Row& row : rows) {
        QTemporaryDir dir;
        const QString path = row.content.isNull() ? dir.filePath("absent.reg") : writeFile(dir, row.content);
        std::string value = "stale";
        EXPECT_EQ(ReadRegistryFileDefault(path, kKey, row.buffer, value), row.result) << row.what;
        EXPECT_EQ(value, row.value) << row.what;
    }
}

TEST(RegistryFile, ReadsUtf16ExportsWithByteOrderMark) {
    QTemporaryDir dir;
    const QString text = QString("Windows Registry Editor Version 5.00\r\n\r\n[") + kKey + "]\r\n@=\"D:\\\\数据\\\\x.ocx\"\r\n";
    QByteArray bytes("\xff\xfe", 2);
    bytes += QTextCodec::codecForName("UTF-16LE")->fromUnicode(text);
    std::string value;
    ASSERT_EQ(ReadRegistryFileDefault(writeFile(dir, bytes), kKey, 1024, value), IVtPlatform::REGISTRY_OK);
    EXPECT_EQ(QString::fromLocal8Bit(value.c_str()), QString::fromUtf8("D:\\数据\\x.ocx"));
}
