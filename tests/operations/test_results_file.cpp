#include "OpsTestSupport.h"
#include "operations/UResultsFile.h"

#include <gtest/gtest.h>

using namespace opstest;
using operations::TAnswer;

namespace {

std::string Golden(const std::string& name) {
    return ReadFile(std::string(FS_TEST_DATA_DIR) + "/golden/" + name);
}

// A recursive search for "alpha": hits in a sub-folder (added before the start folder's own
// files, as the walk adds them), folders without hits, line texts with quotes, brackets, a
// TAB, a control byte and Greek code-page bytes.
void BuildNestedTree(model::TResultTree& tree) {
    TTreeBuilder b(tree);
    model::TTreeNode* root = b.Folder(nullptr, "/srv/work", "/srv/work/");
    model::TTreeNode* sub = b.Folder(root, "sub", "/srv/work/sub/");
    b.Folder(sub, "deeper", "/srv/work/sub/deeper/", false);
    model::TTreeNode* notes = b.File(sub, "/srv/work/sub/notes.txt");
    b.Occurence(notes, 0, 1, "alpha beta alpha", 5);
    b.Occurence(notes, 0, 12, "alpha beta alpha", 5);
    b.Folder(root, "empty", "/srv/work/empty/", false);
    model::TTreeNode* readme = b.File(root, "/srv/work/readme.txt");
    b.Occurence(readme, 41, 1, "alpha", 5);
    model::TTreeNode* quotes = b.File(root, "/srv/work/quotes \"and\" [brackets].txt");
    b.Occurence(quotes, 2, 7, "say \"alpha\" [x] ['y']", 7);
    b.Occurence(quotes, 4, 3, "a\tb\x01\xe1\xe2\xf2 \\n", 2);
}

} // namespace

TEST(ResultsReport, NestedTreeMatchesGoldenByteForByte) {
    model::TResultTree tree;
    BuildNestedTree(tree);
    TTempDir dir;
    TScriptedUi ui;
    const std::string out = dir / "report.log";
    EXPECT_TRUE(operations::WriteResultsFile(tree, out, ui, nullptr));
    EXPECT_EQ(ReadFile(out), Golden("report_nested.log"));
    ASSERT_EQ(ui.Messages.size(), 1u);
    EXPECT_EQ(ui.Messages[0], "Generated file \"" + out + "\" (8 lines)");
}

TEST(ResultsReport, FileNodesWithoutOccurrencesGiveFileLinesOnly) {
    model::TResultTree tree;
    TTreeBuilder b(tree);
    model::TTreeNode* root = b.Folder(nullptr, "/srv/plain", "/srv/plain/");
    model::TTreeNode* sub = b.Folder(root, "sub", "/srv/plain/sub/");
    b.File(sub, "/srv/plain/sub/b.dat");
    b.File(root, "/srv/plain/a.txt");
    TTempDir dir;
    TScriptedUi ui;
    const std::string out = dir / "plain.log";
    EXPECT_TRUE(operations::WriteResultsFile(tree, out, ui, nullptr));
    EXPECT_EQ(ReadFile(out), Golden("report_files_only.log"));
    EXPECT_EQ(ui.Messages.at(0), "Generated file \"" + out + "\" (2 lines)");
}

TEST(ResultsReport, CollectResultLinesWalksPreOrderFromAnyNode) {
    model::TResultTree tree;
    BuildNestedTree(tree);
    std::vector<std::string> lines;
    operations::CollectResultLines(tree.First(), lines);
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[0], "/srv/work/sub/notes.txt");
    EXPECT_EQ(lines[1], "    Line: 0, Char: 1, [\"alpha beta alpha\"]");
    EXPECT_EQ(lines[3], "/srv/work/readme.txt");
    EXPECT_EQ(lines[5], "/srv/work/quotes \"and\" [brackets].txt");
    EXPECT_EQ(lines[6], "    Line: 2, Char: 7, [\"say \"alpha\" [x] ['y']\"]");

    // Lines are appended: an existing list keeps its entries, a subtree gives its own lines.
    std::vector<std::string> more{"kept"};
    operations::CollectResultLines(tree.Item(1), more); // the "sub" folder
    ASSERT_EQ(more.size(), 4u);
    EXPECT_EQ(more[0], "kept");
    EXPECT_EQ(more[1], "/srv/work/sub/notes.txt");
    operations::CollectResultLines(nullptr, more);
    EXPECT_EQ(more.size(), 4u);
}

TEST(ResultsReport, OneLineReportStillSaysLines) {
    model::TResultTree tree;
    TTreeBuilder b(tree);
    b.File(b.Folder(nullptr, "/r", "/r/"), "/r/only.txt");
    TTempDir dir;
    TScriptedUi ui;
    const std::string out = dir / "one.log";
    operations::WriteResultsFile(tree, out, ui, nullptr);
    EXPECT_EQ(ui.Messages.at(0), "Generated file \"" + out + "\" (1 lines)");
    EXPECT_EQ(ReadFile(out), "/r/only.txt\r\n");
}

TEST(ResultsReport, FailureInsteadOfSuccessMessageAndOldReportKept) {
    model::TResultTree tree;
    BuildNestedTree(tree);
    TTempDir dir;
    {
        // A folder where the file should be: it cannot be created.
        TScriptedUi ui;
        ASSERT_TRUE(platform::ForceDirectories(dir / "taken.log"));
        EXPECT_FALSE(operations::WriteResultsFile(tree, dir / "taken.log", ui, nullptr));
        EXPECT_EQ(ui.Messages, (std::vector<std::string>{"Cannot generate file \"" +
                                                         (dir / "taken.log") + "\""}));
    }
    {
        // A missing folder on the way.
        TScriptedUi ui;
        EXPECT_FALSE(operations::WriteResultsFile(tree, dir / "no/such/r.log", ui, nullptr));
        EXPECT_EQ(ui.Messages.size(), 1u);
        EXPECT_FALSE(platform::FileExists(dir / "no/such/r.log"));
    }
    {
        // A failure part-way (here: collapsing the tree) leaves an earlier report as it was.
        TScriptedUi ui;
        WriteFile(dir / "old.log", "old report\r\n");
        EXPECT_FALSE(operations::WriteResultsFile(tree, dir / "old.log", ui,
                                                  [] { throw std::runtime_error("view gone"); }));
        EXPECT_EQ(ui.Messages,
                  (std::vector<std::string>{"Cannot generate file \"" + (dir / "old.log") + "\""}));
        EXPECT_EQ(ReadFile(dir / "old.log"), "old report\r\n");
    }
}

TEST(ResultsReport, NoTemporaryFileLeftBeside) {
    model::TResultTree tree;
    BuildNestedTree(tree);
    TTempDir dir;
    TScriptedUi ui;
    operations::WriteResultsFile(tree, dir / "r.log", ui, nullptr);
    operations::WriteResultsFile(tree, dir / "r.log", ui, nullptr);
    platform::TDirEnumerator e(dir.Path());
    std::vector<std::string> names;
    while (e.Next()) {
        if (e.Name() != "." && e.Name() != "..") {
            names.push_back(e.Name());
        }
    }
    EXPECT_EQ(names, std::vector<std::string>{"r.log"});
}

// The command, driven through the scripted user.

TEST(GenerateResultsTextFile, FewerThanTwoNodesHasNothingToSave) {
    for (int nodes = 0; nodes < 2; ++nodes) {
        model::TResultTree tree;
        if (nodes == 1) {
            TTreeBuilder(tree).Folder(nullptr, "/r", "/r/", false);
        }
        TScriptedUi ui;
        std::string saveDir = "/keep/";
        operations::GenerateResultsTextFile(tree, ui, saveDir, nullptr);
        EXPECT_EQ(ui.Messages, std::vector<std::string>{
                                   "Nothing to Save. Please perform a search to get some results"});
        EXPECT_TRUE(ui.SaveDialogFolders.empty());
        EXPECT_EQ(saveDir, "/keep/");
    }
}

TEST(GenerateResultsTextFile, EmptyHitRecursiveSearchGivesEmptyReport) {
    model::TResultTree tree;
    TTreeBuilder b(tree);
    model::TTreeNode* root = b.Folder(nullptr, "/r", "/r/", false);
    b.Folder(b.Folder(root, "a", "/r/a/", false), "b", "/r/a/b/", false);
    TTempDir dir;
    TScriptedUi ui;
    ui.SaveChoices.push_back({true, dir / "empty.log"});
    std::string saveDir = "/start/";
    int collapsed = 0;
    operations::GenerateResultsTextFile(tree, ui, saveDir, [&] { ++collapsed; });
    EXPECT_EQ(ui.SaveDialogFolders, std::vector<std::string>{"/start/"});
    EXPECT_EQ(ui.Messages,
              std::vector<std::string>{"Generated file \"" + (dir / "empty.log") + "\" (0 lines)"});
    EXPECT_TRUE(ui.Questions.empty());
    EXPECT_EQ(ReadFile(dir / "empty.log"), "");
    EXPECT_EQ(collapsed, 1);
    EXPECT_EQ(saveDir, dir.Dir());
}

TEST(GenerateResultsTextFile, CancelLeavesEverythingAlone) {
    model::TResultTree tree;
    BuildNestedTree(tree);
    TScriptedUi ui;
    ui.SaveChoices.push_back({false, ""});
    std::string saveDir = "/start/";
    int collapsed = 0;
    operations::GenerateResultsTextFile(tree, ui, saveDir, [&] { ++collapsed; });
    EXPECT_TRUE(ui.Messages.empty());
    EXPECT_EQ(saveDir, "/start/");
    EXPECT_EQ(collapsed, 0);
}

TEST(GenerateResultsTextFile, OverwriteQuestionNoKeepsFileAndSaveDir) {
    model::TResultTree tree;
    BuildNestedTree(tree);
    TTempDir dir;
    WriteFile(dir / "exists.log", "precious");
    TScriptedUi ui;
    ui.SaveChoices.push_back({true, dir / "exists.log"});
    ui.Answers.push_back(TAnswer::No);
    std::string saveDir = "/start/";
    operations::GenerateResultsTextFile(tree, ui, saveDir, nullptr);
    EXPECT_EQ(ui.Questions, std::vector<std::string>{"File exists. Overwrite?"});
    EXPECT_TRUE(ui.Messages.empty());
    EXPECT_EQ(ReadFile(dir / "exists.log"), "precious");
    EXPECT_EQ(saveDir, "/start/");
}

TEST(GenerateResultsTextFile, OverwriteQuestionYesReplacesFile) {
    model::TResultTree tree;
    BuildNestedTree(tree);
    TTempDir dir;
    WriteFile(dir / "exists.log", "precious");
    TScriptedUi ui;
    ui.SaveChoices.push_back({true, dir / "exists.log"});
    ui.Answers.push_back(TAnswer::Yes);
    std::string saveDir;
    operations::GenerateResultsTextFile(tree, ui, saveDir, nullptr);
    EXPECT_EQ(ReadFile(dir / "exists.log"), Golden("report_nested.log"));
    EXPECT_EQ(saveDir, dir.Dir());
}

TEST(GenerateResultsTextFile, FailedWriteStillMovesSaveDir) {
    model::TResultTree tree;
    BuildNestedTree(tree);
    TTempDir dir;
    const std::string name = dir / "missing/report.log";
    TScriptedUi ui;
    ui.SaveChoices.push_back({true, name});
    std::string saveDir = "/start/";
    operations::GenerateResultsTextFile(tree, ui, saveDir, nullptr);
    EXPECT_EQ(ui.Messages, std::vector<std::string>{"Cannot generate file \"" + name + "\""});
    EXPECT_EQ(saveDir, dir / "missing/");
    // The next dialog opens there.
    ui.SaveChoices.push_back({false, ""});
    operations::GenerateResultsTextFile(tree, ui, saveDir, nullptr);
    EXPECT_EQ(ui.SaveDialogFolders.back(), dir / "missing/");
}
