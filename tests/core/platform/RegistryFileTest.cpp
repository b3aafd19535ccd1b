#include "../CoreTest.h"
#include "core/platform/RegistryFile.h"

TEST(RegistryFile, ReadsDefaultValuesOfAnsiAndUtf16ExportsAndTellsFailuresApart) {
    const char* const kKey = "HKEY_CLASSES_ROOT\\CLSID\\{74a777f8-7a8f-4e7c-af47-7074828086e2}\\InprocServer32";
    const QByteArray header = "Windows Registry Editor Version 5.00\r\n\r\n", section = QByteArray("[") + kKey + "]\r\n";
    // A null content: no file at all.
    using Result = IVtPlatform::E_REGISTRY_RESULT;
    const struct Row { const char* what; QByteArray content; Result result; std::string value; } rows[] = {
        {"escaped backslashes", header + section + "@=\"C:\\\\P\\\\Bin\\\\MxDrawX.ocx\"\r\n", IVtPlatform::REGISTRY_OK, "C:\\P\\Bin\\MxDrawX.ocx"},
        {"key names without case, named values skipped, escaped quote",
         header + "[hkey_classes_root\\clsid\\{74A777F8-7A8F-4E7C-AF47-7074828086E2}\\inprocserver32]\n"
                  "\"ThreadingModel\"=\"Apartment\"\n@=\"a\\\"b\"\n", IVtPlatform::REGISTRY_OK, "a\"b"},
        {"another key, ours unterminated", header + "[HKEY_CLASSES_ROOT\\CLSID\\{other}]\n@=\"x\"\n[" + kKey + "\n@=\"y\"\n", IVtPlatform::REGISTRY_OPEN_FAILED, ""},
        {"no default", header + section + "\"ThreadingModel\"=\"Both\"\n[HKEY_CLASSES_ROOT\\X]\n@=\"x\"\n", IVtPlatform::REGISTRY_READ_FAILED, ""},
        {"not a string", header + section + "@=dword:00000001\n", IVtPlatform::REGISTRY_READ_FAILED, ""},
        {"unterminated", header + section + "@=\"C:\\\\P\n", IVtPlatform::REGISTRY_READ_FAILED, ""},
        {"fills the buffer with its terminator", header + section + "@=\"" + QByteArray(1023, 'a') + "\"\n", IVtPlatform::REGISTRY_OK, std::string(1023, 'a')},
        {"one byte more", header + section + "@=\"" + QByteArray(1024, 'a') + "\"\n", IVtPlatform::REGISTRY_READ_FAILED, ""},
        {"missing", QByteArray(), IVtPlatform::REGISTRY_OPEN_FAILED, ""},
        {"UTF-16 with a byte-order mark", QByteArray("\xff\xfe", 2) + ConvertQStringToQByteArray(QString::fromUtf8(header + section + "@=\"D:\\\\数据\\\\x.ocx\"\r\n"), "UTF-16LE"),
         IVtPlatform::REGISTRY_OK, QString::fromUtf8("D:\\数据\\x.ocx").toLocal8Bit().toStdString()},
    };
    QTemporaryDir dir;
    const QString path = dir.filePath("registry.reg");
    for (const Row& row : rows) {
        QFile::remove(path);
        ASSERT_TRUE(row.content.isNull() || touch(path, row.content));
        std::string value = "stale";
        EXPECT_EQ(ReadRegistryFileDefault(path, kKey, 1024, value), row.result) << row.what;
        EXPECT_EQ(value, row.value) << row.what;
    }
}
