// Plain (non-pattern) search of one file's bytes.
//
// The result is that of searching the file line by line, each line from its start: without
// replacing, the search goes on one byte after each find, so overlapping finds all count;
// with replacing, it goes on right after the replaced text, and the column of a later find in
// the same line is its position in the line as already changed. The work, though, is done
// over the whole buffer at once: candidates are found by a vector scan, and lines are only
// looked at around a find.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace model {
class TOccurence;
struct TEdit;
} // namespace model

namespace engine {

class TSubstringFinder;

struct TPlainSearchOutput {
    // The finds in order, appended; the finds of one line share one copy of its text.
    std::vector<std::unique_ptr<model::TOccurence>>* Occurences = nullptr;
    // When set, the search replaces: each find is replaced by `Replacement`, and the file's
    // new bytes go here (left empty when nothing was found). Everything else is kept byte
    // for byte, line breaks included.
    std::string* NewContent = nullptr;
    std::string_view Replacement;
    // The finds and their columns as when replacing, without making the new content.
    bool AsReplacing = false;
    // The number (from 0) of the first line of the bytes searched: a file may be searched a
    // run of whole lines at a time.
    std::uint64_t FirstLine = 0;
    // When set, each find's replacement as an edit of the file, at offsets counted from
    // `BaseOffset` (where the bytes searched start in the file).
    std::vector<model::TEdit>* Edits = nullptr;
    std::uint64_t BaseOffset = 0;
    // Gives the shared text of a line with finds; a copy of the line when not set.
    std::function<std::shared_ptr<const std::string>(std::string_view line)> ShareLine;
};

// Searches `file` for the finder's needle. A needle holding CR or LF finds nothing, since no
// line holds a line break. Gives the number of finds.
size_t PlainSearch(std::string_view file, const TSubstringFinder& finder,
                   const TPlainSearchOutput& out);

} // namespace engine
