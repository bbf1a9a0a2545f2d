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

const TWriteCounts& TSearchEngine::WriteCounts() const {
    return searcher_->WriteCounts();
}

void TSearchEngine::BeginRun() {
    searcher_->BeginRun();
}

int TSearchEngine::SearchFile(const TSearchRequest& request, const std::string& fullPath,
                              model::TTreeNode* folderNode) {
    return searcher_->SearchFile(request, fullPath, folderNode, tree_, hooks_);
}

} // namespace engine
