#include "platform/UFolderOrder.h"

#include <algorithm>

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
    for (size_t width = kRun; width < n; width *= 2) {
        for (size_t i = 0; i + width < n; i += 2 * width) {
            std::inplace_merge(at(i), at(i + width), at(std::min(i + 2 * width, n)), before);
            meanwhile();
        }
    }
}

} // namespace platform
