// The command line of fernsweep-cli: one search run, chosen as the main window's controls
// would choose it. Arguments are bytes; nothing here assumes an encoding.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace cli {

// A filter value as the attribute options store it: 0 any, 1 set, 2 unset.
using TWhen = int;

struct TCliOptions {
    std::string MaskText = "*.*";
    bool DoSearch = false;
    std::string SearchText;
    bool DoReplace = false;
    std::string ReplaceText;
    bool UseRegex = false;
    bool MatchCase = false;
    bool Recurse = true;
    bool Backup = false;
    TWhen Archive = 0;
    TWhen ReadOnly = 0;
    TWhen System = 0;
    TWhen Hidden = 0;
    std::optional<std::int64_t> Newer; // modified at or after, seconds since the epoch
    std::optional<std::int64_t> Older; // modified before
    std::optional<std::int64_t> MinSize;
    std::optional<std::int64_t> MaxSize;
    std::string ExcludeDirs; // folder-name masks, ";" between the texts of repeated options
    bool SkipBinary = false;
    bool StopOnError = false;
    bool Stats = false;
    bool Tree = false;
    int Threads = 0; // 0: one per hardware thread
    bool HasReport = false;
    std::string ReportFile;
    std::vector<std::string> Folders;

    bool TestRegex = false;
    std::string Pattern;
    std::string Template;
    std::string Sample;
};

enum class TCliAction {
    Run,       // walk Folders.front()
    Help,      // print the usage text
    Version,   // print the version line
    TestRegex, // print the tester's output for Pattern, Template and Sample
    Error,     // the arguments are wrong; the reason is in the error text
};

// Reads the arguments that follow the program name. Options and the folder may come in any
// order; "--" ends the options. Gives Error with a one-line reason when the arguments are wrong.
TCliAction ParseCliArguments(const std::vector<std::string>& args, TCliOptions& options,
                             std::string& error);

// The usage text printed by --help, ending in a line break.
std::string CliUsage();

} // namespace cli
