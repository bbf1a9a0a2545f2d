// The undo record: a replacement taken back by another process gives every untouched file its
// bytes, mode and times back and leaves an edited one alone; the oldest runs go past the limit;
// a kill at any point of a replacement, an apply or an undo leaves every file and the record old
// or new.
#include "FileBytes.h"
#include "ScratchFolder.h"
#include "engine/UApplyChanges.h"
#include "engine/UTSearchEngine.h"
#include "model/UTFile.h"
#include "model/UTResultTree.h"
#include "operations/UUndoJournal.h"
#include "platform/UFolderHandle.h"
#include "platform/UPlatform.h"
#include "settings/UTSearchOptions.h"
#include "text/UContentHash.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

using testsupport::ReadAll;
using testsupport::WriteAll;

namespace {

engine::TSearchRequest Request(const std::string& root, settings::TSearchOptions& options) {
    engine::TSearchRequest r;
    r.StartFolder = root + "/";
    r.Masks = {"*.txt"};
    r.SearchText = "old";
    r.ReplaceText = "NEW";
    r.DoSearch = true;
    r.DoReplace = true;
    r.MatchCase = true;
    r.Recurse = true;
    r.Options = &options;
    return r;
}

// A replacement run (or, with `preview`, a preview and an apply of all it found) recorded in
// `journal` as the window records it; gives the entry's id.
std::string Replace(const std::string& root, operations::TUndoJournal& journal, bool preview,
                    bool backups = false) {
    settings::TSearchOptions options;
    engine::TSearchRequest request = Request(root, options);
    request.MakeBackups = backups;
    model::TResultTree tree;
    engine::TSearchHooks hooks;
    engine::TSearchEngine engine(hooks, tree);
    engine.Threads = 1; // every call on this thread, the same ones each time, for the sweep
    operations::TJournalRecorder recorder(journal, operations::DescribeRequest(request));
    if (preview) {
        request.Preview = true;
        engine.StartRun(request);
        request.Preview = false;
#ifndef _WIN32
        // Marks where the writing begins in a trace.
        [[maybe_unused]] const pid_t marker = ::getppid();
#endif
        request.Journal = &recorder;
        engine::ApplyChanges(request, tree, hooks);
    } else {
        request.Journal = &recorder;
#ifndef _WIN32
        [[maybe_unused]] const pid_t marker = ::getppid();
#endif
        engine.StartRun(request);
    }
    return recorder.Commit();
}

#ifndef _WIN32
// The program started again by the kill sweep: replaces, applies or undoes in FS_SWEEP_DIR, then
// ends.
[[maybe_unused]] const bool kHelper = [] {
    const char* dir = std::getenv("FS_SWEEP_DIR");
    if (dir == nullptr) {
        return false;
    }
    {
        operations::TUndoJournal journal(std::string(dir) + "/state");
        const std::string mode = std::getenv("FS_SWEEP_MODE");
        if (mode == "apply" || mode == "replace") {
            Replace(std::string(dir) + "/tree", journal, mode == "apply");
        } else if (const auto last = journal.Last()) {
            [[maybe_unused]] const pid_t marker = ::getppid();
            journal.Undo(last->Id);
        }
    }
    std::_Exit(0);
}();
#endif

class UndoJournal : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = MakeScratchFolder("fs-journal-");
        fs::create_directories(Tree() + "/sub");
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string Tree() const { return (dir_ / "tree").string(); }
    std::string State() const { return (dir_ / "state").string(); }

    // Files with matches, their modes and times set apart from the defaults.
    void Lay() const {
        fs::remove_all(Tree());
        fs::create_directories(Tree() + "/sub");
        const std::pair<const char*, const char*> files[] = {
            {"a.txt", "old a\nold\r\n"}, {"sub/b.txt", "bb old"}, {"c.txt", "old c\n"}};
        // Windows keeps only the read-only bit, and a read-only file is not replaced there.
        fs::perms group = fs::perms::none;
        int minutes = 0;
        for (const auto& [name, content] : files) {
            const std::string p = Tree() + "/" + name;
            WriteAll(p, content);
            fs::permissions(p, fs::perms::owner_read | fs::perms::owner_write | group);
            group = fs::perms::group_read;
            fs::last_write_time(p, fs::file_time_type(std::chrono::hours(400000) +
                                                      std::chrono::minutes(++minutes) +
                                                      std::chrono::microseconds(7)));
        }
    }

    struct TFileState {
        std::string Content;
        fs::perms Mode;
        std::int64_t ModifiedNs;
        bool operator==(const TFileState& o) const = default;
    };
    // Times as the system gives them: MinGW's std::filesystem converts them through the clock
    // of the moment, so two readings a second apart could differ.
    std::map<std::string, TFileState> States() const {
        std::map<std::string, TFileState> out;
        for (const auto& e : fs::recursive_directory_iterator(Tree())) {
            if (e.is_regular_file()) {
                const platform::TFolderHandle folder =
                    platform::TFolderHandle::OpenPath(e.path().parent_path().string());
                out[fs::relative(e.path(), Tree()).generic_string()] = {
                    ReadAll(e.path()), fs::status(e.path()).permissions(),
                    platform::IdentityAt(folder, e.path().filename().string()).Meta.ModifiedNs};
            }
        }
        return out;
    }

#ifndef _WIN32
    // fernsweep-cli with the record in State(); gives its exit status, its standard error in
    // `err`.
    int Cli(const std::string& args, std::string& err) const {
        const std::string errFile = (dir_ / "err.txt").string();
        const std::string cmd = "XDG_STATE_HOME='" + (dir_ / "xdg").string() + "' '" +
                                FERNSWEEP_CLI + "' " + args + " >/dev/null 2>'" + errFile + "'";
        const int status = std::system(cmd.c_str());
        err = ReadAll(errFile);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
#endif

    fs::path dir_;
};

// On Windows the same through the library: the tests do not start programs there.
TEST_F(UndoJournal, AnotherProcessUndoesEveryUntouchedFileAndLeavesAnEditedOneAlone) {
    Lay();
    const auto before = States();
    operations::TUndoJournal journal((dir_ / "xdg" / "fernsweep").string());
    const std::string id = Replace(Tree(), journal, false);
    ASSERT_FALSE(id.empty());
    ASSERT_EQ(ReadAll(Tree() + "/a.txt"), "NEW a\nNEW\r\n");
    WriteAll(Tree() + "/c.txt", "edited since\n");
    const auto edited = States().at("c.txt");

#ifdef _WIN32
    const operations::TUndoResult undone = journal.Undo(id);
    ASSERT_EQ(undone.LeftAlone.size(), 1u);
    EXPECT_NE(undone.LeftAlone[0].find("c.txt"), std::string::npos);
    EXPECT_EQ(undone.Restored.size(), 2u);
#else
    std::string err;
    EXPECT_EQ(Cli("--undo", err), 2) << err;
    EXPECT_NE(err.find("c.txt: changed since the replacement, left alone"), std::string::npos)
        << err;
#endif
    auto after = States();
    EXPECT_TRUE(after.at("a.txt") == before.at("a.txt"));
    EXPECT_TRUE(after.at("sub/b.txt") == before.at("sub/b.txt"));
    EXPECT_TRUE(after.at("c.txt") == edited);
    EXPECT_EQ(after.size(), before.size());

    ASSERT_EQ(journal.Entries().size(), 1u);
    EXPECT_TRUE(journal.Entries()[0].Undone);
#ifdef _WIN32
    EXPECT_FALSE(journal.Last());
    EXPECT_THROW(journal.Undo(id), operations::EJournalError);
#else
    EXPECT_EQ(Cli("--undo", err), 2);
    EXPECT_NE(err.find("there is no replacement to undo"), std::string::npos) << err;
    EXPECT_EQ(Cli("--undo=" + id, err), 2);
    EXPECT_NE(err.find("was undone already"), std::string::npos) << err;
#endif
}

#ifndef _WIN32
// The record keeps a replaced file itself where nothing else can change it any more, and a copy
// where something can: its other name, or its backup.
TEST_F(UndoJournal, WhatIsKeptOutlivesChangesThroughTheOldFilesOtherNames) {
    for (const bool backups : {false, true}) {
        SCOPED_TRACE(backups ? "with backups" : "without");
        Lay();
        fs::remove(dir_ / "other-name");
        fs::create_hard_link(Tree() + "/a.txt", dir_ / "other-name");
        const auto before = States();
        const auto inodeOf = [](const fs::path& p) {
            struct stat st {};
            return ::stat(p.c_str(), &st) == 0 ? st.st_ino : 0;
        };
        const ino_t c = inodeOf(Tree() + "/c.txt");
        operations::TUndoJournal journal(State());
        const std::string id = Replace(Tree(), journal, false, backups);
        ASSERT_FALSE(id.empty());
        bool linked = false;
        for (const auto& e : fs::directory_iterator(journal.RunFolder(id))) {
            linked = linked || inodeOf(e.path()) == c;
        }
        EXPECT_EQ(linked, !backups);
        WriteAll((dir_ / "other-name").string(), "changed through the other name");
        if (backups) {
            WriteAll(Tree() + "/sub/b.~txt", "changed backup");
        }
        const operations::TUndoResult undone = journal.Undo(id);
        EXPECT_EQ(undone.Restored.size(), 3u);
        const auto after = States();
        for (const char* name : {"a.txt", "sub/b.txt", "c.txt"}) {
            EXPECT_EQ(after.at(name).Content, before.at(name).Content) << name;
        }
    }
}
#endif

TEST_F(UndoJournal, TheOldestRunsGoPastTheLimits) {
    operations::TUndoJournal journal(State());
    journal.MaxRuns = 3;
    std::vector<std::string> ids;
    for (int i = 0; i < 5; ++i) {
        Lay();
        ids.push_back(Replace(Tree(), journal, false));
    }
    auto entries = journal.Entries();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].Id, ids[2]);
    EXPECT_EQ(entries[2].Id, ids[4]);
    EXPECT_FALSE(fs::exists(State() + "/runs/" + ids[1])) << "its contents were kept";
    // Each run keeps 23 bytes of old content: two fit in 50, a third does not.
    journal.MaxRuns = 20;
    journal.MaxBytes = 50;
    Lay();
    ids.push_back(Replace(Tree(), journal, false));
    entries = journal.Entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].Id, ids[4]);
    // The newest stays, whatever its size.
    journal.MaxBytes = 1;
    Lay();
    ids.push_back(Replace(Tree(), journal, false));
    ASSERT_EQ(journal.Entries().size(), 1u);
    EXPECT_EQ(journal.Entries()[0].Id, ids.back());
}

#ifndef _WIN32
// Every file holds its old or its new content, and every entry of the record names contents it
// holds, whole.
void CheckConsistent(const std::string& tree, const std::string& state, const std::string& where) {
    SCOPED_TRACE(where);
    const std::map<std::string, std::pair<std::string, std::string>> files = {
        {"a.txt", {"old a\nold\r\n", "NEW a\nNEW\r\n"}},
        {"sub/b.txt", {"bb old", "bb NEW"}},
        {"c.txt", {"old c\n", "NEW c\n"}}};
    for (const auto& [name, contents] : files) {
        const std::string now = ReadAll(tree + "/" + name);
        EXPECT_TRUE(now == contents.first || now == contents.second) << name << ": " << now;
    }
    operations::TUndoJournal journal(state);
    for (const operations::TJournalEntry& e : journal.Entries()) {
        for (const operations::TJournalFile& f : e.Files) {
            EXPECT_EQ(text::ContentHash(ReadAll(journal.ObjectPath(e.Id, f.OldHash))), f.OldHash)
                << f.Path;
        }
    }
}

TEST_F(UndoJournal, KilledAtAnyPointOfApplyOrUndoEveryFileAndTheRecordAreOldOrNew) {
    if (std::system("strace -V >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "strace is not installed";
    }
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    const auto run = [&](const std::string& mode, const std::string& strace) {
        const std::string cmd = "FS_SWEEP_DIR='" + dir_.string() + "' FS_SWEEP_MODE=" + mode + " " +
                                (strace.empty() ? "" : "strace -qq -o /dev/null " + strace) + " '" +
                                self + "' >/dev/null 2>&1";
        return std::system(cmd.c_str());
    };
    const std::vector<std::string> syscalls = {"openat",    "write",    "fdatasync",
                                               "linkat",    "rename",   "renameat",
                                               "renameat2", "unlinkat", "fsetxattr"};
    int points = 0;
    for (const std::string mode : {"replace", "apply", "undo"}) {
        // The calls of one whole run, counted before and after the marker.
        const auto lay = [&] {
            Lay();
            fs::remove_all(State());
            if (mode == "undo") {
                ASSERT_EQ(run("apply", ""), 0);
            }
        };
        lay();
        const std::string log = (dir_ / "trace.log").string();
        std::string names = "getppid";
        for (const std::string& s : syscalls) {
            names += "," + s;
        }
        ASSERT_EQ(run(mode, "-o '" + log + "' -e trace=" + names), 0);
        std::map<std::string, std::pair<int, int>> counts;
        bool begun = false;
        std::ifstream in(log);
        for (std::string line; std::getline(in, line);) {
            const std::string name = line.substr(0, line.find('('));
            if (name == "getppid") {
                begun = true;
            } else if (line.find('(') != std::string::npos) {
                (begun ? counts[name].second : counts[name].first) += 1;
            }
        }
        ASSERT_TRUE(begun);
        for (const auto& [name, c] : counts) {
            for (int k = 1; k <= c.second; ++k) {
                lay();
                const std::string where = mode + " " + name + " #" + std::to_string(k);
                const int status =
                    run(mode, "-e trace=" + name + " -e inject=" + name +
                                  ":signal=SIGKILL:when=" + std::to_string(c.first + k));
                EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 128 + SIGKILL)
                    << where << " not killed, status " << status;
                CheckConsistent(Tree(), State(), where);
                ++points;
                if (HasFailure()) {
                    return;
                }
                // What was cut short is finished by running again.
                ASSERT_EQ(run(mode, ""), 0);
                CheckConsistent(Tree(), State(), where + ", run again");
            }
        }
    }
    std::cout << "[ sweep    ] " << points << " kill points tried\n";
    EXPECT_GT(points, 40);
}

#endif

} // namespace
