#include "model/UUnifiedDiff.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
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

// "@@ -a,b +c,d @@": lines counted from 1, an empty side numbered by the line before it.
std::string HunkHead(std::int64_t oldFirst, size_t oldCount, std::int64_t newFirst,
                     size_t newCount) {
    const auto side = [](std::int64_t first, size_t count) {
        return std::to_string(count == 0 ? first : first + 1) + "," + std::to_string(count);
    };
    return "@@ -" + side(oldFirst, oldCount) + " +" + side(newFirst, newCount) + " @@\n";
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
                // (A cluster at the end of a text that ends in a break has no line of its own:
                // every edit there joins it.)
                if (any && lines.LineOf(e.From) >= std::max(c.EndLine, c.FirstLine + 1)) {
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
        out += HunkHead(static_cast<std::int64_t>(oldFirst), oldCount, newFirst, newCount);
        out += body;
        delta += static_cast<std::int64_t>(newCount) - static_cast<std::int64_t>(oldCount);
        i = j;
    }
    return out;
}

} // namespace model

namespace model {

namespace {

// The lines of a text read a piece at a time, each with its break; a view is good until the
// next call.
class TLineReader {
public:
    TLineReader(const TReadPiece& read, const std::function<void(std::string_view)>& seen)
        : read_(read), seen_(seen) {}

    bool Next(std::string_view& line, std::uint64_t& at) {
        for (;;) {
            const size_t lf = buf_.find('\n', pos_);
            if (lf != std::string::npos || (eof_ && pos_ < buf_.size())) {
                const size_t end = lf != std::string::npos ? lf + 1 : buf_.size();
                line = std::string_view(buf_).substr(pos_, end - pos_);
                at = bufAt_ + pos_;
                pos_ = end;
                return true;
            }
            if (eof_) {
                return false;
            }
            buf_.erase(0, pos_);
            bufAt_ += pos_;
            pos_ = 0;
            const size_t had = buf_.size();
            buf_.resize(had + kPiece);
            const size_t got = read_(bufAt_ + had, buf_.data() + had, kPiece);
            buf_.resize(had + got);
            if (seen_ && got > 0) {
                seen_(std::string_view(buf_).substr(had, got));
            }
            eof_ = got == 0; // a short piece is not yet the end
        }
    }

private:
    static constexpr size_t kPiece = 64 * 1024;
    const TReadPiece& read_;
    const std::function<void(std::string_view)>& seen_;
    std::string buf_;
    std::uint64_t bufAt_ = 0; // the file offset of buf_[0]
    size_t pos_ = 0;
    bool eof_ = false;
};

// Hunks put together as the lines go by: the unchanged lines since the last change wait in
// `pending` until it is known whether they are context between two changes, after the last
// one, or before the next hunk.
class THunkWriter {
public:
    THunkWriter(std::string& out, std::string header, size_t context)
        : out_(out), header_(std::move(header)), ctx_(context) {}

    void Unchanged(std::string_view line) {
        ++lineNo_;
        pending_.emplace_back(line);
        if (open_ && pending_.size() > 2 * ctx_) {
            Close();
        }
        while (!open_ && pending_.size() > ctx_) {
            pending_.pop_front();
        }
    }

    // Lines [first, first + CountLines(oldText)) become newText.
    void Changed(std::string_view oldText, std::string_view newText) {
        if (!open_) {
            open_ = true;
            oldFirst_ = lineNo_ - pending_.size();
            oldCount_ = newCount_ = 0;
            body_.clear();
        } else if (!pending_.empty()) {
            FlushBlock();
        }
        for (const std::string& l : pending_) {
            PutLines(body_, ' ', l);
        }
        oldCount_ += pending_.size();
        newCount_ += pending_.size();
        pending_.clear();
        blockOld_.append(oldText);
        blockNew_.append(newText);
        const size_t lines = CountLines(oldText);
        lineNo_ += lines;
        oldCount_ += lines;
        newCount_ += CountLines(newText);
    }

    void Finish() {
        if (open_) {
            Close();
        }
    }

private:
    void FlushBlock() {
        PutLines(body_, '-', blockOld_);
        PutLines(body_, '+', blockNew_);
        blockOld_.clear();
        blockNew_.clear();
    }

    void Close() {
        FlushBlock();
        const size_t trailing = std::min(ctx_, pending_.size());
        for (size_t i = 0; i < trailing; ++i) {
            PutLines(body_, ' ', pending_[i]);
        }
        oldCount_ += trailing;
        newCount_ += trailing;
        if (!header_.empty()) {
            out_ += header_;
            header_.clear();
        }
        out_ += HunkHead(static_cast<std::int64_t>(oldFirst_), oldCount_,
                         static_cast<std::int64_t>(oldFirst_) + delta_, newCount_);
        out_ += body_;
        delta_ += static_cast<std::int64_t>(newCount_) - static_cast<std::int64_t>(oldCount_);
        open_ = false;
    }

    std::string& out_;
    std::string header_; // written before the first hunk
    const size_t ctx_;
    std::deque<std::string> pending_;
    size_t lineNo_ = 0; // lines seen so far
    bool open_ = false;
    size_t oldFirst_ = 0;
    size_t oldCount_ = 0;
    size_t newCount_ = 0;
    std::int64_t delta_ = 0;
    std::string body_;
    std::string blockOld_;
    std::string blockNew_;
};

} // namespace

std::string UnifiedDiffStreamed(const TReadPiece& read, std::uint64_t size,
                                const TFileChange& change, const std::string& oldLabel,
                                const std::string& newLabel, bool onlyChosen, int context,
                                const std::function<void(std::string_view)>& seen) {
    std::vector<size_t> picked;
    for (size_t i = 0; i < change.Edits.size(); ++i) {
        const TEdit& e = change.Edits[i];
        if ((!onlyChosen || change.IsChosen(i)) && e.From <= e.To && e.To <= size) {
            picked.push_back(i);
        }
    }
    std::string out;
    THunkWriter hunks(out, "--- " + oldLabel + "\n+++ " + newLabel + "\n",
                      static_cast<size_t>(std::max(context, 0)));
    TLineReader lines(read, seen);
    size_t k = 0;
    std::string_view line;
    std::uint64_t at = 0;
    std::uint64_t end = 0; // the end of the lines read so far
    bool more = lines.Next(line, at);
    // Whether edit `e` starts in the line [lineAt, lineEnd) whose last byte is `last`; an edit
    // at the very end belongs to a last line without a break.
    const auto startsIn = [&](const TEdit& e, std::uint64_t lineEnd, bool broken) {
        return e.From < lineEnd || (e.From == lineEnd && lineEnd == size && !broken);
    };
    while (more || k < picked.size()) {
        if (more && (k == picked.size() || !startsIn(change.Edits[picked[k]], at + line.size(),
                                                     !line.empty() && line.back() == '\n'))) {
            hunks.Unchanged(line);
            end = at + line.size();
            more = lines.Next(line, at);
            continue;
        }
        // A cluster: whole lines, from the one where the edit starts.
        std::string oldText;
        std::uint64_t start = more ? at : end;
        std::uint64_t clusterEnd = start;
        const auto take = [&] {
            oldText.append(line);
            clusterEnd = at + line.size();
            end = clusterEnd;
            more = lines.Next(line, at);
        };
        if (more) {
            take();
        }
        std::string newText;
        std::uint64_t copied = start;
        bool any = false;
        for (;;) {
            for (; k < picked.size(); ++k) {
                const TEdit& e = change.Edits[picked[k]];
                if (e.From < copied) {
                    continue; // overlaps the one before: left out, as ApplyEdits does
                }
                const bool broken = !oldText.empty() && oldText.back() == '\n';
                // At the end of a text that ends in a break every edit joins the cluster there.
                if (any && clusterEnd > start && !startsIn(e, clusterEnd, broken)) {
                    break;
                }
                const std::uint64_t last = e.To > e.From ? e.To - 1 : e.From;
                while (clusterEnd <= last && clusterEnd < size && more) {
                    take();
                }
                if (e.To > start + oldText.size()) {
                    k = picked.size(); // past what the file holds now
                    break;
                }
                newText.append(oldText, copied - start, e.From - copied);
                newText.append(e.Text);
                copied = e.To;
                any = true;
            }
            if (clusterEnd < size && clusterEnd == copied && more && !newText.empty() &&
                newText.back() != '\n') {
                take(); // the break was eaten: the next line joins
                continue;
            }
            break;
        }
        newText.append(oldText, copied - start, std::string::npos);
        if (newText == oldText) {
            size_t p = 0;
            while (p < oldText.size()) {
                const size_t lf = oldText.find('\n', p);
                const size_t e = lf == std::string::npos ? oldText.size() : lf + 1;
                hunks.Unchanged(std::string_view(oldText).substr(p, e - p));
                p = e;
            }
        } else {
            hunks.Changed(oldText, newText);
        }
        if (!more && clusterEnd == start) {
            k = picked.size(); // the edits at the very end are all in
        }
    }
    hunks.Finish();
    return out;
}

} // namespace model
