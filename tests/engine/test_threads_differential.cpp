// Runs with one thread and with four over many random trees and requests must be alike in
// everything a user can see: the tree, the messages, the status line, the progress, the error
// that ended the run, and every file and backup left on disk.
#include "engine/UStreamSearch.h"
#include "engine/UTSearchEngine.h"
#include "model/UTResultTree.h"
#include "platform/UPlatform.h"
#include "settings/UTSearchOptions.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <sstream>
#include <thread>
#include <unistd.h>

using settings::TSearchOptions;

namespace fs = std::filesystem;

namespace {

struct TScenario {
    engine::TSearchRequest Request;
    int AbortAtPump = 0;   // 0: never
    int RemoveAtEnter = 0; // 0: never; else the folder entry at which "gone.txt" vanishes
    bool AddLate = false;  // and "late.txt" appears in every folder
};

std::string Pick(std::mt19937& rng, const std::vector<std::string>& from) {
    return from[std::uniform_int_distribution<size_t>(0, from.size() - 1)(rng)];
}

int Roll(std::mt19937& rng, int n) {
    return std::uniform_int_distribution<int>(0, n - 1)(rng);
}

void MakeTree(std::mt19937& rng, const fs::path& dir, int depth) {
    fs::create_directories(dir);
    static const std::vector<std::string> words = {"foo", "Foo", "FOO", "bar", "x", "o", " ", "fo"};
    static const std::vector<std::string> breaks = {"\n", "\r\n", "\r", ""};
    const int files = Roll(rng, 6);
    for (int i = 0; i < files; ++i) {
        std::string name = Pick(rng, {"a", "B", "c", "d", "gone", "E"}) + std::to_string(i) +
                           Pick(rng, {".txt", ".TXT", ".dat", ""});
        if (Roll(rng, 4) == 0) {
            name = "gone.txt";
        }
        std::string content;
        const int lines = Roll(rng, 6);
        for (int l = 0; l < lines; ++l) {
            for (int w = Roll(rng, 5); w > 0; --w) {
                content += Pick(rng, words);
            }
            content += Pick(rng, breaks);
        }
        std::ofstream(dir / name, std::ios::binary) << content;
    }
    if (depth < 3) {
        for (int i = Roll(rng, 4); i > 0; --i) {
            MakeTree(rng, dir / (Pick(rng, {"s", "S", "t"}) + std::to_string(i)), depth + 1);
        }
    }
}

TScenario MakeScenario(std::mt19937& rng) {
    TScenario s;
    engine::TSearchRequest& r = s.Request;
    r.Masks = {Pick(rng, {"*.*", "*.txt", "*"})};
    r.DoSearch = Roll(rng, 8) != 0;
    r.UseRegex = Roll(rng, 2) == 0;
    r.SearchText = r.UseRegex ? Pick(rng, {"fo+", "(bar|x)", "o*", "^F", "(", "o$"})
                              : Pick(rng, {"foo", "FOO", "o", "x o"});
    r.MatchCase = Roll(rng, 2) == 0;
    r.DoReplace = Roll(rng, 2) == 0;
    r.ReplaceText = Pick(rng, {"Q", "", "<$0>"});
    r.MakeBackups = r.DoReplace && Roll(rng, 2) == 0;
    r.Recurse = Roll(rng, 5) != 0;
    s.AbortAtPump = Roll(rng, 3) == 0 ? 1 + Roll(rng, 6) : 0;
    s.RemoveAtEnter = Roll(rng, 4) == 0 ? 1 + Roll(rng, 6) : 0;
    s.AddLate = Roll(rng, 2) == 0;
    return s;
}

std::string Relative(std::string text, const std::string& root) {
    for (size_t at = text.find(root); at != std::string::npos; at = text.find(root, at)) {
        text.replace(at, root.size(), "<R>");
    }
    return text;
}

// Everything the run showed and left behind, as text with the root's path taken out.
std::string RunAndDump(const TScenario& s, const fs::path& root, int threads) {
    std::ostringstream out;
    model::TResultTree tree;
    engine::TSearchHooks hooks;
    engine::TSearchEngine* engine = nullptr;
    int pumps = 0;
    hooks.ShowStatus = [&](const std::string& t) { out << "status " << t << "\n"; };
    hooks.ShowProgress = [&](double f) { out << "progress " << f << "\n"; };
    hooks.ShowMessage = [&](const std::string& t) { out << "message " << t << "\n"; };
    hooks.PumpMessages = [&]() {
        if (++pumps == s.AbortAtPump) {
            engine->Aborted = true;
        }
    };
    engine::TSearchEngine e(hooks, tree);
    engine = &e;
    e.Threads = threads;
    int enters = 0;
    e.OnEnterFolder = [&](const std::string& path) {
        if (++enters == s.RemoveAtEnter) {
            if (threads > 1) {
                // Time for the threads to list and read ahead, and for folder times to move on.
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
            fs::remove(fs::path(path).parent_path() / "gone.txt");
            // A file appears in every folder: those the walk has listed do not show it.
            for (const auto& entry : fs::recursive_directory_iterator(root)) {
                if (s.AddLate && entry.is_directory()) {
                    std::ofstream(entry.path() / "late.txt") << "foo Foo\n";
                }
            }
        }
    };
    TSearchOptions options;
    engine::TSearchRequest request = s.Request;
    request.StartFolder = root.string();
    request.Options = &options;
    try {
        const engine::TSearchTotals t = e.StartRun(request);
        out << "totals " << t.OccurenceCount << " " << t.FileCount << "\n";
    } catch (const std::exception& ex) {
        out << "error " << ex.what() << "\n";
    }
    tree.ForEach([&](model::TTreeNode& n) {
        out << n.Level() << " " << n.ImageIndex() << n.SelectedIndex() << " " << n.Caption()
            << "\n";
    });
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& f : files) {
        out << "file " << f.string();
        if (fs::is_regular_file(f)) {
            std::ifstream in(f, std::ios::binary);
            out << " [" << in.rdbuf() << "]";
        }
        out << "\n";
    }
    return Relative(out.str(), root.string());
}

} // namespace

TEST(ThreadsDifferential, OneAndFourThreadsShowAndWriteTheSame) {
    const fs::path base = fs::temp_directory_path() / ("fs-threads-" + std::to_string(::getpid()));
    for (unsigned seed = 1; seed <= 80; ++seed) {
        fs::remove_all(base);
        std::mt19937 rng(seed);
        MakeTree(rng, base / "one", 0);
        fs::copy(base / "one", base / "four", fs::copy_options::recursive);
        const TScenario s = MakeScenario(rng);
        const std::string one = RunAndDump(s, base / "one", 1);
        const std::string four = RunAndDump(s, base / "four", 4);
        ASSERT_EQ(one, four) << "seed " << seed;
    }
    fs::remove_all(base);
}

// Big files are read a window at a time. With windows of a few bytes every file is big, lines
// straddle windows, lines are longer than a window and CR LF falls across two: the run must
// still show and write exactly what reading each file whole does.
TEST(ThreadsDifferential, WindowedAndWholeReadingShowAndWriteTheSame) {
    const fs::path base = fs::temp_directory_path() / ("fs-windows-" + std::to_string(::getpid()));
    for (unsigned seed = 1; seed <= 120; ++seed) {
        fs::remove_all(base);
        std::mt19937 rng(seed + 1000);
        MakeTree(rng, base / "whole", 0);
        fs::copy(base / "whole", base / "windows", fs::copy_options::recursive);
        const TScenario s = MakeScenario(rng);
        const std::string whole = RunAndDump(s, base / "whole", 1);
        engine::SetStreamWindow(1 + seed % 7);
        const std::string windows = RunAndDump(s, base / "windows", 1 + seed % 3);
        engine::SetStreamWindow(0);
        ASSERT_EQ(whole, windows) << "seed " << seed << ", window " << 1 + seed % 7;
    }
    fs::remove_all(base);
}

namespace {

// A search for "foo" in every file of a tree.
TScenario FooEverywhere() {
    TScenario s;
    s.Request.Masks = {"*.*"};
    s.Request.DoSearch = true;
    s.Request.SearchText = "foo";
    s.Request.Recurse = true;
    return s;
}

} // namespace

// A tree deeper than the threads walk ahead: the walk goes on below by itself.
TEST(ThreadsDifferential, ATreeDeeperThanTheWalkAheadIsWalkedWhole) {
#ifdef _WIN32
    GTEST_SKIP() << "paths past MAX_PATH";
#endif
    const fs::path base = fs::temp_directory_path() / ("fs-deep-" + std::to_string(::getpid()));
    fs::remove_all(base);
    fs::path dir = base / "one";
    for (int level = 0; level < 300; ++level) {
        fs::create_directories(dir);
        if (level % 7 == 0) {
            std::ofstream(dir / "a.txt") << "foo\n";
        }
        dir /= "d";
    }
    fs::copy(base / "one", base / "four", fs::copy_options::recursive);
    TScenario s = FooEverywhere();
    const std::string one = RunAndDump(s, base / "one", 1);
    EXPECT_EQ(one, RunAndDump(s, base / "four", 4));
    EXPECT_NE(one.find("totals 43 43"), std::string::npos) << one.substr(0, 300);
    fs::remove_all(base);
}

// Abort in a folder of many sub-folders without files: the walk ahead has listed more of them
// than it may hold while the walk passes them over for the folder's own files.
TEST(ThreadsDifferential, AnAbortPassingOverManyListedFoldersEnds) {
    const fs::path base = fs::temp_directory_path() / ("fs-many-" + std::to_string(::getpid()));
    fs::remove_all(base);
    for (int i = 0; i < 1200; ++i) {
        fs::create_directories(base / "one" / "x" / ("s" + std::to_string(i)));
    }
    std::ofstream(base / "one" / "x" / "a.txt") << "foo\n";
    fs::copy(base / "one", base / "four", fs::copy_options::recursive);
    TScenario s = FooEverywhere();
    s.AbortAtPump = 2; // on entering x
    const std::string one = RunAndDump(s, base / "one", 1);
    EXPECT_EQ(one, RunAndDump(s, base / "four", 4));
    fs::remove_all(base);
}
