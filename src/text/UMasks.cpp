#include "UMasks.h"

#include "UTextHelpers.h"

namespace text {

namespace {

bool SegmentMatchesAt(std::string_view segment, std::string_view text, size_t at) {
    for (size_t k = 0; k < segment.size(); ++k) {
        if (segment[k] != '?' && segment[k] != text[at + k]) {
            return false;
        }
    }
    return true;
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
    if (segment.size() > text.size()) {
        return 0;
    }
    for (size_t start = 0; start + segment.size() <= text.size(); ++start) {
        if (SegmentMatchesAt(segment, text, start)) {
            return static_cast<int>(start) + 1;
        }
    }
    return 0;
}

bool MatchMask(std::string_view nameIn, std::string_view maskIn, bool ignoreCase) {
    if (maskIn == nameIn) {
        return true;
    }
    std::string mask(maskIn);
    // Collapse runs of stars: the matching below treats a star as one unit.
    std::string collapsed;
    collapsed.reserve(mask.size());
    for (char c : mask) {
        if (c == '*' && !collapsed.empty() && collapsed.back() == '*') {
            continue;
        }
        collapsed.push_back(c);
    }
    mask = std::move(collapsed);
    if (mask == "*") {
        return true;
    }
    std::string name(nameIn);
    if (ignoreCase) {
        name = UpperCaseAscii(name);
        mask = UpperCaseAscii(mask);
    }
    if (mask.empty() || name.empty()) {
        return false;
    }
    const size_t n = name.size();
    const size_t m = mask.size();
    size_t i = 0; // 0-based here; the loop is the 1-based walk shifted by one
    size_t j = 0;
    while (i < n && j < m) {
        if (name[i] == mask[j] || mask[j] == '?') {
            ++i;
            ++j;
        } else if (mask[j] == '*') {
            const size_t nextStar = mask.find('*', j + 1);
            if (nextStar == std::string::npos) {
                const std::string_view seg = std::string_view(mask).substr(j + 1);
                if (seg.empty()) {
                    return true;
                }
                const size_t rest = n - i;
                if (rest < seg.size()) {
                    return false;
                }
                return SegmentMatchesAt(seg, name, n - seg.size());
            }
            const std::string_view seg = std::string_view(mask).substr(j + 1, nextStar - j - 1);
            const int pos = WildPos(seg, std::string_view(name).substr(i));
            if (pos == 0) {
                // An empty segment between two stars was collapsed away, so seg is never empty.
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
    if (j < m && std::string_view(mask).substr(j) != "*") {
        return false;
    }
    return true;
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
