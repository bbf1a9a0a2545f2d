// A replacement among other writers: a file changed after it was read is not written and is
// reported; two runs on one tree lose nothing silently; a file someone else owns keeps its
// owner; a link never carries a write out of the start folder; other hard links are counted.
#include "search_file_test_support.h"

#include "platform/UReplaceFile.h"

#include <cstdlib>
#include <cstring>
#include <functional>
#include <sys/wait.h>
#include <sys/xattr.h>

using namespace searchtest;
using platform::TReplaceStep;

namespace {

// The run started by OwnerOfAnotherUser, in a copy of this program under another user id.
[[maybe_unused]] const bool kOwnerHelper = [] {
    if (const char* file = std::getenv("FS_REPLACE_AS_OTHER")) {
        const std::string backup = std::string(file) + ".bak";
        const platform::TReplaceOutcome r = platform::ReplaceFileContent(
            file, "new content", std::getenv("FS_REPLACE_BACKUP") ? &backup : nullptr);
        std::_Exit(r.Written && r.InPlace ? 0 : 1);
    }
    return false;
}();

class ChangedFileTest : public ReplacingTest {
protected:
    engine::TSearchTotals Run(const std::string& search, const std::string& replace) {
        request.StartFolder = dir_.string();
        request.Masks = {"*.txt"};
        request.Recurse = true;
        request.SearchText = search;
        request.ReplaceText = replace;
        const std::string cwd = platform::GetCurrentDir();
        const engine::TSearchTotals t = engine_->RunSearch(request);
        platform::SetCurrentDir(cwd);
        return t;
    }

    std::string Changed(const std::string& name) const {
        return "Unable to replace in file " + P(name) +
               "\r\nThe file was changed by another program after it was read";
    }
};

} // namespace

// Another program's change between the read and the write, made at that very point.
TEST_F(ChangedFileTest, AFileChangedAfterItWasReadIsNotWrittenAndIsReported) {
    const std::vector<std::pair<std::string, std::function<void(const std::string&)>>> changes = {
        {"saved anew by an editor",
         [](const std::string& p) {
             std::ofstream(p + ".swp", std::ios::binary) << "edited old text\n";
             fs::rename(p + ".swp", p);
         }},
        {"appended to",
         [](const std::string& p) { std::ofstream(p, std::ios::app) << "appended line\n"; }},
        {"truncated and rewritten",
         [](const std::string& p) { std::ofstream(p, std::ios::trunc) << "short\n"; }},
    };
    for (const bool backups : {false, true}) {
        for (const auto& [label, change] : changes) {
            SCOPED_TRACE(label + (backups ? " with backups" : ""));
            Write("a.txt", "old text\nmore old text\n");
            std::string expected;
            platform::SetReplaceFaultHook([&](TReplaceStep s) {
                if (s == TReplaceStep::CheckUnchanged) {
                    change(P("a.txt"));
                    expected = Read("a.txt");
                }
                return 0;
            });
            request.MakeBackups = backups;
            messages.clear();
            EXPECT_EQ(Search("a.txt"), 0);
            EXPECT_EQ(Read("a.txt"), expected);
            EXPECT_EQ(messages, (std::vector<std::string>{Changed("a.txt")}));
            EXPECT_EQ(engine_->WriteCounts().Failed, 1);
            EXPECT_EQ(Names(), (std::vector<std::string>{"a.txt"}));
            engine_->BeginRun();
        }
    }
}

// Two runs at once, each changing its own word in every file: each file ends with both
// changes, or the run whose change is missing said so.
TEST_F(ChangedFileTest, TwoRunsOnOneTreeLoseNothingSilently) {
    constexpr int kFiles = 120;
    const auto lay = [&] {
        for (int i = 0; i < kFiles; ++i) {
            Write("f" + std::to_string(i) + ".txt", "alpha beta\n");
        }
    };
    // A run in a child process; its messages go to a file.
    const auto start = [&](const std::string& search, const std::string& replace, int syncFd,
                           int waitFd) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            if (syncFd >= 0) {
                // Hold the first file between its read and its check until the other run is done.
                platform::SetReplaceFaultHook([&](TReplaceStep s) {
                    if (s == TReplaceStep::CheckUnchanged && syncFd >= 0) {
                        [[maybe_unused]] ssize_t n = ::write(syncFd, "x", 1);
                        char c;
                        n = ::read(waitFd, &c, 1);
                        syncFd = -1;
                    }
                    return 0;
                });
            }
            Run(search, replace);
            {
                std::ofstream out(P("../" + search + ".log"));
                for (const std::string& m : messages) {
                    out << m << "\n";
                }
            }
            std::_Exit(0);
        }
        return pid;
    };
    const auto check = [&](bool conflictSure) {
        const std::string alphaLog = ReadAll(P("../alpha.log"));
        const std::string betaLog = ReadAll(P("../beta.log"));
        int reported = 0;
        for (int i = 0; i < kFiles; ++i) {
            const std::string name = "f" + std::to_string(i) + ".txt";
            const std::string content = Read(name);
            const std::string report = Changed(name);
            if (content.find("ALPHA") == std::string::npos) {
                EXPECT_NE(alphaLog.find(report + "\n"), std::string::npos) << name << content;
                ++reported;
            }
            if (content.find("BETA") == std::string::npos) {
                EXPECT_NE(betaLog.find(report + "\n"), std::string::npos) << name << content;
                ++reported;
            }
        }
        if (conflictSure) {
            EXPECT_GE(reported, 1);
        }
        fs::remove(P("../alpha.log"));
        fs::remove(P("../beta.log"));
    };

    // Side by side, as the scheduler has it.
    lay();
    const pid_t a = start("alpha", "ALPHA", -1, -1);
    const pid_t b = start("beta", "BETA", -1, -1);
    ::waitpid(a, nullptr, 0);
    ::waitpid(b, nullptr, 0);
    check(false);

    // The first run held at its first file while the second does all of them.
    lay();
    int toParent[2];
    int toChild[2];
    ASSERT_EQ(::pipe(toParent), 0);
    ASSERT_EQ(::pipe(toChild), 0);
    const pid_t held = start("alpha", "ALPHA", toParent[1], toChild[0]);
    char c;
    ASSERT_EQ(::read(toParent[0], &c, 1), 1);
    const pid_t other = start("beta", "BETA", -1, -1);
    ::waitpid(other, nullptr, 0);
    ASSERT_EQ(::write(toChild[1], "x", 1), 1);
    ::waitpid(held, nullptr, 0);
    for (const int fd : {toParent[0], toParent[1], toChild[0], toChild[1]}) {
        ::close(fd);
    }
    check(true);
    for (const std::string& n : Names()) {
        EXPECT_FALSE(platform::IsReplaceTempName(n)) << n;
    }
}

// A file the replacing user may write (through an access list) but does not own: its owner,
// group and list stay, the file is rewritten in place, and a backup is a copy.
TEST_F(ChangedFileTest, AFileOfAnotherOwnerKeepsItsOwner) {
    if (::geteuid() != 0 || std::system("setpriv --version >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "needs root and setpriv";
    }
    ASSERT_EQ(::chmod(dir_.c_str(), 0777), 0);
    for (const bool backup : {false, true}) {
        SCOPED_TRACE(backup ? "with a backup" : "without a backup");
        fs::remove(P("a.txt"));
        fs::remove(P("a.txt.bak"));
        Write("a.txt", "old content");
        ASSERT_EQ(::chown(P("a.txt").c_str(), 4321, 4321), 0);
        ASSERT_EQ(::chmod(P("a.txt").c_str(), 0640), 0);
        // user::rw- user:5000:rw- group::r-- mask::rw- other::---
        const std::uint32_t acl[] = {2,           0x0001u | (6u << 16),
                                     0xffffffffu, 0x0002u | (6u << 16),
                                     5000,        0x0004u | (4u << 16),
                                     0xffffffffu, 0x0010u | (6u << 16),
                                     0xffffffffu, 0x0020u,
                                     0xffffffffu};
        if (::setxattr(P("a.txt").c_str(), "system.posix_acl_access", acl, sizeof acl, 0) != 0) {
            GTEST_SKIP() << "no access lists on this file system";
        }
        struct stat before {};
        ::stat(P("a.txt").c_str(), &before);
        const std::string self = fs::read_symlink("/proc/self/exe").string();
        const std::string cmd = std::string(backup ? "FS_REPLACE_BACKUP=1 " : "") +
                                "FS_REPLACE_AS_OTHER='" + P("a.txt") +
                                "' setpriv --reuid=5000 --regid=5000 --clear-groups '" + self +
                                "' >/dev/null 2>&1";
        EXPECT_EQ(std::system(cmd.c_str()), 0);
        struct stat after {};
        ASSERT_EQ(::stat(P("a.txt").c_str(), &after), 0);
        EXPECT_EQ(Read("a.txt"), "new content");
        EXPECT_EQ(after.st_uid, 4321u);
        EXPECT_EQ(after.st_gid, 4321u);
        EXPECT_EQ(after.st_ino, before.st_ino);
        std::uint32_t kept[16] = {};
        EXPECT_EQ(::getxattr(P("a.txt").c_str(), "system.posix_acl_access", kept, sizeof kept),
                  static_cast<ssize_t>(sizeof acl));
        EXPECT_EQ(std::memcmp(kept, acl, sizeof acl), 0);
        if (backup) {
            EXPECT_EQ(Read("a.txt.bak"), "old content");
        }
        std::vector<std::string> want = {"a.txt"};
        if (backup) {
            want.push_back("a.txt.bak");
        }
        EXPECT_EQ(Names(), want);
    }
}

// A link in the tree whose target lies outside it is searched but not written through; one
// whose target is inside is; the other names of a file with hard links keep the old content
// and are counted.
TEST_F(ChangedFileTest, LinksOutOfTheTreeAreNotWrittenAndHardLinksAreCounted) {
    fs::create_directories(P("tree/sub"));
    fs::create_directories(P("outside"));
    Write("outside/victim.txt", "old secret\n");
    Write("tree/sub/inner.txt", "old inner\n");
    Write("tree/linked.txt", "old linked\n");
    fs::create_hard_link(P("tree/linked.txt"), P("outside/other-name.txt"));
    fs::create_symlink("../outside/victim.txt", P("tree/link.txt"));
    fs::create_symlink("sub/inner.txt", P("tree/inlink.txt"));
    request.StartFolder = P("tree");
    request.Masks = {"link.txt", "inlink.txt", "linked.txt"};
    request.Recurse = false;
    const std::string cwd = platform::GetCurrentDir();
    const engine::TSearchTotals t = engine_->RunSearch(request);
    platform::SetCurrentDir(cwd);

    EXPECT_EQ(Read("outside/victim.txt"), "old secret\n");
    EXPECT_EQ(Read("tree/sub/inner.txt"), "new inner\n");
    EXPECT_EQ(Read("tree/linked.txt"), "new linked\n");
    EXPECT_EQ(Read("outside/other-name.txt"), "old linked\n");
    EXPECT_EQ(messages, (std::vector<std::string>{"Unable to create file " + P("tree/link.txt") +
                                                  "\r\nFile may be read/only"}));
    EXPECT_EQ(t.FileCount, 2);
    EXPECT_EQ(engine_->WriteCounts().Failed, 1);
    EXPECT_EQ(engine_->WriteCounts().SplitLinks, 1);
}
