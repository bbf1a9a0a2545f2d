// What a replacement does to the file system: the new content appears whole or not at all,
// the old one stays under the backup name, the file keeps its mode, owner and extended
// attributes, links stay links, and a failure at any step leaves everything as it was.
#include "search_file_test_support.h"

#include "platform/UReplaceFile.h"

#include <csignal>
#include <sys/mount.h>
#include <sys/wait.h>
#include <sys/xattr.h>

using namespace searchtest;
using platform::TReplaceStep;

namespace {

class ReplaceTest : public ReplacingTest {
protected:
    // Makes the given steps fail with the given errno.
    void FailSteps(std::vector<std::pair<TReplaceStep, int>> steps) {
        platform::SetReplaceFaultHook([steps](TReplaceStep s) {
            for (const auto& [step, err] : steps) {
                if (step == s) {
                    return err;
                }
            }
            return 0;
        });
    }

    struct stat Stat(const std::string& name) const {
        struct stat st {};
        EXPECT_EQ(::lstat(P(name).c_str(), &st), 0) << name;
        return st;
    }

    std::string WriteFailure(const std::string& name) const {
        return "Unable to create file " + P(name) + "\r\nFile may be read/only";
    }
};

} // namespace

TEST_F(ReplaceTest, TheNewFileKeepsModeOwnerAndExtendedAttributes) {
    Write("a.txt", "old\n");
    ASSERT_EQ(::chmod(P("a.txt").c_str(), 02741), 0);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(P("a.txt").c_str(), 1234, 2345), 0);
        ASSERT_EQ(::chmod(P("a.txt").c_str(), 06741), 0); // chown cleared the set-id bits
    }
    const bool xattrs = ::setxattr(P("a.txt").c_str(), "user.fernsweep", "kept", 4, 0) == 0;
    const ino_t before = Stat("a.txt").st_ino;

    EXPECT_EQ(Search("a.txt"), 1);

    EXPECT_EQ(Read("a.txt"), "new\n");
    const struct stat st = Stat("a.txt");
    EXPECT_NE(st.st_ino, before);
    EXPECT_EQ(st.st_mode & 07777, root ? 06741u : 02741u);
    if (root) {
        EXPECT_EQ(st.st_uid, 1234u);
        EXPECT_EQ(st.st_gid, 2345u);
    }
    if (xattrs) {
        char value[16] = {};
        EXPECT_EQ(::getxattr(P("a.txt").c_str(), "user.fernsweep", value, sizeof value), 4);
        EXPECT_STREQ(value, "kept");
    }
    EXPECT_EQ(Names(), (std::vector<std::string>{"a.txt"}));
}

TEST_F(ReplaceTest, TheBackupIsTheOldFileItself) {
    Write("a.txt", "old\n");
    const ino_t before = Stat("a.txt").st_ino;
    request.MakeBackups = true;
    EXPECT_EQ(Search("a.txt"), 1);
    EXPECT_EQ(Read("a.txt"), "new\n");
    EXPECT_EQ(Read("a.~txt"), "old\n");
    EXPECT_EQ(Stat("a.~txt").st_ino, before);
    EXPECT_EQ(Stat("a.~txt").st_nlink, 1u);
    EXPECT_EQ(Names(), (std::vector<std::string>{"a.txt", "a.~txt"}));
}

TEST_F(ReplaceTest, ALinkIsRewrittenAtItsTargetAndStaysALink) {
    fs::create_directories(P("real"));
    Write("real/target.txt", "old\n");
    ASSERT_EQ(::symlink("real/target.txt", P("link.txt").c_str()), 0);
    request.MakeBackups = true;

    EXPECT_EQ(Search("link.txt"), 1);

    EXPECT_TRUE(S_ISLNK(Stat("link.txt").st_mode));
    EXPECT_EQ(fs::read_symlink(P("link.txt")), "real/target.txt");
    EXPECT_EQ(Read("real/target.txt"), "new\n");
    EXPECT_EQ(Read("link.~txt"), "old\n"); // beside the name that was searched
    EXPECT_EQ(Names(), (std::vector<std::string>{"link.txt", "link.~txt", "real"}));
    EXPECT_EQ(fs::directory_iterator(P("real"))->path().filename(), "target.txt");
    EXPECT_TRUE(messages.empty());
}

TEST_F(ReplaceTest, AReadOnlyFileIsRefusedAndKeptAsItWas) {
    Write("a.txt", "old\n");
    ASSERT_EQ(::chmod(P("a.txt").c_str(), 0444), 0);
    const struct stat before = Stat("a.txt");
    request.MakeBackups = true;

    // Found all the same: the node and its occurrence are there, but add nothing to the totals.
    EXPECT_EQ(Search("a.txt"), 0);
    ASSERT_NE(LastFileNode(), nullptr);
    EXPECT_EQ(LastFileNode()->Count(), 1);

    EXPECT_EQ(messages, (std::vector<std::string>{WriteFailure("a.txt")}));
    EXPECT_EQ(Read("a.txt"), "old\n");
    EXPECT_EQ(Stat("a.txt").st_ino, before.st_ino);
    EXPECT_EQ(Stat("a.txt").st_mode, before.st_mode);
    EXPECT_EQ(Names(), (std::vector<std::string>{"a.txt"}));
}

TEST_F(ReplaceTest, AnImmutableFileIsRefused) {
    Write("a.txt", "old\n");
    const std::string cmd = "chattr +i '" + P("a.txt") + "' 2>/dev/null";
    if (std::system(cmd.c_str()) != 0) {
        GTEST_SKIP() << "no immutable attribute on this file system";
    }
    EXPECT_EQ(Search("a.txt"), 0);
    std::system(("chattr -i '" + P("a.txt") + "'").c_str());
    EXPECT_EQ(messages, (std::vector<std::string>{WriteFailure("a.txt")}));
    EXPECT_EQ(Read("a.txt"), "old\n");
    EXPECT_EQ(Names(), (std::vector<std::string>{"a.txt"}));
}

TEST_F(ReplaceTest, SomethingElseInTheFilesPlaceIsNeverReplaced) {
    fs::create_directories(P("dir.txt"));
    Write("dir.txt/inner", "x");
    const platform::TReplaceOutcome r = platform::ReplaceFileContent(P("dir.txt"), "new", nullptr);
    EXPECT_FALSE(r.Written);
    EXPECT_EQ(Read("dir.txt/inner"), "x");
    EXPECT_EQ(Names(), (std::vector<std::string>{"dir.txt"}));
    EXPECT_FALSE(platform::ReplaceFileContent(P("missing.txt"), "new", nullptr).Written);
}

// Each step that can fail, failing: the original stays, with its inode, and nothing else
// is left behind, neither the temporary file nor a backup.
TEST_F(ReplaceTest, AFailedStepLeavesTheOriginalExactlyAsItWas) {
    const std::vector<std::pair<TReplaceStep, int>> failures = {
        {TReplaceStep::CreateTemp, EACCES},
        {TReplaceStep::WriteTemp, ENOSPC},
        {TReplaceStep::SyncTemp, EIO},
        {TReplaceStep::RenameOver, EPERM},
    };
    for (const bool backups : {false, true}) {
        for (const auto& failure : failures) {
            SCOPED_TRACE(static_cast<int>(failure.first));
            Write("a.txt", "old\r\nrest");
            const struct stat before = Stat("a.txt");
            request.MakeBackups = backups;
            messages.clear();
            FailSteps({failure});
            EXPECT_EQ(Search("a.txt"), 0);
            EXPECT_EQ(messages, (std::vector<std::string>{WriteFailure("a.txt")}));
            EXPECT_EQ(Read("a.txt"), "old\r\nrest");
            EXPECT_EQ(Stat("a.txt").st_ino, before.st_ino);
            EXPECT_EQ(Stat("a.txt").st_nlink, 1u);
            EXPECT_EQ(Names(), (std::vector<std::string>{"a.txt"}));
        }
    }
}

TEST_F(ReplaceTest, WithoutHardLinksTheBackupIsAFlushedCopy) {
    Write("a.txt", "old\n");
    ASSERT_EQ(::chmod(P("a.txt").c_str(), 0604), 0);
    const ino_t before = Stat("a.txt").st_ino;
    request.MakeBackups = true;
    FailSteps({{TReplaceStep::LinkBackup, EPERM}});
    EXPECT_EQ(Search("a.txt"), 1);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(Read("a.txt"), "new\n");
    EXPECT_EQ(Read("a.~txt"), "old\n");
    EXPECT_NE(Stat("a.~txt").st_ino, before);
    EXPECT_EQ(Stat("a.~txt").st_mode & 07777, 0604u);
    EXPECT_EQ(Names(), (std::vector<std::string>{"a.txt", "a.~txt"}));

    // And when the new content then cannot be put in place, the copy goes again.
    Write("b.txt", "old\n");
    const ino_t beforeB = Stat("b.txt").st_ino;
    FailSteps({{TReplaceStep::LinkBackup, EPERM}, {TReplaceStep::RenameOver, EPERM}});
    EXPECT_EQ(Search("b.txt"), 0);
    EXPECT_EQ(messages, (std::vector<std::string>{WriteFailure("b.txt")}));
    EXPECT_EQ(Read("b.txt"), "old\n");
    EXPECT_EQ(Stat("b.txt").st_ino, beforeB);
    EXPECT_EQ(Names(), (std::vector<std::string>{"a.txt", "a.~txt", "b.txt"}));
}

TEST_F(ReplaceTest, ABackupThatCannotBeMadeIsReportedAndTheFileWrittenAllTheSame) {
    request.MakeBackups = true;
    // The backup name refused after the names were traded, or no way to make one at all.
    // The copy refused its name.
    for (const auto& failing : std::vector<std::vector<std::pair<TReplaceStep, int>>>{
             {{TReplaceStep::LinkBackup, EPERM}, {TReplaceStep::RenameBackup, EPERM}},
             {{TReplaceStep::LinkBackup, EXDEV}, {TReplaceStep::RenameBackup, ENOSPC}}}) {
        Write("a.txt", "old\n");
        messages.clear();
        FailSteps(failing);
        EXPECT_EQ(Search("a.txt"), 1);
        EXPECT_EQ(messages,
                  (std::vector<std::string>{"Unable to create backup file " + P("a.~txt")}));
        EXPECT_EQ(Read("a.txt"), "new\n");
        EXPECT_EQ(Names(), (std::vector<std::string>{"a.txt"}));
    }
}

TEST_F(ReplaceTest, AFullFileSystemLeavesTheOriginalIntact) {
    fs::create_directories(P("small"));
    if (::mount("tmpfs", P("small").c_str(), "tmpfs", 0, "size=64k") != 0) {
        GTEST_SKIP() << "cannot mount a small file system here";
    }
    // 40 kB fit once, not twice.
    std::string content(40 * 1024, 'x');
    content.replace(100, 3, "old");
    Write("small/a.txt", content);
    ASSERT_EQ(Read("small/a.txt"), content);
    request.MakeBackups = true;
    const int found = Search("small/a.txt");
    const std::string after = Read("small/a.txt");
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(P("small"))) {
        names.push_back(e.path().filename().string());
    }
    ::umount(P("small").c_str());
    EXPECT_EQ(found, 0);
    EXPECT_EQ(messages, (std::vector<std::string>{WriteFailure("small/a.txt")}));
    EXPECT_EQ(after, content);
    EXPECT_EQ(names, (std::vector<std::string>{"a.txt"}));
}

TEST_F(ReplaceTest, TemporaryFilesAreRecognisedByName) {
    EXPECT_TRUE(platform::IsReplaceTempName(".notes.txt.1234.fstmp"));
    EXPECT_TRUE(platform::IsReplaceTempName(".a.1.fstmp"));
    EXPECT_TRUE(platform::IsReplaceTempName(".a.b.c.99.fstmp"));
    EXPECT_FALSE(platform::IsReplaceTempName("notes.txt.1234.fstmp")); // not hidden
    EXPECT_FALSE(platform::IsReplaceTempName(".notes.txt.12x4.fstmp"));
    EXPECT_FALSE(platform::IsReplaceTempName(".notes.txt.fstmp"));
    EXPECT_FALSE(platform::IsReplaceTempName("..1234.fstmp"));
    EXPECT_FALSE(platform::IsReplaceTempName(".notes.txt.1234.fstmp~"));
    EXPECT_FALSE(platform::IsReplaceTempName(".fstmp"));
}

// Only a temporary file whose marker proves it was left by a dead writer here goes; a user's
// file of such a name, a live writer's, another host's stay.
TEST_F(ReplaceTest, OnlyTemporaryFilesOfDeadWritersAreCleanedUp) {
    Write("a.txt", "old");
    const pid_t child = ::fork();
    if (child == 0) {
        // Dies with its temporary file named and about to be put in place.
        platform::SetReplaceFaultHook([](TReplaceStep s) {
            if (s == TReplaceStep::RenameOver) {
                ::_exit(0);
            }
            return 0;
        });
        platform::ReplaceFileContent(P("a.txt"), "new", nullptr);
        ::_exit(1);
    }
    ASSERT_GT(child, 0);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    std::vector<std::string> names = Names();
    ASSERT_EQ(names.size(), 2u);
    const std::string dead = names[0] == "a.txt" ? names[1] : names[0];
    ASSERT_TRUE(platform::IsReplaceTempName(dead)) << dead;
    if (::getxattr(P(dead).c_str(), "user.fernsweep.tmp", nullptr, 0) <= 0) {
        GTEST_SKIP() << "no extended attributes here: temporary files are never removed";
    }
    // A copy of the marker on files that are not a dead writer's.
    std::string marker(1024, '\0');
    marker.resize(static_cast<size_t>(
        ::getxattr(P(dead).c_str(), "user.fernsweep.tmp", marker.data(), marker.size())));
    const auto withMarker = [&](const std::string& name, const std::string& from,
                                const std::string& to) {
        Write(name, "mine");
        const std::string m = text::ReplaceAll(marker, from, to);
        ::setxattr(P(name).c_str(), "user.fernsweep.tmp", m.data(), m.size(), 0);
    };
    const std::string pid = "pid=" + std::to_string(child) + " ";
    withMarker(".b.txt.1.fstmp", pid, "pid=" + std::to_string(::getpid()) + " ");
    withMarker(".c.txt.2.fstmp", " host=", " host=elsewhere");
    withMarker(".d.txt.3.fstmp", " pidns=", " pidns=x");
    Write(".e.txt." + std::to_string(child) + ".fstmp", "a user's own file");

    EXPECT_EQ(platform::CleanStaleReplaceTemps(dir_.string()), 0); // too recent
    EXPECT_EQ(platform::CleanStaleReplaceTemps(dir_.string(), 0), 1);
    names.erase(std::find(names.begin(), names.end(), dead));
    for (const char* n : {".b.txt.1.fstmp", ".c.txt.2.fstmp", ".d.txt.3.fstmp"}) {
        names.push_back(n);
    }
    names.push_back(".e.txt." + std::to_string(child) + ".fstmp");
    std::sort(names.begin(), names.end());
    EXPECT_EQ(Names(), names);
    EXPECT_EQ(Read("a.txt"), "old");
}

TEST_F(ReplaceTest, NoSearchSelectsATemporaryFile) {
    Write("a.txt", "old\n");
    Write(".a.txt.4242.fstmp", "old\n");
    request.StartFolder = dir_.string();
    request.Masks = {"*"};
    request.DoReplace = false;
    const std::string cwd = platform::GetCurrentDir();
    const engine::TSearchTotals t = engine_->RunSearch(request);
    platform::SetCurrentDir(cwd);
    EXPECT_EQ(t.FileCount, 1);
    EXPECT_EQ(t.OccurenceCount, 1);
}

TEST_F(ReplaceTest, AFifoInTheFolderDoesNotBlockTheRun) {
    Write("a.txt", "old\n");
    ASSERT_EQ(::mkfifo(P("b.pipe").c_str(), 0644), 0);
    request.StartFolder = dir_.string();
    request.Masks = {"*.*"};
    const std::string cwd = platform::GetCurrentDir();
    ::alarm(60); // an opened FIFO would block for good; this ends the program instead
    const engine::TSearchTotals t = engine_->RunSearch(request);
    ::alarm(0);
    platform::SetCurrentDir(cwd);
    EXPECT_EQ(t.FileCount, 1);
    EXPECT_EQ(Read("a.txt"), "new\n");
    EXPECT_TRUE(messages.empty());
}
