#include "UCliOptions.h"

#include "UTSearchOptions.h"

#include <array>
#include <string_view>

namespace cli {

namespace {

enum class TKind { Flag, Value, When, Triple };

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
    Newer,
    Older,
    MinSize,
    MaxSize,
    ExcludeDir,
    SkipBinary,
    StopOnError,
    Stats,
    Tree,
    Report,
    Threads,
    TestRegex,
    Help,
    Version,
};

struct TOptionDef {
    std::string_view LongName;
    char ShortName; // 0 when the option has no short form
    TKind Kind;
    TId Id;
};

constexpr std::array<TOptionDef, 25> kOptions{{
    {"mask", 'm', TKind::Value, TId::Mask},
    {"search", 's', TKind::Value, TId::Search},
    {"replace", 'r', TKind::Value, TId::Replace},
    {"regex", 'e', TKind::Flag, TId::Regex},
    {"match-case", 'c', TKind::Flag, TId::MatchCase},
    {"no-recurse", 'n', TKind::Flag, TId::NoRecurse},
    {"backup", 'b', TKind::Flag, TId::Backup},
    {"archive", 0, TKind::When, TId::Archive},
    {"read-only", 0, TKind::When, TId::ReadOnly},
    {"system", 0, TKind::When, TId::System},
    {"hidden", 0, TKind::When, TId::Hidden},
    {"newer", 0, TKind::Value, TId::Newer},
    {"older", 0, TKind::Value, TId::Older},
    {"min-size", 0, TKind::Value, TId::MinSize},
    {"max-size", 0, TKind::Value, TId::MaxSize},
    {"exclude-dir", 0, TKind::Value, TId::ExcludeDir},
    {"skip-binary", 0, TKind::Flag, TId::SkipBinary},
    {"stop-on-error", 0, TKind::Flag, TId::StopOnError},
    {"stats", 0, TKind::Flag, TId::Stats},
    {"tree", 0, TKind::Flag, TId::Tree},
    {"report", 0, TKind::Value, TId::Report},
    {"threads", 0, TKind::Value, TId::Threads},
    {"test-regex", 0, TKind::Triple, TId::TestRegex},
    {"help", 'h', TKind::Flag, TId::Help},
    {"version", 0, TKind::Flag, TId::Version},
}};

const TOptionDef* FindLong(std::string_view name) {
    for (const TOptionDef& d : kOptions) {
        if (d.LongName == name) {
            return &d;
        }
    }
    return nullptr;
}

const TOptionDef* FindShort(char c) {
    for (const TOptionDef& d : kOptions) {
        if (d.ShortName != 0 && d.ShortName == c) {
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

// Stores a date or size limit; false with `error` set when the text is not one.
bool ApplyLimit(const TOptionDef& def, const std::string& value, std::optional<std::int64_t>& out,
                std::string& error) {
    const bool isDate = def.Id == TId::Newer || def.Id == TId::Older;
    out = isDate ? ParseLocalTime(value) : ParseByteSize(value);
    if (!out) {
        error = "invalid value '" + value + "' for '--" + std::string(def.LongName) +
                (isDate ? "': use YYYY-MM-DD or YYYY-MM-DDTHH:MM[:SS]" : "': use N, NK, NM or NG");
        return false;
    }
    return true;
}

// Stores one option with its value (empty for a flag). False with `error` set when the value
// is not one the option takes.
bool Apply(const TOptionDef& def, const std::string& value, TCliOptions& o, std::string& error) {
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
    case TId::Tree:
        o.Tree = true;
        return true;
    case TId::Report:
        if (value.empty()) {
            error = "option '--report' needs a file name";
            return false;
        }
        o.HasReport = true;
        o.ReportFile = value;
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
        error = "invalid value '" + value + "' for '--" + std::string(def.LongName) +
                "': use any, set or unset";
        return false;
    }
    return true;
}

} // namespace

TCliAction ParseCliArguments(const std::vector<std::string>& args, TCliOptions& options,
                             std::string& error) {
    const size_t n = args.size();
    bool optionsEnded = false;
    // Takes the next argument as an option's value; false when there is none.
    const auto next = [&](size_t& i, std::string& out) {
        if (i + 1 >= n) {
            return false;
        }
        out = args[++i];
        return true;
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
            if (def->Kind == TKind::Flag) {
                if (inlineValue) {
                    error = "option '--" + name + "' doesn't allow an argument";
                    return TCliAction::Error;
                }
            } else if (inlineValue) {
                value = a.substr(eq + 1);
            } else if (!next(i, value)) {
                error = "option '--" + name + "' requires an argument";
                return TCliAction::Error;
            }
            if (def->Id == TId::Help) {
                return TCliAction::Help;
            }
            if (def->Id == TId::Version) {
                return TCliAction::Version;
            }
            if (def->Kind == TKind::Triple) {
                options.TestRegex = true;
                options.Pattern = value;
                if (!next(i, options.Template) || !next(i, options.Sample)) {
                    error = "option '--test-regex' requires PATTERN, TEMPLATE and SAMPLE";
                    return TCliAction::Error;
                }
                continue;
            }
            if (!Apply(*def, value, options, error)) {
                return TCliAction::Error;
            }
            continue;
        }
        // A bundle of short options; one that takes a value takes the rest of the bundle, or
        // the next argument when nothing is left.
        for (size_t j = 1; j < a.size(); ++j) {
            const TOptionDef* def = FindShort(a[j]);
            if (def == nullptr) {
                error = std::string("invalid option -- '") + a[j] + "'";
                return TCliAction::Error;
            }
            if (def->Id == TId::Help) {
                return TCliAction::Help;
            }
            if (def->Kind == TKind::Flag) {
                if (!Apply(*def, std::string(), options, error)) {
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
            if (!Apply(*def, value, options, error)) {
                return TCliAction::Error;
            }
            break;
        }
    }
    if (options.TestRegex) {
        if (!options.Folders.empty()) {
            error = "'--test-regex' takes no FOLDER";
            return TCliAction::Error;
        }
        return TCliAction::TestRegex;
    }
    if (options.Folders.empty()) {
        error = "missing FOLDER";
        return TCliAction::Error;
    }
    if (options.Folders.size() > 1) {
        error = "only one FOLDER may be given";
        return TCliAction::Error;
    }
    return TCliAction::Run;
}

std::string CliUsage() {
    return "Usage: fernsweep-cli [OPTION]... FOLDER\n"
           "Find (and replace) text in the files of FOLDER and the folders below it.\n"
           "\n"
           "  -m, --mask=TEXT      the file-mask text, split at \";\" and blanks as the run\n"
           "                       splits it (default \"*.*\")\n"
           "  -s, --search=TEXT    search for TEXT (\"Search for text:\" on); without it no\n"
           "                       content is searched\n"
           "  -r, --replace=TEXT   replace with TEXT (\"Replace with:\" on)\n"
           "  -e, --regex          use regular expressions\n"
           "  -c, --match-case     match case\n"
           "  -n, --no-recurse     do not recurse into sub-folders\n"
           "  -b, --backup         keep backups of changed files (the \"Yes\" answer to the\n"
           "                       backups question)\n"
           "      --archive=WHEN, --read-only=WHEN, --system=WHEN, --hidden=WHEN\n"
           "                       attribute filters; WHEN is any, set or unset (default any)\n"
           "      --threads=N      read and search with N threads (default: one per\n"
           "                       hardware thread; 1 does everything on one thread)\n"
           "      --newer=DATE     only files modified at or after DATE, given as YYYY-MM-DD\n"
           "                       or YYYY-MM-DDTHH:MM[:SS] in local time\n"
           "      --older=DATE     only files modified before DATE\n"
           "      --min-size=N[K|M|G], --max-size=N[K|M|G]\n"
           "                       only files of at least / at most N bytes (K, M and G are\n"
           "                       powers of 1024)\n"
           "      --exclude-dir=MASKS\n"
           "                       never enter folders whose names match MASKS (split as\n"
           "                       --mask is; the option may be repeated)\n"
           "      --skip-binary    leave out files with a NUL byte in their first 8 KiB\n"
           "      --stop-on-error  end the run at the first file that cannot be read (and\n"
           "                       report each folder that cannot be entered at once)\n"
           "      --stats          after the run, tell on standard error how many entries\n"
           "                       were looked at and why each one not searched was left out\n"
           "      --tree           print the result tree instead of the report\n"
           "      --report=FILE    write the results report to FILE (CR LF line ends) instead\n"
           "                       of standard output\n"
           "      --test-regex PATTERN TEMPLATE SAMPLE\n"
           "                       print what the regular-expression tester shows for these\n"
           "                       three texts, then exit 0\n"
           "  -h, --help           show this help and exit\n"
           "      --version        show the version and exit\n"
           "\n"
           "Standard output gets the report lines (or, with --tree, one line per node: the\n"
           "image index, a TAB, two blanks per level of depth, the caption), then the summary\n"
           "line. Messages go to standard error, one per line. Ctrl-C stops the run as Abort\n"
           "does; the summary still tells what was counted.\n"
           "\n"
           "A file that cannot be read or a folder that cannot be entered is reported on\n"
           "standard error and the run goes on.\n"
           "\n"
           "Exit status: 0 if at least one file was found, 1 if none, 2 if the run ended with\n"
           "an error, anything could not be read, or the arguments are wrong.\n";
}

} // namespace cli
