#include "cli/UCliManual.h"

#include "cli/UCliOptions.h"

#include <string_view>

namespace cli {

namespace {

constexpr std::string_view kSynopsis = "fernsweep-cli [OPTION]... [FOLDER]";

constexpr std::string_view kDescription =
    "Find (and replace) text in the files of FOLDER and the folders below it.\n"
    "FOLDER defaults to the current folder.";

// Paragraphs of the text after the options; each line is a line of the usage text.
constexpr std::string_view kOutput =
    "Standard output gets the report lines (each file's absolute path, then one\n"
    "\"    Line: N, Char: C, [\"text\"]\" line per occurrence, N counting from 0),\n"
    "then the summary line; with --tree, one line per node (the image index, a TAB,\n"
    "two blanks per level of depth, the caption). --vimgrep, --json and -l print\n"
    "each file as soon as it has been searched; their paths are FOLDER as given and\n"
    "the path below it, and their line numbers count from 1. Messages go to standard\n"
    "error, one per line. Ctrl-C stops the run; what was found is still printed.";

constexpr std::string_view kExitStatus =
    "0 if at least one file was found, 1 if none, 2 if the\n"
    "arguments are wrong, FOLDER is missing or is no folder, the run ended with an\n"
    "error (an invalid regular expression, not enough memory, a report that cannot\n"
    "be written, a file that cannot be read with --stop-on-error), or anything could\n"
    "not be read, entered or written (each is reported on standard error and the run\n"
    "goes on).";

// "-s, --search=TEXT" or "    --tree", as the usage text's left column shows an option.
std::string Signature(const TOptionInfo& o) {
    std::string s = o.ShortName != 0 ? std::string("-") + o.ShortName + ", " : "    ";
    s += "--";
    s += o.LongName;
    switch (o.Kind) {
    case TArgKind::Flag:
        break;
    case TArgKind::Value:
        s += "=";
        s += o.ArgName;
        break;
    case TArgKind::Optional:
        s += "[=";
        s += o.ArgName;
        s += "]";
        break;
    case TArgKind::Triple:
        s += " ";
        s += o.ArgName;
        break;
    }
    return s;
}

// Escapes what roff would take for its own: a backslash, and a dot or quote at a line's start.
std::string Roff(std::string_view text) {
    std::string out;
    bool lineStart = true;
    for (const char c : text) {
        if (c == '\\') {
            out += "\\e";
        } else if (c == '-') {
            out += "\\-";
        } else if (lineStart && (c == '.' || c == '\'')) {
            out += "\\&";
            out += c;
        } else {
            out += c;
        }
        lineStart = c == '\n';
    }
    return out;
}

// The text with its line breaks made blanks, for roff to fill.
std::string Joined(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c == '\n') {
            c = ' ';
        }
    }
    return out;
}

} // namespace

std::string CliUsage() {
    constexpr size_t kHelpColumn = 23;
    std::string out =
        "Usage: " + std::string(kSynopsis) + "\n" + std::string(kDescription) + "\n\n";
    for (const TOptionInfo& o : CliOptionTable()) {
        if (o.Hidden) {
            continue;
        }
        std::string line = "  " + Signature(o);
        line += line.size() + 2 <= kHelpColumn ? std::string(kHelpColumn - line.size(), ' ')
                                               : "\n" + std::string(kHelpColumn, ' ');
        for (const char c : std::string_view(o.Help)) {
            line += c;
            if (c == '\n') {
                line.append(kHelpColumn, ' ');
            }
        }
        out += line + "\n";
    }
    out += "\n" + std::string(kOutput) + "\n\nExit status: " + std::string(kExitStatus) + "\n";
    return out;
}

std::string CliManPage(const std::string& version) {
    std::string out = ".TH FERNSWEEP-CLI 1 \"\" \"fernsweep-cli " + version +
                      "\" \"User Commands\"\n"
                      ".SH NAME\n"
                      "fernsweep\\-cli \\- find and replace text in many files\n"
                      ".SH SYNOPSIS\n.B fernsweep\\-cli\n[\\fIOPTION\\fR]... [\\fIFOLDER\\fR]\n"
                      ".SH DESCRIPTION\n" +
                      Roff(Joined(kDescription)) + "\n.SH OPTIONS\n";
    for (const TOptionInfo& o : CliOptionTable()) {
        if (o.Hidden) {
            continue;
        }
        std::string sig = Signature(o);
        sig.erase(0, sig.find_first_not_of(' '));
        out += ".TP\n.B " + Roff(sig) + "\n" + Roff(Joined(o.Help)) + "\n";
    }
    out += ".SH OUTPUT\n" + Roff(Joined(kOutput)) + "\n.SH EXIT STATUS\n" +
           Roff(Joined(kExitStatus)) +
           "\n.SH ENVIRONMENT\n.TP\n.B NO_COLOR\nwhen set and not empty, no colour unless "
           "\\-\\-color=always is given.\n";
    return out;
}

std::string CliBashCompletion() {
    std::string words;
    for (const TOptionInfo& o : CliOptionTable()) {
        if (o.Hidden) {
            continue;
        }
        if (o.ShortName != 0) {
            words += std::string(" -") + o.ShortName;
        }
        words += std::string(" --") + o.LongName;
    }
    // bash splits "--color=al" at the "=" into "--color", "=" and "al".
    return "# bash completion for fernsweep-cli\n"
           "_fernsweep_cli() {\n"
           "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]} eq=\n"
           "    if [[ $prev == = && $COMP_CWORD -ge 2 ]]; then\n"
           "        prev=${COMP_WORDS[COMP_CWORD-2]} eq=1\n"
           "    elif [[ $cur == = ]]; then\n"
           "        cur= eq=1\n"
           "    fi\n"
           "    case $prev in\n"
           "        --color)\n"
           "            if [[ $eq ]]; then\n"
           "                COMPREPLY=($(compgen -W 'auto always never' -- \"$cur\")); return\n"
           "            fi ;;\n"
           "        --archive|--read-only|--system|--hidden)\n"
           "            COMPREPLY=($(compgen -W 'any set unset' -- \"$cur\")); return ;;\n"
           "        --report)\n"
           "            COMPREPLY=($(compgen -f -- \"$cur\")); return ;;\n"
           "        -s|--search|--replace|-m|--mask)\n"
           "            return ;;\n"
           "    esac\n"
           "    if [[ $cur == -* ]]; then\n"
           "        COMPREPLY=($(compgen -W '" +
           words.substr(1) +
           "' -- \"$cur\"))\n"
           "    else\n"
           "        COMPREPLY=($(compgen -d -- \"$cur\"))\n"
           "    fi\n"
           "}\n"
           "complete -o filenames -F _fernsweep_cli fernsweep-cli\n";
}

} // namespace cli
