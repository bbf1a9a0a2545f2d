// Wildcard file-name masks: "*" any run of characters, "?" exactly one.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace text {

// True when `name` matches at least one mask, case ignored; an empty list matches nothing.
bool MatchesAnyMask(std::string_view name, const std::vector<std::string>& masks);
bool MatchMask(std::string_view name, std::string_view mask, bool ignoreCase);
// Position (1-based) of the first place where `segment` matches in `text`, "?" matching any
// character; 0 when none.
int WildPos(std::string_view segment, std::string_view text);

} // namespace text
