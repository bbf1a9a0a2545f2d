#include "engine/UPlainSearch.h"

#include "engine/UByteScan.h"
#include "model/UTFileChange.h"
#include "model/UTOccurence.h"

#include <cstdint>

namespace engine {

namespace {

class TPlainScan {
public:
    TPlainScan(std::string_view file, const TSubstringFinder& finder, const TPlainSearchOutput& out)
        : file_(file), base_(file.data()), finder_(finder), out_(out), m_(finder.Length()),
          replacing_(out.NewContent != nullptr || out.AsReplacing || out.Edits != nullptr),
          writing_(out.NewContent != nullptr) {}

    size_t Run() {
        // Most files hold no find at all: for them the search is one plain scan.
        size_t hit = finder_.Find(file_, 0);
        if (hit == TSubstringFinder::npos) {
            return 0;
        }
        lineNo_ =
            out_.FirstLine + CountLineBreaks(base_, hit, static_cast<unsigned char>(base_[hit]));
        if (writing_) {
            out_.NewContent->clear();
            out_.NewContent->reserve(file_.size() + out_.Replacement.size());
        }
        while (hit != TSubstringFinder::npos) {
            Record(hit);
            // The needle holds no line break, so neither does what is skipped here; from the
            // first find on, the breaks are counted in the same pass as the search.
            std::uint64_t breaks = 0;
            hit = finder_.FindCounting(file_, replacing_ ? hit + m_ : hit + 1, breaks);
            lineNo_ += breaks;
        }
        if (writing_) {
            out_.NewContent->append(file_.substr(copiedTo_));
        }
        return found_;
    }

private:
    void Record(size_t hit) {
        if (!haveLine_ || hit >= lineEnd_) {
            // A new line: its start lies after the break that ended the previous one.
            const char* floor = haveLine_ ? base_ + lineEnd_ : base_;
            lineStart_ = static_cast<size_t>(FindLineStart(floor, base_ + hit) - base_);
            lineEnd_ =
                static_cast<size_t>(FindLineBreak(base_ + hit + m_, base_ + file_.size()) - base_);
            const std::string_view line = file_.substr(lineStart_, lineEnd_ - lineStart_);
            line_ =
                out_.ShareLine ? out_.ShareLine(line) : std::make_shared<const std::string>(line);
            shift_ = 0;
            haveLine_ = true;
        }
        const std::int64_t column = static_cast<std::int64_t>(hit - lineStart_) + 1 + shift_;
        out_.Occurences->push_back(std::make_unique<model::TOccurence>(
            line_, static_cast<std::int32_t>(lineNo_), static_cast<std::int32_t>(column),
            static_cast<std::int32_t>(m_)));
        ++found_;
        if (out_.Edits != nullptr) {
            out_.Edits->push_back(model::TEdit{out_.BaseOffset + hit, out_.BaseOffset + hit + m_,
                                               out_.BaseOffset + lineStart_,
                                               std::string(out_.Replacement)});
        }
        if (replacing_) {
            if (writing_) {
                out_.NewContent->append(file_.substr(copiedTo_, hit - copiedTo_));
                out_.NewContent->append(out_.Replacement);
                copiedTo_ = hit + m_;
            }
            shift_ +=
                static_cast<std::int64_t>(out_.Replacement.size()) - static_cast<std::int64_t>(m_);
        }
    }

    const std::string_view file_;
    const char* const base_;
    const TSubstringFinder& finder_;
    const TPlainSearchOutput& out_;
    const size_t m_;
    const bool replacing_;
    const bool writing_;

    size_t found_ = 0;
    std::uint64_t lineNo_ = 0; // line breaks before the current find
    bool haveLine_ = false;
    size_t lineStart_ = 0;
    size_t lineEnd_ = 0; // offset of the break ending the current line, or the file's size
    std::shared_ptr<const std::string> line_;
    std::int64_t shift_ = 0; // growth of the current line by its earlier replacements
    size_t copiedTo_ = 0;
};

} // namespace

size_t PlainSearch(std::string_view file, const TSubstringFinder& finder,
                   const TPlainSearchOutput& out) {
    const std::string_view needle = finder.Needle();
    if (needle.empty() || needle.find_first_of("\r\n") != std::string_view::npos) {
        return 0;
    }
    return TPlainScan(file, finder, out).Run();
}

} // namespace engine
