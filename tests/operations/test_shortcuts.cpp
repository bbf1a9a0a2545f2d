#include "OpsTestSupport.h"
#include "operations/vtShortcuts.h"
#include "text/UTextHelpers.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <map>
#include <optional>

using namespace opstest;

namespace {

// Points HOME and the XDG variables at a temporary home; restores them afterwards.
class ShortcutsTest : public ::testing::Test {
protected:
    TTempDir home;
    std::string target;

    void SetUp() override {
        for (const char* v : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"}) {
            const char* old = std::getenv(v);
            saved_[v] = old ? std::optional<std::string>(old) : std::nullopt;
            ::unsetenv(v);
        }
        ::setenv("HOME", home.Path().c_str(), 1);
        target = home / "opt/Fern sweep/fernsweep";
        WriteFile(target, "#!/bin/sh\n");
    }
    void TearDown() override {
        for (const auto& [k, v] : saved_) {
            if (v) {
                ::setenv(k.c_str(), v->c_str(), 1);
            } else {
                ::unsetenv(k.c_str());
            }
        }
    }

    void UserDirs(const std::string& content) {
        WriteFile(home / ".config/user-dirs.dirs", content);
    }

private:
    std::map<std::string, std::optional<std::string>> saved_;
};

std::string Success(const std::string& folder) {
    return "A shortcut to Fernsweep has been successfully created in\r\n" + folder;
}

std::string Failure(const std::string& linkPath) {
    return "Cannot create shortcut to Fernsweep\r\nfilename = " + linkPath;
}

bool IsExecutable(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && (st.st_mode & S_IXUSR) != 0;
}

// desktop-file-validate's verdict; nullopt when the tool is missing.
std::optional<platform::TRunResult> Validate(const std::string& path, std::string& output) {
    platform::TRunResult r = platform::RunProgram({"desktop-file-validate", path}, 20000, &output);
    if (!r.Started) {
        return std::nullopt;
    }
    return r;
}

void ExpectValidEntry(const std::string& path) {
    std::string out;
    const auto r = Validate(path, out);
    if (!r) {
        GTEST_SKIP() << "desktop-file-validate is not installed (Debian: desktop-file-utils)";
    }
    EXPECT_TRUE(r->Succeeded()) << out;
    EXPECT_EQ(out.find("error"), std::string::npos) << out;
}

} // namespace

TEST(WithTrailingSeparator, EmptyRootAndPlain) {
    EXPECT_EQ(text::WithTrailingSeparator(""), "");
    EXPECT_EQ(text::WithTrailingSeparator("/"), "/");
    EXPECT_EQ(text::WithTrailingSeparator("/home/x/Desktop"), "/home/x/Desktop/");
    EXPECT_EQ(text::WithTrailingSeparator("/home/x/Desktop/"), "/home/x/Desktop/");
}

TEST(JoinFolder, ExactlyOneSeparatorWhereTheyMeet) {
    EXPECT_EQ(operations::JoinFolder("/home/x/.local/share/", "applications"),
              "/home/x/.local/share/applications/");
    EXPECT_EQ(operations::JoinFolder("/home/x/.local/share", "applications/"),
              "/home/x/.local/share/applications/");
    EXPECT_EQ(operations::JoinFolder("/data//", "/applications"), "/data/applications/");
    EXPECT_EQ(operations::JoinFolder("/", "applications"), "/applications/");
    EXPECT_EQ(operations::JoinFolder("", "applications"), "");
}

TEST_F(ShortcutsTest, DesktopFolderFromUserDirs) {
    // No user-dirs.dirs: ~/Desktop.
    EXPECT_EQ(operations::GetDesktopFolder(), home / "Desktop/");
    UserDirs("# written by xdg-user-dirs-update\n"
             "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n"
             "  XDG_DESKTOP_DIR = \"$HOME/Schreib\\\"tisch\"\n"
             "XDG_MUSIC_DIR=\"/srv/music\"\n"
             "XDG_VIDEOS_DIR=relative/not/allowed\n");
    EXPECT_EQ(operations::GetDesktopFolder(), home / "Schreib\"tisch/");
    EXPECT_EQ(operations::GetShellFolder("Documents"), home / "Dokumente/");
    EXPECT_EQ(operations::GetShellFolder("Music"), "/srv/music/");
    EXPECT_EQ(operations::GetShellFolder("Videos"), "");
    EXPECT_EQ(operations::GetShellFolder("NoSuchFolder"), "");
    // The last line for a key wins; "$HOME" alone is the home folder itself.
    UserDirs("XDG_DESKTOP_DIR=\"$HOME/First\"\nXDG_DESKTOP_DIR=\"$HOME\"\n");
    EXPECT_EQ(operations::GetDesktopFolder(), home.Dir());
}

TEST_F(ShortcutsTest, ConfigAndDataHomeFromTheEnvironment) {
    TTempDir other;
    WriteFile(other / "user-dirs.dirs", "XDG_DESKTOP_DIR=\"/elsewhere/desk\"\n");
    ::setenv("XDG_CONFIG_HOME", other.Path().c_str(), 1);
    EXPECT_EQ(operations::GetDesktopFolder(), "/elsewhere/desk/");
    // A relative value is to be ignored.
    ::setenv("XDG_CONFIG_HOME", "relative", 1);
    EXPECT_EQ(operations::GetDesktopFolder(), home / "Desktop/");

    EXPECT_EQ(operations::GetShellFolder("AppData"), home / ".local/share/");
    EXPECT_EQ(operations::GetSendToFolder(), home / ".local/share/applications/");
    EXPECT_EQ(operations::GetQuickLaunchFolder(), home / ".local/share/applications/");
    ::setenv("XDG_DATA_HOME", "/data/home/", 1);
    EXPECT_EQ(operations::GetShellFolder("AppData"), "/data/home/");
    EXPECT_EQ(operations::GetQuickLaunchFolder(), "/data/home/applications/");
    ::setenv("XDG_DATA_HOME", "/data/home", 1);
    EXPECT_EQ(operations::GetQuickLaunchFolder(), "/data/home/applications/");
}

TEST_F(ShortcutsTest, DesktopShortcutIsAValidExecutableLauncher) {
    platform::ForceDirectories(home / "Desktop");
    TScriptedUi ui;
    operations::ShortcutOnDesktop(ui, target);
    EXPECT_EQ(ui.Messages, std::vector<std::string>{Success(home / "Desktop/")});
    const std::string link = home / "Desktop/Fernsweep.desktop";
    EXPECT_TRUE(IsExecutable(link));
    const std::string entry = ReadFile(link);
    EXPECT_NE(entry.find("\nType=Application\n"), std::string::npos) << entry;
    EXPECT_NE(entry.find("\nName=Fernsweep\n"), std::string::npos) << entry;
    EXPECT_NE(entry.find("\nComment=Fern Sweep\n"), std::string::npos) << entry;
    EXPECT_NE(entry.find("\nExec=\"" + target + "\"\n"), std::string::npos) << entry;
    EXPECT_EQ(entry.find("MimeType"), std::string::npos);
    ExpectValidEntry(link);
}

TEST_F(ShortcutsTest, SecondShortcutOverwritesTheFirst) {
    platform::ForceDirectories(home / "Desktop");
    WriteFile(home / "Desktop/Fernsweep.desktop", "stale");
    TScriptedUi ui;
    operations::ShortcutOnDesktop(ui, target);
    operations::ShortcutOnDesktop(ui, target);
    EXPECT_EQ(ui.Messages,
              (std::vector<std::string>{Success(home / "Desktop/"), Success(home / "Desktop/")}));
    EXPECT_NE(ReadFile(home / "Desktop/Fernsweep.desktop").find("[Desktop Entry]"),
              std::string::npos);
    EXPECT_TRUE(IsExecutable(home / "Desktop/Fernsweep.desktop"));
}

TEST_F(ShortcutsTest, MissingDesktopFolderIsAFailure) {
    TScriptedUi ui;
    operations::ShortcutOnDesktop(ui, target);
    EXPECT_EQ(ui.Messages, std::vector<std::string>{Failure(home / "Desktop/Fernsweep.desktop")});
    EXPECT_FALSE(platform::DirectoryExists(home / "Desktop"));
}

TEST_F(ShortcutsTest, AFolderInTheLinksPlaceIsAFailure) {
    platform::ForceDirectories(home / "Desktop/Fernsweep.desktop");
    TScriptedUi ui;
    operations::ShortcutOnDesktop(ui, target);
    EXPECT_EQ(ui.Messages, std::vector<std::string>{Failure(home / "Desktop/Fernsweep.desktop")});
}

TEST_F(ShortcutsTest, TaskbarAndSendToWriteTheirOwnFiles) {
    TScriptedUi ui;
    // The applications folder does not exist yet: it is created.
    operations::ShortcutOnTaskbar(ui, target);
    operations::ShortcutOnSendTo(ui, target);
    const std::string apps = home / ".local/share/applications/";
    EXPECT_EQ(ui.Messages, (std::vector<std::string>{Success(apps), Success(apps)}));
    const std::string taskbar = apps + "Fernsweep.desktop";
    const std::string sendTo = apps + "Fernsweep-SendTo.desktop";
    ASSERT_TRUE(platform::FileExists(taskbar));
    ASSERT_TRUE(platform::FileExists(sendTo));
    const std::string t = ReadFile(taskbar);
    const std::string s = ReadFile(sendTo);
    EXPECT_EQ(t.find("NoDisplay"), std::string::npos);
    EXPECT_NE(s.find("\nExec=\"" + target + "\" %f\n"), std::string::npos) << s;
    EXPECT_NE(s.find("\nMimeType=inode/directory;\n"), std::string::npos) << s;
    EXPECT_NE(s.find("\nNoDisplay=true\n"), std::string::npos) << s;
    EXPECT_NE(s.find("\nName=Fernsweep\n"), std::string::npos) << s;
    EXPECT_TRUE(IsExecutable(sendTo));
    ExpectValidEntry(taskbar);
    ExpectValidEntry(sendTo);
}

TEST_F(ShortcutsTest, ThreeCommandsThreeFiles) {
    platform::ForceDirectories(home / "Desktop");
    TScriptedUi ui;
    operations::ShortcutOnDesktop(ui, target);
    operations::ShortcutOnTaskbar(ui, target);
    operations::ShortcutOnSendTo(ui, target);
    EXPECT_TRUE(platform::FileExists(home / "Desktop/Fernsweep.desktop"));
    EXPECT_TRUE(platform::FileExists(home / ".local/share/applications/Fernsweep.desktop"));
    EXPECT_TRUE(platform::FileExists(home / ".local/share/applications/Fernsweep-SendTo.desktop"));
}

TEST_F(ShortcutsTest, LinkPathThatDoesNotFitIsAFailureNotTruncated) {
    // Folder names of legal length, but the whole path is past the limit.
    std::string folder = home.Path();
    while (folder.size() < operations::kMaxLinkPath) {
        folder += "/" + std::string(200, 'd');
    }
    folder += "/";
    const std::string link = folder + "Fernsweep.desktop";
    EXPECT_EQ(operations::CreateShellLink(target, link, "Fern Sweep"), ENAMETOOLONG);
    TScriptedUi ui;
    operations::CreateShortcut(ui, "Fernsweep", target, "Fern Sweep", "Fernsweep.desktop", folder);
    EXPECT_EQ(ui.Messages, std::vector<std::string>{Failure(link)});
}

TEST_F(ShortcutsTest, EmptyFolderIsAFailureAndWritesNothing) {
    TScriptedUi ui;
    operations::CreateShortcut(ui, "Fernsweep", target, "Fern Sweep", "Fernsweep.desktop", "");
    EXPECT_EQ(ui.Messages, std::vector<std::string>{Failure("Fernsweep.desktop")});
    EXPECT_FALSE(platform::FileExists("/Fernsweep.desktop"));
    EXPECT_FALSE(platform::FileExists("Fernsweep.desktop"));
}

TEST(QuoteExecArgument, ReservedCharactersAndEscapes) {
    std::string q;
    ASSERT_TRUE(operations::QuoteExecArgument("/usr/bin/fernsweep", q));
    EXPECT_EQ(q, "\"/usr/bin/fernsweep\"");
    ASSERT_TRUE(operations::QuoteExecArgument("/opt/Fern sweep/fs", q));
    EXPECT_EQ(q, "\"/opt/Fern sweep/fs\"");
    // Inside quotes " ` $ \ take a backslash; string escaping then doubles every backslash.
    ASSERT_TRUE(operations::QuoteExecArgument("/a\"b`c$d\\e", q));
    EXPECT_EQ(q, "\"/a\\\\\"b\\\\`c\\\\$d\\\\\\\\e\"");
    // '%' starts field codes, and its escaped form "%%" is not understood by every launcher.
    EXPECT_FALSE(operations::QuoteExecArgument("/100%/fs", q));
    ASSERT_TRUE(operations::QuoteExecArgument("/\xce\xb1/fs", q)); // UTF-8 alpha
    EXPECT_FALSE(operations::QuoteExecArgument("/a\nb", q));
    EXPECT_FALSE(operations::QuoteExecArgument("/a\tb", q));
    EXPECT_FALSE(operations::QuoteExecArgument("/\xe1\xf2", q));     // code-page bytes, no UTF-8
    EXPECT_FALSE(operations::QuoteExecArgument("/\xed\xa0\x80", q)); // a surrogate
}

TEST_F(ShortcutsTest, AwkwardTargetStillGivesAValidEntry) {
    const std::string odd = home / "we$ird \"dir\" `x` 'q'/back\\slash/fernsweep";
    const std::string out = home / "started.txt";
    WriteFile(odd, "#!/bin/sh\nprintf '%s' \"$0\" > '" + out + "'\n");
    ASSERT_EQ(::chmod(odd.c_str(), 0755), 0);
    platform::ForceDirectories(home / "Desktop");
    TScriptedUi ui;
    operations::ShortcutOnDesktop(ui, odd);
    EXPECT_EQ(ui.Messages, std::vector<std::string>{Success(home / "Desktop/")});
    ExpectValidEntry(home / "Desktop/Fernsweep.desktop");
    // A real launcher undoes the quoting and starts exactly that program.
    const platform::TRunResult r =
        platform::RunProgram({"gio", "launch", home / "Desktop/Fernsweep.desktop"}, 10000);
    if (!r.Started) {
        GTEST_SKIP() << "gio is not installed";
    }
    ASSERT_TRUE(r.Succeeded());
    // The launched program runs on its own: wait for its whole output, not just the file.
    for (int i = 0; i < 1000 && !(platform::FileExists(out) && ReadFile(out) == odd); ++i) {
        ::usleep(10000);
    }
    EXPECT_EQ(ReadFile(out), odd);
}

TEST_F(ShortcutsTest, TargetADesktopEntryCannotHoldIsAFailure) {
    platform::ForceDirectories(home / "Desktop");
    TScriptedUi ui;
    operations::ShortcutOnDesktop(ui, home / "new\nline/fernsweep");
    EXPECT_EQ(ui.Messages, std::vector<std::string>{Failure(home / "Desktop/Fernsweep.desktop")});
    EXPECT_FALSE(platform::FileExists(home / "Desktop/Fernsweep.desktop"));
    EXPECT_EQ(operations::CreateShellLink("", home / "Desktop/x.desktop", "d"), EILSEQ);
}
