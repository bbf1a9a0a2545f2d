// fernsweep-cli run on generated trees: what it prints, writes and exits with.
#include "DeepChain.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

struct Result {
    int exitCode = -1; // -1 when ended by a signal
    std::string out;
    std::string err;
};

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Which line ends a rewritten file gets is the in-file search's business.
std::string NoCr(std::string text) {
    std::erase(text, '\r');
    return text;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    size_t i = 0;
    while (i < text.size()) {
        const size_t j = text.find('\n', i);
        if (j == std::string::npos) {
            out.push_back(text.substr(i));
            break;
        }
        out.push_back(text.substr(i, j - i));
        i = j + 1;
    }
    return out;
}

class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        base_ = fs::temp_directory_path() /
                ("fs-cli-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(base_);
        root_ = (base_ / "tree").string();
        fs::create_directories(root_);
        // Each test's replacements are recorded in its own folder, never in the user's.
        ::setenv("XDG_STATE_HOME", (base_ / "state").c_str(), 1);
    }
    void TearDown() override {
        // rm copes with trees deeper than the longest path a single call can take.
        const std::string rm = "rm -rf '" + base_.string() + "'";
        EXPECT_EQ(std::system(rm.c_str()), 0);
    }

    std::string P(const std::string& rel) const { return root_ + "/" + rel; }
    void File(const std::string& rel, const std::string& content) const {
        fs::create_directories(fs::path(P(rel)).parent_path());
        std::ofstream(P(rel), std::ios::binary) << content;
    }

    // A file too deep to open by its absolute path, at the end of `levels` folders under `rel`.
    void DeepChain(const std::string& rel, int levels, const std::string& file) const {
        fs::create_directories(P(rel));
        testsupport::MakeDeepChain(P(rel), levels, file);
    }

    // Starts the program with stdout and stderr going to files; gives its pid.
    pid_t Start(const std::vector<std::string>& args, const std::string& cwd = "") {
        outPath_ = (base_ / "stdout").string();
        errPath_ = (base_ / "stderr").string();
        std::vector<std::string> all = launcher_;
        all.push_back(FERNSWEEP_CLI);
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& a : all) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
        if (stdoutFd_ >= 0) {
            posix_spawn_file_actions_adddup2(&fa, stdoutFd_, 1);
        } else {
            posix_spawn_file_actions_addopen(&fa, 1, outPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                             0644);
        }
        posix_spawn_file_actions_addopen(&fa, 2, errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        if (!cwd.empty()) {
            posix_spawn_file_actions_addchdir_np(&fa, cwd.c_str());
        }
        std::vector<std::string> envText = extraEnv_;
        for (char** e = environ; *e != nullptr; ++e) {
            envText.emplace_back(*e);
        }
        std::vector<char*> env;
        for (std::string& e : envText) {
            env.push_back(e.data());
        }
        env.push_back(nullptr);
        pid_t pid = -1;
        const int rc = posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), env.data());
        posix_spawn_file_actions_destroy(&fa);
        EXPECT_EQ(rc, 0) << "cannot start " << FERNSWEEP_CLI;
        return pid;
    }
    Result Wait(pid_t pid) {
        Result r;
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.out = ReadAll(outPath_);
        r.err = ReadAll(errPath_);
        return r;
    }
    Result Cli(const std::vector<std::string>& args, const std::string& cwd = "") {
        return Wait(Start(args, cwd));
    }

    fs::path base_;
    std::string root_;
    std::vector<std::string> extraEnv_; // NAME=value, ahead of the inherited environment
    int stdoutFd_ = -1;                 // when set, standard output goes there
    std::vector<std::string> launcher_; // a program that runs the CLI given as its next argument
    std::string outPath_;
    std::string errPath_;
};

} // namespace

TEST_F(CliTest, ReportLinesThenTheSummary) {
    File("sub/notes.txt", "alpha beta alpha\n");
    File("readme.txt", "x\n\"q\" [alpha]\n");
    File("other.txt", "nothing\n");

    const Result r = Cli({"-s", "alpha", root_});

    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    // The sub-folder's files come before the start folder's own.
    EXPECT_EQ(r.out, P("sub/notes.txt") +
                         "\n"
                         "    Line: 0, Char: 1, [\"alpha beta alpha\"]\n"
                         "    Line: 0, Char: 12, [\"alpha beta alpha\"]\n" +
                         P("readme.txt") +
                         "\n"
                         "    Line: 1, Char: 6, [\"\"q\" [alpha]\"]\n"
                         "Found 3 occurences in 2 files.\n");
}

TEST_F(CliTest, TreeLinesGiveImageDepthAndCaption) {
    File("sub/a.txt", "needle\n");
    File("b.txt", "none\n");

    const Result r = Cli({"--tree", "--search=needle", root_});

    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "2\t" + root_ +
                         " - 1 occurence in 1 file\n"
                         "2\t  sub - 1 occurence in 1 file\n"
                         "4\t    a.txt - 1 occurence\n"
                         "6\t      Line: 1, Pos: 1, \"needle\"\n"
                         "Found 1 occurence in 1 file.\n");
}

TEST_F(CliTest, WithoutSearchEveryMatchingFileIsFound) {
    File("a.txt", "");
    File("Makefile", "");
    File("d/b.doc", "");
    File("d/c.tmp", "");

    Result r = Cli({root_});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(Lines(r.out).back(), "3 files found.");
    EXPECT_EQ(Lines(r.out).size(), 4u);

    r = Cli({"-m", "*.doc; ;*.txt", root_});
    EXPECT_EQ(Lines(r.out), (std::vector<std::string>{P("d/b.doc"), P("a.txt"), "2 files found."}));

    r = Cli({"--tree", "-n", "-m", "*.doc", root_});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "0\t" + root_ + "\n0 files found.\n");

    r = Cli({"-m", "Makefile", root_});
    EXPECT_EQ(Lines(r.out), (std::vector<std::string>{P("Makefile"), "1 file found."}));

    // No mask at all: every folder is walked and gets its node, no file is found.
    for (const std::string& masks : {std::string(), std::string(" ;; ")}) {
        r = Cli({"--tree", "-m", masks, root_});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.out, "0\t" + root_ + "\n0\t  d\n0 files found.\n");
    }
}

TEST_F(CliTest, NothingFoundExitsOne) {
    File("a.txt", "abc\n");

    const Result r = Cli({"-s", "zzz", root_});

    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "Found 0 occurences in 0 files.\n");
    EXPECT_EQ(r.err, "");
}

TEST_F(CliTest, CaseIsIgnoredUnlessAsked) {
    File("a.txt", "Needle needle\n");

    EXPECT_EQ(Lines(Cli({"-s", "NEEDLE", root_}).out).back(), "Found 2 occurences in 1 file.");
    EXPECT_EQ(Lines(Cli({"-c", "-s", "needle", root_}).out).back(), "Found 1 occurence in 1 file.");
    EXPECT_EQ(Cli({"-c", "-s", "NEEDLE", root_}).exitCode, 1);
}

TEST_F(CliTest, ReplacementRewritesAndKeepsBackups) {
    File("notes.txt", "one two one\n");
    File("keep.txt", "three\n");

    Result r = Cli({"-s", "one", "--replace", "1", "-b", root_});

    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(Lines(r.out).back(), "Made 2 replacements in 1 file.");
    EXPECT_EQ(NoCr(ReadAll(P("notes.txt"))), "1 two 1\n");
    EXPECT_EQ(ReadAll(P("notes.~txt")), "one two one\n");
    EXPECT_EQ(ReadAll(P("keep.txt")), "three\n");

    // Without -b no backup is made; a regular-expression replacement translates \t. The
    // mask keeps the backup itself out of it.
    r = Cli({"-m", "*.txt", "-e", "-s", "t(wo)", "--replace=<\\t$1>", root_});
    EXPECT_EQ(Lines(r.out).back(), "Made 1 replacement in 1 file.");
    EXPECT_EQ(NoCr(ReadAll(P("notes.txt"))), "1 <\two> 1\n");
    EXPECT_FALSE(fs::exists(P("notes.~txt1")));
}

// --preview writes nothing and prints a diff that patch turns into the replacement's result;
// the replacement itself is then recorded, and --undo takes it back.
TEST_F(CliTest, PreviewPrintsAPatchAndUndoTakesTheReplacementBack) {
    File("a.txt", "one two one\nlast one");
    File("sub/b.txt", "x\r\none\r\n");
    const std::string before = ReadAll(P("a.txt"));
    Result r = Cli({"-m", "*.txt", "-s", "one", "--replace=1", "--preview", root_});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(ReadAll(P("a.txt")), before);
    EXPECT_NE(r.err.find("Would make 4 replacements in 2 files; nothing was written."),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.out.find("--- a/sub/b.txt\n+++ b/sub/b.txt\n"), std::string::npos) << r.out;
    std::ofstream(P("p.diff"), std::ios::binary) << r.out;
    ASSERT_EQ(std::system(("cd '" + root_ + "' && patch -s -p1 < p.diff").c_str()), 0);
    EXPECT_EQ(ReadAll(P("a.txt")), "1 two 1\nlast 1");
    EXPECT_EQ(ReadAll(P("sub/b.txt")), "x\r\n1\r\n");
    EXPECT_EQ(Cli({"--preview", "-s", "one", root_}).exitCode, 2); // nothing to preview

    File("a.txt", "one\n");
    r = Cli({"-m", "a.txt", "-s", "one", "--replace=1", root_});
    EXPECT_EQ(ReadAll(P("a.txt")), "1\n");
    r = Cli({"--journal"});
    EXPECT_NE(r.out.find("1 file  \"one\" by \"1\" in "), std::string::npos) << r.out;
    r = Cli({"--undo"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(ReadAll(P("a.txt")), "one\n");
}

// A file that cannot be written is not counted as replaced, its reason is given, and the run
// ends with status 2; a link out of the tree counts as such a file.
TEST_F(CliTest, AFailedWriteIsNeitherCountedNorASuccess) {
    File("a.txt", "one\n");
    File("b.txt", "one\n");
    ASSERT_EQ(::chmod(P("a.txt").c_str(), 0444), 0);
    File("../outside.txt", "one\n");
    fs::create_symlink("../outside.txt", P("c.txt"));

    const Result r = Cli({"-s", "one", "--replace=1", root_});

    EXPECT_EQ(r.exitCode, 2) << r.err;
    EXPECT_EQ(Lines(r.out).back(), "Made 1 replacement in 1 file.");
    EXPECT_NE(r.err.find("Unable to create file " + P("a.txt") +
                         " File may be read/only (Permission denied)\n"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("Unable to create file " + P("c.txt") +
                         " File may be read/only (a link to a file outside the start folder)\n"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(ReadAll(P("a.txt")), "one\n");
    EXPECT_EQ(ReadAll(P("../outside.txt")), "one\n");
    EXPECT_EQ(NoCr(ReadAll(P("b.txt"))), "1\n");
}

TEST_F(CliTest, ReportFileHasCrLfAndStdoutKeepsTheSummary) {
    File("a.txt", "hit\nmiss\nhit\n");
    const std::string report = (base_ / "out.log").string();
    std::ofstream(report) << "old content";

    const Result r = Cli({"-s", "hit", "--report=" + report, root_});

    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "Found 2 occurences in 1 file.\n");
    EXPECT_EQ(r.err, "Generated file \"" + report + "\" (3 lines)\n");
    EXPECT_EQ(ReadAll(report), P("a.txt") + "\r\n"
                                            "    Line: 0, Char: 1, [\"hit\"]\r\n"
                                            "    Line: 2, Char: 1, [\"hit\"]\r\n");
    // Only the report itself is left beside it: no temporary file.
    int entries = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(base_)) {
        ++entries;
    }
    EXPECT_EQ(entries, 4); // tree, out.log, stdout, stderr
}

TEST_F(CliTest, TreeStillGoesToStdoutWhenTheReportGoesToAFile) {
    File("a.txt", "hit\n");
    const std::string report = (base_ / "out.log").string();

    const Result r = Cli({"-s", "hit", "--tree", "--report=" + report, root_});

    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "2\t" + root_ + " - 1 occurence in 1 file\n4\t  a.txt - 1 occurence\n" +
                         "6\t    Line: 1, Pos: 1, \"hit\"\nFound 1 occurence in 1 file.\n");
    EXPECT_EQ(ReadAll(report), P("a.txt") + "\r\n    Line: 0, Char: 1, [\"hit\"]\r\n");
}

TEST_F(CliTest, RelativeReportNameIsTakenFromTheCurrentDirectory) {
    File("sub/a.txt", "hit\n");

    const Result r = Cli({"-s", "hit", "--report=out.log", "tree/sub"}, base_.string());

    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "Generated file \"out.log\" (2 lines)\n");
    EXPECT_EQ(ReadAll((base_ / "out.log").string()),
              P("sub/a.txt") + "\r\n    Line: 0, Char: 1, [\"hit\"]\r\n");
}

TEST_F(CliTest, ReportThatCannotBeWrittenIsAnError) {
    File("a.txt", "hit\n");
    const std::string report = (base_ / "no-such-dir" / "out.log").string();

    const Result r = Cli({"-s", "hit", "--report", report, root_});

    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err, "Cannot generate file \"" + report + "\"\n");
    EXPECT_EQ(r.out, "Found 1 occurence in 1 file.\n");
}

TEST_F(CliTest, BadPatternIsAnErrorWithTheEnginesMessage) {
    File("a.txt", "x\n");

    const Result r = Cli({"-e", "-s", "(", root_});

    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "TRegExpr(comp): ParseReg Unmatched () (pos 1)\n");
}

TEST_F(CliTest, FileDeeperThanTheLongestPathIsFound) {
    DeepChain("deep", 17, "far.txt");

    const Result r = Cli({"--stop-on-error", "-s", "x", root_});

    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_NE(r.out.find("/far.txt\n"), std::string::npos);
    EXPECT_NE(r.out.find("Found 1 occurence in 1 file."), std::string::npos);
}

TEST_F(CliTest, RelativeFolderIsTakenFromTheCurrentDirectory) {
    File("sub/a.txt", "");

    const Result r = Cli({"--tree", "tree/sub/"}, base_.string());

    EXPECT_EQ(r.out, "2\t" + P("sub") + " - 1 file\n4\t  a.txt\n1 file found.\n");
}

TEST_F(CliTest, ArgumentsAndNamesAreBytes) {
    File("caf\xe9.txt", "na\xefve \xff\n");

    Result r = Cli({"-s", "\xef", root_});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, P("caf\xe9.txt") + "\n    Line: 0, Char: 3, [\"na\xefve \xff\"]\n" +
                         "Found 1 occurence in 1 file.\n");

    r = Cli({"-m", "caf\xe9.*", root_});
    EXPECT_EQ(Lines(r.out).back(), "1 file found.");
}

TEST_F(CliTest, AttributeFilters) {
    File(".hidden.txt", "");
    File("shown.txt", "");
    File(".dir/inner.txt", "");

    EXPECT_EQ(Lines(Cli({"--hidden=unset", root_}).out),
              (std::vector<std::string>{P(".dir/inner.txt"), P("shown.txt"), "2 files found."}));
    EXPECT_EQ(Lines(Cli({"--hidden=set", root_}).out),
              (std::vector<std::string>{P(".hidden.txt"), "1 file found."}));
}

TEST_F(CliTest, HelpAndVersion) {
    Result r = Cli({"--help"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out.rfind("Usage: fernsweep-cli [OPTION]... [FOLDER]\n", 0), 0u);
    EXPECT_NE(r.out.find("--report=FILE"), std::string::npos);
    r = Cli({"--version"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out.rfind("fernsweep-cli ", 0), 0u);
}

TEST_F(CliTest, TestRegexPrintsWhatTheTesterShows) {
    EXPECT_EQ(Cli({"--test-regex", "b+", "[$0]", "abbbc"}).out, "a[bbb]c\n");
    EXPECT_EQ(Cli({"--test-regex", "(a)(b)", "$2$1", "abab"}).out, "baba\n");
    // The template is taken as typed: no escape translation.
    EXPECT_EQ(Cli({"--test-regex", "b", "x\\ny", "abc"}).out, "axnyc\n");
    const Result bad = Cli({"--test-regex", "(", "", "abc"});
    EXPECT_EQ(bad.exitCode, 0);
    EXPECT_EQ(bad.out, "TRegExpr(comp): ParseReg Unmatched () (pos 1)\n");
    EXPECT_EQ(Cli({"--test-regex", "", "x", "abc"}).out, "\n");
}

TEST_F(CliTest, CtrlCWindsTheRunDownAndPrintsItsSummary) {
    constexpr int kFolders = 2000;
    for (int i = 0; i < kFolders; ++i) {
        File("d" + std::to_string(i) + "/f.txt", "");
    }
    const pid_t pid = Start({root_});
    // Once the walk holds a folder of the tree open, the handler is in place.
    const std::string fdDir = "/proc/" + std::to_string(pid) + "/fd";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    bool entered = false;
    while (!entered && std::chrono::steady_clock::now() < deadline) {
        std::error_code ec;
        for (fs::directory_iterator it(fdDir, ec), end; !ec && it != end; it.increment(ec)) {
            std::error_code linkEc;
            const fs::path target = fs::read_symlink(it->path(), linkEc);
            entered = entered || (!linkEc && target.string().rfind(root_ + "/", 0) == 0);
        }
        if (!entered) {
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
    }
    ASSERT_TRUE(entered);
    ::kill(pid, SIGINT);
    const Result r = Wait(pid);

    ASSERT_NE(r.exitCode, -1) << "ended by the signal";
    const std::vector<std::string> lines = Lines(r.out);
    ASSERT_FALSE(lines.empty());
    const std::string summary = lines.back();
    ASSERT_NE(summary.find(" found."), std::string::npos) << summary;
    const int found = std::stoi(summary);
    EXPECT_LT(found, kFolders);
    EXPECT_EQ(static_cast<int>(lines.size()), found + 1);
    EXPECT_NE(r.err.find("Search aborted"), std::string::npos) << r.err;
}

TEST_F(CliTest, ShortRIsRefusedAndNothingIsWritten) {
    File("a.txt", "hello needle\n");

    for (const auto& args : std::vector<std::vector<std::string>>{
             {"-s", "needle", "-rn", root_}, {"-r", "x", "-s", "needle", root_}}) {
        const Result r = Cli(args);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("--replace"), std::string::npos) << r.err;
    }
    EXPECT_EQ(ReadAll(P("a.txt")), "hello needle\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(root_), fs::directory_iterator()), 1);
}

TEST_F(CliTest, EveryErrorOfTheHelpExitsTwo) {
    File("a.txt", "hit\n");
    File("sub/b.txt", "hit\n");
    const std::string help = Cli({"--help"}).out;
    EXPECT_NE(help.find("Exit status: 0 if at least one file was found, 1 if none, 2 if"),
              std::string::npos);

    struct Case {
        std::vector<std::string> args;
        std::string err; // a part of the message
    };
    for (const Case& c : std::vector<Case>{
             {{"--bogus", root_}, "unrecognized option"},
             {{"--hidden=maybe", root_}, "any, set or unset"},
             {{root_, root_}, "only one FOLDER"},
             {{"--replace=x", root_}, "needs a search text"},
             {{"-s", "x", root_ + "/missing"}, "cannot find folder '" + root_ + "/missing'"},
             {{"-s", "x", P("a.txt")}, "is not a folder"},
             {{"-e", "-s", "(", root_}, "Unmatched ()"},
             {{"-n", "-s", "hit", "--report=" + root_ + "/none/r.log", root_}, "Cannot generate"},
         }) {
        const Result r = Cli(c.args);
        EXPECT_EQ(r.exitCode, 2) << c.err;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
    }
    EXPECT_EQ(Cli({"-n", "-s", "hit", root_}).exitCode, 0);
    EXPECT_EQ(Cli({"-n", "-s", "miss", root_}).exitCode, 1);
}

TEST_F(CliTest, DefaultFolderIsTheCurrentOneAndPathsAreShownAsGiven) {
    File("sub/a.txt", "x needle\n");

    EXPECT_EQ(Cli({"--vimgrep", "-s", "needle"}, root_).out, "sub/a.txt:1:3:x needle\n");
    EXPECT_EQ(Cli({"-l", "-s", "needle", "."}, root_).out, "./sub/a.txt\n");
    EXPECT_EQ(Cli({"-l", "-s", "needle", "tree/"}, base_.string()).out, "tree/sub/a.txt\n");
    EXPECT_EQ(Cli({"-s", "needle"}, root_).out,
              P("sub/a.txt") +
                  "\n    Line: 0, Char: 3, [\"x needle\"]\nFound 1 occurence in 1 file.\n");
}

// grep -rn and --vimgrep on the same tree find the same lines of the same files.
TEST_F(CliTest, VimgrepFindsTheLinesGrepFinds) {
    unsigned seed = 7;
    const auto next = [&seed](unsigned n) {
        seed = seed * 1103515245U + 12345U;
        return (seed >> 16) % n;
    };
    const std::vector<std::string> words = {"needle", "hay", "Needle", "needles", "x", ""};
    for (int f = 0; f < 40; ++f) {
        std::string content;
        for (unsigned l = 0, lines = next(12); l < lines; ++l) {
            for (unsigned w = 0, count = next(5); w < count; ++w) {
                content += words[next(words.size())] + (next(3) == 0 ? "" : " ");
            }
            content += '\n';
        }
        const std::string dir = next(3) == 0 ? "" : "d" + std::to_string(next(4)) + "/";
        File(dir + (next(5) == 0 ? ".hidden" : "") + "f" + std::to_string(f) +
                 (next(4) == 0 ? "" : ".txt"),
             content);
    }
    const std::string grepOut = (base_ / "grep.out").string();
    ASSERT_EQ(std::system(("grep -rn needle '" + root_ + "' > '" + grepOut + "'").c_str()) >> 8, 0);
    std::set<std::string> expected;
    for (const std::string& line : Lines(ReadAll(grepOut))) {
        const size_t second = line.find(':', line.find(':') + 1);
        expected.insert(line.substr(0, second));
    }

    const Result r = Cli({"--vimgrep", "-c", "-m", "*", "-s", "needle", root_});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    std::set<std::string> got;
    for (const std::string& line : Lines(r.out)) {
        const size_t second = line.find(':', line.find(':') + 1);
        const size_t third = line.find(':', second + 1);
        got.insert(line.substr(0, second));
        // The column points at the match.
        EXPECT_EQ(line.substr(third + 1 + std::stoul(line.substr(second + 1)) - 1, 6), "needle");
    }
    EXPECT_FALSE(expected.empty());
    EXPECT_EQ(got, expected);
}

std::string Hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (const char c : bytes) {
        out += digits[static_cast<unsigned char>(c) >> 4];
        out += digits[static_cast<unsigned char>(c) & 15];
    }
    return out;
}

// Every field of every object, read back by Python's json module: keys sorted, values as
// ascii() shows them, the exact bytes of *_base64 fields in hex.
TEST_F(CliTest, JsonIsReadBackByAJsonParser) {
    File("sub/a.txt", "say \"hi\"\ttab hi\n");
    File("b\xe9.txt", "hi \xff\n");
    File("none.txt", "nope\n");
    const std::string script = (base_ / "read.py").string();
    std::ofstream(script)
        << "import base64, json, sys\n"
           "for line in open(sys.argv[1], encoding='utf-8'):\n"
           "    o = json.loads(line)\n"
           "    print('|'.join(k + '=' + (base64.b64decode(o[k]).hex() if k.endswith('_base64')\n"
           "                              else ascii(o[k])) for k in sorted(o)))\n";

    const Result r = Cli({"--json", "-s", "hi", root_});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    const std::string parsed = (base_ / "parsed").string();
    ASSERT_EQ(
        std::system(("python3 '" + script + "' '" + outPath_ + "' > '" + parsed + "'").c_str()), 0);
    const std::string t = root_ + "/";
    const std::string a = "path='" + t + "sub/a.txt'";
    const std::string b = "path='" + t + "b\\ufffd.txt'";
    const std::string bBytes = Hex(t + "b\xe9.txt");
    EXPECT_EQ(ReadAll(parsed),
              "absolute_" + a + "|occurences=2|" + a + "|type='file'\n" +
                  "column=6|length=2|line=1|match='hi'|" + a +
                  "|text='say \"hi\"\\ttab hi'|type='occurence'\n" +
                  "column=14|length=2|line=1|match='hi'|" + a +
                  "|text='say \"hi\"\\ttab hi'|type='occurence'\n" + "absolute_" + b +
                  "|absolute_path_base64=" + bBytes + "|occurences=1|" + b +
                  "|path_base64=" + bBytes + "|type='file'\n" +
                  "column=1|length=2|line=1|match='hi'|" + b + "|path_base64=" + bBytes +
                  "|text='hi \\ufffd'|text_base64=" + Hex("hi \xff") + "|type='occurence'\n" +
                  "complete=True|error=None|files=2|message='Found 3 occurences in 2 "
                  "files.'|occurences=3|replaced=False|type='summary'\n");
}

TEST_F(CliTest, ColourOnlyOnATerminalAndNeverWithNoColor) {
    File("a.txt", "a needle\n");
    const auto onTerminal = [this](const std::vector<std::string>& args) {
        const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
        EXPECT_GE(master, 0);
        ::grantpt(master);
        ::unlockpt(master);
        stdoutFd_ = ::open(::ptsname(master), O_RDWR | O_NOCTTY);
        const pid_t pid = Start(args);
        ::close(stdoutFd_);
        stdoutFd_ = -1;
        const Result r = Wait(pid);
        std::string out;
        char buf[4096];
        ssize_t n = 0;
        while ((n = ::read(master, buf, sizeof buf)) > 0) { // EIO once the program has gone
            out.append(buf, static_cast<size_t>(n));
        }
        ::close(master);
        EXPECT_EQ(r.exitCode, 0);
        return out;
    };
    const std::string red = "\x1b[1;31mneedle\x1b[0m";
    extraEnv_ = {"NO_COLOR="};
    for (const char* form : {"--vimgrep", "-l", "--color=auto"}) {
        EXPECT_NE(onTerminal({form, "-s", "needle", root_}).find("\x1b[35m"), std::string::npos)
            << form;
    }
    EXPECT_NE(onTerminal({"--vimgrep", "-s", "needle", root_}).find(":3:a " + red),
              std::string::npos);
    EXPECT_NE(onTerminal({"-s", "needle", root_}).find("[\"a " + red + "\"]"), std::string::npos);
    EXPECT_EQ(onTerminal({"--color=never", "-s", "needle", root_}).find('\x1b'), std::string::npos);
    EXPECT_EQ(onTerminal({"--json", "-s", "needle", root_}).find('\x1b'), std::string::npos);
    EXPECT_EQ(Cli({"-s", "needle", root_}).out.find('\x1b'), std::string::npos);
    EXPECT_NE(Cli({"--color=always", "-s", "needle", root_}).out.find(red), std::string::npos);

    extraEnv_ = {"NO_COLOR=1"};
    EXPECT_EQ(onTerminal({"--vimgrep", "-s", "needle", root_}).find('\x1b'), std::string::npos);
    EXPECT_EQ(onTerminal({"-s", "needle", root_}).find('\x1b'), std::string::npos);
}

#if !defined(__SANITIZE_ADDRESS__)
// Runs under a 256 MiB address-space limit (the sanitizers' shadow memory could not).
TEST_F(CliTest, OutOfMemoryNamesTheFileAndWhatWasFoundIsPrinted) {
    File("sub/hit.txt", "hit\n");
    File("big.txt", "");
    fs::resize_file(P("big.txt"), std::uintmax_t{1} << 30); // sparse: costs no disk
    launcher_ = {"/bin/sh", "-c", "ulimit -v 262144 && exec \"$0\" \"$@\""};

    const Result r = Cli({"-s", "hit", root_});

    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.out, P("sub/hit.txt") +
                         "\n    Line: 0, Char: 1, [\"hit\"]\nFound 1 occurence in 1 file.\n");
    EXPECT_EQ(r.err, "Not enough memory to search " + P("big.txt") + "\n");
}
#endif
