#include "engine/URegexSearch.h"

#include "engine/UByteScan.h"
#include "model/UTFileChange.h"
#include "model/UTOccurence.h"
#include "regex/URegExpr.h"
#include "text/UTextHelpers.h"

#include <algorithm>
#include <cstdint>

using regex::TRegExpr;

namespace engine {

namespace {

// Walks the file's lines and the joined text side by side. Every position it is asked about
// is at or after the previous one (match starts and ends come in order), so one pass over
// the lines serves the whole enumeration.
class TLineWalker {
public:
    explicit TLineWalker(std::string_view file) : file_(file) { Load(); }

    // Moves to the line whose joined span [start, start + length + 2) holds `q`, or past the
    // last line when `q` is the end of the joined text.
    void Seek(size_t q) {
        while (!atEnd_ && q >= joinedStart_ + length_ + 2) {
            fileStart_ += length_ + breakLength_;
            joinedStart_ += length_ + 2;
            ++index_;
            text_.reset();
            Load();
        }
    }

    bool AtEnd() const { return atEnd_; }
    std::uint64_t Index() const { return index_; }
    size_t Offset(size_t q) const { return q - joinedStart_; } // within the current line's span
    size_t LineFileStart() const { return fileStart_; }
    size_t Length() const { return length_; }

    // The file offset of joined boundary `q`. A boundary between the CR and the LF of a
    // joined break has no counterpart when the file's own break is one byte (or none, after
    // the last line): a match starting there starts at the file's break, one ending there
    // takes the whole break.
    size_t FileStart(size_t q) {
        Seek(q);
        if (atEnd_) {
            return file_.size();
        }
        const size_t off = Offset(q);
        if (off <= length_) {
            return fileStart_ + off;
        }
        return fileStart_ + length_ + (breakLength_ == 2 ? 1 : 0);
    }
    size_t FileEnd(size_t q) {
        Seek(q);
        if (atEnd_) {
            return file_.size();
        }
        const size_t off = Offset(q);
        if (off <= length_) {
            return fileStart_ + off;
        }
        return fileStart_ + length_ + (breakLength_ == 2 ? 1 : breakLength_);
    }

    const std::shared_ptr<const std::string>& Text() {
        if (!text_) {
            text_ = std::make_shared<const std::string>(file_.substr(fileStart_, length_));
        }
        return text_;
    }

private:
    void Load() {
        if (fileStart_ >= file_.size()) {
            atEnd_ = true;
            length_ = 0;
            breakLength_ = 0;
            return;
        }
        const char* const base = file_.data();
        const char* const end = base + file_.size();
        const char* const brk = FindLineBreak(base + fileStart_, end);
        length_ = static_cast<size_t>(brk - (base + fileStart_));
        breakLength_ = text::LineBreakLength(file_, static_cast<size_t>(brk - base));
    }

    std::string_view file_;
    size_t fileStart_ = 0;   // the current line in the file
    size_t length_ = 0;      // its bytes, without the break
    size_t breakLength_ = 0; // 2 for CR LF, 1 for a lone CR or LF, 0 for none
    size_t joinedStart_ = 0; // the current line in the joined text
    std::uint64_t index_ = 0;
    bool atEnd_ = false;
    std::shared_ptr<const std::string> text_;
};

} // namespace

void JoinLinesCrLf(std::string_view file, std::string& joined) {
    joined.clear();
    joined.reserve(file.size() + file.size() / 16 + 2);
    const char* p = file.data();
    const char* const end = p + file.size();
    while (p < end) {
        const char* const brk = FindLineBreak(p, end);
        joined.append(p, static_cast<size_t>(brk - p));
        joined.append("\r\n", 2);
        if (brk == end) {
            break;
        }
        p = brk + text::LineBreakLength(file, static_cast<size_t>(brk - file.data()));
    }
}

size_t RegexSearch(std::string_view file, TRegExpr& expr, std::string& joined,
                   const TRegexSearchOutput& out) {
    JoinLinesCrLf(file, joined);
    if (!expr.ExecView(joined)) {
        return 0;
    }
    const bool replacing = out.NewContent != nullptr;
    const bool editing = out.Edits != nullptr;
    if (replacing) {
        out.NewContent->clear();
        out.NewContent->reserve(file.size());
    }
    TLineWalker walker(file);
    const auto emptyText = std::make_shared<const std::string>();
    size_t found = 0;
    size_t copiedTo = 0;
    do {
        const auto q = static_cast<size_t>(expr.MatchPos(0) - 1);
        const auto len = static_cast<size_t>(expr.MatchLen(0));
        // In the joined text: the line in which the match starts, its column there; a match
        // starting on the CR or the LF of a break belongs to the next line's count.
        walker.Seek(q);
        std::uint64_t line = walker.Index();
        std::int64_t column = 1;
        std::shared_ptr<const std::string> text = emptyText;
        const size_t lineStart = walker.AtEnd() ? file.size() : walker.LineFileStart();
        if (!walker.AtEnd()) {
            const size_t off = walker.Offset(q);
            if (off <= walker.Length()) {
                text = walker.Text();
                column = static_cast<std::int64_t>(off) + 1;
            }
            if (off >= walker.Length()) {
                ++line;
            }
        }
        out.Occurences->push_back(std::make_unique<model::TOccurence>(
            std::move(text), static_cast<std::int32_t>(line), static_cast<std::int32_t>(column),
            static_cast<std::int32_t>(len)));
        ++found;
        if (replacing || editing) {
            const size_t from = std::max(walker.FileStart(q), copiedTo);
            const size_t to = len == 0 ? from : std::max(walker.FileEnd(q + len), from);
            std::string substitute = expr.Substitute(out.Template);
            if (replacing) {
                out.NewContent->append(file.substr(copiedTo, from - copiedTo));
                out.NewContent->append(substitute);
            }
            if (editing) {
                out.Edits->push_back(model::TEdit{out.BaseOffset + from, out.BaseOffset + to,
                                                  out.BaseOffset + lineStart,
                                                  std::move(substitute)});
            }
            copiedTo = to;
        }
    } while (expr.ExecNext());
    if (replacing) {
        out.NewContent->append(file.substr(copiedTo));
    }
    return found;
}

size_t RegexSearchByLines(std::string_view file, TRegExpr& expr, const TSubstringFinder& literal,
                          const TRegexSearchOutput& out) {
    // Most files hold no literal at all: for them the search is one plain scan.
    size_t hit = literal.Find(file, 0);
    if (hit == TSubstringFinder::npos) {
        return 0;
    }
    const char* const base = file.data();
    const char* const end = base + file.size();
    std::uint64_t line =
        out.FirstLine + CountLineBreaks(base, hit, static_cast<unsigned char>(base[hit]));

    // The joined text, at most twice the file, would have had a backtracking budget of its
    // size; each line gets no less.
    struct TLimitScope {
        TRegExpr& Expr;
        ~TLimitScope() { Expr.SetLimitInputSize(0); }
    } limitScope{expr};
    expr.SetLimitInputSize(2 * (out.FileSize != 0 ? out.FileSize : file.size()) + 2);

    const bool replacing = out.NewContent != nullptr;
    size_t found = 0;
    size_t copiedTo = 0;
    size_t floor = 0; // the start of the first line not yet searched
    for (;;) {
        // The literal holds no break, so the line around its first byte holds all of it.
        const auto lineStart = static_cast<size_t>(FindLineStart(base + floor, base + hit) - base);
        const auto lineEnd =
            static_cast<size_t>(FindLineBreak(base + hit + literal.Length(), end) - base);
        const std::string_view text = file.substr(lineStart, lineEnd - lineStart);
        std::shared_ptr<const std::string> shared;
        if (expr.ExecView(text)) {
            do {
                const auto pos = static_cast<size_t>(expr.MatchPos(0) - 1);
                const auto len = static_cast<size_t>(expr.MatchLen(0));
                if (out.Occurences != nullptr) {
                    if (!shared) {
                        shared = out.ShareLine ? out.ShareLine(text)
                                               : std::make_shared<const std::string>(text);
                    }
                    out.Occurences->push_back(std::make_unique<model::TOccurence>(
                        shared, static_cast<std::int32_t>(line), static_cast<std::int32_t>(pos + 1),
                        static_cast<std::int32_t>(len)));
                }
                if (replacing || out.Edits != nullptr) {
                    if (replacing && found == 0) {
                        out.NewContent->clear();
                        out.NewContent->reserve(file.size());
                    }
                    const size_t from = lineStart + pos;
                    std::string substitute = expr.Substitute(out.Template);
                    if (replacing) {
                        out.NewContent->append(file.substr(copiedTo, from - copiedTo));
                        out.NewContent->append(substitute);
                    }
                    if (out.Edits != nullptr) {
                        out.Edits->push_back(
                            model::TEdit{out.BaseOffset + from, out.BaseOffset + from + len,
                                         out.BaseOffset + lineStart, std::move(substitute)});
                    }
                    copiedTo = from + len;
                }
                ++found;
            } while (expr.ExecNext());
        }
        if (lineEnd == file.size()) {
            break;
        }
        // Past the line's break; a line holding the literal several times is searched once.
        floor = lineEnd + text::LineBreakLength(file, lineEnd);
        std::uint64_t breaks = 0;
        hit = literal.FindCounting(file, floor, breaks);
        if (hit == TSubstringFinder::npos) {
            break;
        }
        line += 1 + breaks;
    }
    if (replacing && found > 0) {
        out.NewContent->append(file.substr(copiedTo));
    }
    return found;
}

} // namespace engine
