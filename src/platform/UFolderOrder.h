// The order in which a folder's entries are shown on every platform.
#pragma once

#include "platform/UFolderHandle.h"

#include <functional>
#include <vector>

namespace platform {

// Sorts by the names upper-cased (ASCII letters only), then by their bytes, so "a" and "A" keep
// a fixed order. `meanwhile`, when set, is called between runs of a long sort; names in a
// folder are unique, so the order is the one a single sort gives.
void SortFolderEntries(std::vector<TFolderEntry>& entries,
                       const std::function<void()>& meanwhile = {});

} // namespace platform
