// Timings of the result operations on large inputs; bench/operations/run.sh drives it and sets
// the figures beside cp --parents and rm.
//   bench_operations gen ROOT N         ROOT/src with N files of 1 KiB, ROOT/list.txt
//   bench_operations copy ROOT DST      copy every listed file of ROOT/src into DST
//   bench_operations delete ROOT DIR    delete every listed file below DIR
//   bench_operations report N FILE      write a report of N occurrences (1,000 per file)
#include "model/UTFile.h"
#include "model/UTFolder.h"
#include "model/UTOccurence.h"
#include "model/UTResultTree.h"
#include "operations/UFoundFiles.h"
#include "operations/UResultsFile.h"
#include "platform/UPlatform.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

class TCountingUi : public operations::TUserInterface {
public:
    int Messages = 0;
    std::string Last;
    void ShowMessage(const std::string& text) override {
        ++Messages;
        Last = text;
    }
    void ShowError(const std::string& text) override { ShowMessage(text); }
    operations::TAnswer AskYesNo(const std::string&) override { return operations::TAnswer::Yes; }
    operations::TAnswer AskYesNoCancel(const std::string&) override {
        return operations::TAnswer::Yes;
    }
    bool ChooseSaveFile(const std::string&, std::string&) override { return false; }
};

std::vector<std::string> ReadList(const std::string& root) {
    std::string data;
    platform::ReadWholeFile(root + "/list.txt", data);
    std::vector<std::string> list;
    size_t i = 0;
    while (i < data.size()) {
        const size_t e = data.find('\n', i);
        list.push_back(data.substr(i, e - i));
        i = e + 1;
    }
    return list;
}

// A result tree as a search without search text leaves it: one folder node per folder of the
// list (they come grouped), one file node per file.
void BuildTree(model::TResultTree& tree, const std::string& base,
               const std::vector<std::string>& list) {
    auto rootObj = std::make_unique<model::TFolder>();
    rootObj->SetDirectory(base + "/");
    rootObj->FolderName = base;
    model::TTreeNode* root = tree.AddFolder(nullptr, std::move(rootObj));
    tree.MarkFound(root);
    model::TTreeNode* folder = nullptr;
    std::string current;
    for (const std::string& rel : list) {
        const std::string dir = rel.substr(0, rel.rfind('/'));
        if (folder == nullptr || dir != current) {
            current = dir;
            auto d = std::make_unique<model::TFolder>();
            d->SetDirectory(base + "/" + dir + "/");
            d->FolderName = dir;
            folder = tree.AddFolder(root, std::move(d));
            tree.MarkFound(folder);
        }
        auto f = std::make_unique<model::TFile>();
        f->FullPath = base + "/" + rel;
        f->Attributes = platform::faArchive;
        tree.AddFile(folder, std::move(f));
    }
}

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

int Fail(const std::string& msg) {
    std::fprintf(stderr, "%s\n", msg.c_str());
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        return Fail("usage: bench_operations gen|copy|delete|report ...");
    }
    const std::string cmd = argv[1];
    if (cmd == "gen") {
        const std::string root = argv[2];
        const int n = std::atoi(argv[3]);
        std::string list;
        const std::string content(1024, 'x');
        for (int i = 0; i < n; ++i) {
            char rel[64];
            std::snprintf(rel, sizeof rel, "d%03d/sub/f%05d.txt", i / 100, i);
            const std::string path = root + "/src/" + rel;
            platform::ForceDirectories(path.substr(0, path.rfind('/')));
            if (!platform::WriteWholeFile(path, content)) {
                return Fail("cannot write " + path);
            }
            list += rel;
            list += '\n';
        }
        return platform::WriteWholeFile(root + "/list.txt", list) ? 0 : 2;
    }
    if (cmd == "copy" || cmd == "delete") {
        const std::string root = argv[2];
        const std::string dir = argv[3];
        const std::vector<std::string> list = ReadList(root);
        model::TResultTree tree;
        TCountingUi ui;
        std::int32_t done;
        std::chrono::steady_clock::time_point start;
        if (cmd == "copy") {
            BuildTree(tree, root + "/src", list);
            platform::ForceDirectories(dir);
            start = std::chrono::steady_clock::now();
            done = operations::TransferFoundFiles(tree, root + "/src", dir, false, ui);
        } else {
            BuildTree(tree, dir, list);
            start = std::chrono::steady_clock::now();
            done = operations::DeleteFoundFiles(tree, ui);
        }
        const double s = Seconds(start);
        if (done != static_cast<std::int32_t>(list.size()) || ui.Messages != 1) {
            return Fail("only " + std::to_string(done) + " done: " + ui.Last);
        }
        std::printf("%.3f\n", s);
        return 0;
    }
    if (cmd == "report") {
        const long n = std::atol(argv[2]);
        const std::string out = argv[3];
        model::TResultTree tree;
        auto rootObj = std::make_unique<model::TFolder>();
        rootObj->SetDirectory("/srv/corpus/");
        rootObj->FolderName = "/srv/corpus";
        model::TTreeNode* root = tree.AddFolder(nullptr, std::move(rootObj));
        tree.MarkFound(root);
        model::TTreeNode* file = nullptr;
        std::shared_ptr<const std::string> line;
        for (long i = 0; i < n; ++i) {
            if (i % 1000 == 0) {
                auto f = std::make_unique<model::TFile>();
                f->FullPath = "/srv/corpus/drivers/net/file" + std::to_string(i / 1000) + ".c";
                file = tree.AddFile(root, std::move(f));
            }
            if (i % 4 == 0) {
                line = std::make_shared<const std::string>(
                    "\tspin_lock_irqsave(&priv->lock, flags); /* line " + std::to_string(i) +
                    " */");
            }
            tree.AddOccurence(file, model::TOccurence(line, static_cast<std::int32_t>(i % 5000),
                                                      static_cast<std::int32_t>(2 + i % 4), 9));
        }
        TCountingUi ui;
        const auto start = std::chrono::steady_clock::now();
        const bool ok = operations::WriteResultsFile(tree, out, ui, nullptr);
        const double s = Seconds(start);
        if (!ok) {
            return Fail(ui.Last);
        }
        platform::TSearchRec rec;
        platform::FindFileInfo(out, rec);
        std::printf("%.3f %lld\n", s, static_cast<long long>(rec.Size));
        return 0;
    }
    return Fail("unknown command " + cmd);
}
