// The diff of a file's chosen edits, fed to patch, turns the original into exactly what
// applying those edits gives: random texts with every kind of line end and none at the end,
// random edits that eat, add and split lines.
#include "FileBytes.h"
#include "model/UTFileChange.h"
#include "model/UUnifiedDiff.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <sstream>

namespace fs = std::filesystem;

using testsupport::ReadAll;

namespace {

TEST(UnifiedDiff, PatchTurnsTheOriginalIntoTheEditedText) {
    if (std::system("patch --version >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "patch is not installed";
    }
    const fs::path dir = fs::temp_directory_path() / ("fs-diff-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    static const char* const kPieces[] = {"a", "bc", " ", "\n", "\n", "\r\n", "line\n", "x"};
    static const char* const kTexts[] = {"", "Z", "\n", "Y\n", "two\nlines", "\r\n"};
    std::mt19937 rng(7);
    int patched = 0;
    for (int round = 0; round < 300; ++round) {
        std::string original;
        const int n = static_cast<int>(rng() % 60);
        for (int i = 0; i < n; ++i) {
            original += kPieces[rng() % std::size(kPieces)];
        }
        model::TFileChange change;
        std::uint64_t at = 0;
        while (!original.empty() && at <= original.size() && rng() % 4 != 0) {
            const std::uint64_t from = at + rng() % 12;
            if (from > original.size()) {
                break;
            }
            const std::uint64_t to = std::min<std::uint64_t>(from + rng() % 4, original.size());
            change.Edits.push_back({from, to, 0, kTexts[rng() % std::size(kTexts)]});
            at = to + 1;
        }
        change.ChooseAll(true);
        for (auto& c : change.Chosen) {
            c = static_cast<std::uint8_t>(rng() % 3 != 0);
        }
        const std::string edited = model::ApplyEdits(original, change);
        const int context = static_cast<int>(rng() % 4);
        const std::string diff =
            model::UnifiedDiff(original, change, "a/file.txt", "b/file.txt", true, context);
        // Made from the text read a few bytes at a time, it is the same, and every byte is
        // seen once, in order.
        std::string seen;
        const size_t piece = 1 + rng() % 5;
        const model::TReadPiece read = [&](std::uint64_t at, char* into, size_t n) {
            const size_t got = std::min({n, piece, original.size() - static_cast<size_t>(at)});
            original.copy(into, got, static_cast<size_t>(at));
            return got;
        };
        EXPECT_EQ(model::UnifiedDiffStreamed(read, original.size(), change, "a/file.txt",
                                             "b/file.txt", true, context,
                                             [&seen](std::string_view s) { seen.append(s); }),
                  diff);
        EXPECT_EQ(seen, original);
        SCOPED_TRACE("original: " + ::testing::PrintToString(original) + "\ndiff:\n" + diff);
        if (edited == original) {
            EXPECT_EQ(diff, "");
            continue;
        }
        std::ofstream(dir / "file.txt", std::ios::binary) << original;
        std::ofstream(dir / "p.diff", std::ios::binary) << diff;
        const std::string cmd =
            "cd '" + dir.string() + "' && patch -s -p1 --fuzz=0 --no-backup-if-mismatch < p.diff";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        ASSERT_EQ(ReadAll(dir / "file.txt"), edited);
        ++patched;
    }
    fs::remove_all(dir);
    EXPECT_GT(patched, 150);
}

} // namespace
