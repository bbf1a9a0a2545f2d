#include "settings/UTSearchOptions.h"

#include "platform/UPlatform.h"

#include <charconv>
#include <ctime>

namespace settings {

namespace {

bool Passes(TAttributeFilter filter, int attributes, int bit) {
    switch (filter) {
    case afDontCare:
        return true;
    case afSet:
        return (attributes & bit) != 0;
    case afUnset:
        return (attributes & bit) == 0;
    default:
        return false; // an out-of-range filter lets nothing through
    }
}

void AppendFragment(std::string& text, TAttributeFilter filter, const char* set,
                    const char* unset) {
    if (filter == afSet) {
        text += set;
    } else if (filter == afUnset) {
        text += unset;
    }
}

// Reads an unsigned decimal number of exactly `digits` digits at `pos`.
bool ReadDigits(std::string_view text, size_t& pos, size_t digits, int& out) {
    if (pos + digits > text.size()) {
        return false;
    }
    out = 0;
    for (size_t i = 0; i < digits; ++i) {
        const char c = text[pos + i];
        if (c < '0' || c > '9') {
            return false;
        }
        out = out * 10 + (c - '0');
    }
    pos += digits;
    return true;
}

bool ReadChar(std::string_view text, size_t& pos, char c) {
    if (pos < text.size() && text[pos] == c) {
        ++pos;
        return true;
    }
    return false;
}

bool IsMidnight(std::int64_t seconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    const std::tm* tm = std::localtime(&t);
    return tm != nullptr && tm->tm_hour == 0 && tm->tm_min == 0 && tm->tm_sec == 0;
}

// The date of the day before midnight `seconds`, so "before D" reads "on or before D-1".
std::string PreviousDay(std::int64_t seconds) {
    return FormatLocalTime(seconds - 12 * 60 * 60).substr(0, 10);
}

// "10 KB", "1536 bytes": the unit spelt out for the label.
std::string SizeText(std::int64_t bytes) {
    std::string text = FormatByteSize(bytes);
    const char unit = text.back();
    if (unit >= '0' && unit <= '9') {
        return text + (bytes == 1 ? " byte" : " bytes");
    }
    text.pop_back();
    return text + " " + unit + "B";
}

void AppendTimes(std::string& text, const TSearchOptions& o) {
    if (o.ModifiedFrom) {
        text += "modified on or after " + FormatLocalTime(*o.ModifiedFrom) + ", ";
    }
    if (o.ModifiedBefore) {
        text += IsMidnight(*o.ModifiedBefore)
                    ? "modified on or before " + PreviousDay(*o.ModifiedBefore) + ", "
                    : "modified before " + FormatLocalTime(*o.ModifiedBefore) + ", ";
    }
}

} // namespace

std::optional<std::int64_t> ParseLocalTime(std::string_view text) {
    size_t pos = 0;
    std::tm tm{};
    int year = 0, month = 0, day = 0;
    if (!ReadDigits(text, pos, 4, year) || !ReadChar(text, pos, '-') ||
        !ReadDigits(text, pos, 2, month) || !ReadChar(text, pos, '-') ||
        !ReadDigits(text, pos, 2, day)) {
        return std::nullopt;
    }
    int hour = 0, minute = 0, second = 0;
    if (pos < text.size()) {
        if (!ReadChar(text, pos, 'T') && !ReadChar(text, pos, ' ')) {
            return std::nullopt;
        }
        if (!ReadDigits(text, pos, 2, hour) || !ReadChar(text, pos, ':') ||
            !ReadDigits(text, pos, 2, minute)) {
            return std::nullopt;
        }
        if (ReadChar(text, pos, ':') && !ReadDigits(text, pos, 2, second)) {
            return std::nullopt;
        }
    }
    if (pos != text.size() || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 ||
        minute > 59 || second > 59) {
        return std::nullopt;
    }
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    const std::time_t t = std::mktime(&tm);
    // mktime normalises 31 February into March; such a date is refused.
    if (t == static_cast<std::time_t>(-1) || tm.tm_mday != day || tm.tm_mon != month - 1) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(t);
}

std::string FormatLocalTime(std::int64_t seconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    const std::tm* tm = std::localtime(&t);
    if (tm == nullptr) {
        return std::string();
    }
    char buf[32];
    const char* format =
        tm->tm_hour == 0 && tm->tm_min == 0 && tm->tm_sec == 0 ? "%Y-%m-%d" : "%Y-%m-%dT%H:%M:%S";
    return std::string(buf, std::strftime(buf, sizeof buf, format, tm));
}

std::optional<std::int64_t> ParseByteSize(std::string_view text) {
    std::int64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || value < 0 || ptr == text.data()) {
        return std::nullopt;
    }
    int shift = 0;
    if (ptr != end) {
        if (ptr + 1 != end) {
            return std::nullopt;
        }
        switch (*ptr) {
        case 'k':
        case 'K':
            shift = 10;
            break;
        case 'm':
        case 'M':
            shift = 20;
            break;
        case 'g':
        case 'G':
            shift = 30;
            break;
        default:
            return std::nullopt;
        }
    }
    if (value > (INT64_MAX >> shift)) {
        return std::nullopt;
    }
    return value << shift;
}

std::string FormatByteSize(std::int64_t bytes) {
    const char* units = "GMK";
    for (int shift = 30, i = 0; shift > 0; shift -= 10, ++i) {
        const std::int64_t unit = std::int64_t{1} << shift;
        if (bytes != 0 && bytes % unit == 0) {
            return std::to_string(bytes / unit) + units[i];
        }
    }
    return std::to_string(bytes);
}

bool TSearchOptions::AcceptsTime(std::int64_t modified) const {
    return (!ModifiedFrom || modified >= *ModifiedFrom) &&
           (!ModifiedBefore || modified < *ModifiedBefore);
}

bool TSearchOptions::AcceptsSize(std::int64_t size) const {
    return (!MinSize || size >= *MinSize) && (!MaxSize || size <= *MaxSize);
}

bool TSearchOptions::Accepts(int attributes) const {
    return Passes(archive_, attributes, platform::faArchive) &&
           Passes(readOnly_, attributes, platform::faReadOnly) &&
           Passes(system_, attributes, platform::faSysFile) &&
           Passes(hidden_, attributes, platform::faHidden);
}

std::string TSearchOptions::Description() const {
    std::string text;
    AppendFragment(text, archive_, "Archive attribute set, ", "Archive not set, ");
    AppendFragment(text, readOnly_, "Read-Only, ", "Read/Write, ");
    AppendFragment(text, system_, "System file, ", "not a System file, ");
    AppendFragment(text, hidden_, "Hidden file, ", "not a Hidden file, ");
    AppendTimes(text, *this);
    if (MinSize) {
        text += "at least " + SizeText(*MinSize) + ", ";
    }
    if (MaxSize) {
        text += "at most " + SizeText(*MaxSize) + ", ";
    }
    if (!ExcludeDirs.empty()) {
        text += "folders left out: " + ExcludeDirs + ", ";
    }
    if (SkipBinary) {
        text += "no binary files, ";
    }
    if (text.ends_with(", ")) {
        text.resize(text.size() - 2);
    }
    return text.empty() ? "No advanced options set." : text;
}

} // namespace settings
