// A scratch folder tree and an engine whose hooks record what the walk reports.
#pragma once

#include "DeepChain.h"
#include "engine/UTSearchEngine.h"
#include "model/UTResultTree.h"
#include "platform/UFolderHandle.h"
#include "platform/UPlatform.h"
#include "settings/UTSearchOptions.h"

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace walktest {

namespace fs = std::filesystem;

// Filter values: the file must have the attribute, or must not.
constexpr int kSet = 1;
constexpr int kUnset = 2;

class WalkTest : public ::testing::Test {
protected:
    void SetUp() override {
        oldCwd_ = platform::GetCurrentDir();
        // A fixed parent, so that the start folder's parent is known and is not the cwd.
        base_ = fs::temp_directory_path() /
                ("fs-walk-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(base_);
        root_ = (base_ / "start").string();
        fs::create_directories(root_);
        engine::TSearchHooks hooks;
        hooks.ShowStatus = [this](const std::string& s) { statuses.push_back(s); };
        hooks.ShowProgress = [this](double f) { progress.push_back(f); };
        hooks.ShowMessage = [this](const std::string& s) { messages.push_back(s); };
        hooks.PumpMessages = [this]() {
            ++pumps;
            if (onPump) {
                onPump();
            }
        };
        engine_ = std::make_unique<engine::TSearchEngine>(hooks, tree);
        request.StartFolder = root_;
        request.Masks = {"*.*"};
        request.Recurse = true;
        request.Options = &options;
    }
    void TearDown() override {
        platform::SetCurrentDir(oldCwd_);
        // rm copes with trees deeper than the longest path a single call can take.
        const std::string rm = "rm -rf '" + base_.string() + "'";
        EXPECT_EQ(std::system(rm.c_str()), 0);
    }

    // Paths relative to the start folder.
    std::string P(const std::string& rel) const { return root_ + "/" + rel; }
    void Dir(const std::string& rel) const { fs::create_directories(P(rel)); }
    void File(const std::string& rel, const std::string& content = "x") const {
        fs::create_directories(fs::path(P(rel)).parent_path());
        std::ofstream(P(rel), std::ios::binary) << content;
    }
    // A file too deep to open by its absolute path, at the end of `levels` folders under `rel`.
    void DeepChain(const std::string& rel, int levels, const std::string& file) const {
        Dir(rel);
        testsupport::MakeDeepChain(P(rel), levels, file);
    }
    // The order in which the walk takes a folder's entries.
    std::vector<std::string> Listing(const std::string& rel) const {
        std::vector<std::string> out;
        const auto dir = platform::TFolderHandle::OpenPath(rel.empty() ? root_ : P(rel));
        for (const platform::TFolderEntry& e : platform::ListFolder(dir)) {
            out.push_back(e.Name);
        }
        return out;
    }

    engine::TSearchTotals Walk() {
        engine_->Aborted = false;
        engine_->DoneFraction = 0.0;
        return engine_->SearchFolder(request, request.StartFolder, nullptr, 1.0);
    }
    engine::TSearchTotals Run() {
        engine_->Aborted = false;
        engine_->DoneFraction = 0.0;
        return engine_->RunSearch(request);
    }

    // The captions of a node's children, in order.
    static std::vector<std::string> Children(const model::TTreeNode* n) {
        std::vector<std::string> out;
        for (int i = 0; i < n->Count(); ++i) {
            out.push_back(n->Item(i)->Caption());
        }
        return out;
    }
    // The child of `n` whose caption starts with `name` followed by the end or " - ".
    static model::TTreeNode* Child(const model::TTreeNode* n, const std::string& name) {
        for (int i = 0; i < n->Count(); ++i) {
            const std::string c = n->Item(i)->Caption();
            if (c == name || c.rfind(name + " - ", 0) == 0) {
                return n->Item(i);
            }
        }
        return nullptr;
    }

    model::TResultTree tree;
    settings::TSearchOptions options;
    engine::TSearchRequest request;
    std::unique_ptr<engine::TSearchEngine> engine_;
    std::vector<std::string> statuses;
    std::vector<double> progress;
    std::vector<std::string> messages;
    int pumps = 0;
    std::function<void()> onPump;

    fs::path base_;
    std::string root_;
    std::string oldCwd_;
};

} // namespace walktest
