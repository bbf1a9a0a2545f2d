// A whole run: replacement preparation, clearing the tree, the summary line.
#include "walk_test_support.h"

#include "model/UTFile.h"
#include "model/UTResultObject.h"

#include <sstream>

using walktest::WalkTest;

namespace {

// A file's content with any CR dropped: which line ends a rewritten file gets is the in-file
// search's business, not the run's.
std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    std::string text = s.str();
    std::erase(text, '\r');
    return text;
}

} // namespace

class RunTest : public WalkTest {};

TEST_F(RunTest, SummaryWithoutContentSearch) {
    File("a.txt");
    EXPECT_EQ(Run().FileCount, 1);
    EXPECT_EQ(statuses.back(), "1 file found.");

    File("b.txt");
    Run();
    EXPECT_EQ(statuses.back(), "2 files found.");

    request.Masks = {"*.none"};
    Run();
    EXPECT_EQ(statuses.back(), "0 files found.");
}

TEST_F(RunTest, ReplaceWithoutSearchChangesNothingAndSaysFound) {
    request.DoReplace = true;
    request.ReplaceText = "zzz";
    File("a.txt", "x\n");

    Run();

    EXPECT_EQ(statuses.back(), "1 file found.");
    EXPECT_EQ(ReadAll(P("a.txt")), "x\n");
}

TEST_F(RunTest, SummaryOfASearch) {
    request.DoSearch = true;
    request.SearchText = "ab";
    Run();
    EXPECT_EQ(statuses.back(), "Found 0 occurences in 0 files.");

    File("one.txt", "ab\n");
    Run();
    EXPECT_EQ(statuses.back(), "Found 1 occurence in 1 file.");

    File("sub/two.txt", "ab ab\n");
    const engine::TSearchTotals t = Run();
    EXPECT_EQ(t.OccurenceCount, 3);
    EXPECT_EQ(t.FileCount, 2);
    EXPECT_EQ(statuses.back(), "Found 3 occurences in 2 files.");
}

TEST_F(RunTest, SummaryOfAReplacement) {
    request.DoSearch = true;
    request.DoReplace = true;
    request.SearchText = "ab";
    request.ReplaceText = "X";
    File("one.txt", "ab\n");
    Run();
    EXPECT_EQ(statuses.back(), "Made 1 replacement in 1 file.");
    EXPECT_EQ(ReadAll(P("one.txt")), "X\n");

    File("two.txt", "ab ab\n");
    File("three.txt", "ab\n");
    Run();
    EXPECT_EQ(statuses.back(), "Made 3 replacements in 2 files.");
}

TEST_F(RunTest, EachRunStartsFromAnEmptyTree) {
    File("a.txt");
    File("sub/b.txt");
    const auto before = model::TResultObject::LiveCount();
    Run();
    const int nodes = tree.Count();
    const auto live = model::TResultObject::LiveCount();
    EXPECT_EQ(live - before, nodes);

    Run();
    EXPECT_EQ(tree.Count(), nodes);
    EXPECT_EQ(tree.RootCount(), 1);
    // The first run's objects were freed, not kept beside the second run's.
    EXPECT_EQ(model::TResultObject::LiveCount(), live);
}

TEST_F(RunTest, RegexReplacementEscapesAreTranslatedPlainOnesAreNot) {
    request.DoSearch = true;
    request.DoReplace = true;
    request.SearchText = "ab";
    request.ReplaceText = "a\\tb";
    File("plain.txt", "ab\n");
    Run();
    EXPECT_EQ(ReadAll(P("plain.txt")), "a\\tb\n");

    request.UseRegex = true;
    File("plain.txt", "ab\n");
    Run();
    EXPECT_EQ(ReadAll(P("plain.txt")), "a\tb\n");
    // The caller's request keeps the text as typed.
    EXPECT_EQ(request.ReplaceText, "a\\tb");
}

TEST_F(RunTest, BadPatternEndsTheRunWithoutASummary) {
    request.DoSearch = true;
    request.UseRegex = true;
    request.SearchText = "(";
    File("a.txt", "x\n");

    EXPECT_THROW(Run(), std::exception);
    ASSERT_FALSE(statuses.empty());
    // The status line keeps the folder text.
    EXPECT_EQ(statuses.back(), " " + root_ + "/*.*");
    EXPECT_EQ(tree.Count(), 1);
}

TEST_F(RunTest, AbortedRunReportsWhatItCounted) {
    File("a.txt");
    File("b.txt");
    File("sub/c.txt");
    onPump = [this]() { engine_->Aborted = true; };

    const engine::TSearchTotals t = Run();

    // Abort at the start folder: no sub-folder entered, the first own file still searched.
    EXPECT_EQ(t.FileCount, 1);
    EXPECT_EQ(statuses.back(), "1 file found.");
    EXPECT_EQ(tree.Count(), 2);
}

TEST_F(RunTest, NoStartFolderSummarisesZero) {
    request.StartFolder.clear();
    request.DoSearch = true;
    request.SearchText = "x";

    Run();

    EXPECT_EQ(messages, std::vector<std::string>{"Cannot change to directory: "});
    EXPECT_EQ(statuses.back(), "Found 0 occurences in 0 files.");
    EXPECT_EQ(tree.Count(), 0);
}
