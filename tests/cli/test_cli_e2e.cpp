// fernsweep-cli run on generated trees: what it prints, writes and exits with.
#include "DeepChain.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
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
        std::vector<std::string> all = {FERNSWEEP_CLI};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& a : all) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&fa, 1, outPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawn_file_actions_addopen(&fa, 2, errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        if (!cwd.empty()) {
            posix_spawn_file_actions_addchdir_np(&fa, cwd.c_str());
        }
        pid_t pid = -1;
        const int rc = posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), environ);
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

    Result r = Cli({"-s", "one", "-r", "1", "-b", root_});

    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(Lines(r.out).back(), "Made 2 replacements in 1 file.");
    EXPECT_EQ(NoCr(ReadAll(P("notes.txt"))), "1 two 1\n");
    EXPECT_EQ(ReadAll(P("notes.~txt")), "one two one\n");
    EXPECT_EQ(ReadAll(P("keep.txt")), "three\n");

    // Without -b no backup is made; a regular-expression replacement translates \t. The
    // mask keeps the backup itself out of it.
    r = Cli({"-m", "*.txt", "-e", "-s", "t(wo)", "-r", "<\\t$1>", root_});
    EXPECT_EQ(Lines(r.out).back(), "Made 1 replacement in 1 file.");
    EXPECT_EQ(NoCr(ReadAll(P("notes.txt"))), "1 <\two> 1\n");
    EXPECT_FALSE(fs::exists(P("notes.~txt1")));
}

// A file that cannot be written is not counted as replaced, its reason is given, and the run
// ends with status 2; a link out of the tree counts as such a file.
TEST_F(CliTest, AFailedWriteIsNeitherCountedNorASuccess) {
    File("a.txt", "one\n");
    File("b.txt", "one\n");
    ASSERT_EQ(::chmod(P("a.txt").c_str(), 0444), 0);
    File("../outside.txt", "one\n");
    fs::create_symlink("../outside.txt", P("c.txt"));

    const Result r = Cli({"-s", "one", "-r", "1", root_});

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

TEST_F(CliTest, MissingFolderIsReportedAndFindsNothing) {
    const Result r = Cli({"--stop-on-error", "-s", "x", root_ + "/missing"});

    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "Cannot change to directory: " + root_ + "/missing\n");
    EXPECT_EQ(r.out, "Found 0 occurences in 0 files.\n");
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

TEST_F(CliTest, WrongArgumentsExitTwo) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {}, {"--bogus", root_}, {"--hidden=maybe", root_}, {root_, root_}}) {
        const Result r = Cli(args);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.rfind("fernsweep-cli: ", 0), 0u) << r.err;
    }
}

TEST_F(CliTest, HelpAndVersion) {
    Result r = Cli({"--help"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out.rfind("Usage: fernsweep-cli [OPTION]... FOLDER\n", 0), 0u);
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
