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

// What standard output gets for each found file.
enum class TOutputKind {
    Report,  // the results report's lines, then the summary
    Vimgrep, // path:line:column:text per occurrence
    Json,    // one JSON object per line, then a summary object
    Paths,   // the paths of the found files only
    Diff,    // a unified diff of what a replacement would change (--preview)
};

enum class TColorMode { Auto, Always, Never };

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
    bool Preview = false;
    int Threads = 0; // 0: one per hardware thread
    bool HasReport = false;
    std::string ReportFile;
    TOutputKind Output = TOutputKind::Report;
    TColorMode Color = TColorMode::Auto;
    // The folder as given; when none is given it is "." and paths are printed without it.
    std::vector<std::string> Folders;

    bool Undo = false;
    std::string UndoId; // empty: the last replacement not undone yet
    bool ListJournal = false;

    bool TestRegex = false;
    std::string Pattern;
    std::string Template;
    std::string Sample;
    std::string Generate; // "man" or "bash": the build writes these files from the table
};

enum class TCliAction {
    Run,       // walk Folders.front(), or "." when no folder is given
    Help,      // print the usage text
    Version,   // print the version line
    TestRegex, // print the tester's output for Pattern, Template and Sample
    Undo,      // take back the replacement UndoId (or the last one)
    Journal,   // list the replacements that can be taken back
    Generate,  // print the man page or the bash completion script
    Error,     // the arguments are wrong; the reason is in the error text
};

// Reads the arguments that follow the program name. Options and the folder may come in any
// order; "--" ends the options. Gives Error with a one-line reason when the arguments are wrong.
TCliAction ParseCliArguments(const std::vector<std::string>& args, TCliOptions& options,
                             std::string& error);

// How an option takes its value.
enum class TArgKind {
    Flag,     // none
    Value,    // --name=VALUE, --name VALUE, -xVALUE, -x VALUE
    Optional, // --name or --name=VALUE
    Triple,   // --name A B C
};

// One row of the option table, as the help text, the manual page and the completion show it.
struct TOptionInfo {
    const char* LongName;
    char ShortName; // 0 when the option has no short form
    TArgKind Kind;
    const char* ArgName; // "" for a flag
    const char* Help;    // sentences; "\n" starts a new line in the help text
    bool Hidden;         // for the build only: not shown
};

// Every option, in the order --help lists them.
const std::vector<TOptionInfo>& CliOptionTable();

} // namespace cli
