// A replacement run killed at every system call that changes the file system, one point at a
// time, never leaves a file torn or missing; and real system-call failures (a full disk, a
// refused rename) leave the originals as they were. strace stops the run: it kills the
// process on the K-th call of one (traced) system call, before the call is carried out.
//
// The run under test is this very program: started with FS_KILLSWEEP_DIR set, it replaces
// in the files of that folder and ends, before any test starts.
#include "search_file_test_support.h"

#include "engine/UStreamSearch.h"
#include "platform/UReplaceFile.h"

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <map>
#include <set>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <thread>

using settings::TSearchOptions;

using namespace searchtest;

namespace {

const char* const kNames[] = {"a.txt", "b.txt", "link.txt"};
const std::string kSearch = "old";
const std::string kReplace = "NEW-TEXT";

std::string Original(const std::string& name) {
    if (name == "a.txt") {
        return "first old line\r\nold\r\nlast\r\n";
    }
    if (name == "b.txt") {
        return Bytes("mixed\rold\n\0old\r\r\nno final break old");
    }
    return "linked old content\n";
}

std::string Replaced(const std::string& name) {
    return text::ReplaceAll(Original(name), kSearch, kReplace);
}

// The replacement run, in the started copy of this program.
[[noreturn]] void RunReplacement(const std::string& dir) {
    {
        model::TResultTree tree;
        std::string messages;
        engine::TSearchHooks hooks;
        hooks.ShowMessage = [&messages](const std::string& m) { messages += m + "\n"; };
        engine::TSearchEngine engine(hooks, tree);
        engine::TSearchRequest request;
        request.DoSearch = true;
        request.DoReplace = true;
        request.MatchCase = true;
        request.MakeBackups = std::getenv("FS_KILLSWEEP_BACKUPS") != nullptr;
        if (std::getenv("FS_KILLSWEEP_NO_HARD_LINKS") != nullptr) {
            platform::SetReplaceFaultHook([](platform::TReplaceStep s) {
                return s == platform::TReplaceStep::LinkBackup ? EPERM : 0;
            });
        }
        if (const char* window = std::getenv("FS_KILLSWEEP_WINDOW")) {
            engine::SetStreamWindow(std::strtoul(window, nullptr, 10));
        }
        request.SearchText = kSearch;
        request.ReplaceText = kReplace;
        TSearchOptions stopOnError;
        stopOnError.StopOnError = true;
        request.Options = &stopOnError;
        // Marks where the run begins in a trace; no call before it belongs to the run.
        [[maybe_unused]] const pid_t marker = ::getppid();
        try {
            for (const char* name : kNames) {
                engine.SearchFile(request, dir + "/" + name, nullptr);
            }
        } catch (const std::exception& e) {
            messages += std::string("error: ") + e.what() + "\n"; // ends the run, as it would
        }
        std::ofstream(dir + ".messages", std::ios::binary) << messages;
    }
    std::_Exit(0);
}

[[maybe_unused]] const bool kHelper = [] {
    if (const char* dir = std::getenv("FS_KILLSWEEP_DIR")) {
        RunReplacement(dir);
    }
    return false;
}();

// The kinds of run swept.
// Windowed: every file read and written a few bytes at a time, as big files are.
enum class TVariant { NoBackups, Backups, BackupsWithoutHardLinks, Windowed };
const TVariant kVariants[] = {TVariant::NoBackups, TVariant::Backups,
                              TVariant::BackupsWithoutHardLinks, TVariant::Windowed};
const char* Label(TVariant v) {
    switch (v) {
    case TVariant::NoBackups:
        return "without backups";
    case TVariant::Backups:
        return "with backups";
    case TVariant::BackupsWithoutHardLinks:
        return "with backups, no hard links";
    case TVariant::Windowed:
        return "with backups, in windows";
    }
    return "";
}

// The system calls that change files, and the marker.
const std::vector<std::string> kSyscalls = {
    "openat",   "open",      "write",     "pwrite64", "fdatasync", "fsync",
    "fchown",   "fchmod",    "fsetxattr", "link",     "linkat",    "rename",
    "renameat", "renameat2", "unlink",    "unlinkat", "close",     "ftruncate"};

class KillSweepTest : public SearchFileTest {
protected:
    void SetUp() override {
        SearchFileTest::SetUp();
        if (std::system("strace -V >/dev/null 2>&1") != 0) {
            GTEST_SKIP() << "strace is not installed";
        }
        self_ = fs::read_symlink("/proc/self/exe").string();
        work_ = P("work");
    }

    void Lay() const {
        fs::remove_all(work_);
        fs::create_directories(work_ + "/real");
        for (const char* name : kNames) {
            if (std::string(name) != "link.txt") {
                std::ofstream(work_ + "/" + name, std::ios::binary) << Original(name);
                ::chmod((work_ + "/" + name).c_str(), 0640);
            }
        }
        // Another owner and an extended attribute, so that their copying is swept too.
        if (::geteuid() == 0) {
            EXPECT_EQ(::chown((work_ + "/a.txt").c_str(), 4321, 4321), 0);
            ::chmod((work_ + "/a.txt").c_str(), 0640);
        }
        ::setxattr((work_ + "/b.txt").c_str(), "user.fernsweep", "x", 1, 0);
        std::ofstream(work_ + "/real/c.txt", std::ios::binary) << Original("link.txt");
        fs::create_symlink("real/c.txt", work_ + "/link.txt");
        fs::remove(work_ + ".messages");
    }

    // Runs the replacement, under strace when `strace` is not empty; gives the wait status.
    int Run(const std::string& strace, TVariant variant) const {
        std::string cmd = "FS_KILLSWEEP_DIR='" + work_ + "' ";
        if (variant != TVariant::NoBackups) {
            cmd += "FS_KILLSWEEP_BACKUPS=1 ";
        }
        if (variant == TVariant::Windowed) {
            cmd += "FS_KILLSWEEP_WINDOW=5 ";
        }
        if (variant == TVariant::BackupsWithoutHardLinks) {
            cmd += "FS_KILLSWEEP_NO_HARD_LINKS=1 ";
        }
        if (!strace.empty()) {
            cmd += "strace -qq -o /dev/null " + strace + " ";
        }
        cmd += "'" + self_ + "' >/dev/null 2>&1";
        return std::system(cmd.c_str());
    }

    // How often each system call is made after the marker, and how often before it.
    // The traced calls of one run, one line each ("name(arguments) = result").
    std::vector<std::string> Trace(TVariant variant) const {
        Lay();
        const std::string log = P("trace.log");
        // Unknown names are refused by strace, so the set is tried name by name first.
        std::string known = "getppid";
        for (const std::string& s : kSyscalls) {
            const std::string probe = "strace -qq -o /dev/null -e trace=" + s + " true 2>/dev/null";
            if (std::system(probe.c_str()) == 0) {
                known += "," + s;
            }
        }
        EXPECT_EQ(Run("-o '" + log + "' -e trace=" + known, variant), 0);
        std::vector<std::string> lines;
        std::ifstream in(log);
        std::string line;
        while (std::getline(in, line)) {
            if (line.find('(') != std::string::npos) {
                lines.push_back(line);
            }
        }
        return lines;
    }

    static std::string NameOf(const std::string& line) { return line.substr(0, line.find('(')); }

    // How often each system call is made after the marker, and how often before it.
    std::map<std::string, std::pair<int, int>> Profile(TVariant variant) const {
        std::map<std::string, std::pair<int, int>> counts; // name -> (before, after)
        bool begun = false;
        for (const std::string& line : Trace(variant)) {
            const std::string name = NameOf(line);
            if (name == "getppid") {
                begun = true;
                continue;
            }
            auto& c = counts[name];
            (begun ? c.second : c.first) += 1;
        }
        EXPECT_TRUE(begun) << "no marker in the trace";
        return counts;
    }

    // Every file holds its old or its new content, whole; with the new content the old is
    // under the backup name, with hard links or without; nothing but recognisable temporary
    // files is left over, and the cleaner removes them all.
    void CheckState(TVariant variant, const std::string& where) const {
        const bool backups = variant != TVariant::NoBackups;
        SCOPED_TRACE(where);
        std::set<std::string> expected = {"a.txt", "b.txt", "link.txt", "real"};
        for (const char* name : kNames) {
            const std::string path = work_ + "/" + name;
            const std::string content = ReadAll(path);
            const bool isNew = content == Replaced(name);
            EXPECT_TRUE(isNew || content == Original(name)) << name << " torn: " << content;
            const std::string backup = text::ReplaceAll(path, ".txt", ".~txt");
            if (fs::exists(backup)) {
                EXPECT_TRUE(backups) << name;
                EXPECT_EQ(ReadAll(backup), Original(name)) << name;
                expected.insert(text::ExtractFileName(backup));
            } else {
                EXPECT_FALSE(backups && isNew) << name << " replaced without its backup";
            }
        }
        struct stat st {};
        EXPECT_EQ(::lstat((work_ + "/link.txt").c_str(), &st), 0);
        EXPECT_TRUE(S_ISLNK(st.st_mode));
        EXPECT_EQ(::stat((work_ + "/a.txt").c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0640u);
        if (::geteuid() == 0) {
            EXPECT_EQ(st.st_uid, 4321u);
        }
        for (const std::string& folder : {work_, work_ + "/real"}) {
            for (const auto& e : fs::directory_iterator(folder)) {
                const std::string name = e.path().filename().string();
                if (folder == work_ ? expected.count(name) == 0 : name != "c.txt") {
                    EXPECT_TRUE(platform::IsReplaceTempName(name)) << "left over: " << name;
                }
            }
            // The killed writer may still be seen alive for a moment after its kill (on a busy
            // machine its process takes a while to go): the cleaner is given a second.
            const auto tempsLeft = [&folder] {
                int n = 0;
                for (const auto& e : fs::directory_iterator(folder)) {
                    n += platform::IsReplaceTempName(e.path().filename().string()) ? 1 : 0;
                }
                return n;
            };
            for (int tries = 0; tries < 20; ++tries) {
                platform::CleanStaleReplaceTemps(folder, 0);
                if (tempsLeft() == 0) {
                    break;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
            for (const auto& e : fs::directory_iterator(folder)) {
                EXPECT_FALSE(platform::IsReplaceTempName(e.path().filename().string()))
                    << "not cleaned up: " << e.path();
            }
        }
    }

    std::string self_;
    std::string work_;
};

} // namespace

TEST_F(KillSweepTest, KilledAtAnyPointNoFileIsTornOrMissing) {
    int points = 0;
    std::string tally;
    for (const TVariant variant : kVariants) {
        const auto counts = Profile(variant);
        tally += std::string(tally.empty() ? "" : "; ") + Label(variant) + ":";
        for (const auto& [name, c] : counts) {
            tally += " " + name + "=" + std::to_string(c.second);
            for (int k = 1; k <= c.second; ++k) {
                Lay();
                const std::string where = name + " #" + std::to_string(k) + " " + Label(variant);
                const int status = Run("-e trace=" + name + " -e inject=" + name +
                                           ":signal=SIGKILL:when=" + std::to_string(c.first + k),
                                       variant);
                // The shell reports the killed program as 128 + 9.
                EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 128 + SIGKILL)
                    << where << " not killed, status " << status;
                CheckState(variant, where);
                ++points;
                if (HasFailure()) {
                    return;
                }
                // A run after the kill completes the work.
                ASSERT_EQ(Run("", variant), 0);
                for (const char* f : kNames) {
                    ASSERT_EQ(ReadAll(work_ + "/" + f), Replaced(f)) << where << " " << f;
                }
            }
        }
    }
    std::cout << "[ sweep    ] " << points << " kill points tried (" << tally << ")\n";
    EXPECT_GT(points, 90);
}

TEST_F(KillSweepTest, RealSystemCallFailuresLeaveTheOriginals) {
    const std::vector<std::string> trace = Trace(TVariant::NoBackups);
    // The number of the first call of `name` after the marker and after a call mentioning
    // `after`, whose own line mentions `mentioning`; -1 when there is none.
    const auto callNumber = [&](const std::string& name, const std::string& after,
                                const std::string& mentioning) {
        int n = 0;
        bool begun = false;
        bool anchored = after.empty();
        for (const std::string& line : trace) {
            const std::string lineName = NameOf(line);
            begun = begun || lineName == "getppid";
            if (lineName == name) {
                ++n;
                if (begun && anchored && line.find(mentioning) != std::string::npos) {
                    return n;
                }
            }
            anchored = anchored || (begun && line.find(after) != std::string::npos);
        }
        return -1;
    };
    struct TCase {
        std::string syscall;
        std::string error;
        std::string after;
        std::string mentioning;
    };
    // The calls for the first file: its temporary file's write, flush and rename, and the
    // opening of the file itself for reading.
    for (const TCase& c :
         {TCase{"write", "ENOSPC", "O_TMPFILE", ""}, TCase{"fdatasync", "EIO", "O_TMPFILE", ""},
          TCase{"renameat", "EPERM", "", ".fstmp"}, TCase{"openat", "EACCES", "", "\"a.txt\""}}) {
        const int k = callNumber(c.syscall, c.after, c.mentioning);
        EXPECT_GT(k, 0) << c.syscall << " not seen in the trace";
        if (k < 0) {
            continue;
        }
        SCOPED_TRACE(c.syscall);
        Lay();
        const std::string inject = "-e trace=" + c.syscall + " -e inject=" + c.syscall +
                                   ":error=" + c.error + ":when=" + std::to_string(k);
        ASSERT_EQ(Run(inject, TVariant::NoBackups), 0);
        const std::string messages = ReadAll(work_ + ".messages");
        if (c.syscall == "openat") {
            // That is the read of the first file: the run ends at its error, nothing changed.
            EXPECT_EQ(messages.rfind("error: Cannot open file \"" + work_ + "/a.txt\". ", 0), 0u)
                << messages;
            for (const char* f : kNames) {
                EXPECT_EQ(ReadAll(work_ + "/" + f), Original(f));
            }
            continue;
        }
        EXPECT_EQ(messages, "Unable to create file " + work_ + "/a.txt\r\nFile may be read/only\n");
        EXPECT_EQ(ReadAll(work_ + "/a.txt"), Original("a.txt"));
        EXPECT_EQ(ReadAll(work_ + "/b.txt"), Replaced("b.txt"));
        EXPECT_EQ(ReadAll(work_ + "/real/c.txt"), Replaced("link.txt"));
        std::set<std::string> names;
        for (const auto& e : fs::directory_iterator(work_)) {
            names.insert(e.path().filename().string());
        }
        EXPECT_EQ(names, (std::set<std::string>{"a.txt", "b.txt", "link.txt", "real"}));
    }
}
