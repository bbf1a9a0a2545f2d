// Freedesktop implementation of the shell services.
#include "platform/UShell.h"

#include "platform/UEditorCommand.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

// Closes a file descriptor on every path out.
class TFdGuard {
public:
    explicit TFdGuard(int fd = -1) : fd_(fd) {}
    ~TFdGuard() { Reset(); }
    TFdGuard(const TFdGuard&) = delete;
    TFdGuard& operator=(const TFdGuard&) = delete;
    int Get() const { return fd_; }
    void Reset() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = -1;
    }

private:
    int fd_;
};

class TSpawnSetup {
public:
    TSpawnSetup() {
        ::posix_spawn_file_actions_init(&actions_);
        ::posix_spawnattr_init(&attr_);
    }
    ~TSpawnSetup() {
        ::posix_spawn_file_actions_destroy(&actions_);
        ::posix_spawnattr_destroy(&attr_);
    }
    TSpawnSetup(const TSpawnSetup&) = delete;
    TSpawnSetup& operator=(const TSpawnSetup&) = delete;
    posix_spawn_file_actions_t* Actions() { return &actions_; }
    posix_spawnattr_t* Attr() { return &attr_; }

private:
    posix_spawn_file_actions_t actions_;
    posix_spawnattr_t attr_;
};

// Starts argv[0] from PATH. With `outWrite` >= 0 the child's standard output goes there.
// Returns the child's pid, or -1 when it could not be started.
pid_t Spawn(const std::vector<std::string>& argv, bool newSession, int outWrite) {
    if (argv.empty() || argv[0].empty()) {
        return -1;
    }
    TSpawnSetup setup;
    ::posix_spawn_file_actions_addopen(setup.Actions(), STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (outWrite >= 0) {
        ::posix_spawn_file_actions_adddup2(setup.Actions(), outWrite, STDOUT_FILENO);
    }
    // The child starts with no blocked signals and the usual dispositions, whatever the GUI
    // toolkit set up for itself.
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (int s : {SIGPIPE, SIGINT, SIGQUIT, SIGTERM, SIGHUP, SIGCHLD, SIGUSR1, SIGUSR2}) {
        sigaddset(&defaults, s);
    }
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
#ifdef POSIX_SPAWN_SETSID
    if (newSession) {
        flags |= POSIX_SPAWN_SETSID;
    }
#else
    (void)newSession;
#endif
    ::posix_spawnattr_setsigmask(setup.Attr(), &none);
    ::posix_spawnattr_setsigdefault(setup.Attr(), &defaults);
    ::posix_spawnattr_setflags(setup.Attr(), flags);

    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    pid_t pid = -1;
    if (::posix_spawnp(&pid, args[0], setup.Actions(), setup.Attr(), args.data(), environ) != 0) {
        return -1;
    }
    return pid;
}

// Collects the child's status if it has ended; true when it has.
bool TryReap(pid_t pid, int& status) {
    for (;;) {
        const pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid) {
            return true;
        }
        if (r < 0 && errno == EINTR) {
            continue;
        }
        // 0: still running. An error (no such child) means someone else reaped it.
        return r < 0;
    }
}

int ExitCodeOf(int status) {
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void ReapInBackground(pid_t pid) {
    std::thread([pid] {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
}

// Waits for the child to end until `deadline`; false when it is still running then.
bool WaitUntil(pid_t pid, Clock::time_point deadline, int& status) {
    status = -1;
    for (;;) {
        if (TryReap(pid, status)) {
            return true;
        }
        if (Clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

bool PathExists(const std::string& path) {
    struct stat st;
    return !path.empty() && ::lstat(path.c_str(), &st) == 0;
}

std::string Trimmed(const std::string& s) {
    size_t b = 0;
    size_t e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\n' || s[b] == '\r')) {
        ++b;
    }
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\n' || s[e - 1] == '\r')) {
        --e;
    }
    return s.substr(b, e - b);
}

std::string EnvOr(const char* name, const std::string& fallback) {
    const char* v = std::getenv(name);
    return v != nullptr && v[0] == '/' ? std::string(v) : fallback;
}

// The full path of an installed desktop entry, searched as the base-directory rules say.
std::string FindDesktopEntry(const std::string& id) {
    const char* home = std::getenv("HOME");
    std::vector<std::string> dirs;
    dirs.push_back(EnvOr("XDG_DATA_HOME",
                         home != nullptr ? std::string(home) + "/.local/share" : std::string()));
    const char* dataDirs = std::getenv("XDG_DATA_DIRS");
    const std::string list = dataDirs != nullptr && dataDirs[0] != '\0'
                                 ? std::string(dataDirs)
                                 : std::string("/usr/local/share:/usr/share");
    size_t i = 0;
    while (i <= list.size()) {
        size_t j = list.find(':', i);
        if (j == std::string::npos) {
            j = list.size();
        }
        if (j > i && list[i] == '/') {
            dirs.push_back(list.substr(i, j - i));
        }
        i = j + 1;
    }
    for (const std::string& d : dirs) {
        if (d.empty()) {
            continue;
        }
        const std::string p = d + "/applications/" + id;
        if (PathExists(p)) {
            return p;
        }
    }
    return std::string();
}

// How long a launcher may take to report an early failure before it counts as started.
constexpr int kLaunchGraceMs = 750;
constexpr int kQueryTimeoutMs = 5000;

class TDesktopShell : public TShell {
public:
    bool OpenDocument(const std::string& path) override {
        // A missing document is the one failure callers report; tell it before any launcher
        // gets the chance to show an error window of its own.
        if (!PathExists(path)) {
            return false;
        }
        return LaunchProgram({"xdg-open", path}, kLaunchGraceMs);
    }

    bool OpenFolder(const std::string& folder, const std::string& fileToSelect) override {
        if (!fileToSelect.empty() && ShowItem(fileToSelect)) {
            return true;
        }
        return LaunchProgram({"xdg-open", folder}, kLaunchGraceMs);
    }

    bool OpenInTextEditor(const std::string& path) override {
        if (!PathExists(path)) {
            return false;
        }
        const std::string id = DefaultTextEditorId();
        if (!id.empty()) {
            if (LaunchProgram({"gtk-launch", id, path}, kLaunchGraceMs)) {
                return true;
            }
            const std::string entry = FindDesktopEntry(id);
            if (!entry.empty() && LaunchProgram({"gio", "launch", entry, path}, kLaunchGraceMs)) {
                return true;
            }
        }
        // No association (or none that starts): the graphical editors that desktops ship.
        for (const char* editor : {"gnome-text-editor", "gedit", "kwrite", "kate", "mousepad",
                                   "pluma", "xed", "featherpad", "leafpad", "geany"}) {
            if (LaunchProgram({editor, path}, kLaunchGraceMs)) {
                return true;
            }
        }
        return false;
    }

    bool OpenInTextEditorAt(const std::string& path, int line, int column,
                            const std::string& editorCommand) override {
        if (!PathExists(path)) {
            return false;
        }
        if (!editorCommand.empty()) {
            // The user's own command is taken as given: no second guess when it fails.
            return LaunchProgram(ExpandEditorCommand(editorCommand, path, line, column),
                                 kLaunchGraceMs);
        }
        const std::string id = DefaultTextEditorId();
        const std::string file = id.empty() ? std::string() : FindDesktopEntry(id);
        if (!file.empty()) {
            std::ifstream in(file, std::ios::binary);
            const std::string text((std::istreambuf_iterator<char>(in)),
                                   std::istreambuf_iterator<char>());
            const TDesktopEntry entry = ParseDesktopEntry(id, text);
            const std::vector<std::string> argv = EditorAtLineArgv(entry, path, line, column);
            if (!argv.empty() && LaunchEditor(argv, NeedsTerminal(entry))) {
                return true;
            }
        }
        // An editor whose line arguments are unknown (or that refused them) still shows the file.
        return OpenInTextEditor(path);
    }

    bool OpenUrl(const std::string& url) override {
        return LaunchProgram({"xdg-open", url}, kLaunchGraceMs);
    }

private:
    // The desktop-file id of the default text editor, or empty.
    static std::string DefaultTextEditorId() {
        std::string id;
        if (!RunProgram({"xdg-mime", "query", "default", "text/plain"}, kQueryTimeoutMs, &id)
                 .Succeeded()) {
            return {};
        }
        id = Trimmed(id);
        // Only the first of several ids counts.
        const size_t semi = id.find(';');
        if (semi != std::string::npos) {
            id.resize(semi);
        }
        return id.find('/') == std::string::npos ? id : std::string();
    }

    // A terminal editor runs in the desktop's terminal emulator.
    static bool LaunchEditor(const std::vector<std::string>& argv, bool terminal) {
        if (!terminal) {
            return LaunchProgram(argv, kLaunchGraceMs);
        }
        for (const char* emulator : {"x-terminal-emulator", "xterm"}) {
            std::vector<std::string> wrapped = {emulator, "-e"};
            wrapped.insert(wrapped.end(), argv.begin(), argv.end());
            if (LaunchProgram(wrapped, kLaunchGraceMs)) {
                return true;
            }
        }
        return false;
    }

    // org.freedesktop.FileManager1.ShowItems, implemented by Nautilus, Nemo, Caja, Dolphin,
    // Thunar and others: opens the folder with the item selected.
    static bool ShowItem(const std::string& file) {
        const std::string uri = FileUri(file);
        // The URI holds no quote or comma, so it can stand in either tool's literal syntax.
        const TRunResult g = RunProgram(
            {"gdbus", "call", "--session", "--timeout", "5", "--dest",
             "org.freedesktop.FileManager1", "--object-path", "/org/freedesktop/FileManager1",
             "--method", "org.freedesktop.FileManager1.ShowItems", "['" + uri + "']", "''"},
            kQueryTimeoutMs + 1000, nullptr);
        if (g.Started) {
            return g.Succeeded();
        }
        return RunProgram({"dbus-send", "--session", "--print-reply", "--reply-timeout=5000",
                           "--dest=org.freedesktop.FileManager1", "/org/freedesktop/FileManager1",
                           "org.freedesktop.FileManager1.ShowItems", "array:string:" + uri,
                           "string:"},
                          kQueryTimeoutMs + 1000, nullptr)
            .Succeeded();
    }
};

} // namespace

std::unique_ptr<TShell> CreateDesktopShell() {
    return std::make_unique<TDesktopShell>();
}

TRunResult RunProgram(const std::vector<std::string>& argv, int timeoutMs, std::string* output) {
    TRunResult result;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    int fds[2] = {-1, -1};
    if (output != nullptr) {
        output->clear();
        if (::pipe2(fds, O_CLOEXEC) != 0) {
            return result;
        }
    }
    TFdGuard readEnd(fds[0]);
    TFdGuard writeEnd(fds[1]);
    const pid_t pid = Spawn(argv, false, writeEnd.Get());
    writeEnd.Reset();
    if (pid < 0) {
        return result;
    }
    result.Started = true;
    bool inTime = true;
    if (output != nullptr) {
        // Read to the end first, so a child with much to say never blocks on a full pipe.
        char buf[4096];
        for (;;) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) {
                inTime = false;
                break;
            }
            pollfd p{readEnd.Get(), POLLIN, 0};
            const int r = ::poll(&p, 1, static_cast<int>(left.count()));
            if (r < 0 && errno == EINTR) {
                continue;
            }
            if (r <= 0) {
                inTime = r == 0 ? false : inTime;
                break;
            }
            const ssize_t n = ::read(readEnd.Get(), buf, sizeof buf);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                break;
            }
            output->append(buf, static_cast<size_t>(n));
        }
    }
    int status = -1;
    if (inTime && WaitUntil(pid, deadline, status)) {
        result.Finished = true;
        result.ExitCode = ExitCodeOf(status);
        return result;
    }
    // Ours, started above: end it rather than leave it hanging.
    ::kill(pid, SIGKILL);
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return result;
}

bool LaunchProgram(const std::vector<std::string>& argv, int graceMs) {
    const pid_t pid = Spawn(argv, true, -1);
    if (pid < 0) {
        return false;
    }
    int status = -1;
    if (WaitUntil(pid, Clock::now() + std::chrono::milliseconds(graceMs), status)) {
        return ExitCodeOf(status) == 0;
    }
    ReapInBackground(pid);
    return true;
}

std::string FileUri(const std::string& path) {
    static const char hex[] = "0123456789ABCDEF";
    std::string uri = "file://";
    uri.reserve(uri.size() + path.size() * 3);
    for (const char ch : path) {
        const auto c = static_cast<unsigned char>(ch);
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == '~' ||
                           c == '/';
        if (plain) {
            uri += ch;
        } else {
            uri += '%';
            uri += hex[c >> 4];
            uri += hex[c & 0x0F];
        }
    }
    return uri;
}

} // namespace platform
