// The files the program writes besides replaced ones (the report, the settings file, a copy,
// a move to another file system) and the replacement itself: names of the 255-byte limit all
// work, and a process killed at any system call while writing them leaves each target with its
// old or its new content, whole, and no temporary file that the cleaner does not remove.
#include "OpsTestSupport.h"

#include "operations/UResultsFile.h"
#include "platform/UReplaceFile.h"
#include "settings/vtIniFile.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iostream>
#include <map>
#include <sys/wait.h>

using settings::TvtIniFile;

using namespace opstest;
namespace fs = std::filesystem;

namespace {

// A name of exactly `size` bytes ending in `tail`.
std::string LongName(char fill, const std::string& tail, size_t size = 255) {
    return std::string(size - tail.size(), fill) + tail;
}

struct TTargets {
    std::string Report, Ini, CopySource, Copy, MoveSource, Moved, Replaced;
};

TTargets TargetsIn(const std::string& dir, const std::string& other, size_t size) {
    return {dir + "/" + LongName('r', ".log", size), dir + "/" + LongName('s', ".ini", size),
            dir + "/" + LongName('c', ".src", size), dir + "/" + LongName('c', ".dst", size),
            dir + "/" + LongName('m', ".txt", size), other + "/" + LongName('m', ".txt", size),
            dir + "/" + LongName('p', ".txt", size)};
}

const std::string kOld = "old content\r\n";

// Lays out the old state: every target holds kOld, the move's target does not exist yet.
void Lay(const TTargets& t) {
    for (const std::string* p : {&t.Report, &t.Ini, &t.Copy, &t.Replaced}) {
        std::ofstream(*p, std::ios::binary) << kOld;
    }
    std::ofstream(t.CopySource, std::ios::binary) << "copied\n";
    std::ofstream(t.MoveSource, std::ios::binary) << "moved\n";
    fs::remove(t.Moved);
}

// Writes every target once, as the program does.
bool WriteEach(const TTargets& t) {
    model::TResultTree tree;
    TTreeBuilder b(tree);
    b.Occurence(b.File(b.Folder(nullptr, "/srv", "/srv/"), "/srv/a.txt"), 1, 1, "hit");
    TScriptedUi ui;
    bool ok = operations::WriteResultsFile(tree, t.Report, ui, nullptr);
    try {
        TvtIniFile(t.Ini).WriteString("Section", "Key", "value");
    } catch (const std::exception&) {
        ok = false;
    }
    ok = platform::CopyFile(t.CopySource, t.Copy) && ok;
    ok = platform::MoveFile(t.MoveSource, t.Moved) && ok;
    return platform::ReplaceFileContent(t.Replaced, "new content\r\n", nullptr).Written && ok;
}

[[maybe_unused]] const bool kHelper = [] {
    if (const char* dir = std::getenv("FS_WRITE_SWEEP_DIR")) {
        std::_Exit(WriteEach(TargetsIn(dir, std::getenv("FS_WRITE_SWEEP_OTHER"), 255)) ? 0 : 1);
    }
    return false;
}();

// The other folder a move goes to: on another file system where there is one in memory.
std::string OtherFileSystem(const std::string& fallback) {
    std::error_code ec;
    if (fs::is_directory("/dev/shm", ec) && ::access("/dev/shm", W_OK) == 0) {
        const std::string d = "/dev/shm/fs-write-" + std::to_string(::getpid());
        fs::create_directories(d);
        return d;
    }
    return fallback;
}

std::vector<std::string> Leftovers(const std::string& dir) {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(dir)) {
        if (platform::IsReplaceTempName(e.path().filename().string())) {
            out.push_back(e.path().filename().string());
        }
    }
    return out;
}

} // namespace

TEST(WritePaths, NamesOfTheFullLengthAreWrittenWithNothingLeftBehind) {
    TTempDir dir;
    const std::string other = OtherFileSystem(dir.Path() + "/other");
    fs::create_directories(other);
    const TTargets t = TargetsIn(dir.Path(), other, 255);
    Lay(t);
    ASSERT_TRUE(WriteEach(t));
    EXPECT_EQ(ReadFile(t.Report).rfind("/srv/a.txt\r\n", 0), 0u);
    EXPECT_EQ(ReadFile(t.Ini), "old content\r\n[Section]\r\nKey=value\r\n");
    EXPECT_EQ(ReadFile(t.Copy), "copied\n");
    EXPECT_EQ(ReadFile(t.Moved), "moved\n");
    EXPECT_FALSE(fs::exists(t.MoveSource));
    EXPECT_EQ(ReadFile(t.Replaced), "new content\r\n");
    EXPECT_TRUE(Leftovers(dir.Path()).empty());
    EXPECT_TRUE(Leftovers(other).empty());
    // One byte more is refused by the system itself, and leaves nothing either.
    const std::string tooLong = dir.Path() + "/" + LongName('x', ".log", 256);
    EXPECT_EQ(platform::WriteWholeFile(tooLong, "x").Error, ENAMETOOLONG);
    fs::remove_all(other);
}

TEST(WritePaths, KilledAtAnyPointEveryTargetIsOldOrNew) {
    if (std::system("strace -V >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "strace is not installed";
    }
    TTempDir dir;
    const std::string work = dir.Path() + "/work";
    const std::string other = OtherFileSystem(dir.Path() + "/other");
    fs::create_directories(work);
    fs::create_directories(other);
    const TTargets t = TargetsIn(work, other, 255);
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    const auto run = [&](const std::string& strace) {
        Lay(t);
        const std::string cmd = "FS_WRITE_SWEEP_DIR='" + work + "' FS_WRITE_SWEEP_OTHER='" + other +
                                "' " + strace + " '" + self + "' >/dev/null 2>&1";
        return std::system(cmd.c_str());
    };
    // How often each changing call is made in one run.
    const std::string log = dir.Path() + "/trace.log";
    std::string names;
    for (const char* s :
         {"openat", "write", "fdatasync", "fchmod", "fsetxattr", "linkat", "link", "renameat",
          "renameat2", "rename", "unlink", "unlinkat", "close", "copy_file_range", "utimensat"}) {
        const std::string probe =
            "strace -qq -o /dev/null -e trace=" + std::string(s) + " true 2>/dev/null";
        if (std::system(probe.c_str()) == 0) {
            names += (names.empty() ? "" : ",") + std::string(s);
        }
    }
    // The new state, from a run that ends.
    ASSERT_EQ(run(""), 0);
    std::map<std::string, std::string> fresh;
    for (const std::string* p : {&t.Report, &t.Ini, &t.Copy, &t.Replaced}) {
        fresh[*p] = ReadFile(*p);
        ASSERT_NE(fresh[*p], kOld);
    }
    ASSERT_EQ(run("strace -qq -o '" + log + "' -e trace=" + names), 0);
    std::map<std::string, int> counts;
    std::ifstream in(log);
    for (std::string line; std::getline(in, line);) {
        if (line.find('(') != std::string::npos) {
            ++counts[line.substr(0, line.find('('))];
        }
    }
    int points = 0;
    for (const auto& [name, count] : counts) {
        for (int k = 1; k <= count; ++k) {
            const std::string where = name + " #" + std::to_string(k);
            SCOPED_TRACE(where);
            run("strace -qq -o /dev/null -e trace=" + name + " -e inject=" + name +
                ":signal=SIGKILL:when=" + std::to_string(k));
            ++points;
            for (const std::string* p : {&t.Report, &t.Ini, &t.Copy, &t.Replaced}) {
                const std::string c = ReadFile(*p);
                EXPECT_TRUE(c == kOld || c == fresh.at(*p)) << *p << ": " << c;
            }
            // The moved file is somewhere whole: at its source, its target, or both.
            const bool atSource = fs::exists(t.MoveSource);
            const bool atTarget = fs::exists(t.Moved);
            EXPECT_TRUE(atSource || atTarget);
            EXPECT_TRUE(!atSource || ReadFile(t.MoveSource) == "moved\n");
            EXPECT_TRUE(!atTarget || ReadFile(t.Moved) == "moved\n");
            for (const std::string& d : {work, other}) {
                platform::CleanStaleReplaceTemps(d, 0);
                EXPECT_EQ(Leftovers(d), std::vector<std::string>{}) << d;
            }
            if (::testing::Test::HasFailure()) {
                fs::remove_all(other);
                return;
            }
        }
    }
    std::cout << "[ sweep    ] " << points << " kill points tried\n";
    EXPECT_GT(points, 40);
    fs::remove_all(other);
}
