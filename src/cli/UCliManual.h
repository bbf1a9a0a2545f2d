// The texts that describe fernsweep-cli, all made from its option table: the usage text of
// --help, the manual page and the bash completion script.
#pragma once

#include <string>

namespace cli {

// The usage text printed by --help, ending in a line break.
std::string CliUsage();

// The manual page in roff (man(7) macros).
std::string CliManPage(const std::string& version);

// A bash completion script: options after "-", folders otherwise.
std::string CliBashCompletion();

} // namespace cli
