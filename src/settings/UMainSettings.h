// The main window's persisted choices: the store's default lists, the history lists of the
// mask, search and replacement fields, and the search options' keys. Free of GUI types; the
// window copies between its controls and these.
#pragma once

#include "settings/UTSearchOptions.h"
#include "settings/vtRegVal.h"

#include <string>
#include <vector>

namespace settings {

// Entries kept in each history list, most recent first.
constexpr size_t kHistorySize = 10;

// Prefixes of the history keys; an entry's key is the prefix and its index, 0 to 9.
constexpr const char* kMaskHistoryPrefix = "Match";
constexpr const char* kSearchHistoryPrefix = "SearchText";
constexpr const char* kReplaceHistoryPrefix = "ReplaceWith";

// Replaces the store's four lists with the main window's names and defaults, in the order in
// which they are loaded and saved.
void FillDefaultLists(TvtRegVal& store);

// The main window's store: "Fernsweep.ini" beside the program, no section prefix, INI mode,
// and the default lists.
void ConfigureMainStore(TvtRegVal& store);

// Puts `text` at the top of a history list: an equal entry (compared exactly) moves up and the
// length stays; a new one is inserted and the list cut to kHistorySize entries.
void AddToHistory(std::vector<std::string>& items, const std::string& text);

// The non-empty entries prefix0 .. prefix9, in order, so the list has no gaps.
std::vector<std::string> LoadHistory(const TvtRegVal& store, const std::string& prefix);

// Writes prefix0 .. prefixN-1 from the list; keys past its length keep their stored values.
void SaveHistory(TvtRegVal& store, const std::string& prefix,
                 const std::vector<std::string>& items);

// The search options from and to their so... keys: the four attribute filters, the line-by-line
// mode of regular expressions, the date and size limits, the folders left out, and the binary
// and stop-on-error choices.
void LoadSearchOptions(const TvtRegVal& store, TSearchOptions& options);
void SaveSearchOptions(TvtRegVal& store, const TSearchOptions& options);

} // namespace settings
