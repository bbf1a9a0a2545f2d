// The search engine: walks folders, searches and replaces in files, fills the result tree.
// It knows nothing of who shows its results; everything goes through TSearchHooks.
#pragma once

#include "engine/UFileSelection.h"
#include "engine/USeenFiles.h"
#include "engine/UTSearchRequest.h"
#include "platform/UFolderHandle.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace model {
class TFile;
class TFolder;
class TResultTree;
class TTreeNode;
} // namespace model

namespace engine {

class TFileSearcher;
class TFileWorkers;
struct TFileFacts;
struct TFileTask;

class TSearchEngine {
public:
    TSearchEngine(TSearchHooks hooks, model::TResultTree& tree);
    ~TSearchEngine();
    TSearchEngine(const TSearchEngine&) = delete;
    TSearchEngine& operator=(const TSearchEngine&) = delete;

    bool Aborted = false;
    double DoneFraction = 0.0;
    // Threads that read and search files ahead of the walk: 0 for one per hardware thread, 1
    // for none (the calling thread does everything).
    int Threads = 0;
    // False leaves reading and searching files to the threads alone, so no big file holds the
    // calling thread: it waits for them calling KeepResponsive. For a window.
    bool CallingThreadReads = true;
    // For tests: called with a sub-folder's path just before the walk opens it.
    std::function<void(const std::string&)> OnEnterFolder;

    // Passes DoneFraction to the progress hook.
    void UpdateProgress();

    // What a front end calls for one run: clears Aborted and DoneFraction, shows the progress
    // at 0, then runs.
    TSearchTotals StartRun(const TSearchRequest& request);

    // One whole run: prepares the replacement, clears the tree, walks the start folder and
    // writes the summary line. Errors the walk does not handle (an unreadable file, a bad
    // pattern) propagate to the caller.
    TSearchTotals RunSearch(const TSearchRequest& request);

    // Walks the start folder `folderName` (an absolute path) with its share of the progress.
    TSearchTotals SearchFolder(const TSearchRequest& request, const std::string& folderName,
                               model::TTreeNode* parent, double share);

    // Handles one selected file given by its path; gives its occurrence count (1 when content
    // is not searched).
    int SearchFile(const TSearchRequest& request, const std::string& fullPath,
                   model::TTreeNode* folderNode);

    // Forgets what was prepared for the previous run (compiled pattern, prepared texts).
    void BeginRun();

    // What became of every entry the last run looked at, and the failures it went on after.
    const TRunAccount& Account() const { return account_; }
    // Records a failure the run goes on after and reports it through the hook.
    void NoteFailure(const std::string& text);
    // What became of this run's writes so far.
    const TWriteCounts& WriteCounts() const { return writes_; }

    const TSearchHooks& Hooks() const { return hooks_; }
    model::TResultTree& Tree() { return tree_; }

private:
    // Calls the KeepResponsive hook when its interval has passed since the last call.
    void Breathe();
    // Walks the folder open as `dir`, whose node gets `folder` (its name and path set).
    TSearchTotals WalkFolder(const TSearchRequest& request, const platform::TFolderHandle& dir,
                             std::unique_ptr<model::TFolder> folder, model::TTreeNode* parent,
                             double share);
    // Searches the selected files of one folder in order; gives their totals.
    TSearchTotals SearchFiles(const TSearchRequest& request, std::vector<TFileTask>& tasks,
                              model::TTreeNode* node, double share);
    int CommitFile(const TSearchRequest& request, const TFileTask& task, TFileFacts& facts,
                   model::TTreeNode* folderNode);
    // True when the new content was written.
    bool WriteBack(const TSearchRequest& request, const TFileTask& task, const TFileFacts& facts);
    void Message(const std::string& text);
    void CannotEnter(const TSearchRequest& request, const std::string& folderName,
                     const std::string& path, const std::string& reason);
    void FileDone(model::TTreeNode& fileNode);

    TSearchHooks hooks_;
    model::TResultTree& tree_;
    std::unique_ptr<TFileSearcher> searcher_; // the calling thread's
    TRunAccount account_;
    std::unique_ptr<TFileWorkers> workers_;
    int workerCount_ = 0;
    std::chrono::steady_clock::time_point lastBreath_;
    std::function<void()> listingMeanwhile_; // Breathe, when there is a hook to call
    // Every file searched in this run, with the path it had finds under when it had any: a
    // file met again under another name is not searched or replaced again.
    const TSeenFiles::TEntry* SeenBefore(const platform::TFileIdentity& id) const;
    void Remember(const platform::TFileIdentity& id, const TFileTask* found);
    TSeenFiles seen_;
    // The folder last cleared of temporary files that killed replacements left behind.
    std::string cleanedFolder_;
    TWriteCounts writes_;
};

} // namespace engine
