// A preview writes nothing; applying every change it found gives exactly what a replacement run
// writes; applying some keeps the others' matched text; a file changed after the preview is
// not written.
#include "FileBytes.h"
#include "ScratchFolder.h"
#include "engine/UApplyChanges.h"
#include "engine/UStreamSearch.h"
#include "engine/UTSearchEngine.h"
#include "model/UTFile.h"
#include "model/UTResultTree.h"
#include "platform/UFolderHandle.h"
#include "platform/UPlatform.h"
#include "settings/UTSearchOptions.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <random>
#include <sstream>

namespace fs = std::filesystem;

using testsupport::ReadAll;
using testsupport::WriteAll;

namespace {

struct TState {
    std::string Content;
    platform::TFileIdentity Identity; // the file itself and its modification time
};

// Every file below `root` by its path below it.
std::map<std::string, TState> Snapshot(const fs::path& root) {
    std::map<std::string, TState> out;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        if (e.is_regular_file()) {
            const platform::TFolderHandle folder =
                platform::TFolderHandle::OpenPath(e.path().parent_path().string());
            out[fs::relative(e.path(), root).string()] = {
                ReadAll(e.path()), platform::IdentityAt(folder, e.path().filename().string())};
        }
    }
    return out;
}

std::map<std::string, std::string> Contents(const fs::path& root) {
    std::map<std::string, std::string> out;
    for (const auto& [name, state] : Snapshot(root)) {
        out[name] = state.Content;
    }
    return out;
}

class PreviewApply : public ::testing::Test {
protected:
    void SetUp() override { dir_ = MakeScratchFolder("fs-preview-"); }
    void TearDown() override {
        engine::SetStreamWindow(0);
        fs::remove_all(dir_);
    }

    engine::TSearchRequest Request(const fs::path& root, const std::string& search,
                                   const std::string& replace, bool regex) {
        engine::TSearchRequest r;
        r.StartFolder = root.string() + platform::PathDelimStr;
        r.Masks = {"*"};
        r.SearchText = search;
        r.ReplaceText = replace;
        r.DoSearch = true;
        r.DoReplace = true;
        r.UseRegex = regex;
        r.MatchCase = true;
        r.Recurse = true;
        r.Options = &options_;
        return r;
    }

    // Runs `request` over its start folder into `tree`; gives the messages shown.
    std::string Run(const engine::TSearchRequest& request, model::TResultTree& tree) {
        std::string messages;
        engine::TSearchHooks hooks;
        hooks.ShowMessage = [&messages](const std::string& m) { messages += m + "\n"; };
        engine::TSearchEngine engine(hooks, tree);
        engine.StartRun(request);
        return messages;
    }

    engine::TApplyTotals Apply(const engine::TSearchRequest& request,
                               const model::TResultTree& tree, std::string* messages = nullptr) {
        engine::TSearchHooks hooks;
        hooks.ShowMessage = [messages](const std::string& m) {
            if (messages != nullptr) {
                *messages += m + "\n";
            }
        };
        return engine::ApplyChanges(request, tree, hooks);
    }

    static std::vector<model::TTreeNode*> FileNodes(const model::TResultTree& tree) {
        std::vector<model::TTreeNode*> out;
        tree.ForEach([&out](model::TTreeNode& n) {
            if (n.IsFile()) {
                out.push_back(&n);
            }
        });
        return out;
    }

    void ChangedAfterPreview();

    fs::path dir_;
    settings::TSearchOptions options_;
};

// Random files of short pieces, so matches crowd lines, meet line breaks of every kind and the
// file's end.
void LayTree(const fs::path& root, std::mt19937& rng) {
    static const char* const kPieces[] = {"foo",  "fo", "o",  "f",   "x",    " ",  "\n",
                                          "\r\n", "\r", "oo", "a=1", "b=22", "FOO"};
    fs::create_directories(root / "sub");
    for (int f = 0; f < 8; ++f) {
        std::string content;
        const int n = static_cast<int>(rng() % 120);
        for (int i = 0; i < n; ++i) {
            content += kPieces[rng() % std::size(kPieces)];
        }
        WriteAll(root / (f % 2 == 0 ? "sub" : ".") / ("f" + std::to_string(f) + ".txt"), content);
    }
}

TEST_F(PreviewApply, PreviewWritesNothingAndApplyingAllEqualsAReplacementRun) {
    struct TCase {
        std::string Search, Replace;
        bool Regex;
    };
    const TCase cases[] = {
        {"foo", "BAR", false},           {"oo", "", false},  {"o", "o\r\n", false},
        {"f(o+)", "<$1>", true},         {"o$", "$$", true}, {"o\\s+f", "-", true},
        {"(\\w)=(\\d+)", "$2=$1", true}, {"x.", "", true},   {"^", ">", true},
    };
    std::mt19937 rng(1234);
    int files = 0;
    for (const size_t window : {size_t{0}, size_t{7}}) {
        engine::SetStreamWindow(window); // 7: every file is read a few bytes at a time
        for (const TCase& c : cases) {
            SCOPED_TRACE(c.Search + " window " + std::to_string(window));
            const fs::path direct = dir_ / "direct";
            const fs::path previewed = dir_ / "previewed";
            fs::remove_all(direct);
            fs::remove_all(previewed);
            LayTree(direct, rng);
            fs::copy(direct, previewed, fs::copy_options::recursive);

            model::TResultTree replaced;
            Run(Request(direct, c.Search, c.Replace, c.Regex), replaced);

            engine::TSearchRequest request = Request(previewed, c.Search, c.Replace, c.Regex);
            request.Preview = true;
            request.MakeBackups = true;
            const auto before = Snapshot(previewed);
            model::TResultTree tree;
            Run(request, tree);
            const auto after = Snapshot(previewed);
            ASSERT_EQ(before.size(), after.size()) << "a preview made files";
            for (const auto& [name, state] : before) {
                EXPECT_EQ(after.at(name).Content, state.Content) << name;
                EXPECT_TRUE(after.at(name).Identity == state.Identity) << name;
            }
            for (const model::TTreeNode* n : FileNodes(tree)) {
                ASSERT_TRUE(n->File()->Change) << n->File()->FullPath;
                EXPECT_EQ(n->File()->Change->Edits.size(), static_cast<size_t>(n->Count()));
            }
            request.Preview = false;
            request.MakeBackups = false;
            Apply(request, tree);
            EXPECT_EQ(Contents(previewed), Contents(direct));
            files += static_cast<int>(FileNodes(tree).size());
        }
    }
    EXPECT_GT(files, 50);
}

// The slow way: the needle's finds left to right, each replaced or kept as chosen.
std::string ReplaceChosen(const std::string& text, const std::string& needle, const std::string& by,
                          const std::vector<std::uint8_t>& chosen) {
    std::string out;
    size_t at = 0;
    size_t k = 0;
    for (size_t hit = text.find(needle); hit != std::string::npos;
         hit = text.find(needle, at), ++k) {
        out += text.substr(at, hit - at);
        out += k < chosen.size() && chosen[k] != 0 ? by : needle;
        at = hit + needle.size();
    }
    return out + text.substr(at);
}

TEST_F(PreviewApply, ApplyingSomeChangesKeepsTheUntickedMatches) {
    // Several finds per line, each chosen or not at random, against the slow way.
    std::mt19937 rng(99);
    for (int round = 0; round < 20; ++round) {
        engine::SetStreamWindow(round % 2 == 0 ? 0 : 5); // odd rounds apply a piece at a time
        const fs::path root = dir_ / ("r" + std::to_string(round));
        LayTree(root, rng);
        const auto original = Contents(root);
        engine::TSearchRequest request = Request(root, "fo", "[fo]", false);
        request.Preview = true;
        model::TResultTree tree;
        Run(request, tree);
        std::map<std::string, std::vector<std::uint8_t>> chosen;
        for (model::TTreeNode* n : FileNodes(tree)) {
            model::TFileChange& change = *n->File()->Change;
            for (auto& c : change.Chosen) {
                c = static_cast<std::uint8_t>(rng() % 2);
            }
            chosen[fs::relative(n->File()->FullPath, root).string()] = change.Chosen;
        }
        request.Preview = false;
        Apply(request, tree);
        for (const auto& [name, content] : Contents(root)) {
            EXPECT_EQ(content, ReplaceChosen(original.at(name), "fo", "[fo]", chosen[name]))
                << name;
        }
    }
    engine::SetStreamWindow(0);
    // A pattern with groups: the second of three matches on one line kept.
    WriteAll(dir_ / "pairs.txt", "a=1 b=2 c=3\nd=4\n");
    engine::TSearchRequest request = Request(dir_, "(\\w)=(\\d)", "$2=$1", true);
    request.Masks = {"pairs.txt"};
    request.Preview = true;
    model::TResultTree tree;
    Run(request, tree);
    ASSERT_EQ(FileNodes(tree).size(), 1u);
    model::TFileChange& change = *FileNodes(tree)[0]->File()->Change;
    ASSERT_EQ(change.Edits.size(), 4u);
    change.Chosen[1] = 0;
    EXPECT_EQ(model::LineAfter("a=1 b=2 c=3", change, 2), "1=a b=2 3=c");
    request.Preview = false;
    EXPECT_EQ(Apply(request, tree).Occurences, 3);
    EXPECT_EQ(ReadAll(dir_ / "pairs.txt"), "1=a b=2 3=c\n4=d\n");
}

TEST_F(PreviewApply, AFileChangedAfterThePreviewIsRefusedAndTheOthersWritten) {
    for (const size_t window : {size_t{0}, size_t{3}}) {
        engine::SetStreamWindow(window); // 3: each file applied a piece at a time
        ChangedAfterPreview();
    }
}

void PreviewApply::ChangedAfterPreview() {
    WriteAll(dir_ / "a.txt", "old a\n");
    WriteAll(dir_ / "b.txt", "old b\n");
    WriteAll(dir_ / "c.txt", "old c\n");
    engine::TSearchRequest request = Request(dir_, "old", "new", false);
    request.Preview = true;
    model::TResultTree tree;
    Run(request, tree);
    // Same size, same second: only the content tells.
    WriteAll(dir_ / "b.txt", "OLD b\n");
    request.Preview = false;
    std::string messages;
    const engine::TApplyTotals totals = Apply(request, tree, &messages);
    EXPECT_EQ(totals.Files, 2);
    EXPECT_EQ(totals.Changed, 1);
    ASSERT_EQ(totals.NotWritten.size(), 1u);
    EXPECT_NE(totals.NotWritten[0].find("b.txt"), std::string::npos);
    EXPECT_NE(messages.find("b.txt\r\nThe file was changed after the preview"), std::string::npos)
        << messages;
    EXPECT_EQ(ReadAll(dir_ / "a.txt"), "new a\n");
    EXPECT_EQ(ReadAll(dir_ / "b.txt"), "OLD b\n");
    EXPECT_EQ(ReadAll(dir_ / "c.txt"), "new c\n");
}

} // namespace
