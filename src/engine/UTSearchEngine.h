// The search engine: walks folders, searches and replaces in files, fills the result tree.
// It knows nothing of who shows its results; everything goes through TSearchHooks.
#pragma once

#include "UFileSelection.h"
#include "UTSearchRequest.h"

#include <memory>
#include <string>

namespace model {
class TResultTree;
class TTreeNode;
} // namespace model

namespace engine {

class TFileSearcher;

class TSearchEngine {
public:
    TSearchEngine(TSearchHooks hooks, model::TResultTree& tree);
    ~TSearchEngine();
    TSearchEngine(const TSearchEngine&) = delete;
    TSearchEngine& operator=(const TSearchEngine&) = delete;

    bool Aborted = false;
    double DoneFraction = 0.0;

    // Passes DoneFraction to the progress hook.
    void UpdateProgress();

    // One whole run: prepares the replacement, clears the tree, walks the start folder and
    // writes the summary line. Errors the walk does not handle (an unreadable file, a bad
    // pattern) propagate to the caller.
    TSearchTotals RunSearch(const TSearchRequest& request);

    // Walks one folder: the start folder (an absolute path, parent null, share 1.0) or a
    // sub-folder of the current directory (its bare name).
    TSearchTotals SearchFolder(const TSearchRequest& request, const std::string& folderName,
                               model::TTreeNode* parent, double share);

    // Handles one selected file; gives its occurrence count (1 when content is not searched).
    int SearchFile(const TSearchRequest& request, const std::string& fullPath,
                   model::TTreeNode* folderNode);

    // Forgets what was prepared for the previous run (compiled pattern, prepared texts).
    void BeginRun();

    // What became of every entry the last run looked at, and the failures it went on after.
    const TRunAccount& Account() const { return account_; }
    // Records a failure the run goes on after and reports it through the hook.
    void NoteFailure(const std::string& text);

    const TSearchHooks& Hooks() const { return hooks_; }
    model::TResultTree& Tree() { return tree_; }

private:
    TSearchHooks hooks_;
    model::TResultTree& tree_;
    std::unique_ptr<TFileSearcher> searcher_;
    TRunAccount account_;
};

} // namespace engine
