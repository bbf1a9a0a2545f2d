// A unified diff of the changes a preview found in one file, as `diff -u` writes it and
// `patch` reads it: lines end at LF (a CR stays part of its line), three lines of context,
// "\ No newline at end of file" where a side's last line has no break.
#pragma once

#include "model/UTFileChange.h"

#include <string>
#include <string_view>

namespace model {

// The diff between `original` and the original with the change's chosen edits made (every
// edit when `onlyChosen` is false), headed "--- oldLabel" and "+++ newLabel"; empty when
// the edits change nothing.
std::string UnifiedDiff(std::string_view original, const TFileChange& change,
                        const std::string& oldLabel, const std::string& newLabel,
                        bool onlyChosen = true, int context = 3);

} // namespace model
