#include "cli/UCliOptions.h"

#include "settings/UTSearchOptions.h"

#include <array>
#include <string_view>

using settings::ParseByteSize;
using settings::ParseLocalTime;

namespace cli {

namespace {

enum class TId {
    Mask,
    Search,
    Replace,
    Regex,
    MatchCase,
    NoRecurse,
    Backup,
    Archive,
    ReadOnly,
    System,
    Hidden,
    Vimgrep,
    Json,
    Paths,
    Color,
    Newer,
    Older,
    MinSize,
    MaxSize,
    ExcludeDir,
    SkipBinary,
    StopOnError,
    Stats,
    Tree,
    Preview,
    Undo,
    Journal,
    Report,
    Threads,
    TestRegex,
    Help,
    Version,
    Generate,
};

struct TOptionDef {
    TOptionInfo Info;
    TId Id;
};

using K = TArgKind;

// The one option table: parsing, --help, the manual page and the completion all read it. A new
// option is a row here and a case in Apply.
const std::array kOptions{
    TOptionDef{{"mask", 'm', K::Value, "TEXT",
                "the file masks, split at \";\" and blanks (default\n"
                "\"*.*\", which skips names without a dot; \"*\" takes\n"
                "every file)",
                false},
               TId::Mask},
    TOptionDef{{"search", 's', K::Value, "TEXT",
                "search the files' content for TEXT, ignoring case\n"
                "unless -c is given; without it every file the masks\n"
                "select is found",
                false},
               TId::Search},
    TOptionDef{{"replace", 0, K::Value, "TEXT",
                "replace each occurrence with TEXT and rewrite the\n"
                "file (needs --search; there is no short form)",
                false},
               TId::Replace},
    TOptionDef{{"regex", 'e', K::Flag, "", "TEXT is a regular expression", false}, TId::Regex},
    TOptionDef{{"match-case", 'c', K::Flag, "", "match case", false}, TId::MatchCase},
    TOptionDef{{"no-recurse", 'n', K::Flag, "", "do not search the folders below FOLDER", false},
               TId::NoRecurse},
    TOptionDef{
        {"backup", 'b', K::Flag, "", "keep a backup of each changed file (a.txt as a.~txt)", false},
        TId::Backup},
    TOptionDef{{"archive", 0, K::Value, "WHEN",
                "filter on the archive attribute: any, set or unset\n"
                "(any is the default of all four filters)",
                false},
               TId::Archive},
    TOptionDef{{"read-only", 0, K::Value, "WHEN", "filter on the read-only attribute", false},
               TId::ReadOnly},
    TOptionDef{{"system", 0, K::Value, "WHEN", "filter on the system attribute", false},
               TId::System},
    TOptionDef{{"hidden", 0, K::Value, "WHEN", "filter on the hidden attribute", false},
               TId::Hidden},
    TOptionDef{
        {"vimgrep", 0, K::Flag, "", "print path:line:column:text for each occurrence", false},
        TId::Vimgrep},
    TOptionDef{{"json", 0, K::Flag, "",
                "print one JSON object per line for each file and\n"
                "occurrence, then a summary object",
                false},
               TId::Json},
    TOptionDef{
        {"files-with-matches", 'l', K::Flag, "", "print only the paths of the found files", false},
        TId::Paths},
    TOptionDef{{"color", 0, K::Optional, "WHEN",
                "colour paths, line numbers and matches: auto (the\n"
                "default: on a terminal, unless NO_COLOR is set),\n"
                "always or never",
                false},
               TId::Color},
    TOptionDef{{"newer", 0, K::Value, "DATE",
                "only files modified at or after DATE, given as\n"
                "YYYY-MM-DD or YYYY-MM-DDTHH:MM[:SS] in local time",
                false},
               TId::Newer},
    TOptionDef{{"older", 0, K::Value, "DATE", "only files modified before DATE", false},
               TId::Older},
    TOptionDef{{"min-size", 0, K::Value, "N[K|M|G]",
                "only files of at least N bytes (K, M and G are\n"
                "powers of 1024)",
                false},
               TId::MinSize},
    TOptionDef{{"max-size", 0, K::Value, "N[K|M|G]", "only files of at most N bytes", false},
               TId::MaxSize},
    TOptionDef{{"exclude-dir", 0, K::Value, "MASKS",
                "never enter folders whose names match MASKS (split\n"
                "as --mask is; the option may be repeated)",
                false},
               TId::ExcludeDir},
    TOptionDef{{"skip-binary", 0, K::Flag, "",
                "leave out files with a NUL byte in their first 8 KiB", false},
               TId::SkipBinary},
    TOptionDef{{"stop-on-error", 0, K::Flag, "",
                "end the run at the first file that cannot be read\n"
                "(and report each folder that cannot be entered at once)",
                false},
               TId::StopOnError},
    TOptionDef{{"stats", 0, K::Flag, "",
                "after the run, tell on standard error how many\n"
                "entries were looked at and why each one not\n"
                "searched was left out",
                false},
               TId::Stats},
    TOptionDef{{"tree", 0, K::Flag, "", "print the result tree instead of the report", false},
               TId::Tree},
    TOptionDef{{"preview", 0, K::Flag, "",
                "with --replace: write nothing, print a unified diff\n"
                "of every change instead (paths below FOLDER, as\n"
                "patch -p1 reads them from FOLDER)",
                false},
               TId::Preview},
    TOptionDef{{"undo", 0, K::Optional, "ID",
                "take back the last replacement (or the one with ID):\n"
                "every file it wrote that was not changed since gets\n"
                "its old content, mode and times back",
                false},
               TId::Undo},
    TOptionDef{{"journal", 0, K::Flag, "",
                "list the replacements that --undo can take back\n"
                "(kept in $XDG_STATE_HOME/fernsweep, the last 20)",
                false},
               TId::Journal},
    TOptionDef{{"report", 0, K::Value, "FILE",
                "write the results report to FILE (CR LF line ends)\n"
                "instead of standard output",
                false},
               TId::Report},
    TOptionDef{{"threads", 0, K::Value, "N",
                "read and search with N threads (default: one per\n"
                "hardware thread; 1 does everything on one thread)",
                false},
               TId::Threads},
    TOptionDef{{"test-regex", 0, K::Triple, "PATTERN TEMPLATE SAMPLE",
                "print what the regular-expression tester shows for\n"
                "these three texts, then exit 0",
                false},
               TId::TestRegex},
    TOptionDef{{"help", 'h', K::Flag, "", "show this help and exit", false}, TId::Help},
    TOptionDef{{"version", 0, K::Flag, "", "show the version and exit", false}, TId::Version},
    TOptionDef{{"generate", 0, K::Value, "man|bash",
                "print the manual page or the bash completion script", true},
               TId::Generate},
};

const TOptionDef* FindLong(std::string_view name) {
    for (const TOptionDef& d : kOptions) {
        if (d.Info.LongName == name) {
            return &d;
        }
    }
    return nullptr;
}

const TOptionDef* FindShort(char c) {
    for (const TOptionDef& d : kOptions) {
        if (d.Info.ShortName != 0 && d.Info.ShortName == c) {
            return &d;
        }
    }
    return nullptr;
}

bool ParseWhen(std::string_view text, TWhen& out) {
    if (text == "any") {
        out = 0;
    } else if (text == "set") {
        out = 1;
    } else if (text == "unset") {
        out = 2;
    } else {
        return false;
    }
    return true;
}

std::string InvalidValue(const TOptionDef& def, const std::string& value, const char* choices) {
    return "invalid value '" + value + "' for '--" + def.Info.LongName + "': use " + choices;
}

// Stores a date or size limit; false with `error` set when the text is not one.
bool ApplyLimit(const TOptionDef& def, const std::string& value, std::optional<std::int64_t>& out,
                std::string& error) {
    const bool isDate = def.Id == TId::Newer || def.Id == TId::Older;
    out = isDate ? ParseLocalTime(value) : ParseByteSize(value);
    if (!out) {
        error = "invalid value '" + value + "' for '--" + std::string(def.Info.LongName) +
                (isDate ? "': use YYYY-MM-DD or YYYY-MM-DDTHH:MM[:SS]" : "': use N, NK, NM or NG");
        return false;
    }
    return true;
}

// Stores one option with its value (empty for a flag). False with `error` set when the value
// is not one the option takes.
bool Apply(const TOptionDef& def, const std::string& value, TCliOptions& o, std::string& error) {
    const auto output = [&](TOutputKind kind) {
        o.Output = kind;
        return true;
    };
    TWhen* when = nullptr;
    switch (def.Id) {
    case TId::Mask:
        o.MaskText = value;
        return true;
    case TId::Search:
        o.DoSearch = true;
        o.SearchText = value;
        return true;
    case TId::Replace:
        o.DoReplace = true;
        o.ReplaceText = value;
        return true;
    case TId::Regex:
        o.UseRegex = true;
        return true;
    case TId::MatchCase:
        o.MatchCase = true;
        return true;
    case TId::NoRecurse:
        o.Recurse = false;
        return true;
    case TId::Backup:
        o.Backup = true;
        return true;
    case TId::Preview:
        o.Preview = true;
        return true;
    case TId::Undo:
        o.Undo = true;
        o.UndoId = value;
        return true;
    case TId::Journal:
        o.ListJournal = true;
        return true;
    case TId::Tree:
        o.Tree = true;
        return true;
    case TId::Vimgrep:
        return output(TOutputKind::Vimgrep);
    case TId::Json:
        return output(TOutputKind::Json);
    case TId::Paths:
        return output(TOutputKind::Paths);
    case TId::Color:
        if (value.empty() || value == "auto") {
            o.Color = TColorMode::Auto;
        } else if (value == "always") {
            o.Color = TColorMode::Always;
        } else if (value == "never") {
            o.Color = TColorMode::Never;
        } else {
            error = InvalidValue(def, value, "auto, always or never");
            return false;
        }
        return true;
    case TId::Report:
        if (value.empty()) {
            error = "option '--report' needs a file name";
            return false;
        }
        o.HasReport = true;
        o.ReportFile = value;
        return true;
    case TId::Generate:
        if (value != "man" && value != "bash") {
            error = InvalidValue(def, value, "man or bash");
            return false;
        }
        o.Generate = value;
        return true;
    case TId::Threads: {
        int n = 0;
        for (const char c : value) {
            n = c >= '0' && c <= '9' && n < 10000 ? n * 10 + (c - '0') : -1;
            if (n < 0) {
                break;
            }
        }
        if (value.empty() || n < 1) {
            error = "option '--threads' needs a whole number from 1";
            return false;
        }
        o.Threads = n;
        return true;
    }
    case TId::Newer:
        return ApplyLimit(def, value, o.Newer, error);
    case TId::Older:
        return ApplyLimit(def, value, o.Older, error);
    case TId::MinSize:
        return ApplyLimit(def, value, o.MinSize, error);
    case TId::MaxSize:
        return ApplyLimit(def, value, o.MaxSize, error);
    case TId::ExcludeDir:
        o.ExcludeDirs += (o.ExcludeDirs.empty() ? "" : ";") + value;
        return true;
    case TId::SkipBinary:
        o.SkipBinary = true;
        return true;
    case TId::StopOnError:
        o.StopOnError = true;
        return true;
    case TId::Stats:
        o.Stats = true;
        return true;
    case TId::Archive:
        when = &o.Archive;
        break;
    case TId::ReadOnly:
        when = &o.ReadOnly;
        break;
    case TId::System:
        when = &o.System;
        break;
    case TId::Hidden:
        when = &o.Hidden;
        break;
    case TId::TestRegex:
    case TId::Help:
    case TId::Version:
        return true; // handled by the caller
    }
    if (!ParseWhen(value, *when)) {
        error = InvalidValue(def, value, "any, set or unset");
        return false;
    }
    return true;
}

// The checks that need every argument read.
TCliAction Finish(TCliOptions& options, std::string& error) {
    if (!options.Generate.empty()) {
        return TCliAction::Generate;
    }
    if (options.TestRegex) {
        if (!options.Folders.empty()) {
            error = "'--test-regex' takes no FOLDER";
            return TCliAction::Error;
        }
        return TCliAction::TestRegex;
    }
    if (options.Undo || options.ListJournal) {
        if (options.Undo && options.ListJournal) {
            error = "only one of --undo and --journal may be given";
            return TCliAction::Error;
        }
        if (!options.Folders.empty() || options.DoSearch || options.DoReplace) {
            error = std::string("'--") + (options.Undo ? "undo" : "journal") +
                    "' takes no FOLDER, --search or --replace";
            return TCliAction::Error;
        }
        return options.Undo ? TCliAction::Undo : TCliAction::Journal;
    }
    if (options.Folders.size() > 1) {
        error = "only one FOLDER may be given (the text to search for goes with -s)";
        return TCliAction::Error;
    }
    if (options.DoReplace && !options.DoSearch) {
        error = "'--replace' needs a search text: give it with --search=TEXT";
        return TCliAction::Error;
    }
    if (options.Preview) {
        if (!options.DoReplace) {
            error = "'--preview' needs a replacement: give it with --replace=TEXT";
            return TCliAction::Error;
        }
        if (options.Tree || options.HasReport || options.Output != TOutputKind::Report) {
            error = "'--preview' cannot be combined with --tree, --report, --vimgrep, --json or -l";
            return TCliAction::Error;
        }
        options.Output = TOutputKind::Diff;
    }
    if (options.Tree && options.Output != TOutputKind::Report) {
        error = "'--tree' cannot be combined with --vimgrep, --json or -l";
        return TCliAction::Error;
    }
    return TCliAction::Run;
}

} // namespace

const std::vector<TOptionInfo>& CliOptionTable() {
    static const std::vector<TOptionInfo> table = [] {
        std::vector<TOptionInfo> rows;
        for (const TOptionDef& d : kOptions) {
            rows.push_back(d.Info);
        }
        return rows;
    }();
    return table;
}

TCliAction ParseCliArguments(const std::vector<std::string>& args, TCliOptions& options,
                             std::string& error) {
    const size_t n = args.size();
    bool optionsEnded = false;
    int outputs = 0; // how many of --vimgrep, --json and -l were given
    // Takes the next argument as an option's value; false when there is none.
    const auto next = [&](size_t& i, std::string& out) {
        if (i + 1 >= n) {
            return false;
        }
        out = args[++i];
        return true;
    };
    const auto apply = [&](const TOptionDef& def, const std::string& value) {
        if (def.Id == TId::Vimgrep || def.Id == TId::Json || def.Id == TId::Paths) {
            if (++outputs > 1) {
                error = "only one of --vimgrep, --json and -l may be given";
                return false;
            }
        }
        return Apply(def, value, options, error);
    };
    for (size_t i = 0; i < n; ++i) {
        const std::string& a = args[i];
        if (optionsEnded || a.size() < 2 || a[0] != '-') {
            options.Folders.push_back(a);
            continue;
        }
        if (a == "--") {
            optionsEnded = true;
            continue;
        }
        if (a[1] == '-') {
            const size_t eq = a.find('=');
            const std::string name =
                a.substr(2, eq == std::string::npos ? std::string::npos : eq - 2);
            const bool inlineValue = eq != std::string::npos;
            const TOptionDef* def = FindLong(name);
            if (def == nullptr) {
                error = "unrecognized option '--" + name + "'";
                return TCliAction::Error;
            }
            std::string value;
            if (def->Info.Kind == K::Flag) {
                if (inlineValue) {
                    error = "option '--" + name + "' doesn't allow an argument";
                    return TCliAction::Error;
                }
            } else if (inlineValue) {
                value = a.substr(eq + 1);
            } else if (def->Info.Kind != K::Optional && !next(i, value)) {
                error = "option '--" + name + "' requires an argument";
                return TCliAction::Error;
            }
            if (def->Id == TId::Help) {
                return TCliAction::Help;
            }
            if (def->Id == TId::Version) {
                return TCliAction::Version;
            }
            if (def->Info.Kind == K::Triple) {
                options.TestRegex = true;
                options.Pattern = value;
                if (!next(i, options.Template) || !next(i, options.Sample)) {
                    error = "option '--test-regex' requires PATTERN, TEMPLATE and SAMPLE";
                    return TCliAction::Error;
                }
                continue;
            }
            if (!apply(*def, value)) {
                return TCliAction::Error;
            }
            continue;
        }
        // A bundle of short options; one that takes a value takes the rest of the bundle, or
        // the next argument when nothing is left.
        for (size_t j = 1; j < a.size(); ++j) {
            if (a[j] == 'r') {
                // Once "replace with the next argument": refused by name, so that an old
                // script, or grep's -r typed by habit, can never rewrite files.
                error = "invalid option -- 'r' (to replace, use --replace=TEXT; the folders "
                        "below FOLDER are searched unless -n is given)";
                return TCliAction::Error;
            }
            const TOptionDef* def = FindShort(a[j]);
            if (def == nullptr) {
                error = std::string("invalid option -- '") + a[j] + "'";
                return TCliAction::Error;
            }
            if (def->Id == TId::Help) {
                return TCliAction::Help;
            }
            if (def->Info.Kind == K::Flag) {
                if (!apply(*def, std::string())) {
                    return TCliAction::Error;
                }
                continue;
            }
            std::string value;
            if (j + 1 < a.size()) {
                value = a.substr(j + 1);
            } else if (!next(i, value)) {
                error = std::string("option requires an argument -- '") + a[j] + "'";
                return TCliAction::Error;
            }
            if (!apply(*def, value)) {
                return TCliAction::Error;
            }
            break;
        }
    }
    return Finish(options, error);
}

} // namespace cli
