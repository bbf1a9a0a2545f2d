#include "OpsTestSupport.h"
#include "operations/UShellCommands.h"

#include <gtest/gtest.h>

using namespace opstest;

namespace {

struct TShellTree {
    model::TResultTree tree;
    model::TTreeNode* root = nullptr;
    model::TTreeNode* sub = nullptr;
    model::TTreeNode* file = nullptr;
    model::TTreeNode* occ = nullptr;

    TShellTree() {
        TTreeBuilder b(tree);
        root = b.Folder(nullptr, "/home/u/My Work", "/home/u/My Work/");
        sub = b.Folder(root, "sub dir", "/home/u/My Work/sub dir/");
        file = b.File(sub, "/home/u/My Work/sub dir/notes and more.txt");
        occ = b.Occurence(file, 3, 5, "text");
    }
};

} // namespace

TEST(ShellCommands, ExploreByNodeKind) {
    TShellTree t;
    TRecordingShell shell;
    operations::ExploreFolder(t.root, shell);
    operations::ExploreFolder(t.sub, shell);
    operations::ExploreFolder(t.file, shell);
    operations::ExploreFolder(t.occ, shell);
    operations::ExploreFolder(nullptr, shell);
    EXPECT_EQ(shell.Calls,
              (std::vector<std::string>{
                  "folder|/home/u/My Work/|",
                  "folder|/home/u/My Work/sub dir/|",
                  "folder|/home/u/My Work/sub dir/|/home/u/My Work/sub dir/notes and more.txt",
                  "folder|/home/u/My Work/sub dir/|/home/u/My Work/sub dir/notes and more.txt",
              }));
}

TEST(ShellCommands, OpenAndViewActOnTheFileOfFileAndOccurrenceNodes) {
    TShellTree t;
    TRecordingShell shell;
    for (model::TTreeNode* n :
         {t.root, t.sub, t.file, t.occ, static_cast<model::TTreeNode*>(nullptr)}) {
        operations::ShellOpenFile(n, shell);
        operations::ViewInTextEditor(n, shell);
    }
    const std::string path = "/home/u/My Work/sub dir/notes and more.txt";
    EXPECT_EQ(shell.Calls, (std::vector<std::string>{"document|" + path, "editor|" + path,
                                                     "document|" + path, "editor|" + path}));
}

TEST(ShellCommands, ShellFailuresAreIgnored) {
    TShellTree t;
    TRecordingShell shell;
    shell.Result = false;
    operations::ExploreFolder(t.occ, shell);
    operations::ShellOpenFile(t.occ, shell);
    operations::ViewInTextEditor(t.occ, shell);
    operations::OpenHomepage(shell);
    EXPECT_EQ(shell.Calls.size(), 4u);
}

TEST(ShellCommands, HelpFileAndItsMessage) {
    EXPECT_EQ(operations::HelpFilePath("/opt/fernsweep/"), "/opt/fernsweep/help/index.html");
    EXPECT_EQ(operations::HelpFilePath("/opt/fernsweep"), "/opt/fernsweep/help/index.html");
    TRecordingShell shell;
    TScriptedUi ui;
    operations::OpenQuickHelp(shell, ui, "/opt/fernsweep/");
    EXPECT_EQ(shell.Calls, std::vector<std::string>{"document|/opt/fernsweep/help/index.html"});
    EXPECT_TRUE(ui.Messages.empty());
    shell.Result = false;
    operations::OpenQuickHelp(shell, ui, "/opt/fernsweep/");
    EXPECT_EQ(ui.Messages, std::vector<std::string>{
                               "Help file not found at:\r\n/opt/fernsweep/help/index.html"});
}

TEST(ShellCommands, MissingHelpFileWithTheDesktopShell) {
    // The real shell says so before starting anything.
    TTempDir dir;
    const auto shell = platform::CreateDesktopShell();
    TScriptedUi ui;
    operations::OpenQuickHelp(*shell, ui, dir.Dir());
    EXPECT_EQ(ui.Messages, std::vector<std::string>{"Help file not found at:\r\n" + dir.Dir() +
                                                    "help/index.html"});
}

TEST(ShellCommands, WebAddresses) {
    TRecordingShell shell;
    operations::OpenHomepage(shell);
    operations::CheckForUpdates(shell);
    operations::OpenRegExSyntaxPage(shell);
    const std::string home = operations::kHomepageUrl;
    ASSERT_EQ(home.back(), '/');
    const std::string site = home.substr(0, home.size() - 1);
    EXPECT_EQ(shell.Calls,
              (std::vector<std::string>{"url|" + home, "url|" + site + "/utils_6.asp?version=v0.95",
                                        "url|" + site + "/TRegExpr/Help/RegExp_Syntax.html"}));
    EXPECT_STREQ(operations::kProductNameVersion, "Fernsweep v0.95");
}
