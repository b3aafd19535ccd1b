// Property-set JSON is read from files: FromJson must never crash or throw, must leave the set as it
// was when it fails, and whatever it reads must write out and read back to the same text.
#include "core/PropertySetObject.h"
#include "core/log/VtLog.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void check(const std::string& json) {
    CPropertySetObject set;
    set.SetProperty("keep", 1);
    const std::string before = set.ToJson();
    if (!set.FromJson(json)) {
        if (set.ToJson() != before) std::abort();
        return;
    }
    if (set.GetProperty("keep") != QVariant(1)) std::abort();  // present keys keep their value
    const std::string first = set.ToJson();
    CPropertySetObject again;
    if (!again.FromJson(first)) std::abort();
    if (again.ToJson() != first) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool quiet = [] {
        // Every call writes Info records; keep the fuzzer's memory flat.
        VtEnableAllLogModuleLevel(VTLOG_LEVEL_ALL, false);
        return true;
    }();
    (void)quiet;
    check(std::string(reinterpret_cast<const char*>(data), size));
    return 0;
}

extern "C" const char* const* VtFuzzSeeds() {
    static const char* const seeds[] = {
        "{\"a\":1,\"b\":-2,\"c\":4000000000,\"d\":18446744073709551615,\"e\":-9223372036854775808}",
        "{\"s\":\"\xC4\xE3\xBA\xC3\",\"t\":\"\\u4e2d\\n\",\"f\":1.5e300,\"g\":true,\"h\":false}",
        "{\"arr\":[1,2,{\"x\":null}],\"obj\":{\"y\":[]},\"n\":null}",
        "// comment\n{\"a\":0.1 /* c */}",
        "[1,2,3]",
        "\"text\"",
        "{\"keep\":2,\"keep\":3}",
        nullptr,
    };
    return seeds;
}
