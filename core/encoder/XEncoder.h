#pragma once

#include <string>

// Stand-in for the closed encoder library's XEncoder: only the call the library makes.
class XEncoder {
public:
    XEncoder() = delete;

    // A new random (version 4) UUID, upper-case, without braces:
    // "90D13959-5D38-437B-84E8-FA7DD3A64EC9". Unique on every call, from any thread.
    static std::string generateUUID();
};
