// fernsweep-cli --undo and --journal: the record of replacements, shared with the window.
#pragma once

#include <string>

namespace cli {

// Takes back replacement `id` (the last one not undone when empty). Prints each file given back
// on standard output, and on standard error each file left alone because it changed since,
// each that could not be written, and the summary. Gives the exit status: 0 when every file
// was given back, 2 otherwise.
int UndoReplacement(const std::string& id);

// Lists the record, oldest first: id, date, files, what was replaced, "(undone)". Gives 0, or
// 1 when there is nothing to list.
int ListJournal();

} // namespace cli
