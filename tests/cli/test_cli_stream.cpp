// fernsweep-cli's printers fed as the run goes: with every printed file and every folder left
// behind let go of at once, each output form prints what a run keeping the whole tree prints,
// "same file as" included, while the tree holds a handful of nodes however much is found.
#include "ScratchFolder.h"
#include "cli/UCliPrinters.h"
#include "engine/UTSearchEngine.h"
#include "model/UTResultTree.h"
#include "settings/UTSearchOptions.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct TStreamed {
    std::string Out;                // what the printer printed
    std::vector<std::string> Files; // the printed files' captions
    int MostNodes = 0;              // nodes in the tree, at most, as files were printed
    std::int64_t MostObjects = 0;   // folder and file objects alive, likewise
    int NodesAfter = 0;
};

TStreamed Stream(const engine::TSearchRequest& request, cli::TOutputKind kind, bool keepTree,
                 int threads) {
    TStreamed s;
    model::TResultTree tree;
    cli::TPrintSettings print;
    print.Kind = kind;
    const std::unique_ptr<cli::TPrinter> printer = cli::MakePrinter(print, s.Out);
    const std::int64_t objectsBefore = model::TResultObject::LiveCount();
    engine::TSearchHooks hooks;
    cli::StreamFiles(hooks, tree, printer.get(), keepTree, [&](model::TTreeNode& file, int) {
        s.Files.push_back(file.Caption());
        s.MostNodes = std::max(s.MostNodes, tree.Count());
        s.MostObjects = std::max(s.MostObjects, model::TResultObject::LiveCount() - objectsBefore);
    });
    engine::TSearchEngine engine(hooks, tree);
    engine.Threads = threads;
    engine.StartRun(request);
    s.NodesAfter = tree.Count();
    return s;
}

} // namespace

TEST(CliStream, LettingGoOfPrintedNodesChangesNoOutputAndHoldsLittle) {
    const std::string root = MakeScratchFolder("fs-stream-");
    // Folders d0..d9, each with s0..s2 of 30 files (a quarter without finds), a folder without
    // finds and an empty one; files met again under other names, before and after their first.
    for (int d = 0; d < 10; ++d) {
        const std::string dir = root + "/d" + std::to_string(d);
        fs::create_directories(dir + "/empty");
        fs::create_directories(dir + "/none");
        std::ofstream(dir + "/none/x.txt") << "nothing here\n";
        for (int s = 0; s < 3; ++s) {
            fs::create_directories(dir + "/s" + std::to_string(s));
            for (int f = 0; f < 30; ++f) {
                std::ofstream out(dir + "/s" + std::to_string(s) + "/f" + std::to_string(f) +
                                  ".txt");
                for (int line = 0; line < (d + s + f) % 4; ++line) {
                    out << "a needle, " << line << " more needle\n";
                }
            }
        }
    }
    fs::create_symlink("../../d8/s2/f11.txt", root + "/d0/s0/early_link.txt");
    fs::create_hard_link(root + "/d9/s0/f4.txt", root + "/d1/hard.txt");
    fs::create_symlink("../d2/s1/f6.txt", root + "/d9/late_link.txt");
    fs::create_hard_link(root + "/d3/s1/f5.txt", root + "/d7/s2/hard_late.txt");

    settings::TSearchOptions options;
    engine::TSearchRequest request;
    request.StartFolder = root;
    request.Masks = {"*.*"};
    request.Recurse = true;
    request.Options = &options;
    request.DoSearch = true;
    request.SearchText = "needle";
    for (const cli::TOutputKind kind :
         {cli::TOutputKind::Report, cli::TOutputKind::Vimgrep, cli::TOutputKind::Json,
          cli::TOutputKind::Paths, cli::TOutputKind::Diff}) {
        const bool diff = kind == cli::TOutputKind::Diff;
        request.DoReplace = request.Preview = request.PreviewDiffs = diff;
        request.ReplaceText = "pin";
        for (const int threads : {1, 3}) {
            SCOPED_TRACE(std::to_string(static_cast<int>(kind)) + " with " +
                         std::to_string(threads) + " threads");
            const TStreamed whole = Stream(request, kind, true, threads);
            const TStreamed streamed = Stream(request, kind, false, threads);
            EXPECT_EQ(streamed.Out, whole.Out);
            EXPECT_EQ(streamed.Files, whole.Files);
            EXPECT_EQ(std::count_if(whole.Files.begin(), whole.Files.end(),
                                    [&root](const std::string& c) {
                                        return c.find(" - same file as " + root + "/d") !=
                                               std::string::npos;
                                    }),
                      4);
            EXPECT_GT(whole.Files.size(), 600u);
            EXPECT_GT(whole.NodesAfter, 2000);
            // The folders the walk is in, one left behind, a file and its occurrences.
            EXPECT_LE(streamed.MostNodes, 12);
            EXPECT_LE(streamed.MostObjects, 5);
            EXPECT_LE(streamed.NodesAfter, 3);
        }
    }
    fs::remove_all(root);
}
