#include "../CoreTest.h"
#include "core/io/XPath.h"

using IOx::XPath;

TEST(XPath, NormalisationKeepsMultiByteCharactersWhole) {
    const std::pair<const char*, const char*> rows[] = {
        {"C:\\maps\\.\\plugins\\..\\bin\\x.dll", "C:/maps/bin/x.dll"}, {"/a//b/", "/a/b"}, {"/..", "/"},
        {"/a/../../b", "/b"},     // never above the root
        {"../a/./b/..", "../a"},  // what a relative path cannot resolve stays
        {"a/../..", ".."}, {".", ""}, {"", ""},
    };
    for (const auto& [in, out] : rows) EXPECT_EQ(XPath::Normalize(in), out) << in;
    const XPath p("/opt/plugins/PluginMap.dll.bak");
    EXPECT_EQ(p.FileName(), "PluginMap.dll.bak");
    EXPECT_EQ(p.BaseName(), "PluginMap");
    EXPECT_EQ(p.Parent().ToString(), "/opt/plugins");
    EXPECT_EQ(XPath("/x").Parent().ToString(), "/");
    EXPECT_EQ((XPath("/opt") / "..\\etc").ToString(), "/etc");
    // 誠 and 淺 end in 0x5C in GB18030 and stay whole; 𠀀 is a four-byte sequence; a lead byte cut
    // off at the end is kept as it is.
    const XPath chinese("/tmp/" + gb(QString::fromUtf8("誠信\\淺/𠀀")) + "/..\\" + gb(QString::fromUtf8("插件")));
    EXPECT_EQ(chinese.ToString(), "/tmp/" + gb(QString::fromUtf8("誠信/淺/插件")));
    EXPECT_EQ(XPath("/" + gb(QString::fromUtf8("誠"))).FileName(), gb(QString::fromUtf8("誠")));
    EXPECT_EQ(XPath::Normalize("a/\xD5"), "a/\xD5");
}
