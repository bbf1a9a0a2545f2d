#include "settings/vtIniFile.h"

#include "platform/UPlatform.h"

#include <vector>

namespace settings {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r';
}

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && IsBlank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

bool IsQuote(char c) {
    return c == '"' || c == '\'';
}

// What the reader makes of the raw text after '='.
std::string_view DecodeValue(std::string_view raw) {
    std::string_view v = Trim(raw);
    if (v.size() >= 2 && IsQuote(v.front()) && v.front() == v.back()) {
        v = v.substr(1, v.size() - 2);
    }
    return v;
}

std::string Sanitize(std::string_view value) {
    std::string s(value);
    for (char& c : s) {
        if (c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    return s;
}

std::string EncodeValue(std::string_view value) {
    std::string s = Sanitize(value);
    const bool needsQuotes =
        !s.empty() && (IsBlank(s.front()) || IsBlank(s.back()) ||
                       (s.size() >= 2 && IsQuote(s.front()) && s.front() == s.back()));
    return needsQuotes ? '"' + s + '"' : s;
}

enum class TLineKind { Header, Comment, Key, Other };

struct TLine {
    size_t begin = 0; // first byte of the line
    size_t end = 0;   // one past its content, before the line ending
    size_t next = 0;  // first byte of the following line
    TLineKind kind = TLineKind::Other;
    std::string_view name; // section name of a header, key of a key line
    std::string_view raw;  // text after '=' of a key line
};

TLine ClassifyLine(std::string_view text, size_t begin, size_t end, size_t next) {
    TLine line{begin, end, next, TLineKind::Other, {}, {}};
    const std::string_view content = text.substr(begin, end - begin);
    size_t p = 0;
    while (p < content.size() && IsBlank(content[p])) {
        ++p;
    }
    if (p < content.size() && content[p] == '[') {
        const size_t close = content.find(']', p + 1);
        if (close != std::string_view::npos) {
            line.kind = TLineKind::Header;
            line.name = Trim(content.substr(p + 1, close - p - 1));
            return line;
        }
    }
    if (p < content.size() && content[p] == ';') {
        line.kind = TLineKind::Comment;
        return line;
    }
    const size_t eq = content.find('=');
    if (eq != std::string_view::npos) {
        line.kind = TLineKind::Key;
        line.name = Trim(content.substr(0, eq));
        line.raw = content.substr(eq + 1);
    }
    return line;
}

// Where a key is, or where it would go.
struct TScan {
    bool sectionFound = false;
    bool keyFound = false;
    TLine key;    // the key's line when found
    TLine anchor; // the line after which a missing key goes: the section's last key or header
};

TScan Scan(std::string_view text, std::string_view section, std::string_view ident) {
    TScan scan;
    bool inSection = false;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t nl = text.find('\n', pos);
        size_t end = nl == std::string_view::npos ? text.size() : nl;
        const size_t next = nl == std::string_view::npos ? text.size() : nl + 1;
        if (nl != std::string_view::npos && end > pos && text[end - 1] == '\r') {
            --end;
        }
        const TLine line = ClassifyLine(text, pos, end, next);
        pos = next;
        if (line.kind == TLineKind::Header) {
            if (inSection) {
                break; // only the first section of a name counts
            }
            if (SameTextAscii(line.name, section)) {
                inSection = true;
                scan.sectionFound = true;
                scan.anchor = line;
            }
        } else if (inSection && line.kind == TLineKind::Key) {
            if (SameTextAscii(line.name, ident)) {
                scan.keyFound = true;
                scan.key = line;
                break;
            }
            scan.anchor = line;
        }
    }
    return scan;
}

std::string LineEndingOf(std::string_view text) {
    const size_t nl = text.find('\n');
    if (nl != std::string_view::npos && (nl == 0 || text[nl - 1] != '\r')) {
        return "\n";
    }
    return "\r\n";
}

} // namespace

bool SameTextAscii(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

std::optional<std::string> IniLookup(std::string_view text, std::string_view section,
                                     std::string_view ident) {
    const TScan scan = Scan(text, section, ident);
    if (!scan.keyFound) {
        return std::nullopt;
    }
    return std::string(DecodeValue(scan.key.raw));
}

std::string IniStoredForm(std::string_view value) {
    return Sanitize(value);
}

std::string IniWrite(std::string_view text, std::string_view section, std::string_view ident,
                     std::string_view value) {
    const TScan scan = Scan(text, section, ident);
    const std::string eol = LineEndingOf(text);
    std::string out;
    out.reserve(text.size() + section.size() + ident.size() + value.size() + 16);
    if (scan.keyFound) {
        out.append(text.substr(0, scan.key.begin));
        out.append(scan.key.name);
        out += '=';
        out.append(EncodeValue(value));
        out.append(text.substr(scan.key.end));
        return out;
    }
    const std::string keyLine = std::string(ident) + '=' + EncodeValue(value) + eol;
    if (scan.sectionFound) {
        const TLine& a = scan.anchor;
        out.append(text.substr(0, a.next));
        if (a.next == a.end) {
            out.append(eol); // the anchor is the last line and has no line ending yet
        }
        out.append(keyLine);
        out.append(text.substr(a.next));
        return out;
    }
    out.append(text);
    if (!text.empty() && text.back() != '\n') {
        out.append(eol);
    }
    out += '[';
    out.append(section);
    out += ']';
    out.append(eol);
    out.append(keyLine);
    return out;
}

TvtIniFile::TvtIniFile(std::string path, bool createFolder)
    : path_(std::move(path)), createFolder_(createFolder) {}

std::optional<std::string> TvtIniFile::ReadValue(std::string_view section,
                                                 std::string_view ident) const {
    std::string text;
    try {
        platform::ReadWholeFile(path_, text);
    } catch (const platform::EPlatformError&) {
        return std::nullopt;
    }
    return IniLookup(text, section, ident);
}

std::string TvtIniFile::ReadString(std::string_view section, std::string_view ident,
                                   const std::string& defaultValue) const {
    std::optional<std::string> v = ReadValue(section, ident);
    return v ? std::move(*v) : defaultValue;
}

void TvtIniFile::WriteString(std::string_view section, std::string_view ident,
                             std::string_view value) {
    const std::string failure = "Unable to write to " + path_;
    std::string text;
    const int attr = platform::AttributesOf(path_);
    if (attr != -1) {
        if ((attr & (platform::faReadOnly | platform::faDirectory)) != 0) {
            throw ESettingsError(failure);
        }
        try {
            platform::ReadWholeFile(path_, text);
        } catch (const platform::EPlatformError&) {
            throw ESettingsError(failure);
        }
    }
    std::string updated = IniWrite(text, section, ident, value);
    if (attr != -1 && updated == text) {
        return; // Save writes every entry every time; most of them are unchanged
    }
    if (createFolder_) {
        const size_t slash = path_.rfind('/');
        if (slash != std::string::npos && slash > 0) {
            const std::string folder = path_.substr(0, slash);
            if (!platform::DirectoryExists(folder)) {
                platform::ForceDirectories(folder);
            }
        }
    }
    if (!platform::WriteWholeFile(path_, updated)) {
        throw ESettingsError(failure);
    }
}

} // namespace settings
