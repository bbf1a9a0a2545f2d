// The regular-expression tester's computation, free of any window: what a pattern and a
// replacement template make of a sample text.
#pragma once

#include <string>

namespace regex {

// The sample with every match of the pattern replaced by the template (taken as typed, no
// unescaping; i stays off). Without a match it is the sample; any error's message replaces it.
// `lineByLine` starts the pattern with m on and s off, as a line-by-line search run does.
std::string RegexTesterOutput(const std::string& sample, const std::string& pattern,
                              const std::string& templ, bool lineByLine = false);

} // namespace regex
