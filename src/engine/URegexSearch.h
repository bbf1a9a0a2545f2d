// Regular-expression search of one file's bytes.
//
// The pattern sees the file's lines joined, each followed by CR LF, whatever breaks the file
// itself has, and every match is recorded against that text (the line in which it starts,
// its column there, and a match that starts on a line break counting that break). A
// replacement, though, is made in the file's own bytes: each match is mapped back from the
// joined text onto the file, so every byte outside the matches, the file's own line breaks
// and a missing final break among them, stays as it was.
//
// A pattern whose matches cannot cross a line break is instead searched line by line, in the
// lines holding its required literal only; the result is the same, without the joined text.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace regex {
class TRegExpr;
}

namespace engine {
class TSubstringFinder;
}

namespace model {
class TOccurence;
struct TEdit;
} // namespace model

namespace engine {

struct TRegexSearchOutput {
    // The matches in order, appended; the matches of one line share one copy of its text.
    std::vector<std::unique_ptr<model::TOccurence>>* Occurences = nullptr;
    // When set, each match is replaced by `Template` with the match's groups substituted, and
    // the file's new bytes go here (left alone when nothing matched).
    std::string* NewContent = nullptr;
    std::string_view Template;
    // When set, each match's replacement (by `Template`) as an edit of the file, at offsets
    // counted from `BaseOffset` (where the bytes searched start in the file).
    std::vector<model::TEdit>* Edits = nullptr;
    std::uint64_t BaseOffset = 0;
    // For RegexSearchByLines: the number (from 0) of the first line of the bytes searched, the
    // size of the whole file they are part of (0: the bytes are the whole file), and what gives
    // the shared text of a line with matches (a copy of the line when not set). There the
    // matches need not be recorded: Occurences may be null.
    std::uint64_t FirstLine = 0;
    size_t FileSize = 0;
    std::function<std::shared_ptr<const std::string>(std::string_view line)> ShareLine;
};

// Builds the joined text in `joined` (a buffer kept from file to file) and enumerates the
// expression's matches in it. Errors of the engine propagate. Gives the number of matches.
size_t RegexSearch(std::string_view file, regex::TRegExpr& expr, std::string& joined,
                   const TRegexSearchOutput& out);

// RegexSearch's result, occurrence for occurrence and byte for byte, found without the joined
// text: only the lines holding `literal` are searched, each on its own. Valid when the
// expression's matches stay within lines (TRegExpr::MatchesStayWithinLines), `literal` is
// its required literal (holding no CR or LF) prepared with its case rule, and the file is no
// larger than MaxLineSearchBytes.
size_t RegexSearchByLines(std::string_view file, regex::TRegExpr& expr,
                          const TSubstringFinder& literal, const TRegexSearchOutput& out);

// Beyond this, the joined text could outgrow what the engine takes, and RegexSearch fails
// where a search by lines would not.
constexpr size_t MaxLineSearchBytes = 1'000'000'000;

// The file's lines, each followed by CR LF.
void JoinLinesCrLf(std::string_view file, std::string& joined);

} // namespace engine
