#include "operations/vtShortcuts.h"

#include "platform/UPlatform.h"
#include "platform/UShell.h"
#ifdef _WIN32
#include "platform/UShellLink.h"
#endif
#include "text/UTextHelpers.h"

#include <cerrno>
#include <cstdlib>

namespace operations {

namespace {

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view s) {
    size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        size_t len;
        unsigned cp;
        if (c >= 0xC2 && c <= 0xDF) {
            len = 2;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + len > s.size()) {
            return false;
        }
        for (size_t k = 1; k < len; ++k) {
            const auto d = static_cast<unsigned char>(s[i + k]);
            if ((d & 0xC0) != 0x80) {
                return false;
            }
            cp = (cp << 6) | (d & 0x3F);
        }
        if ((len == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
            (len == 4 && (cp < 0x10000 || cp > 0x10FFFF))) {
            return false;
        }
        i += len;
    }
    return true;
}

bool HasControl(std::string_view s) {
    for (const char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F) {
            return true;
        }
    }
    return false;
}

#ifndef _WIN32
// A value of type string or localestring: backslash escaped, nothing else needs it once
// control characters are refused.
bool EscapeValue(std::string_view value, std::string& out) {
    if (HasControl(value) || !IsValidUtf8(value)) {
        return false;
    }
    out.clear();
    for (const char ch : value) {
        if (ch == '\\') {
            out += "\\\\";
        } else {
            out += ch;
        }
    }
    return true;
}

// An XDG base directory from the environment: only absolute values count.
std::string BaseDir(const char* variable, const char* fallbackBelowHome) {
    const std::string v = platform::EnvironmentVariable(variable);
    if (!v.empty() && v[0] == '/') {
        return v;
    }
    const std::string home = platform::HomeFolder();
    return home.empty() ? std::string() : home + "/" + fallbackBelowHome;
}

// XDG_<key>_DIR from user-dirs.dirs, read the way the xdg-user-dirs tools read it: a value in
// double quotes, either absolute or starting with $HOME, backslash escaping the next byte; the
// last line for the key wins. Empty when the key is absent.
std::string UserDirFromConfig(const std::string& key) {
    const std::string home = platform::HomeFolder();
    const std::string config = BaseDir("XDG_CONFIG_HOME", ".config");
    if (config.empty()) {
        return std::string();
    }
    std::string data;
    try {
        platform::ReadWholeFile(config + "/user-dirs.dirs", data);
    } catch (const platform::EPlatformError&) {
        return std::string();
    }
    const std::string wanted = "XDG_" + key + "_DIR";
    std::string result;
    size_t pos = 0;
    while (pos < data.size()) {
        size_t end = data.find('\n', pos);
        if (end == std::string::npos) {
            end = data.size();
        }
        std::string_view line(data.data() + pos, end - pos);
        pos = end + 1;
        size_t i = 0;
        const auto skipBlanks = [&] {
            while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) {
                ++i;
            }
        };
        skipBlanks();
        if (line.substr(i, wanted.size()) != wanted) {
            continue;
        }
        i += wanted.size();
        skipBlanks();
        if (i >= line.size() || line[i] != '=') {
            continue;
        }
        ++i;
        skipBlanks();
        if (i >= line.size() || line[i] != '"') {
            continue;
        }
        ++i;
        std::string value;
        if (line.substr(i, 5) == "$HOME") {
            i += 5;
            if (home.empty()) {
                continue;
            }
            value = home;
        } else if (i >= line.size() || line[i] != '/') {
            continue;
        }
        while (i < line.size() && line[i] != '"') {
            if (line[i] == '\\' && i + 1 < line.size()) {
                ++i;
            }
            value += line[i];
            ++i;
        }
        result = value;
    }
    return result;
}

std::string LinkName(const std::string& linkPath) {
    std::string name = text::ExtractFileName(linkPath);
    const std::string ext = ".desktop";
    if (name.size() > ext.size() && name.compare(name.size() - ext.size(), ext.size(), ext) == 0) {
        name.resize(name.size() - ext.size());
    }
    return name;
}
#endif

} // namespace

bool QuoteExecArgument(const std::string& argument, std::string& quoted) {
    // '%' would have to be written "%%", but GLib looks the program up before undoing that
    // and then refuses the whole launcher; better no launcher than one that never starts.
    if (HasControl(argument) || !IsValidUtf8(argument) || argument.find('%') != std::string::npos) {
        return false;
    }
    // Quoting first (the desktop-entry shell rules), then the general escaping of string
    // values, which doubles every backslash again.
    std::string inner = "\"";
    for (const char ch : argument) {
        if (ch == '"' || ch == '`' || ch == '$' || ch == '\\') {
            inner += '\\';
        }
        inner += ch;
    }
    inner += '"';
    quoted.clear();
    for (const char ch : inner) {
        if (ch == '\\') {
            quoted += "\\\\";
        } else {
            quoted += ch;
        }
    }
    return true;
}

int CreateShellLink(const std::string& target, const std::string& linkPath,
                    const std::string& description, const TLinkOptions& options) {
    if (linkPath.empty() || linkPath.size() + 1 > kMaxLinkPath) {
        return ENAMETOOLONG;
    }
#ifdef _WIN32
    (void)options;
    std::string folder = text::ExtractFilePath(target);
    if (folder.size() > 3 && folder.back() == '\\') {
        folder.pop_back(); // "C:\Program Files", but "C:\" stays
    }
    return platform::WriteShellLink(linkPath, {target, std::string(), description, folder});
#else
    std::string exec;
    std::string name;
    std::string comment;
    if (target.empty() || !QuoteExecArgument(target, exec) ||
        !EscapeValue(options.Name.empty() ? LinkName(linkPath) : options.Name, name) ||
        !EscapeValue(description, comment) || HasControl(options.FieldCode) ||
        HasControl(options.MimeType)) {
        return EILSEQ;
    }
    if (!options.FieldCode.empty()) {
        exec += ' ';
        exec += options.FieldCode;
    }
    std::string entry = "[Desktop Entry]\n"
                        "Version=1.0\n"
                        "Type=Application\n";
    entry += "Name=" + name + "\n";
    if (!comment.empty()) {
        entry += "Comment=" + comment + "\n";
    }
    entry += "Exec=" + exec + "\n";
    entry += "Terminal=false\n";
    entry += "Categories=Utility;TextTools;\n";
    if (!options.MimeType.empty()) {
        entry += "MimeType=" + options.MimeType + "\n";
    }
    if (options.NoDisplay) {
        entry += "NoDisplay=true\n";
    }
    if (const platform::TIoResult written = platform::WriteWholeFile(linkPath, entry); !written) {
        return written.Error;
    }
    // Launchers are trusted by file managers and desktops only when executable.
    if (const platform::TIoResult made = platform::MakeExecutable(linkPath); !made) {
        return made.Error;
    }
    return 0;
#endif
}

void CreateShortcut(TUserInterface& ui, const std::string& displayName, const std::string& target,
                    const std::string& description, const std::string& linkFileName,
                    const std::string& folder, const TLinkOptions& options) {
    // With no folder known the path would name the root folder; the link is not attempted.
    const std::string linkPath =
        folder.empty() ? linkFileName : text::WithTrailingSeparator(folder) + linkFileName;
    TLinkOptions opts = options;
    if (opts.Name.empty()) {
        opts.Name = displayName;
    }
    if (!folder.empty() && CreateShellLink(target, linkPath, description, opts) == 0) {
        ui.ShowMessage("A shortcut to " + displayName + " has been successfully created in\r\n" +
                       folder);
    } else {
        ui.ShowMessage("Cannot create shortcut to " + displayName + "\r\nfilename = " + linkPath);
    }
}

std::string JoinFolder(const std::string& folder, const std::string& sub) {
    if (folder.empty()) {
        return std::string();
    }
    std::string out = folder;
    while (out.size() > 1 && out.back() == platform::PathDelim) {
        out.pop_back();
    }
    if (out.back() != platform::PathDelim) {
        out += platform::PathDelim;
    }
    size_t s = 0;
    while (s < sub.size() && sub[s] == platform::PathDelim) {
        ++s;
    }
    out.append(sub, s, std::string::npos);
    return text::WithTrailingSeparator(out);
}

std::string GetShellFolder(const std::string& name) {
#ifdef _WIN32
    return platform::ShellFolderPath(name);
#else
    if (name == "AppData") {
        return text::WithTrailingSeparator(BaseDir("XDG_DATA_HOME", ".local/share"));
    }
    if (name == "SendTo") {
        return JoinFolder(GetShellFolder("AppData"), "applications");
    }
    std::string dir = UserDirFromConfig(text::UpperCaseAscii(name));
    if (dir.empty() && name == "Desktop") {
        const std::string home = platform::HomeFolder();
        dir = home.empty() ? std::string() : home + "/Desktop";
    }
    return text::WithTrailingSeparator(dir);
#endif
}

std::string GetDesktopFolder() {
    return GetShellFolder("Desktop");
}

std::string GetSendToFolder() {
    return GetShellFolder("SendTo");
}

std::string GetQuickLaunchFolder() {
#ifdef _WIN32
    return JoinFolder(GetShellFolder("AppData"), "Microsoft\\Internet Explorer\\Quick Launch");
#else
    return JoinFolder(GetShellFolder("AppData"), "applications");
#endif
}

void ShortcutOnDesktop(TUserInterface& ui, const std::string& target) {
    CreateShortcut(ui, kShortcutDisplayName, target, kShortcutDescription, kLinkFileName,
                   GetDesktopFolder());
}

void ShortcutOnSendTo(TUserInterface& ui, const std::string& target) {
    const std::string folder = GetSendToFolder();
    // The applications folder is one the base-directory rules say to create when missing.
    if (!folder.empty()) {
        platform::ForceDirectories(folder);
    }
#ifdef _WIN32
    // Send To hands the chosen folder over as the program's argument by itself.
    CreateShortcut(ui, kShortcutDisplayName, target, kShortcutDescription, kSendToLinkFileName,
                   folder);
#else
    TLinkOptions options;
    options.FieldCode = "%f";
    options.MimeType = "inode/directory;";
    options.NoDisplay = true;
    CreateShortcut(ui, kShortcutDisplayName, target, kShortcutDescription, kSendToLinkFileName,
                   folder, options);
    // File managers that go by the MIME cache (Thunar, PCManFM) see the new handler only once
    // the cache is rebuilt; the others read the folder themselves. Best effort.
    if (!folder.empty()) {
        platform::RunProgram({"update-desktop-database", "-q", folder}, 10000);
    }
#endif
}

void ShortcutOnTaskbar(TUserInterface& ui, const std::string& target) {
    const std::string folder = GetQuickLaunchFolder();
    if (!folder.empty()) {
        platform::ForceDirectories(folder);
    }
    CreateShortcut(ui, kShortcutDisplayName, target, kShortcutDescription, kLinkFileName, folder);
}

} // namespace operations
