// One whole search run, from the prepared request to the summary line.
#include "engine/UTSearchEngine.h"

#include "model/UTResultTree.h"
#include "platform/UFolderHandle.h"
#include "text/UTextHelpers.h"

#include <string>

namespace engine {

TSearchTotals TSearchEngine::StartRun(const TSearchRequest& request) {
    Aborted = false;
    DoneFraction = 0.0;
    UpdateProgress();
    return RunSearch(request);
}

TSearchTotals TSearchEngine::RunSearch(const TSearchRequest& request) {
    // A copy, so the caller's request keeps the replacement as typed.
    TSearchRequest run = request;
    if (run.UseRegex) {
        run.ReplaceText = text::UnescapeReplacement(run.ReplaceText);
    }
    BeginRun();
    tree_.Clear();
    platform::AllowManyOpenFolders();

    const TSearchTotals totals = SearchFolder(run, run.StartFolder, nullptr, 1.0);

    std::string summary;
    if (!run.DoSearch) {
        summary = text::PluralCount(totals.FileCount, "file") + " found.";
    } else if (run.DoReplace) {
        summary = "Made " + text::PluralCount(totals.OccurenceCount, "replacement") + " in " +
                  text::PluralCount(totals.FileCount, "file") + ".";
    } else {
        summary = "Found " + text::PluralCount(totals.OccurenceCount, "occurence") + " in " +
                  text::PluralCount(totals.FileCount, "file") + ".";
    }
    if (hooks_.ShowStatus) {
        hooks_.ShowStatus(summary);
    }
    return totals;
}

} // namespace engine
