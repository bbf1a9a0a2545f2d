// What a replacement would do to one file, as found by a preview: the hash of the content it
// was found in, and one edit per occurrence (in the order of the file's occurrences), each
// with a flag telling whether it is chosen to be applied. Applying every edit gives exactly the
// content a replacement run writes; applying some keeps the others' matched text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace model {

// One match's replacement: bytes [From, To) of the original become Text. LineStart is where
// the line holding the match's start begins.
struct TEdit {
    std::uint64_t From = 0;
    std::uint64_t To = 0;
    std::uint64_t LineStart = 0;
    std::string Text;
};

struct TFileChange {
    std::string OldHash;              // of the content the edits were found in
    std::int64_t OldSize = 0;         // its size in bytes
    std::vector<TEdit> Edits;         // in order, not overlapping
    std::vector<std::uint8_t> Chosen; // one per edit; all set at first
    std::string Diff; // when asked for: the unified diff of every edit, made as it was found

    // Marks every edit chosen or not.
    void ChooseAll(bool chosen) { Chosen.assign(Edits.size(), chosen ? 1 : 0); }
    size_t ChosenCount() const;
    bool IsChosen(size_t i) const { return i < Chosen.size() && Chosen[i] != 0; }
};

// The original with the chosen edits made (every edit when `onlyChosen` is false).
std::string ApplyEdits(std::string_view original, const TFileChange& change,
                       bool onlyChosen = true);

// Occurrence `i`'s line as it will be: `line` (the original line that holds the edit's start,
// without its break) with every chosen edit starting in it made; an edit reaching past the
// line's end takes the rest of the line.
std::string LineAfter(std::string_view line, const TFileChange& change, size_t i);

} // namespace model
