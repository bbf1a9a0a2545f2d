// How a text editor is told to open a file at a line and column: the desktop entry of the
// default editor is read, its program recognised, and an argument vector formed in the form
// that program takes. Pure string work, so every editor's form can be checked without starting
// anything; UShell starts the result.
#pragma once

#include <string>
#include <vector>

namespace platform {

// What of a desktop entry ("[Desktop Entry]" group) starting a program needs.
struct TDesktopEntry {
    std::string Id;   // the desktop-file id, such as "org.gnome.gedit.desktop"
    std::string Exec; // the Exec value, unquoted from the key-file escapes
    bool Terminal = false;
};

TDesktopEntry ParseDesktopEntry(const std::string& id, const std::string& text);

// The Exec value split into arguments by its quoting rules (double quotes, inside which a
// backslash escapes a quote, backquote, dollar or backslash). Field codes stay in the arguments.
std::vector<std::string> SplitExec(const std::string& exec);

// The editors whose line arguments are known.
enum class TEditorKind {
    Unknown,
    VsCode,      // code and its forks: --goto FILE:LINE:COLUMN
    PlusLineCol, // gedit, GNOME Text Editor, Emacs: +LINE:COLUMN FILE
    PlusLine,    // Pluma, xed: +LINE FILE
    Kate,        // Kate, KWrite: --line LINE --column COLUMN FILE
    Geany,       // --line=LINE --column=COLUMN FILE
    Mousepad,    // --line=LINE --column=COLUMN FILE
    Sublime,     // FILE:LINE:COLUMN
    Vim,         // Vim, Neovim: "+call cursor(LINE,COLUMN)" FILE
    Nano,        // +LINE,COLUMN FILE
};

// Recognises the editor an Exec line starts (through env, flatpak and snap wrappers), by its
// program name or, failing that, by the desktop-file id.
TEditorKind EditorKindOf(const TDesktopEntry& entry);

// Whether the editor runs in a terminal: the entry says so, or the program is one that needs
// one (vim, nvim, nano).
bool NeedsTerminal(const TDesktopEntry& entry);

// The argument vector that opens `path` at `line` and `column` (both from 1; the column counts
// characters) with the entry's program; empty when the editor is not known. The file takes the
// place of the entry's file field code (%f %F %u %U), or goes last; other field codes go.
std::vector<std::string> EditorAtLineArgv(const TDesktopEntry& entry, const std::string& path,
                                          int line, int column);

// The user's "Editor command": split like an Exec line, with %f, %l and %c replaced by the
// path, the line and the column wherever they stand, and %% by a percent sign; the path is
// appended when the command has no %f. Empty for an empty command.
std::vector<std::string> ExpandEditorCommand(const std::string& command, const std::string& path,
                                             int line, int column);

// The character column (from 1) of byte position `byteColumn` (from 1) in a UTF-8 line.
int CharacterColumn(const std::string& line, int byteColumn);

} // namespace platform
