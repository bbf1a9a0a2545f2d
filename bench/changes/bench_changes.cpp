// The window's way of replacing, timed in parts: a preview of every change in a tree, then
// the apply of all of it through the undo record. Prints "preview_s apply_s files".
//   bench_changes FOLDER SEARCH REPLACE STATE_FOLDER
#include "engine/UApplyChanges.h"
#include "engine/UTSearchEngine.h"
#include "model/UTResultTree.h"
#include "operations/UUndoJournal.h"
#include "settings/UTSearchOptions.h"

#include <chrono>
#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: bench_changes FOLDER SEARCH REPLACE STATE_FOLDER\n");
        return 2;
    }
    settings::TSearchOptions options;
    engine::TSearchRequest request;
    request.StartFolder = std::string(argv[1]) + "/";
    request.Masks = {"*.*"};
    request.SearchText = argv[2];
    request.ReplaceText = argv[3];
    request.DoSearch = true;
    request.DoReplace = true;
    request.MatchCase = true;
    request.Recurse = true;
    request.Options = &options;
    request.Preview = true;

    using clock = std::chrono::steady_clock;
    const auto seconds = [](clock::duration d) { return std::chrono::duration<double>(d).count(); };
    model::TResultTree tree;
    engine::TSearchHooks hooks;
    engine::TSearchEngine engine(hooks, tree);
    const auto t0 = clock::now();
    const engine::TSearchTotals found = engine.StartRun(request);
    const auto t1 = clock::now();

    operations::TUndoJournal journal(argv[4]);
    operations::TJournalRecorder recorder(journal, operations::DescribeRequest(request));
    request.Preview = false;
    request.Journal = &recorder;
    const engine::TApplyTotals applied = engine::ApplyChanges(request, tree, hooks);
    recorder.Commit();
    const auto t2 = clock::now();
    std::printf("%.3f %.3f %d\n", seconds(t1 - t0), seconds(t2 - t1), applied.Files);
    return applied.Files == found.FileCount ? 0 : 1;
}
