// A unified diff of the changes a preview found in one file, as `diff -u` writes it and
// `patch` reads it: lines end at LF (a CR stays part of its line), three lines of context,
// "\ No newline at end of file" where a side's last line has no break.
#pragma once

#include "model/UTFileChange.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace model {

// The diff between `original` and the original with the change's chosen edits made (every
// edit when `onlyChosen` is false), headed "--- oldLabel" and "+++ newLabel"; empty when
// the edits change nothing.
std::string UnifiedDiff(std::string_view original, const TFileChange& change,
                        const std::string& oldLabel, const std::string& newLabel,
                        bool onlyChosen = true, int context = 3);

// The bytes of a file from `offset` on into `into`, at most `n`; 0 only at its end.
using TReadPiece = std::function<size_t(std::uint64_t offset, char* into, size_t n)>;

// The same diff made from the original read a piece at a time, so that a big file is never held
// whole: memory grows with the changed lines and their context only. The file (`size` bytes)
// is read once, in order, each piece handed to `seen` when set (to hash it on the way).
std::string UnifiedDiffStreamed(const TReadPiece& read, std::uint64_t size,
                                const TFileChange& change, const std::string& oldLabel,
                                const std::string& newLabel, bool onlyChosen = true,
                                int context = 3,
                                const std::function<void(std::string_view)>& seen = {});

} // namespace model
