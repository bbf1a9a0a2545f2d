// Parsing fernsweep-cli's arguments and forming its output lines.
#include "cli/UCliManual.h"
#include "cli/UCliOptions.h"
#include "cli/UCliReport.h"
#include "model/UTFile.h"
#include "model/UTFolder.h"
#include "model/UTOccurence.h"
#include "model/UTResultTree.h"

#include <gtest/gtest.h>

using cli::ParseCliArguments;
using cli::TCliAction;
using cli::TCliOptions;

namespace {

struct Parsed {
    TCliAction action;
    TCliOptions options;
    std::string error;
};

Parsed Parse(std::vector<std::string> args) {
    Parsed p;
    p.action = ParseCliArguments(args, p.options, p.error);
    return p;
}

} // namespace

TEST(CliOptions, DefaultsAreThoseOfAFreshWindow) {
    const Parsed p = Parse({"/tmp"});
    ASSERT_EQ(p.action, TCliAction::Run);
    EXPECT_EQ(p.options.MaskText, "*.*");
    EXPECT_FALSE(p.options.DoSearch);
    EXPECT_FALSE(p.options.DoReplace);
    EXPECT_FALSE(p.options.UseRegex);
    EXPECT_FALSE(p.options.MatchCase);
    EXPECT_TRUE(p.options.Recurse);
    EXPECT_FALSE(p.options.Backup);
    EXPECT_EQ(p.options.Archive + p.options.ReadOnly + p.options.System + p.options.Hidden, 0);
    EXPECT_FALSE(p.options.Tree);
    EXPECT_FALSE(p.options.HasReport);
    EXPECT_EQ(p.options.Folders, std::vector<std::string>{"/tmp"});
}

TEST(CliOptions, ValuesInEveryForm) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"-s", "needle", "-m", "*.c;*.h", "--replace", "pin", "dir"},
             {"-sneedle", "-m*.c;*.h", "--replace=pin", "dir"},
             {"--search=needle", "--mask=*.c;*.h", "--replace=pin", "dir"},
             {"--search", "needle", "--mask", "*.c;*.h", "--replace", "pin", "dir"},
             {"dir", "--search", "needle", "--mask", "*.c;*.h", "--replace", "pin"}}) {
        const Parsed p = Parse(args);
        ASSERT_EQ(p.action, TCliAction::Run) << p.error;
        EXPECT_TRUE(p.options.DoSearch);
        EXPECT_EQ(p.options.SearchText, "needle");
        EXPECT_TRUE(p.options.DoReplace);
        EXPECT_EQ(p.options.ReplaceText, "pin");
        EXPECT_EQ(p.options.MaskText, "*.c;*.h");
        EXPECT_EQ(p.options.Folders, std::vector<std::string>{"dir"});
    }
}

TEST(CliOptions, EmptyTextsAreTextsAndValuesMayLookLikeOptions) {
    Parsed p = Parse({"--search=", "--replace", "", "-m", "", "d"});
    ASSERT_EQ(p.action, TCliAction::Run) << p.error;
    EXPECT_TRUE(p.options.DoSearch);
    EXPECT_EQ(p.options.SearchText, "");
    EXPECT_TRUE(p.options.DoReplace);
    EXPECT_EQ(p.options.ReplaceText, "");
    EXPECT_EQ(p.options.MaskText, "");

    p = Parse({"-s", "-n", "--", "-folder"});
    ASSERT_EQ(p.action, TCliAction::Run) << p.error;
    EXPECT_EQ(p.options.SearchText, "-n");
    EXPECT_TRUE(p.options.Recurse);
    EXPECT_EQ(p.options.Folders, std::vector<std::string>{"-folder"});
}

TEST(CliOptions, FlagsBundleAndAValueEndsTheBundle) {
    const Parsed p = Parse({"-ecnbsfoo", "-"});
    ASSERT_EQ(p.action, TCliAction::Run) << p.error;
    EXPECT_TRUE(p.options.UseRegex);
    EXPECT_TRUE(p.options.MatchCase);
    EXPECT_FALSE(p.options.Recurse);
    EXPECT_TRUE(p.options.Backup);
    EXPECT_EQ(p.options.SearchText, "foo");
    EXPECT_EQ(p.options.Folders, std::vector<std::string>{"-"}); // a lone dash is a name
}

TEST(CliOptions, AttributeFilters) {
    const Parsed p =
        Parse({"--archive=set", "--read-only", "unset", "--system=any", "--hidden=unset", "d"});
    ASSERT_EQ(p.action, TCliAction::Run) << p.error;
    EXPECT_EQ(p.options.Archive, 1);
    EXPECT_EQ(p.options.ReadOnly, 2);
    EXPECT_EQ(p.options.System, 0);
    EXPECT_EQ(p.options.Hidden, 2);

    EXPECT_EQ(Parse({"--hidden=yes", "d"}).action, TCliAction::Error);
    EXPECT_EQ(Parse({"--hidden=Set", "d"}).action, TCliAction::Error);
    EXPECT_EQ(Parse({"d", "--hidden"}).action, TCliAction::Error);
}

TEST(CliOptions, TreeReportAndArgumentBytes) {
    const std::string bytes = "caf\xe9\x01";
    const Parsed p = Parse({"--tree", "--report=out.log", "-s", bytes, bytes});
    ASSERT_EQ(p.action, TCliAction::Run) << p.error;
    EXPECT_TRUE(p.options.Tree);
    EXPECT_TRUE(p.options.HasReport);
    EXPECT_EQ(p.options.ReportFile, "out.log");
    EXPECT_EQ(p.options.SearchText, bytes);
    EXPECT_EQ(p.options.Folders, std::vector<std::string>{bytes});
    EXPECT_EQ(Parse({"--report=", "d"}).action, TCliAction::Error);
}

TEST(CliOptions, TestRegexTakesThreeTextsAndNoFolder) {
    Parsed p = Parse({"--test-regex", "b+", "[$0]", "abbbc"});
    ASSERT_EQ(p.action, TCliAction::TestRegex) << p.error;
    EXPECT_EQ(p.options.Pattern, "b+");
    EXPECT_EQ(p.options.Template, "[$0]");
    EXPECT_EQ(p.options.Sample, "abbbc");

    p = Parse({"--test-regex", "", "", ""});
    EXPECT_EQ(p.action, TCliAction::TestRegex);
    EXPECT_EQ(Parse({"--test-regex", "a", "b"}).action, TCliAction::Error);
    EXPECT_EQ(Parse({"--test-regex", "a", "b", "c", "dir"}).action, TCliAction::Error);
}

TEST(CliOptions, OutputFormsColourAndTheDefaultFolder) {
    Parsed p = Parse({"-l", "--color"});
    ASSERT_EQ(p.action, TCliAction::Run) << p.error;
    EXPECT_EQ(p.options.Output, cli::TOutputKind::Paths);
    EXPECT_EQ(p.options.Color, cli::TColorMode::Auto);
    EXPECT_TRUE(p.options.Folders.empty());
    p = Parse({"--json", "--color=never", "d"});
    EXPECT_EQ(p.options.Output, cli::TOutputKind::Json);
    EXPECT_EQ(p.options.Color, cli::TColorMode::Never);
    EXPECT_EQ(Parse({"--vimgrep", "--color=always"}).options.Color, cli::TColorMode::Always);
    // -r never takes a value: not in a bundle, not alone.
    for (const auto& args :
         std::vector<std::vector<std::string>>{{"-rn"}, {"-nr", "x"}, {"-r", "x"}}) {
        p = Parse(args);
        EXPECT_EQ(p.action, TCliAction::Error);
        EXPECT_NE(p.error.find("--replace=TEXT"), std::string::npos);
    }
}

TEST(CliOptions, HelpAndVersion) {
    EXPECT_EQ(Parse({"-h"}).action, TCliAction::Help);
    EXPECT_EQ(Parse({"--help"}).action, TCliAction::Help);
    EXPECT_EQ(Parse({"-s", "x", "--help", "a", "b"}).action, TCliAction::Help);
    EXPECT_EQ(Parse({"--version"}).action, TCliAction::Version);
    EXPECT_NE(cli::CliUsage().find("--test-regex PATTERN TEMPLATE SAMPLE"), std::string::npos);
}

TEST(CliOptions, WrongArgumentsSayWhy) {
    struct Case {
        std::vector<std::string> args;
        std::string error;
    };
    for (const Case& c : std::vector<Case>{
             {{"--replace=x", "d"}, "'--replace' needs a search text: give it with --search=TEXT"},
             {{"--json", "-l"}, "only one of --vimgrep, --json and -l may be given"},
             {{"--tree", "--vimgrep"}, "'--tree' cannot be combined with --vimgrep, --json or -l"},
             {{"--color=sometimes"},
              "invalid value 'sometimes' for '--color': use auto, always or never"},
             {{"a", "b"}, "only one FOLDER may be given (the text to search for goes with -s)"},
             {{"--bogus", "d"}, "unrecognized option '--bogus'"},
             {{"--tree=1", "d"}, "option '--tree' doesn't allow an argument"},
             {{"-x", "d"}, "invalid option -- 'x'"},
             {{"d", "-s"}, "option requires an argument -- 's'"},
             {{"d", "--mask"}, "option '--mask' requires an argument"},
             {{"--sea=x", "d"}, "unrecognized option '--sea'"},
         }) {
        const Parsed p = Parse(c.args);
        EXPECT_EQ(p.action, TCliAction::Error);
        EXPECT_EQ(p.error, c.error);
    }
}

TEST(CliReport, MessagesBecomeOneLine) {
    EXPECT_EQ(cli::MessageLine("Unable to create file /a/b.txt\r\nFile may be read/only"),
              "Unable to create file /a/b.txt File may be read/only");
    EXPECT_EQ(cli::MessageLine("a\nb\rc"), "a b c");
    EXPECT_EQ(cli::MessageLine("plain"), "plain");
}

namespace {

// start/ (finds) > sub/ (none), a.txt > two occurrences on one line; b.txt found unsearched.
void BuildTree(model::TResultTree& tree) {
    auto folder = std::make_unique<model::TFolder>();
    folder->FolderName = "/r";
    folder->OccurenceCount = 2;
    folder->FileCount = 1;
    auto* start = tree.AddFolder(nullptr, std::move(folder));
    tree.MarkFound(start);
    auto subFolder = std::make_unique<model::TFolder>();
    subFolder->FolderName = "sub";
    tree.AddFolder(start, std::move(subFolder));
    auto file = std::make_unique<model::TFile>();
    file->FullPath = "/r/a.txt";
    file->OccurenceCount = 2;
    auto* f = tree.AddFile(start, std::move(file));
    const auto text = std::make_shared<const std::string>("say \"hi\" [hi]");
    for (int col : {6, 12}) {
        tree.AddOccurence(f, model::TOccurence(text, 0, col, 2));
    }
    auto other = std::make_unique<model::TFile>();
    other->FullPath = "/r/b.txt";
    tree.AddFile(start, std::move(other));
}

std::vector<std::string> Collect(void (*lines)(const model::TResultTree&, const cli::TLineSink&),
                                 const model::TResultTree& tree) {
    std::vector<std::string> out;
    lines(tree, [&out](std::string_view l) { out.emplace_back(l); });
    return out;
}

} // namespace

TEST(CliReport, ReportLinesComeFromFileAndOccurenceNodesOnly) {
    model::TResultTree tree;
    BuildTree(tree);
    EXPECT_EQ(
        Collect(cli::ReportLines, tree),
        (std::vector<std::string>{"/r/a.txt", "    Line: 0, Char: 6, [\"say \"hi\" [hi]\"]",
                                  "    Line: 0, Char: 12, [\"say \"hi\" [hi]\"]", "/r/b.txt"}));
    EXPECT_TRUE(Collect(cli::ReportLines, model::TResultTree()).empty());
}

TEST(CliReport, TreeLinesIndentTwoBlanksPerLevel) {
    model::TResultTree tree;
    BuildTree(tree);
    EXPECT_EQ(Collect(cli::TreeLines, tree),
              (std::vector<std::string>{
                  "2\t/r - 2 occurences in 1 file", "0\t  sub", "4\t  a.txt - 2 occurences",
                  "6\t    Line: 1, Pos: 6, \"say \"hi\" [hi]\"",
                  "6\t    Line: 1, Pos: 12, \"say \"hi\" [hi]\"", "4\t  b.txt"}));
}
