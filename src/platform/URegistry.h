// The Windows registry, for the settings store's registry mode. Only the Windows build defines
// this (win32/URegistry.cpp): other systems have no registry, and there the store keeps each
// key as an INI file in the user's configuration folder instead.
#pragma once

#include "platform/UPlatform.h"

#include <optional>
#include <string>

namespace platform {

enum class TRegistryRoot { CurrentUser, LocalMachine };

enum class TRegistryAccess {
    Read,     // query values; the key must exist
    ReadWrite // query and set values, create sub-keys; missing keys are created
};

// One open registry key; closed when destroyed. Paths are ANSI strings with '\' between the
// key names, as the A forms of the registry calls take them.
class TRegistryKey {
public:
    TRegistryKey() = default;
    ~TRegistryKey();
    TRegistryKey(TRegistryKey&& other) noexcept;
    TRegistryKey& operator=(TRegistryKey&& other) noexcept;
    TRegistryKey(const TRegistryKey&) = delete;
    TRegistryKey& operator=(const TRegistryKey&) = delete;

    // The key `path` below a root; not open when it cannot be opened (or, for reading, does not
    // exist). An empty path opens the root.
    static TRegistryKey Open(TRegistryRoot root, const std::string& path, TRegistryAccess access);
    bool IsOpen() const { return handle_ != nullptr; }

    // A value as text: REG_SZ and REG_EXPAND_SZ as stored (up to a NUL, not expanded), REG_DWORD
    // and REG_QWORD as signed decimal numbers. Nothing for a missing value or another type.
    std::optional<std::string> ReadValue(const std::string& name) const;
    // Sets a REG_SZ value.
    TIoResult WriteString(const std::string& name, const std::string& value);
    TIoResult DeleteValue(const std::string& name);

private:
    explicit TRegistryKey(void* handle) : handle_(handle) {}
    void* handle_ = nullptr; // the HKEY
};

} // namespace platform
