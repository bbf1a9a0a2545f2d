// Shortcuts through the shell's COM link object; special folders from SHGetFolderPathA.
#include "platform/UShellLink.h"

#include "platform/win32/UWin32Io.h"

#include <objbase.h>
#include <shlobj.h>

#include <cerrno>
#include <utility>

namespace platform {

namespace {

// COM for the calling thread, for as long as the scope lives. A thread already in the other
// apartment model keeps it (RPC_E_CHANGED_MODE): the link object works in either.
class TComScope {
public:
    TComScope()
        : hr_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
    ~TComScope() {
        if (SUCCEEDED(hr_)) {
            ::CoUninitialize();
        }
    }
    TComScope(const TComScope&) = delete;
    TComScope& operator=(const TComScope&) = delete;
    HRESULT Result() const { return hr_ == RPC_E_CHANGED_MODE ? S_OK : hr_; }

private:
    HRESULT hr_;
};

// Releases one interface pointer.
template <class T> class TComRef {
public:
    TComRef() = default;
    ~TComRef() {
        if (p_ != nullptr) {
            p_->Release();
        }
    }
    TComRef(const TComRef&) = delete;
    TComRef& operator=(const TComRef&) = delete;
    T* operator->() const { return p_; }
    void** Out() { return reinterpret_cast<void**>(&p_); }

private:
    T* p_ = nullptr;
};

int ErrnoOfResult(HRESULT hr) {
    if (HRESULT_FACILITY(hr) == FACILITY_WIN32) {
        const int error = win32::ErrnoOf(HRESULT_CODE(hr));
        return error != 0 ? error : EIO;
    }
    if (hr == E_OUTOFMEMORY) {
        return ENOMEM;
    }
    return hr == E_INVALIDARG ? EINVAL : EIO;
}

bool ToWide(const std::string& text, std::wstring& wide) {
    if (text.empty()) {
        wide.clear();
        return true;
    }
    const int n = ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text.data(),
                                        static_cast<int>(text.size()), nullptr, 0);
    if (n <= 0) {
        return false;
    }
    wide.assign(static_cast<size_t>(n), L'\0');
    return ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text.data(),
                                 static_cast<int>(text.size()), wide.data(), n) == n;
}

} // namespace

int WriteShellLink(const std::string& linkPath, const TShellLinkFields& fields) {
    if (linkPath.empty() || linkPath.size() >= MAX_PATH || fields.Target.size() >= MAX_PATH ||
        fields.WorkingDirectory.size() >= MAX_PATH) {
        return ENAMETOOLONG;
    }
    if (fields.Target.empty()) {
        return EINVAL;
    }
    std::wstring widePath;
    if (!ToWide(linkPath, widePath)) {
        return EILSEQ;
    }
    const TComScope com;
    if (FAILED(com.Result())) {
        return ErrnoOfResult(com.Result());
    }
    TComRef<IShellLinkA> link;
    HRESULT hr = ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                    link.Out());
    if (FAILED(hr)) {
        return ErrnoOfResult(hr);
    }
    TComRef<IPersistFile> file;
    if (FAILED(hr = link->SetPath(fields.Target.c_str())) ||
        FAILED(hr = link->SetArguments(fields.Arguments.c_str())) ||
        FAILED(hr = link->SetDescription(fields.Description.c_str())) ||
        FAILED(hr = link->SetWorkingDirectory(fields.WorkingDirectory.c_str())) ||
        FAILED(hr = link->QueryInterface(IID_IPersistFile, file.Out())) ||
        FAILED(hr = file->Save(widePath.c_str(), TRUE))) {
        return ErrnoOfResult(hr);
    }
    // The caller takes 0 to mean that the file is there.
    return ::GetFileAttributesA(linkPath.c_str()) == INVALID_FILE_ATTRIBUTES ? ENOENT : 0;
}

std::string ShellFolderPath(const std::string& name) {
    int csidl;
    if (name == "Desktop") {
        csidl = CSIDL_DESKTOPDIRECTORY;
    } else if (name == "AppData") {
        csidl = CSIDL_APPDATA;
    } else if (name == "SendTo") {
        csidl = CSIDL_SENDTO;
    } else {
        return std::string();
    }
    char path[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)) ||
        path[0] == '\0') {
        return std::string();
    }
    std::string folder = path;
    if (folder.back() != '\\') {
        folder += '\\';
    }
    return folder;
}

} // namespace platform
