#pragma once

#include <array>
#include <cstdint>
#include <string>

// Everything the library asks of the operating system, behind one interface so that the rest of
// the tree never tests for a platform. One implementation per platform lives beside this header
// (PlatformLinux.cpp); tests may install a replacement with SetVtPlatform.
class IVtPlatform {
public:
    // Outcome of a registry lookup; the registry stand-in keeps "cannot open" and "cannot read"
    // apart because callers report them differently.
    enum E_REGISTRY_RESULT { REGISTRY_OK = 0, REGISTRY_OPEN_FAILED = 1, REGISTRY_READ_FAILED = 2 };

    virtual ~IVtPlatform() = default;

    // Absolute file name of the running executable, native separators; "" when unknown.
    virtual std::string ExecutablePath() const = 0;

    // Virtual address space the process may still reserve, in bytes; false when unknown.
    virtual bool AvailableVirtualBytes(std::uint64_t& bytes) const = 0;
    // Physical memory the process occupies now (its working set / resident set), in bytes;
    // false when the process counters cannot be read.
    virtual bool WorkingSetBytes(std::uint64_t& bytes) const = 0;
    // Hands freed memory back to the operating system; false when nothing could be done.
    virtual bool TrimWorkingSet() = 0;

    // The processor identification instruction for one leaf: eax, ebx, ecx, edx.
    // False (and all zero) on processors without it or for a leaf beyond the highest one.
    virtual bool Cpuid(std::uint32_t leaf, std::array<std::uint32_t, 4>& regs) const = 0;

    // File-name suffix of loadable libraries, with the dot (".so", ".dll", ".dylib").
    virtual std::string LibrarySuffix() const = 0;

    // Default (unnamed) string value of a key under the classes root, e.g.
    // "CLSID\{...}\InprocServer32". A value that does not fit bufferBytes (terminator included)
    // is a read failure, so a caller never sees a cut path.
    virtual E_REGISTRY_RESULT ReadClassesRootDefault(const std::string& subKey, std::size_t bufferBytes,
                                                     std::string& value) const = 0;

    // Applies a thread priority level of the calling thread: 15 time-critical, 2 highest,
    // 1 above normal, 0 normal, -1 below normal, -2 lowest, -15 idle. Best effort.
    virtual bool SetCurrentThreadPriority(int level) = 0;
    // Names the calling thread for debuggers (may be shortened by the platform).
    virtual void SetCurrentThreadName(const std::string& name) = 0;
};

// The implementation of the platform this library was built for.
class CVtNativePlatform : public IVtPlatform {
public:
    std::string ExecutablePath() const override;
    bool AvailableVirtualBytes(std::uint64_t& bytes) const override;
    bool WorkingSetBytes(std::uint64_t& bytes) const override;
    bool TrimWorkingSet() override;
    bool Cpuid(std::uint32_t leaf, std::array<std::uint32_t, 4>& regs) const override;
    std::string LibrarySuffix() const override;
    E_REGISTRY_RESULT ReadClassesRootDefault(const std::string& subKey, std::size_t bufferBytes,
                                             std::string& value) const override;
    bool SetCurrentThreadPriority(int level) override;
    void SetCurrentThreadName(const std::string& name) override;
};

// The platform in use: the native one unless a replacement was installed.
IVtPlatform& GetVtPlatform();
// Installs a replacement (not owned; null restores the native one); returns the previous one.
IVtPlatform* SetVtPlatform(IVtPlatform* platform);

// The registry stand-in on platforms without a registry reads a text file in the format of an
// exported registry file (see README, "Registry stand-in"). Its path is taken from the
// environment variable VTCORE_REGISTRY_FILE, else "<user config dir>/VtCore141/registry.reg";
// SetVtRegistryFile overrides both ("" returns to them).
void SetVtRegistryFile(const std::string& path);
std::string GetVtRegistryFile();
