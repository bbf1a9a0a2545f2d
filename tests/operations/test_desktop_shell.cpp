// The freedesktop shell against stand-in programs on PATH that record how they were called.
#include "OpsTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>

using namespace opstest;

namespace {

class DesktopShellTest : public ::testing::Test {
protected:
    TTempDir dir;
    std::string bin = dir / "bin";
    std::string log = dir / "calls.log";

    void SetUp() override {
        const char* old = std::getenv("PATH");
        savedPath_ = old ? std::optional<std::string>(old) : std::nullopt;
        platform::ForceDirectories(bin);
        ::setenv("PATH", bin.c_str(), 1);
        ::setenv("FS_FAKE_LOG", log.c_str(), 1);
    }
    void TearDown() override {
        if (savedPath_) {
            ::setenv("PATH", savedPath_->c_str(), 1);
        } else {
            ::unsetenv("PATH");
        }
        ::unsetenv("FS_FAKE_LOG");
    }

    // A program that logs "name|arg|arg..." and exits with `code` after printing `out`.
    void Fake(const std::string& name, int code = 0, const std::string& out = "",
              const std::string& extra = "") {
        const std::string path = bin + "/" + name;
        WriteFile(path, "#!/bin/sh\n{ printf '%s' '" + name +
                            "'; for a in \"$@\"; do printf '|%s' \"$a\"; done; printf '\\n'; } "
                            ">> \"$FS_FAKE_LOG\"\n" +
                            (out.empty() ? "" : "printf '%b' '" + out + "'\n") + extra + "exit " +
                            std::to_string(code) + "\n");
        ::chmod(path.c_str(), 0755);
    }

    std::vector<std::string> Calls() const {
        std::vector<std::string> lines;
        if (!platform::FileExists(log)) {
            return lines;
        }
        const std::string data = ReadFile(log);
        size_t i = 0;
        while (i < data.size()) {
            const size_t e = data.find('\n', i);
            lines.push_back(data.substr(i, e - i));
            i = e == std::string::npos ? data.size() : e + 1;
        }
        return lines;
    }

private:
    std::optional<std::string> savedPath_;
};

} // namespace

TEST_F(DesktopShellTest, OpenDocumentPassesThePathAsOneArgument) {
    Fake("xdg-open");
    const std::string doc = dir / "a file with blanks 'and quotes'.txt";
    WriteFile(doc, "x");
    const auto shell = platform::CreateDesktopShell();
    EXPECT_TRUE(shell->OpenDocument(doc));
    EXPECT_EQ(Calls(), std::vector<std::string>{"xdg-open|" + doc});
    // A missing document fails before anything is started.
    EXPECT_FALSE(shell->OpenDocument(dir / "missing.html"));
    EXPECT_EQ(Calls().size(), 1u);
}

TEST_F(DesktopShellTest, ArgumentsAreBytes) {
    Fake("xdg-open");
    const std::string doc = dir / "\xe1\xf2\xff name";
    WriteFile(doc, "x");
    EXPECT_TRUE(platform::CreateDesktopShell()->OpenDocument(doc));
    EXPECT_EQ(Calls(), std::vector<std::string>{"xdg-open|" + doc});
}

TEST_F(DesktopShellTest, LauncherFailuresAndMissingLaunchers) {
    const auto shell = platform::CreateDesktopShell();
    EXPECT_FALSE(shell->OpenUrl("https://example.org/")); // no xdg-open at all
    Fake("xdg-open", 4);
    EXPECT_FALSE(shell->OpenUrl("https://example.org/"));
    Fake("xdg-open", 0);
    EXPECT_TRUE(shell->OpenUrl("https://example.org/a?b=c"));
    EXPECT_EQ(Calls(), (std::vector<std::string>{"xdg-open|https://example.org/",
                                                 "xdg-open|https://example.org/a?b=c"}));
}

TEST_F(DesktopShellTest, ALauncherThatKeepsRunningCountsAsStarted) {
    // Its own output closed, so no test runner waits for it.
    Fake("xdg-open", 0, "", "exec /bin/sleep 3 >/dev/null 2>&1\n");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(platform::CreateDesktopShell()->OpenUrl("https://example.org/"));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

TEST_F(DesktopShellTest, ExploreAFileShowsItThroughFileManager1) {
    Fake("gdbus");
    Fake("xdg-open");
    const std::string file = dir / "sub dir/a,b's.txt";
    EXPECT_TRUE(platform::CreateDesktopShell()->OpenFolder(dir / "sub dir/", file));
    const std::string uri = platform::FileUri(file);
    EXPECT_EQ(uri.find_first_of(" ',\""), std::string::npos) << uri;
    EXPECT_EQ(Calls(), std::vector<std::string>{
                           "gdbus|call|--session|--timeout|5|--dest|org.freedesktop.FileManager1|"
                           "--object-path|/org/freedesktop/FileManager1|--method|"
                           "org.freedesktop.FileManager1.ShowItems|['" +
                           uri + "']|''"});
}

TEST_F(DesktopShellTest, ExploreFallsBackToDbusSendThenToOpeningTheFolder) {
    Fake("dbus-send", 1);
    Fake("xdg-open");
    const std::string file = dir / "a.txt";
    EXPECT_TRUE(platform::CreateDesktopShell()->OpenFolder(dir.Dir(), file));
    EXPECT_EQ(Calls(), (std::vector<std::string>{
                           "dbus-send|--session|--print-reply|--reply-timeout=5000|"
                           "--dest=org.freedesktop.FileManager1|/org/freedesktop/FileManager1|"
                           "org.freedesktop.FileManager1.ShowItems|array:string:" +
                               platform::FileUri(file) + "|string:",
                           "xdg-open|" + dir.Dir()}));
}

TEST_F(DesktopShellTest, ExploreAFolderOpensIt) {
    Fake("gdbus");
    Fake("xdg-open");
    EXPECT_TRUE(platform::CreateDesktopShell()->OpenFolder(dir.Dir(), ""));
    EXPECT_EQ(Calls(), std::vector<std::string>{"xdg-open|" + dir.Dir()});
}

TEST_F(DesktopShellTest, ViewUsesThePlainTextApplication) {
    Fake("xdg-mime", 0, "org.example.Editor.desktop\\n");
    Fake("gtk-launch");
    Fake("xdg-open");
    const std::string doc = dir / "page.html"; // opened as text, whatever its own type
    WriteFile(doc, "<p>");
    EXPECT_TRUE(platform::CreateDesktopShell()->OpenInTextEditor(doc));
    EXPECT_EQ(Calls(), (std::vector<std::string>{"xdg-mime|query|default|text/plain",
                                                 "gtk-launch|org.example.Editor.desktop|" + doc}));
}

TEST_F(DesktopShellTest, ViewWithoutGtkLaunchUsesGioOnTheEntryFile) {
    const std::string data = dir / "share";
    WriteFile(data + "/applications/org.example.Editor.desktop", "[Desktop Entry]\n");
    ::setenv("XDG_DATA_DIRS", data.c_str(), 1);
    Fake("xdg-mime", 0, "org.example.Editor.desktop");
    Fake("gio");
    const std::string doc = dir / "notes.txt";
    WriteFile(doc, "x");
    EXPECT_TRUE(platform::CreateDesktopShell()->OpenInTextEditor(doc));
    ::unsetenv("XDG_DATA_DIRS");
    EXPECT_EQ(Calls(),
              (std::vector<std::string>{"xdg-mime|query|default|text/plain",
                                        "gio|launch|" + data +
                                            "/applications/org.example.Editor.desktop|" + doc}));
}

TEST_F(DesktopShellTest, ViewWithoutAssociationTriesKnownEditors) {
    Fake("xdg-mime", 0, "");
    Fake("mousepad");
    const std::string doc = dir / "notes.txt";
    WriteFile(doc, "x");
    const auto shell = platform::CreateDesktopShell();
    EXPECT_TRUE(shell->OpenInTextEditor(doc));
    EXPECT_EQ(Calls(),
              (std::vector<std::string>{"xdg-mime|query|default|text/plain", "mousepad|" + doc}));
    EXPECT_FALSE(shell->OpenInTextEditor(dir / "missing.txt"));
    ::unlink((bin + "/mousepad").c_str());
    EXPECT_FALSE(shell->OpenInTextEditor(doc));
}

TEST(RunProgram, CapturesMoreThanAPipeHoldsAndKillsOverruns) {
    std::string out;
    const platform::TRunResult r =
        platform::RunProgram({"/usr/bin/head", "-c", "300000", "/dev/zero"}, 10000, &out);
    EXPECT_TRUE(r.Succeeded());
    EXPECT_EQ(out.size(), 300000u);

    const auto start = std::chrono::steady_clock::now();
    const platform::TRunResult slow = platform::RunProgram({"/bin/sleep", "10"}, 200);
    EXPECT_TRUE(slow.Started);
    EXPECT_FALSE(slow.Finished);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));

    EXPECT_FALSE(platform::RunProgram({"/no/such/program"}, 1000).Started);
    EXPECT_FALSE(platform::RunProgram({}, 1000).Started);
    const platform::TRunResult failing = platform::RunProgram({"/bin/sh", "-c", "exit 3"}, 5000);
    EXPECT_TRUE(failing.Finished);
    EXPECT_EQ(failing.ExitCode, 3);
}

TEST(FileUri, PercentEncodesAllButUnreservedAndSlash) {
    EXPECT_EQ(platform::FileUri("/a b/c,d'e\"f%.txt"), "file:///a%20b/c%2Cd%27e%22f%25.txt");
    EXPECT_EQ(platform::FileUri("/\xe1\xff~_-."), "file:///%E1%FF~_-.");
}
