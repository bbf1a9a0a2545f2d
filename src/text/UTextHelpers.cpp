#include "text/UTextHelpers.h"

#include "platform/UPlatform.h"

#include <array>

namespace text {

int PosFrom(std::string_view sub, std::string_view s, int start) {
    if (sub.empty()) {
        return 0;
    }
    if (start < 1) {
        start = 1;
    }
    if (static_cast<size_t>(start) > s.size()) {
        return 0;
    }
    const size_t p = s.find(sub, static_cast<size_t>(start) - 1);
    return p == std::string_view::npos ? 0 : static_cast<int>(p) + 1;
}

std::string ReplaceAll(std::string_view s, std::string_view oldSub, std::string_view newSub) {
    std::string out;
    if (oldSub.empty()) {
        return std::string(s);
    }
    out.reserve(s.size());
    size_t from = 0;
    for (;;) {
        const size_t p = s.find(oldSub, from);
        if (p == std::string_view::npos) {
            break;
        }
        out.append(s, from, p - from);
        out.append(newSub);
        from = p + oldSub.size();
    }
    out.append(s.substr(from));
    return out;
}

std::string PluralCount(std::int32_t count, std::string_view word) {
    std::string out = std::to_string(count);
    out += ' ';
    out += word;
    if (count != 1) {
        out += 's';
    }
    return out;
}

std::string BackupFileName(const std::string& path) {
    const size_t nameStart = path.rfind(platform::PathDelim);
    const size_t dot = path.rfind('.');
    const bool hasExt =
        dot != std::string::npos && (nameStart == std::string::npos || dot > nameStart);
    const std::string stem = hasExt ? path.substr(0, dot) : path;
    const std::string ext = hasExt ? path.substr(dot) : std::string();
    const std::string backupExt = ext.empty() ? std::string(".~") : ReplaceAll(ext, ".", ".~");
    std::string candidate = stem + backupExt;
    for (int n = 1; platform::AttributesOf(candidate) != -1; ++n) {
        candidate = stem + backupExt + std::to_string(n);
    }
    return candidate;
}

std::string UnescapeReplacement(std::string_view s) {
    std::string r = ReplaceAll(s, "\\r", "\r");
    r = ReplaceAll(r, "\\n", "\n");
    r = ReplaceAll(r, "\\t", "\t");
    r = ReplaceAll(r, "\\f", "\f");
    return ReplaceAll(r, "\\\\", "\\");
}

std::string UpperCaseAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        c = ToUpperAscii(c);
    }
    return out;
}

std::string LowerCaseAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        c = ToLowerAscii(c);
    }
    return out;
}

namespace {

constexpr std::array<unsigned char, 256> MakeGreekFold() {
    std::array<unsigned char, 256> t{};
    for (int i = 0; i < 256; ++i) {
        t[i] = static_cast<unsigned char>(i);
    }
    for (int c = 0x61; c <= 0x7A; ++c) {
        t[c] = static_cast<unsigned char>(c - 0x20);
    }
    for (int c = 0xE1; c <= 0xF9; ++c) {
        t[c] = static_cast<unsigned char>(c - 0x20);
    }
    t[0xF2] = 0xD3;
    t[0xDC] = 0xC1;
    t[0xDD] = 0xC5;
    t[0xDE] = 0xC7;
    t[0xDF] = 0xC9;
    t[0xFC] = 0xCF;
    t[0xFD] = 0xD5;
    t[0xFE] = 0xD9;
    t[0xFA] = 0xC9;
    t[0xFB] = 0xD5;
    t[0xA2] = 0xC1;
    t[0xB8] = 0xC5;
    t[0xB9] = 0xC7;
    t[0xBA] = 0xC9;
    t[0xBC] = 0xCF;
    t[0xBE] = 0xD5;
    t[0xBF] = 0xD9;
    return t;
}

constexpr std::array<unsigned char, 256> kGreekFold = MakeGreekFold();

} // namespace

std::string UpperCaseGreek(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        c = static_cast<char>(kGreekFold[static_cast<unsigned char>(c)]);
    }
    return out;
}

std::string WithTrailingSeparator(std::string_view path) {
    std::string out(path);
    if (!out.empty() && out.back() != platform::PathDelim) {
        out += platform::PathDelim;
    }
    return out;
}

std::string ExtractFilePath(std::string_view path) {
    const size_t p = path.rfind(platform::PathDelim);
    return p == std::string_view::npos ? std::string() : std::string(path.substr(0, p + 1));
}

std::string ExtractFileName(std::string_view path) {
    const size_t p = path.rfind(platform::PathDelim);
    return std::string(p == std::string_view::npos ? path : path.substr(p + 1));
}

std::string DisplayUtf8(std::string_view b) {
    std::string out;
    out.reserve(b.size());
    size_t i = 0;
    const auto cont = [&](size_t k) {
        return k < b.size() && (static_cast<unsigned char>(b[k]) & 0xC0) == 0x80;
    };
    while (i < b.size()) {
        const auto c = static_cast<unsigned char>(b[i]);
        size_t len = 0;
        if (c < 0x80) {
            len = 1;
        } else if (c >= 0xC2 && c <= 0xDF) {
            len = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4;
        }
        bool ok = len > 0;
        for (size_t k = 1; ok && k < len; ++k) {
            ok = cont(i + k);
        }
        if (ok && len >= 3) {
            const auto c1 = static_cast<unsigned char>(b[i + 1]);
            // Reject overlong forms, surrogates and code points past U+10FFFF.
            if ((c == 0xE0 && c1 < 0xA0) || (c == 0xED && c1 > 0x9F) || (c == 0xF0 && c1 < 0x90) ||
                (c == 0xF4 && c1 > 0x8F)) {
                ok = false;
            }
        }
        if (ok) {
            out.append(b.substr(i, len));
            i += len;
        } else {
            out += "\xEF\xBF\xBD";
            ++i;
        }
    }
    return out;
}

} // namespace text
