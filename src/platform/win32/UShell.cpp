// Win32 implementation of the desktop shell: ShellExecuteA for documents, folders and web
// addresses, Explorer to show a file selected, CreateProcessA for programs.
#include "platform/UShell.h"

#include "platform/UEditorCommand.h"
#include "platform/win32/UWin32Io.h"

#include <shellapi.h>

namespace platform {

using win32::THandle;

namespace {

// ShellExecuteA reports success by a value above 32.
bool Execute(const char* verb, const std::string& file, const std::string& parameters = {}) {
    const auto r = reinterpret_cast<INT_PTR>(
        ::ShellExecuteA(nullptr, verb, file.c_str(),
                        parameters.empty() ? nullptr : parameters.c_str(), nullptr, SW_SHOWNORMAL));
    return r > 32;
}

// One argument as the C runtime's command-line parser reads it back: quoted when it holds a
// blank or a quote, backslashes doubled only before a quote.
std::string QuoteArgument(const std::string& arg) {
    if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string::npos) {
        return arg;
    }
    std::string out = "\"";
    size_t backslashes = 0;
    for (const char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        out.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, '\\');
    out += '"';
    return out;
}

std::string CommandLine(const std::vector<std::string>& argv) {
    std::string line;
    for (const std::string& a : argv) {
        line += line.empty() ? "" : " ";
        line += QuoteArgument(a);
    }
    return line;
}

// Starts the program with standard input from NUL and, when `out` is valid, standard output
// into it.
bool Start(const std::vector<std::string>& argv, HANDLE out, DWORD flags, PROCESS_INFORMATION& pi) {
    if (argv.empty()) {
        return false;
    }
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    const THandle nul(::CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    &inherit, OPEN_EXISTING, 0, nullptr));
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = nul.Get();
    si.hStdOutput = out != nullptr ? out : ::GetStdHandle(STD_OUTPUT_HANDLE);
    si.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
    std::string line = CommandLine(argv);
    return ::CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, flags, nullptr, nullptr,
                            &si, &pi) != 0;
}

class TWindowsShell : public TShell {
public:
    bool OpenDocument(const std::string& path) override { return Execute("open", path); }

    bool OpenFolder(const std::string& folder, const std::string& fileToSelect) override {
        if (fileToSelect.empty()) {
            return Execute("explore", folder) || Execute("open", folder);
        }
        return Execute("open", "explorer.exe", "/select," + QuoteArgument(fileToSelect));
    }

    bool OpenInTextEditor(const std::string& path) override {
        return Execute("edit", path) || Execute("open", "notepad.exe", QuoteArgument(path));
    }

    bool OpenInTextEditorAt(const std::string& path, int line, int column,
                            const std::string& editorCommand) override {
        if (!editorCommand.empty()) {
            return LaunchProgram(ExpandEditorCommand(editorCommand, path, line, column), 1500);
        }
        return OpenInTextEditor(path);
    }

    bool OpenUrl(const std::string& url) override { return Execute("open", url); }
};

} // namespace

std::unique_ptr<TShell> CreateDesktopShell() {
    return std::make_unique<TWindowsShell>();
}

TRunResult RunProgram(const std::vector<std::string>& argv, int timeoutMs, std::string* output) {
    TRunResult result;
    THandle readEnd;
    THandle writeEnd;
    if (output != nullptr) {
        output->clear();
        SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        HANDLE r = nullptr;
        HANDLE w = nullptr;
        if (!::CreatePipe(&r, &w, &inherit, 0)) {
            return result;
        }
        readEnd.Reset(r);
        writeEnd.Reset(w);
        ::SetHandleInformation(r, HANDLE_FLAG_INHERIT, 0);
    }
    PROCESS_INFORMATION pi{};
    if (!Start(argv, output != nullptr ? writeEnd.Get() : nullptr, CREATE_NO_WINDOW, pi)) {
        return result;
    }
    const THandle process(pi.hProcess);
    const THandle thread(pi.hThread);
    writeEnd.Reset();
    result.Started = true;
    const ULONGLONG deadline = ::GetTickCount64() + static_cast<ULONGLONG>(timeoutMs);
    if (output != nullptr) {
        // Read to the end first, so a child with much to say never blocks on a full pipe.
        char buf[4096];
        DWORD n = 0;
        while (::GetTickCount64() < deadline &&
               ::ReadFile(readEnd.Get(), buf, sizeof buf, &n, nullptr) && n > 0) {
            output->append(buf, n);
        }
    }
    const ULONGLONG now = ::GetTickCount64();
    const DWORD left = now < deadline ? static_cast<DWORD>(deadline - now) : 0;
    if (::WaitForSingleObject(process.Get(), left) == WAIT_OBJECT_0) {
        DWORD code = 0;
        ::GetExitCodeProcess(process.Get(), &code);
        result.Finished = true;
        result.ExitCode = static_cast<int>(code);
        return result;
    }
    // Ours, started above: end it rather than leave it hanging.
    ::TerminateProcess(process.Get(), 1);
    ::WaitForSingleObject(process.Get(), INFINITE);
    return result;
}

bool LaunchProgram(const std::vector<std::string>& argv, int graceMs) {
    PROCESS_INFORMATION pi{};
    if (!Start(argv, nullptr, CREATE_NEW_PROCESS_GROUP | DETACHED_PROCESS, pi)) {
        return false;
    }
    const THandle process(pi.hProcess);
    const THandle thread(pi.hThread);
    if (::WaitForSingleObject(process.Get(), static_cast<DWORD>(graceMs)) == WAIT_OBJECT_0) {
        DWORD code = 1;
        ::GetExitCodeProcess(process.Get(), &code);
        return code == 0;
    }
    return true;
}

// file:///C:/folder/name: the separators become slashes, the drive's colon stays.
std::string FileUri(const std::string& path) {
    static const char hex[] = "0123456789ABCDEF";
    std::string uri = "file:///";
    for (size_t i = 0; i < path.size(); ++i) {
        const auto c = static_cast<unsigned char>(path[i]);
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == '~' ||
                           c == '/' || (c == ':' && i == 1);
        if (c == '\\') {
            uri += '/';
        } else if (plain) {
            uri += static_cast<char>(c);
        } else {
            uri += '%';
            uri += hex[c >> 4];
            uri += hex[c & 0x0F];
        }
    }
    return uri;
}

} // namespace platform
