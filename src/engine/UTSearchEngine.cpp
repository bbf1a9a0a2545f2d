// The engine object itself; the run and the walk live in URunSearch and USearchFolder, the
// in-file search in TFileSearcher.
#include "UTSearchEngine.h"

#include "UTFileSearcher.h"

namespace engine {

TSearchEngine::TSearchEngine(TSearchHooks hooks, model::TResultTree& tree)
    : hooks_(std::move(hooks)), tree_(tree), searcher_(std::make_unique<TFileSearcher>()) {}

TSearchEngine::~TSearchEngine() = default;

void TSearchEngine::UpdateProgress() {
    if (hooks_.ShowProgress) {
        hooks_.ShowProgress(DoneFraction);
    }
}

void TSearchEngine::BeginRun() {
    searcher_->BeginRun();
    account_.Clear();
}

void TSearchEngine::NoteFailure(const std::string& text) {
    account_.Failures.push_back(text);
    if (hooks_.ReportFailure) {
        hooks_.ReportFailure(text);
    }
}

int TSearchEngine::SearchFile(const TSearchRequest& request, const std::string& fullPath,
                              model::TTreeNode* folderNode) {
    const int count = searcher_->SearchFile(request, fullPath, folderNode, tree_, hooks_);
    // --- accounting of the file's outcome
    account_.Add(searcher_->LastOutcome());
    if (searcher_->LastOutcome() == TEntryOutcome::Unreadable) {
        NoteFailure(searcher_->LastFailure());
    }
    return count;
}

} // namespace engine
