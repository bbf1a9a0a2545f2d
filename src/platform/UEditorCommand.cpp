#include "platform/UEditorCommand.h"

#include <algorithm>
#include <cctype>
#include <string_view>
#include <utility>

namespace platform {

namespace {

std::string Trim(const std::string& s) {
    const size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos) {
        return {};
    }
    const size_t e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

// The key-file escapes of a string value: \s \n \t \r \\.
std::string UnescapeValue(const std::string& v) {
    std::string out;
    for (size_t i = 0; i < v.size(); ++i) {
        if (v[i] == '\\' && i + 1 < v.size()) {
            const char c = v[++i];
            switch (c) {
            case 's':
                out += ' ';
                break;
            case 'n':
                out += '\n';
                break;
            case 't':
                out += '\t';
                break;
            case 'r':
                out += '\r';
                break;
            default:
                out += c;
                break;
            }
        } else {
            out += v[i];
        }
    }
    return out;
}

std::string BaseName(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool IsFileFieldCode(const std::string& arg) {
    return arg == "%f" || arg == "%F" || arg == "%u" || arg == "%U";
}

// The program an Exec line starts, looking through env and flatpak: a program name or, for a
// flatpak without --command, its application id.
std::string ProgramOf(const std::vector<std::string>& argv) {
    size_t i = 0;
    if (i < argv.size() && BaseName(argv[i]) == "env") {
        ++i;
        while (i < argv.size() && (argv[i].find('=') != std::string::npos || argv[i][0] == '-')) {
            ++i;
        }
    }
    if (i >= argv.size()) {
        return {};
    }
    const std::string program = BaseName(argv[i]);
    if (program != "flatpak") {
        return program;
    }
    std::string appId;
    for (size_t j = i + 1; j < argv.size(); ++j) {
        const std::string& a = argv[j];
        if (a.rfind("--command=", 0) == 0) {
            return BaseName(a.substr(10));
        }
        if (appId.empty() && !a.empty() && a[0] != '-' && a != "run") {
            appId = a;
        }
    }
    return appId;
}

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

TEditorKind KindOfName(std::string name) {
    name = Lower(name);
    if (name.size() > 8 && name.ends_with(".desktop")) {
        name.resize(name.size() - 8);
    }
    static const std::pair<const char*, TEditorKind> kinds[] = {
        {"code", TEditorKind::VsCode},
        {"code-insiders", TEditorKind::VsCode},
        {"code-oss", TEditorKind::VsCode},
        {"codium", TEditorKind::VsCode},
        {"vscodium", TEditorKind::VsCode},
        {"cursor", TEditorKind::VsCode},
        {"windsurf", TEditorKind::VsCode},
        {"com.visualstudio.code", TEditorKind::VsCode},
        {"com.vscodium.codium", TEditorKind::VsCode},
        {"gedit", TEditorKind::PlusLineCol},
        {"org.gnome.gedit", TEditorKind::PlusLineCol},
        {"gnome-text-editor", TEditorKind::PlusLineCol},
        {"org.gnome.texteditor", TEditorKind::PlusLineCol},
        {"emacs", TEditorKind::PlusLineCol},
        {"emacsclient", TEditorKind::PlusLineCol},
        {"org.gnu.emacs", TEditorKind::PlusLineCol},
        {"pluma", TEditorKind::PlusLine},
        {"xed", TEditorKind::PlusLine},
        {"org.x.editor", TEditorKind::PlusLine},
        {"kate", TEditorKind::Kate},
        {"kwrite", TEditorKind::Kate},
        {"org.kde.kate", TEditorKind::Kate},
        {"org.kde.kwrite", TEditorKind::Kate},
        {"geany", TEditorKind::Geany},
        {"org.geany.geany", TEditorKind::Geany},
        {"mousepad", TEditorKind::Mousepad},
        {"org.xfce.mousepad", TEditorKind::Mousepad},
        {"subl", TEditorKind::Sublime},
        {"sublime_text", TEditorKind::Sublime},
        {"sublime-text", TEditorKind::Sublime},
        {"com.sublimetext.three", TEditorKind::Sublime},
        {"vim", TEditorKind::Vim},
        {"gvim", TEditorKind::Vim},
        {"nvim", TEditorKind::Vim},
        {"vi", TEditorKind::Vim},
        {"io.neovim.nvim", TEditorKind::Vim},
        {"nano", TEditorKind::Nano},
    };
    for (const auto& [n, kind] : kinds) {
        if (name == n) {
            return kind;
        }
    }
    return TEditorKind::Unknown;
}

} // namespace

TDesktopEntry ParseDesktopEntry(const std::string& id, const std::string& text) {
    TDesktopEntry entry;
    entry.Id = id;
    bool inMain = false;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) {
            end = text.size();
        }
        const std::string line = Trim(text.substr(pos, end - pos));
        pos = end + 1;
        if (line.empty() || line[0] == '#') {
            continue;
        }
        if (line[0] == '[') {
            inMain = line == "[Desktop Entry]";
            continue;
        }
        const size_t eq = line.find('=');
        if (!inMain || eq == std::string::npos) {
            continue;
        }
        const std::string key = Trim(line.substr(0, eq));
        const std::string value = UnescapeValue(Trim(line.substr(eq + 1)));
        if (key == "Exec") {
            entry.Exec = value;
        } else if (key == "Terminal") {
            entry.Terminal = value == "true";
        }
    }
    return entry;
}

std::vector<std::string> SplitExec(const std::string& exec) {
    std::vector<std::string> args;
    std::string current;
    bool inArg = false;
    bool quoted = false;
    for (size_t i = 0; i < exec.size(); ++i) {
        const char c = exec[i];
        if (quoted) {
            if (c == '"') {
                quoted = false;
            } else if (c == '\\' && i + 1 < exec.size() &&
                       std::string_view("\"`$\\").find(exec[i + 1]) != std::string_view::npos) {
                current += exec[++i];
            } else {
                current += c;
            }
        } else if (c == ' ' || c == '\t') {
            if (inArg) {
                args.push_back(std::move(current));
                current.clear();
                inArg = false;
            }
        } else if (c == '"') {
            quoted = true;
            inArg = true;
        } else {
            current += c;
            inArg = true;
        }
    }
    if (inArg) {
        args.push_back(std::move(current));
    }
    return args;
}

TEditorKind EditorKindOf(const TDesktopEntry& entry) {
    const TEditorKind byProgram = KindOfName(ProgramOf(SplitExec(entry.Exec)));
    return byProgram != TEditorKind::Unknown ? byProgram : KindOfName(entry.Id);
}

bool NeedsTerminal(const TDesktopEntry& entry) {
    if (entry.Terminal) {
        return true;
    }
    const std::string program = ProgramOf(SplitExec(entry.Exec));
    return program == "vim" || program == "nvim" || program == "vi" || program == "nano";
}

std::vector<std::string> EditorAtLineArgv(const TDesktopEntry& entry, const std::string& path,
                                          int line, int column) {
    const TEditorKind kind = EditorKindOf(entry);
    if (kind == TEditorKind::Unknown || path.empty()) {
        return {};
    }
    line = std::max(line, 1);
    column = std::max(column, 1);
    const std::string l = std::to_string(line);
    const std::string c = std::to_string(column);
    // What goes before the file, and the file argument itself.
    std::vector<std::string> options;
    std::string file = path;
    switch (kind) {
    case TEditorKind::VsCode:
        options = {"--goto"};
        file = path + ":" + l + ":" + c;
        break;
    case TEditorKind::PlusLineCol:
        options = {"+" + l + ":" + c};
        break;
    case TEditorKind::PlusLine:
        options = {"+" + l};
        break;
    case TEditorKind::Kate:
        options = {"--line", l, "--column", c};
        break;
    case TEditorKind::Geany:
    case TEditorKind::Mousepad:
        options = {"--line=" + l, "--column=" + c};
        break;
    case TEditorKind::Sublime:
        file = path + ":" + l + ":" + c;
        break;
    case TEditorKind::Vim:
        options = {"+call cursor(" + l + "," + c + ")"};
        break;
    case TEditorKind::Nano:
        options = {"+" + l + "," + c};
        break;
    case TEditorKind::Unknown:
        break;
    }

    std::vector<std::string> argv;
    bool placed = false;
    const std::vector<std::string> exec = SplitExec(entry.Exec);
    for (size_t i = 0; i < exec.size(); ++i) {
        const std::string& a = exec[i];
        if (IsFileFieldCode(a)) {
            if (!placed) {
                // flatpak forwards the files between "@@" markers: the options stay outside.
                const bool forwarded =
                    !argv.empty() && (argv.back() == "@@" || argv.back() == "@@u");
                auto at = forwarded ? argv.end() - 1 : argv.end();
                argv.insert(at, options.begin(), options.end());
                argv.push_back(file);
                placed = true;
            }
            continue;
        }
        // Other field codes (%i %c %k and the deprecated ones) expand to nothing here; %% is
        // a percent sign.
        std::string plain;
        for (size_t k = 0; k < a.size(); ++k) {
            if (a[k] == '%' && k + 1 < a.size()) {
                if (a[++k] == '%') {
                    plain += '%';
                }
                continue;
            }
            plain += a[k];
        }
        if (plain.empty() && !a.empty()) {
            continue;
        }
        argv.push_back(plain);
    }
    if (argv.empty()) {
        return {};
    }
    if (!placed) {
        argv.insert(argv.end(), options.begin(), options.end());
        argv.push_back(file);
    }
    return argv;
}

std::vector<std::string> ExpandEditorCommand(const std::string& command, const std::string& path,
                                             int line, int column) {
    std::vector<std::string> argv;
    bool hadFile = false;
    for (const std::string& word : SplitExec(command)) {
        std::string out;
        for (size_t i = 0; i < word.size(); ++i) {
            if (word[i] != '%' || i + 1 >= word.size()) {
                out += word[i];
                continue;
            }
            const char code = word[++i];
            if (code == 'f') {
                out += path;
                hadFile = true;
            } else if (code == 'l') {
                out += std::to_string(std::max(line, 1));
            } else if (code == 'c') {
                out += std::to_string(std::max(column, 1));
            } else if (code == '%') {
                out += '%';
            } else {
                out += '%';
                out += code;
            }
        }
        argv.push_back(std::move(out));
    }
    if (!argv.empty() && !hadFile) {
        argv.push_back(path);
    }
    return argv;
}

int CharacterColumn(const std::string& line, int byteColumn) {
    const size_t end = std::min(line.size(), static_cast<size_t>(std::max(byteColumn - 1, 0)));
    int chars = 0;
    for (size_t i = 0; i < end; ++i) {
        // Continuation bytes of a UTF-8 sequence do not start a character.
        if ((static_cast<unsigned char>(line[i]) & 0xC0) != 0x80) {
            ++chars;
        }
    }
    // A column past the line's end (a match at its very end) keeps its distance.
    return chars + 1 + std::max(byteColumn - 1 - static_cast<int>(end), 0);
}

} // namespace platform
