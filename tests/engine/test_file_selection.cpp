// The date, size, folder and binary filters at their edges, and the account of a run.
#include "walk_test_support.h"

#include "engine/UFileSelection.h"

#include <set>
#include <sys/time.h>

using settings::FormatByteSize;
using settings::FormatLocalTime;
using settings::ParseByteSize;
using settings::ParseLocalTime;

using walktest::WalkTest;
namespace fs = std::filesystem;

namespace {

void SetModified(const std::string& path, std::int64_t seconds) {
    const struct timespec times[2] = {{static_cast<time_t>(seconds), 0},
                                      {static_cast<time_t>(seconds), 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

// Every entry below `root` (not below a folder named in `excluded`), and `root` itself.
std::int64_t EntriesWalked(const fs::path& root, const std::set<std::string>& excluded) {
    std::int64_t n = 1;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
         ++it) {
        ++n;
        if (it->is_directory() && excluded.count(it->path().filename().string()) != 0) {
            it.disable_recursion_pending();
        }
    }
    return n;
}

std::set<std::string> Found(const model::TResultTree& tree) {
    std::set<std::string> names;
    for (int i = 0; i < tree.Count(); ++i) {
        const model::TTreeNode* n = tree.Item(i);
        if (n->IsFile()) {
            names.insert(n->Caption().substr(0, n->Caption().find(" - ")));
        }
    }
    return names;
}

} // namespace

TEST_F(WalkTest, FiltersAtTheirEdgesAndTheAccountAddsUp) {
    const std::int64_t t0 = *ParseLocalTime("2024-03-10");
    const std::int64_t t1 = *ParseLocalTime("2024-03-20T12:30");
    request.DoSearch = true;
    request.SearchText = "x";
    options.ModifiedFrom = t0;
    options.ModifiedBefore = t1;
    options.MinSize = 100;
    options.MaxSize = 200;
    options.ExcludeDirs = "node_modules; .git";
    options.SkipBinary = true;

    const auto sized = [&](const std::string& rel, size_t size, std::int64_t when) {
        File(rel, std::string(size, 'x'));
        SetModified(P(rel), when);
    };
    const std::int64_t mid = t0 + 3600;
    sized("size99.txt", 99, mid);
    sized("size100.txt", 100, mid);
    sized("size200.txt", 200, mid);
    sized("size201.txt", 201, mid);
    sized("early.txt", 150, t0 - 1);
    sized("from.txt", 150, t0);
    sized("last.txt", 150, t1 - 1);
    sized("before.txt", 150, t1);
    sized("a/b/node_modules/deep.txt", 150, mid);
    sized("a/b/kept.txt", 150, mid);
    sized(".git/config.txt", 150, mid);
    sized("Kconfig", 150, mid);
    std::string nul8191(150, 'x'), nul8192(9000, 'x');
    nul8191.resize(9000, 'x');
    nul8191[8191] = '\0';
    nul8192[8192] = '\0';
    options.MaxSize = 9000;
    sized("nul8191.txt", 9000, mid);
    sized("nul8192.txt", 9000, mid);
    std::ofstream(P("nul8191.txt"), std::ios::binary) << nul8191;
    std::ofstream(P("nul8192.txt"), std::ios::binary) << nul8192;
    SetModified(P("nul8191.txt"), mid);
    SetModified(P("nul8192.txt"), mid);
    options.MaxSize = 200;

    Run();
    EXPECT_EQ(Found(tree), (std::set<std::string>{"size100.txt", "size200.txt", "from.txt",
                                                  "last.txt", "kept.txt"}));
    const engine::TRunAccount& a = engine_->Account();
    using O = engine::TEntryOutcome;
    EXPECT_EQ(a.Count(O::Size), 4); // 99, 201 and the two 9000-byte files
    EXPECT_EQ(a.Count(O::Date), 2);
    EXPECT_EQ(a.Count(O::ExcludedFolder), 2);
    EXPECT_EQ(a.Count(O::NameMask), 1); // Kconfig has no dot
    EXPECT_EQ(a.Looked(), EntriesWalked(root_, {"node_modules", ".git"}));
    EXPECT_TRUE(a.Failures.empty());

    // The binary probe, with the size limit out of the way: a NUL at offset 8191 is inside the
    // first 8 KiB, one at 8192 is not.
    options.MaxSize.reset();
    options.MinSize = 9000;
    Run();
    EXPECT_EQ(Found(tree), (std::set<std::string>{"nul8192.txt"}));
    EXPECT_EQ(engine_->Account().Count(O::Binary), 1);
    EXPECT_EQ(engine_->Account().Looked(), EntriesWalked(root_, {"node_modules", ".git"}));

    // Without content search the probe still leaves the binary file out.
    request.DoSearch = false;
    Run();
    EXPECT_EQ(Found(tree), (std::set<std::string>{"nul8192.txt"}));

    // Without recursion every sub-folder counts once, as not walked.
    request.Recurse = false;
    Run();
    EXPECT_EQ(engine_->Account().Count(O::NotRecursed), 2); // a and .git
    EXPECT_EQ(engine_->Account().Looked(), 1 + static_cast<std::int64_t>(Listing("").size()));
}

TEST(LocalTimeAndSizeTexts, ParseAndFormat) {
    EXPECT_EQ(FormatLocalTime(*ParseLocalTime("2024-02-29")), "2024-02-29");
    EXPECT_EQ(FormatLocalTime(*ParseLocalTime("2024-02-29T07:05")), "2024-02-29T07:05:00");
    EXPECT_EQ(*ParseLocalTime("2024-02-29 07:05:09") - *ParseLocalTime("2024-02-29"),
              7 * 3600 + 5 * 60 + 9);
    for (const char* bad : {"", "2024-2-29", "2023-02-29", "2024-02-29T7:05", "2024-02-29T24:00",
                            "2024-02-29x", "2024-13-01"}) {
        EXPECT_FALSE(ParseLocalTime(bad)) << bad;
    }
    EXPECT_EQ(*ParseByteSize("0"), 0);
    EXPECT_EQ(*ParseByteSize("10k"), 10240);
    EXPECT_EQ(*ParseByteSize("3M"), 3 << 20);
    EXPECT_EQ(*ParseByteSize("2G"), std::int64_t{2} << 30);
    for (const char* bad : {"", "K", "-1", "1KB", "1.5M", "99999999999G"}) {
        EXPECT_FALSE(ParseByteSize(bad)) << bad;
    }
    EXPECT_EQ(FormatByteSize(1536), "1536");
    EXPECT_EQ(FormatByteSize(2048), "2K");
    EXPECT_EQ(FormatByteSize(std::int64_t{5} << 30), "5G");
}
