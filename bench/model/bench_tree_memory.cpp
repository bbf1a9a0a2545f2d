// Memory of a result tree with 1,000,000 occurrences: 10,000 files in 100 folders, each file
// with 100 occurrences on 50 lines of 60 bytes (two per line, sharing the line's text).
#include "model/UTFile.h"
#include "model/UTFolder.h"
#include "model/UTOccurence.h"
#include "model/UTResultTree.h"

#include <chrono>
#include <cstdio>
#include <malloc.h>

namespace {

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
    TTreeNode* root = tree.AddChild(nullptr, "/corpus", std::make_unique<TFolder>());
    long occurrences = 0;
    for (int d = 0; d < 100; ++d) {
        auto folder = std::make_unique<TFolder>();
        const std::string name = "dir" + std::to_string(d);
        folder->FolderName = name;
        TTreeNode* fn = tree.AddChild(root, name, std::move(folder));
        for (int f = 0; f < 100; ++f) {
            auto file = std::make_unique<TFile>();
            const std::string fname = "file" + std::to_string(f) + ".c";
            file->FileName = fname;
            file->FullPath = "/corpus/dir" + std::to_string(d) + "/" + fname;
            TTreeNode* filenode = tree.AddChild(fn, fname, std::move(file));
            for (int line = 0; line < 50; ++line) {
                auto text = std::make_shared<const std::string>(
                    "    spin_lock(&dev->lock); counter += " + std::to_string(line) + "; // x");
                for (int k = 0; k < 2; ++k) {
                    tree.AddOccurence(filenode, std::make_unique<TOccurence>(text, line, 5 + k, 9));
                    ++occurrences;
                }
            }
        }
    }
    const auto t1 = std::chrono::steady_clock::now();
    const size_t used = HeapInUse() - before;
    std::printf("occurrences: %ld, nodes: %d\n", occurrences, tree.Count());
    std::printf("heap in use: %.1f MB, %.1f bytes per occurrence (line texts included)\n",
                used / 1e6, static_cast<double>(used) / static_cast<double>(occurrences));
    std::printf("build time: %.3f s\n", std::chrono::duration<double>(t1 - t0).count());
    const auto t2 = std::chrono::steady_clock::now();
    tree.Clear();
    const auto t3 = std::chrono::steady_clock::now();
    std::printf("clear time: %.3f s, heap after clear: %.1f MB above start\n",
                std::chrono::duration<double>(t3 - t2).count(),
                (static_cast<double>(HeapInUse()) - static_cast<double>(before)) / 1e6);
    return 0;
}
