#include "model/UUnifiedDiff.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif
#include <vector>

namespace model {

namespace {

#if defined(__x86_64__) && defined(__GNUC__)
// The starts of the lines after each LF in the first whole 32-byte blocks; gives where it
// stopped.
__attribute__((target("avx2"))) size_t LineStartsAvx2(const unsigned char* p, size_t n,
                                                      std::vector<size_t>& starts) {
    const __m256i lf = _mm256_set1_epi8('\n');
    size_t i = 0;
    for (; i + 32 <= n; i += 32) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i));
        auto mask = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(v, lf)));
        while (mask != 0) {
            starts.push_back(i + static_cast<size_t>(__builtin_ctz(mask)) + 1);
            mask &= mask - 1;
        }
    }
    return i;
}

bool HasAvx2() {
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return has;
}
#endif

// A run of whole original lines [FirstLine, EndLine), bytes [From, To), and what it becomes.
struct TCluster {
    size_t FirstLine = 0;
    size_t EndLine = 0;
    size_t From = 0;
    size_t To = 0;
    std::string NewText;
};

class TLines {
public:
    explicit TLines(std::string_view text) : text_(text) {
        starts_.push_back(0);
        // Eight bytes at a time: most lines are short, and a search call per line costs more
        // than the line.
        const auto* const bytes = reinterpret_cast<const unsigned char*>(text.data());
        const size_t n = text.size();
        size_t i = 0;
#if defined(__x86_64__) && defined(__GNUC__)
        if (HasAvx2()) {
            i = LineStartsAvx2(bytes, n, starts_);
        }
#endif
        constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL;
        constexpr std::uint64_t kLfs = 0x0A0A0A0A0A0A0A0AULL;
        for (; i + 8 <= n; i += 8) {
            std::uint64_t w;
            std::memcpy(&w, bytes + i, 8);
            const std::uint64_t x = w ^ kLfs;
            // The high bit of each byte that is zero in x, that is LF in w; exact.
            std::uint64_t lfs = ~(((x & kLow7) + kLow7) | x | kLow7);
            while (lfs != 0) {
                starts_.push_back(i + static_cast<size_t>(__builtin_ctzll(lfs)) / 8 + 1);
                lfs &= lfs - 1;
            }
        }
        for (; i < n; ++i) {
            if (bytes[i] == '\n') {
                starts_.push_back(i + 1);
            }
        }
        // A text ending in a break has no line after it.
        if (starts_.back() == text.size() && starts_.size() > 1) {
            starts_.pop_back();
        }
        if (text.empty()) {
            starts_.clear();
        }
    }
    size_t Count() const {
        return starts_.size();
    }
    size_t Start(size_t line) const {
        return line < starts_.size() ? starts_[line] : text_.size();
    }
    // The line holding byte `at`; Count() for the end of a text ending in a break (or empty).
    size_t LineOf(size_t at) const {
        if (at >= text_.size()) {
            return text_.empty() || text_.back() == '\n' ? Count() : Count() - 1;
        }
        return static_cast<size_t>(std::upper_bound(starts_.begin(), starts_.end(), at) -
                                   starts_.begin()) -
               1;
    }
    std::string_view Line(size_t line) const {
        return text_.substr(Start(line), Start(line + 1) - Start(line));
    }

private:
    std::string_view text_;
    std::vector<size_t> starts_;
};

// Writes each line of `text` with `mark` before it, and the marker for a last line without a
// break.
void PutLines(std::string& out, char mark, std::string_view text) {
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        const bool broken = end != std::string_view::npos;
        end = broken ? end + 1 : text.size();
        out += mark;
        out.append(text.substr(at, end - at));
        if (!broken) {
            out += "\n\\ No newline at end of file\n";
        }
        at = end;
    }
}

size_t CountLines(std::string_view text) {
    const auto n = static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
    return n + (!text.empty() && text.back() != '\n' ? 1 : 0);
}

} // namespace

std::string UnifiedDiff(std::string_view original, const TFileChange& change,
                        const std::string& oldLabel, const std::string& newLabel, bool onlyChosen,
                        int context) {
    const TLines lines(original);
    std::vector<size_t> picked;
    for (size_t i = 0; i < change.Edits.size(); ++i) {
        const TEdit& e = change.Edits[i];
        if ((!onlyChosen || change.IsChosen(i)) && e.From <= e.To && e.To <= original.size()) {
            picked.push_back(i);
        }
    }
    // Clusters of edits sharing lines, each taken to whole lines, and further while what it
    // becomes would run into the next line (an edit that ate a break).
    std::vector<TCluster> clusters;
    size_t k = 0;
    while (k < picked.size()) {
        TCluster c;
        c.FirstLine = lines.LineOf(change.Edits[picked[k]].From);
        c.From = lines.Start(c.FirstLine);
        c.EndLine = c.FirstLine;
        size_t copied = c.From;
        bool any = false;
        for (;;) {
            for (; k < picked.size(); ++k) {
                const TEdit& e = change.Edits[picked[k]];
                if (e.From < copied) {
                    continue; // overlaps the one before: left out, as ApplyEdits does
                }
                if (any && lines.LineOf(e.From) >= c.EndLine) {
                    break;
                }
                c.NewText.append(original.substr(copied, e.From - copied));
                c.NewText.append(e.Text);
                copied = e.To;
                any = true;
                const size_t last = e.To > e.From ? e.To - 1 : e.From;
                c.EndLine = std::max(c.EndLine, std::min(lines.LineOf(last) + 1, lines.Count()));
            }
            const size_t end = std::max(lines.Start(c.EndLine), copied);
            // An edit that ate a line's break joins the next line to it.
            const bool joined = end < original.size() &&
                                (end > copied ? original[end - 1] != '\n'
                                              : !c.NewText.empty() && c.NewText.back() != '\n');
            if (joined) {
                ++c.EndLine;
                continue;
            }
            c.NewText.append(original.substr(copied, end - copied));
            c.To = end;
            break;
        }
        if (original.substr(c.From, c.To - c.From) != c.NewText) {
            clusters.push_back(std::move(c));
        }
    }
    if (clusters.empty()) {
        return {};
    }
    std::string out = "--- " + oldLabel + "\n+++ " + newLabel + "\n";
    const auto ctx = static_cast<size_t>(std::max(context, 0));
    std::int64_t delta = 0; // new lines minus old lines before the current hunk
    size_t i = 0;
    while (i < clusters.size()) {
        size_t j = i + 1;
        while (j < clusters.size() && clusters[j].FirstLine <= clusters[j - 1].EndLine + 2 * ctx) {
            ++j;
        }
        const size_t oldFirst = clusters[i].FirstLine > ctx ? clusters[i].FirstLine - ctx : 0;
        const size_t oldEnd = std::min(clusters[j - 1].EndLine + ctx, lines.Count());
        std::string body;
        size_t newCount = 0;
        size_t line = oldFirst;
        for (size_t m = i; m < j;) {
            for (; line < clusters[m].FirstLine; ++line) {
                PutLines(body, ' ', lines.Line(line));
                ++newCount;
            }
            // Clusters on touching lines make one block: its old lines, then its new ones.
            size_t end = m + 1;
            while (end < j && clusters[end].FirstLine == clusters[end - 1].EndLine) {
                ++end;
            }
            PutLines(body, '-',
                     original.substr(clusters[m].From, clusters[end - 1].To - clusters[m].From));
            for (size_t n = m; n < end; ++n) {
                PutLines(body, '+', clusters[n].NewText);
                newCount += CountLines(clusters[n].NewText);
            }
            line = clusters[end - 1].EndLine;
            m = end;
        }
        for (; line < oldEnd; ++line) {
            PutLines(body, ' ', lines.Line(line));
            ++newCount;
        }
        const size_t oldCount = oldEnd - oldFirst;
        const auto newFirst = static_cast<std::int64_t>(oldFirst) + delta;
        const auto head = [](std::int64_t first, size_t count) {
            return std::to_string(count == 0 ? first : first + 1) + "," + std::to_string(count);
        };
        out += "@@ -" + head(static_cast<std::int64_t>(oldFirst), oldCount) + " +" +
               head(newFirst, newCount) + " @@\n";
        out += body;
        delta += static_cast<std::int64_t>(newCount) - static_cast<std::int64_t>(oldCount);
        i = j;
    }
    return out;
}

} // namespace model
