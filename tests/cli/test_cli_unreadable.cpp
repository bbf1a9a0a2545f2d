// fernsweep-cli as an ordinary user (through setpriv) on a tree with a file it may not read, a
// folder it may not read (nor enter) and one it may read but not list.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

int Count(const std::string& text, const std::string& part) {
    int n = 0;
    for (size_t i = text.find(part); i != std::string::npos; i = text.find(part, i + 1)) {
        ++n;
    }
    return n;
}

class UnreadableTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (::geteuid() != 0 || std::system("command -v setpriv >/dev/null") != 0) {
            GTEST_SKIP() << "needs root and setpriv to run as another user";
        }
        base_ = fs::temp_directory_path() / ("fs-unreadable-" + std::to_string(::getpid()));
        fs::remove_all(base_);
        root_ = base_ / "tree";
        fs::create_directories(root_);
        // The program is copied where the other user may run it.
        fs::copy_file(FERNSWEEP_CLI, base_ / "fernsweep-cli");
        Put("a.txt", "needle\n");
        Put("sub/b.txt", "needle\n");
        Put("secret.txt", "needle\n", fs::perms::none);
        Put("locked/c.txt", "needle\n");
        Put("noexec/d.txt", "needle\n");
        const auto all = fs::perms::all;
        fs::permissions(base_, all & ~(fs::perms::group_write | fs::perms::others_write));
        fs::permissions(root_ / "locked",
                        fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec);
        fs::permissions(root_ / "noexec",
                        fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    }
    void TearDown() override {
        if (!base_.empty()) {
            fs::remove_all(base_);
        }
    }
    void Put(const std::string& rel, const std::string& content,
             fs::perms perms = fs::perms::owner_read | fs::perms::group_read |
                               fs::perms::others_read) const {
        fs::create_directories((root_ / rel).parent_path());
        std::ofstream(root_ / rel, std::ios::binary) << content;
        fs::permissions(root_ / rel, perms);
    }
    // Runs the program as "nobody"; gives its exit status, with its output in out_ and err_.
    int Cli(const std::string& args) {
        const std::string cmd = "setpriv --reuid=65534 --regid=65534 --clear-groups '" +
                                (base_ / "fernsweep-cli").string() + "' " + args + " '" +
                                root_.string() + "' >'" + (base_ / "out").string() + "' 2>'" +
                                (base_ / "err").string() + "'";
        const int status = std::system(cmd.c_str());
        out_ = ReadAll(base_ / "out");
        err_ = ReadAll(base_ / "err");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    fs::path base_;
    fs::path root_;
    std::string out_;
    std::string err_;
};

} // namespace

TEST_F(UnreadableTest, EveryOtherFileIsSearchedAndEachFailureReportedOnce) {
    EXPECT_EQ(Cli("-s needle --stats"), 2);
    EXPECT_NE(out_.find(root_.string() + "/a.txt\n"), std::string::npos) << out_;
    EXPECT_NE(out_.find(root_.string() + "/sub/b.txt\n"), std::string::npos) << out_;
    EXPECT_NE(out_.find("Found 2 occurences in 2 files.\n"), std::string::npos) << out_;
    const std::string r = root_.string();
    EXPECT_EQ(Count(err_, "Cannot open file \"" + r + "/secret.txt\". Permission denied\n"), 1)
        << err_;
    EXPECT_EQ(Count(err_, "Cannot list directory: " + r + "/noexec/ (Permission denied)\n"), 1)
        << err_;
    EXPECT_EQ(Count(err_, "Cannot change to directory: " + r + "/locked (Permission denied)\n"), 1)
        << err_;
    EXPECT_EQ(Count(err_, "Cannot"), 3) << err_;
    // The start folder, a.txt, locked, noexec (not listed), secret.txt, sub, sub/b.txt.
    EXPECT_NE(err_.find("Entries looked at: 7\n"), std::string::npos) << err_;
    EXPECT_NE(err_.find("  files that could not be read: 1\n"), std::string::npos) << err_;
    EXPECT_NE(err_.find("  folders that could not be entered: 1\n"), std::string::npos) << err_;

    // Stopping at the first: the folder that cannot be entered is told by its bare name and the
    // run goes on, the one that cannot be listed is taken as empty; the first unreadable file
    // ends the run; what was found before it is still printed, with its summary.
    EXPECT_EQ(Cli("-s needle --stop-on-error"), 2);
    EXPECT_NE(out_.find("Found 2 occurences in 2 files.\n"), std::string::npos) << out_;
    EXPECT_EQ(Count(err_, "Cannot change to directory: locked\n"), 1) << err_;
    EXPECT_EQ(Count(err_, "Cannot open file \"" + r + "/secret.txt\". Permission denied\n"), 1)
        << err_;
    EXPECT_EQ(Count(err_, "\n"), 2) << err_;
}
