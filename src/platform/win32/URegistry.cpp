// The registry through the A forms of the Reg* calls.
#include "platform/URegistry.h"

#include "platform/win32/UWin32Io.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <utility>

namespace platform {

namespace {

HKEY RootKey(TRegistryRoot root) {
    return root == TRegistryRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

HKEY OpenBelow(HKEY parent, const std::string& path, TRegistryAccess access) {
    HKEY key = nullptr;
    const LSTATUS status =
        access == TRegistryAccess::Read
            ? ::RegOpenKeyExA(parent, path.c_str(), 0, KEY_READ, &key)
            : ::RegCreateKeyExA(parent, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                KEY_READ | KEY_WRITE, nullptr, &key, nullptr);
    return status == ERROR_SUCCESS ? key : nullptr;
}

TIoResult ResultOf(LSTATUS status) {
    const int error = win32::ErrnoOf(status);
    return TIoResult{status == ERROR_SUCCESS ? 0 : (error != 0 ? error : EIO)};
}

} // namespace

TRegistryKey::~TRegistryKey() {
    if (handle_ != nullptr) {
        ::RegCloseKey(static_cast<HKEY>(handle_));
    }
}

TRegistryKey::TRegistryKey(TRegistryKey&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)) {}

TRegistryKey& TRegistryKey::operator=(TRegistryKey&& other) noexcept {
    if (this != &other) {
        if (handle_ != nullptr) {
            ::RegCloseKey(static_cast<HKEY>(handle_));
        }
        handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
}

TRegistryKey TRegistryKey::Open(TRegistryRoot root, const std::string& path,
                                TRegistryAccess access) {
    return TRegistryKey(OpenBelow(RootKey(root), path, access));
}

std::optional<std::string> TRegistryKey::ReadValue(const std::string& name) const {
    if (handle_ == nullptr) {
        return std::nullopt;
    }
    const HKEY key = static_cast<HKEY>(handle_);
    std::string data;
    DWORD type = REG_NONE;
    DWORD size = 0;
    LSTATUS status = ::RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size);
    // The value may grow between the two calls: ask again until it fits.
    while (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
        data.resize(size);
        status = ::RegQueryValueExA(key, name.c_str(), nullptr, &type,
                                    reinterpret_cast<BYTE*>(data.data()), &size);
        if (status == ERROR_SUCCESS) {
            data.resize(size);
            break;
        }
    }
    if (status != ERROR_SUCCESS) {
        return std::nullopt;
    }
    switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
        return data.substr(0, data.find('\0'));
    case REG_DWORD:
        if (data.size() == sizeof(std::uint32_t)) {
            std::uint32_t v = 0;
            std::memcpy(&v, data.data(), sizeof v);
            return std::to_string(static_cast<std::int32_t>(v));
        }
        return std::nullopt;
    case REG_QWORD:
        if (data.size() == sizeof(std::uint64_t)) {
            std::uint64_t v = 0;
            std::memcpy(&v, data.data(), sizeof v);
            return std::to_string(static_cast<std::int64_t>(v));
        }
        return std::nullopt;
    default:
        return std::nullopt;
    }
}

TIoResult TRegistryKey::WriteString(const std::string& name, const std::string& value) {
    if (handle_ == nullptr) {
        return TIoResult{EBADF};
    }
    // The stored size counts the terminating NUL.
    return ResultOf(::RegSetValueExA(static_cast<HKEY>(handle_), name.c_str(), 0, REG_SZ,
                                     reinterpret_cast<const BYTE*>(value.c_str()),
                                     static_cast<DWORD>(value.size() + 1)));
}

TIoResult TRegistryKey::DeleteValue(const std::string& name) {
    if (handle_ == nullptr) {
        return TIoResult{EBADF};
    }
    return ResultOf(::RegDeleteValueA(static_cast<HKEY>(handle_), name.c_str()));
}

} // namespace platform
