// Memory of a result tree with 1,000,000 occurrences: 10,000 files in 100 folders, each file
// with 100 occurrences on 50 lines of 60 bytes (two per line, sharing the line's text), built
// as a run builds it: a file's occurrences handed over together once the file is searched.
#include "model/UTFile.h"
#include "model/UTFolder.h"
#include "model/UTOccurence.h"
#include "model/UTResultTree.h"

#include <chrono>
#include <cstdio>
#include <malloc.h>
#include <vector>

namespace {

// What the window's tree may hold per occurrence, its line text included.
constexpr double kTargetBytesPerOccurence = 100.0;

size_t HeapInUse() {
    const struct mallinfo2 mi = mallinfo2();
    return mi.uordblks + mi.hblkhd;
}

} // namespace

int main() {
    using namespace model;
    const size_t before = HeapInUse();
    const auto t0 = std::chrono::steady_clock::now();
    TResultTree tree;
    auto top = std::make_unique<TFolder>();
    top->FolderName = "/corpus";
    TTreeNode* root = tree.AddFolder(nullptr, std::move(top));
    long occurrences = 0;
    for (int d = 0; d < 100; ++d) {
        auto folder = std::make_unique<TFolder>();
        const std::string name = "dir" + std::to_string(d);
        folder->FolderName = name;
        TTreeNode* fn = tree.AddFolder(root, std::move(folder));
        for (int f = 0; f < 100; ++f) {
            auto file = std::make_unique<TFile>();
            const std::string fname = "file" + std::to_string(f) + ".c";
            file->FullPath = "/corpus/dir" + std::to_string(d) + "/" + fname;
            file->OccurenceCount = 100;
            TTreeNode* filenode = tree.AddFile(fn, std::move(file));
            std::vector<std::unique_ptr<TOccurence>> found;
            for (int line = 0; line < 50; ++line) {
                auto text = std::make_shared<const std::string>(
                    "    spin_lock(&dev->lock); counter += " + std::to_string(line) + "; // x");
                for (int k = 0; k < 2; ++k) {
                    found.push_back(std::make_unique<TOccurence>(text, line, 5 + k, 9));
                    ++occurrences;
                }
            }
            tree.AddOccurences(filenode, found);
        }
    }
    const auto t1 = std::chrono::steady_clock::now();
    const size_t used = HeapInUse() - before;
    std::printf("occurrences: %ld, nodes: %d\n", occurrences, tree.Count());
    const double perOccurence = static_cast<double>(used) / static_cast<double>(occurrences);
    std::printf("heap in use: %.1f MB, %.1f bytes per occurrence (line texts included)\n",
                used / 1e6, perOccurence);
    std::printf("bytes per occurrence: %.1f, target at most %.0f: %s (%.2fx the target)\n",
                perOccurence, kTargetBytesPerOccurence,
                perOccurence <= kTargetBytesPerOccurence ? "met" : "MISSED",
                perOccurence / kTargetBytesPerOccurence);
    std::printf("build time: %.3f s\n", std::chrono::duration<double>(t1 - t0).count());
    const auto t2 = std::chrono::steady_clock::now();
    tree.Clear();
    const auto t3 = std::chrono::steady_clock::now();
    std::printf("clear time: %.3f s, heap after clear: %.1f MB above start\n",
                std::chrono::duration<double>(t3 - t2).count(),
                (static_cast<double>(HeapInUse()) - static_cast<double>(before)) / 1e6);
    return 0;
}
