#include "platform/UEditorCommand.h"

#include <gtest/gtest.h>

using namespace platform;
using Args = std::vector<std::string>;

namespace {

// A path with blanks, a single and a double quote: it must arrive as one argument, unchanged.
const std::string kPath = "/home/u/My Files/it's \"odd\".txt";

Args ForEntry(const std::string& id, const std::string& exec, bool terminal = false) {
    const std::string text = "[Desktop Entry]\nName=Editor\nExec=" + exec +
                             "\nTerminal=" + (terminal ? "true" : "false") +
                             "\n[Desktop Action new-window]\nExec=ignored %F\n";
    return EditorAtLineArgv(ParseDesktopEntry(id, text), kPath, 12, 7);
}

} // namespace

TEST(EditorCommand, EachKnownEditorFromItsDesktopEntry) {
    struct TCase {
        const char* id;
        const char* exec;
        Args expected;
    };
    const TCase cases[] = {
        {"code.desktop",
         "/usr/share/code/code --unity-launch %F",
         {"/usr/share/code/code", "--unity-launch", "--goto", kPath + ":12:7"}},
        {"codium.desktop",
         "/usr/share/codium/codium %F",
         {"/usr/share/codium/codium", "--goto", kPath + ":12:7"}},
        {"cursor.desktop", "cursor %U", {"cursor", "--goto", kPath + ":12:7"}},
        {"org.gnome.gedit.desktop", "gedit %U", {"gedit", "+12:7", kPath}},
        {"org.gnome.TextEditor.desktop",
         "gnome-text-editor %U",
         {"gnome-text-editor", "+12:7", kPath}},
        {"org.kde.kate.desktop",
         "kate -b %U",
         {"kate", "-b", "--line", "12", "--column", "7", kPath}},
        {"org.kde.kwrite.desktop", "kwrite %U", {"kwrite", "--line", "12", "--column", "7", kPath}},
        {"geany.desktop", "geany %F", {"geany", "--line=12", "--column=7", kPath}},
        {"org.xfce.mousepad.desktop",
         "mousepad %U",
         {"mousepad", "--line=12", "--column=7", kPath}},
        {"pluma.desktop", "pluma %U", {"pluma", "+12", kPath}},
        {"xed.desktop", "xed %U", {"xed", "+12", kPath}},
        {"sublime_text.desktop",
         "/opt/sublime_text/sublime_text %F",
         {"/opt/sublime_text/sublime_text", kPath + ":12:7"}},
        {"emacs.desktop", "emacs %F", {"emacs", "+12:7", kPath}},
        // Known by its id behind a shell wrapper; the quoting of the Exec line is undone.
        {"emacsclient.desktop",
         "sh -c \"exec emacsclient -c \\\\\"\\\\$@\\\\\"\" sh %F",
         {"sh", "-c", "exec emacsclient -c \"$@\"", "sh", "+12:7", kPath}},
        {"vim.desktop", "vim %F", {"vim", "+call cursor(12,7)", kPath}},
        {"nvim.desktop", "nvim %F", {"nvim", "+call cursor(12,7)", kPath}},
        {"nano.desktop", "nano %F", {"nano", "+12,7", kPath}},
        // Wrappers: env, a quoted program path with a blank, flatpak with forwarded files.
        {"code.desktop",
         "env BAMF_DESKTOP_FILE_HINT=/var/lib/snapd/code.desktop /snap/bin/code --force-user-env "
         "%F",
         {"env", "BAMF_DESKTOP_FILE_HINT=/var/lib/snapd/code.desktop", "/snap/bin/code",
          "--force-user-env", "--goto", kPath + ":12:7"}},
        {"my-editor.desktop",
         "\"/opt/My Editor/bin/gedit\" --new-window %f",
         {"/opt/My Editor/bin/gedit", "--new-window", "+12:7", kPath}},
        {"org.gnome.gedit.desktop",
         "/usr/bin/flatpak run --branch=stable --arch=x86_64 --command=gedit --file-forwarding "
         "org.gnome.gedit @@u %U @@",
         {"/usr/bin/flatpak", "run", "--branch=stable", "--arch=x86_64", "--command=gedit",
          "--file-forwarding", "org.gnome.gedit", "+12:7", "@@u", kPath, "@@"}},
        // Known by its id only; the file goes last when the Exec line has no field code.
        {"org.kde.kate.desktop",
         "/opt/k/bin/editor-wrapper",
         {"/opt/k/bin/editor-wrapper", "--line", "12", "--column", "7", kPath}},
        // Unknown editors fall back to the plain view.
        {"leafpad.desktop", "leafpad %f", {}},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(ForEntry(c.id, c.exec), c.expected) << c.id << ": " << c.exec;
    }
}

TEST(EditorCommand, TerminalEditorsAndFieldCodes) {
    const TDesktopEntry vim =
        ParseDesktopEntry("vim.desktop", "[Desktop Entry]\nExec=vim %F\nTerminal=true\n");
    EXPECT_TRUE(vim.Terminal);
    EXPECT_TRUE(NeedsTerminal(vim));
    EXPECT_TRUE(NeedsTerminal(ParseDesktopEntry("x", "[Desktop Entry]\nExec=nano %F\n")));
    EXPECT_FALSE(NeedsTerminal(ParseDesktopEntry("x", "[Desktop Entry]\nExec=gvim -f %F\n")));
    // %i %c %k go; %% is a percent sign; line and column never drop below 1.
    const TDesktopEntry e =
        ParseDesktopEntry("gedit.desktop", "[Desktop Entry]\nExec=gedit %i --x=100%% %c %U\n");
    EXPECT_EQ(EditorAtLineArgv(e, "/a", 0, 0), (Args{"gedit", "--x=100%", "+1:1", "/a"}));
}

TEST(EditorCommand, UserCommandPlaceholders) {
    EXPECT_EQ(ExpandEditorCommand("code --goto \"%f:%l:%c\"", kPath, 3, 9),
              (Args{"code", "--goto", kPath + ":3:9"}));
    EXPECT_EQ(ExpandEditorCommand("\"/opt/My Ed/ed\" -n%l", kPath, 3, 9),
              (Args{"/opt/My Ed/ed", "-n3", kPath}));
    EXPECT_EQ(ExpandEditorCommand("ed 100%% %x", "/a", 1, 1), (Args{"ed", "100%", "%x", "/a"}));
    EXPECT_TRUE(ExpandEditorCommand("   ", "/a", 1, 1).empty());
}

TEST(EditorCommand, CharacterColumnCountsUtf8Characters) {
    EXPECT_EQ(CharacterColumn("abc", 1), 1);
    EXPECT_EQ(CharacterColumn("abc", 3), 3);
    // "é" is two bytes: the byte after it is the second character.
    EXPECT_EQ(CharacterColumn("\xC3\xA9x", 3), 2);
    EXPECT_EQ(CharacterColumn("ab", 3), 3); // just past the end
    EXPECT_EQ(CharacterColumn("", 0), 1);
}
