#include "platform/UFolderOrder.h"

#include <algorithm>
#include <vector>

namespace platform {

namespace {

char Upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool NameBefore(const std::string& a, const std::string& b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const auto ua = static_cast<unsigned char>(Upper(a[i]));
        const auto ub = static_cast<unsigned char>(Upper(b[i]));
        if (ua != ub) {
            return ua < ub;
        }
    }
    if (a.size() != b.size()) {
        return a.size() < b.size();
    }
    return a < b;
}

} // namespace

void SortFolderEntries(std::vector<TFolderEntry>& entries, const std::function<void()>& meanwhile) {
    const auto before = [](const TFolderEntry& a, const TFolderEntry& b) {
        return NameBefore(a.Name, b.Name);
    };
    constexpr size_t kRun = 4096;
    const size_t n = entries.size();
    if (!meanwhile || n <= kRun) {
        std::sort(entries.begin(), entries.end(), before);
        return;
    }
    const auto at = [&](size_t i) { return entries.begin() + static_cast<std::ptrdiff_t>(i); };
    for (size_t i = 0; i < n; i += kRun) {
        std::sort(at(i), at(std::min(i + kRun, n)), before);
        meanwhile();
    }
    // Merged through a buffer a run at a time: the last merges move every entry, which takes
    // long enough on a huge folder to be noticed if done in one step.
    std::vector<TFolderEntry> merged;
    merged.reserve(n);
    const auto tick = [&](size_t moved) {
        if ((moved & (kRun - 1)) == 0) {
            meanwhile();
        }
    };
    for (size_t width = kRun; width < n; width *= 2) {
        for (size_t lo = 0; lo + width < n; lo += 2 * width) {
            const size_t mid = lo + width;
            const size_t hi = std::min(lo + 2 * width, n);
            merged.clear();
            size_t a = lo;
            size_t b = mid;
            while (a < mid || b < hi) {
                const bool takeB = a == mid || (b < hi && before(entries[b], entries[a]));
                merged.push_back(std::move(entries[takeB ? b++ : a++]));
                tick(merged.size());
            }
            for (size_t k = 0; k < merged.size(); ++k) {
                entries[lo + k] = std::move(merged[k]);
                tick(k + 1);
            }
        }
    }
}

} // namespace platform
