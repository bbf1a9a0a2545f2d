#include "text/UMasks.h"

#include "text/UTextHelpers.h"

namespace text {

namespace {

// Compares bytes, folding ASCII case when asked; works on the strings in place, since a walk
// tests every name of every folder against every mask.
struct TByteEq {
    bool fold;
    bool operator()(char a, char b) const {
        return fold ? ToUpperAscii(a) == ToUpperAscii(b) : a == b;
    }
};

bool SegmentMatchesAt(std::string_view segment, std::string_view text, size_t at, TByteEq eq) {
    for (size_t k = 0; k < segment.size(); ++k) {
        if (segment[k] != '?' && !eq(segment[k], text[at + k])) {
            return false;
        }
    }
    return true;
}

int WildPosEq(std::string_view segment, std::string_view text, TByteEq eq) {
    if (segment.empty() && segment.find('?') == std::string_view::npos) {
        return 0;
    }
    if (segment.size() > text.size()) {
        return 0;
    }
    for (size_t start = 0; start + segment.size() <= text.size(); ++start) {
        if (SegmentMatchesAt(segment, text, start, eq)) {
            return static_cast<int>(start) + 1;
        }
    }
    return 0;
}

} // namespace

int WildPos(std::string_view segment, std::string_view text) {
    if (segment.find('?') == std::string_view::npos) {
        if (segment.empty()) {
            return 0;
        }
        const size_t p = text.find(segment);
        return p == std::string_view::npos ? 0 : static_cast<int>(p) + 1;
    }
    return WildPosEq(segment, text, TByteEq{false});
}

bool MatchMask(std::string_view name, std::string_view maskIn, bool ignoreCase) {
    if (maskIn == name) {
        return true;
    }
    // Runs of stars count as one; only masks that hold such a run need a collapsed copy.
    std::string collapsed;
    std::string_view mask = maskIn;
    if (mask.find("**") != std::string_view::npos) {
        collapsed.reserve(mask.size());
        for (char c : mask) {
            if (c == '*' && !collapsed.empty() && collapsed.back() == '*') {
                continue;
            }
            collapsed.push_back(c);
        }
        mask = collapsed;
    }
    if (mask == "*") {
        return true;
    }
    if (mask.empty() || name.empty()) {
        return false;
    }
    const TByteEq eq{ignoreCase};
    const size_t n = name.size();
    const size_t m = mask.size();
    size_t i = 0;
    size_t j = 0;
    while (i < n && j < m) {
        if (mask[j] == '?' || eq(name[i], mask[j])) {
            ++i;
            ++j;
        } else if (mask[j] == '*') {
            const size_t nextStar = mask.find('*', j + 1);
            if (nextStar == std::string_view::npos) {
                const std::string_view seg = mask.substr(j + 1);
                if (seg.empty()) {
                    return true;
                }
                if (n - i < seg.size()) {
                    return false;
                }
                return SegmentMatchesAt(seg, name, n - seg.size(), eq);
            }
            // Never empty: runs of stars were collapsed.
            const std::string_view seg = mask.substr(j + 1, nextStar - j - 1);
            const int pos = WildPosEq(seg, name.substr(i), eq);
            if (pos == 0) {
                return false;
            }
            i = i + static_cast<size_t>(pos) - 1 + seg.size();
            j = nextStar;
        } else {
            return false;
        }
    }
    if (i < n) {
        return false;
    }
    return j >= m || mask.substr(j) == "*";
}

bool MatchesAnyMask(std::string_view name, const std::vector<std::string>& masks) {
    for (const std::string& mask : masks) {
        if (MatchMask(name, mask, true)) {
            return true;
        }
    }
    return false;
}

} // namespace text
