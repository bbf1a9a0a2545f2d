#include "UTFileSearcher.h"

#include "UPlainSearch.h"
#include "UPlatform.h"
#include "URegExpr.h"
#include "URegexSearch.h"
#include "UReplaceFile.h"
#include "UTFile.h"
#include "UTOccurence.h"
#include "UTResultTree.h"
#include "UTSearchRequest.h"
#include "UTextHelpers.h"

#include <cstdint>

namespace engine {

namespace {

// A buffer grown by one huge file is given back at the next run rather than kept for good.
constexpr size_t kKeepCapacity = 64 * 1024 * 1024;

void Release(std::string& s) {
    if (s.capacity() > kKeepCapacity) {
        std::string().swap(s);
    }
}

void Show(const TSearchHooks& hooks, const std::string& text) {
    if (hooks.ShowMessage) {
        hooks.ShowMessage(text);
    }
}

} // namespace

TFileSearcher::TFileSearcher() = default;
TFileSearcher::~TFileSearcher() = default;

void TFileSearcher::BeginRun() {
    plainReady_ = false;
    regex_.reset();
    prefilterOn_ = false;
    byLines_ = false;
    cleanedFolder_.clear();
    writes_ = TWriteCounts{};
    Release(storage_);
    length_ = 0;
    Release(joined_);
    Release(content_);
    found_.clear();
    found_.shrink_to_fit();
}

int TFileSearcher::SearchFile(const TSearchRequest& request, const std::string& fullPath,
                              model::TTreeNode* folderNode, model::TResultTree& tree,
                              const TSearchHooks& hooks) {
    auto file = std::make_unique<model::TFile>();
    file->FileName = text::ExtractFileName(fullPath);
    file->FullPath = fullPath;
    platform::TSearchRec rec;
    file->Attributes = platform::FindFileInfo(fullPath, rec) ? rec.Attr : 0;

    if (!request.DoSearch) {
        std::string caption = file->FileName;
        model::TTreeNode* const node =
            tree.AddChild(folderNode, std::move(caption), std::move(file));
        tree.SetImages(node, model::imgFile, model::imgFileSelected);
        return 1;
    }
    // A FIFO, a device, a socket or a dangling link is no file to search: opening one could
    // block the run or set a device going.
    if ((file->Attributes & (platform::faSysFile | platform::faDirectory)) != 0) {
        return 0;
    }

    length_ = platform::ReadWholeFileInto(fullPath, storage_, rec.Size,
                                          request.DoReplace ? &read_ : nullptr);
    found_.clear();
    std::string* const newContent = request.DoReplace ? &content_ : nullptr;
    const size_t found =
        request.UseRegex ? SearchRegex(request, newContent) : SearchPlain(request, newContent);
    if (found == 0) {
        return 0;
    }
    // A file whose new content was not written keeps its node and occurrences, but adds
    // nothing to the totals.
    const bool counted = !request.DoReplace || WriteBack(request, fullPath, hooks);

    const auto count = static_cast<std::int32_t>(found);
    file->OccurenceCount = count;
    std::string caption = file->FileName + " - " + text::PluralCount(count, "occurence");
    model::TTreeNode* const node = tree.AddChild(folderNode, std::move(caption), std::move(file));
    tree.SetImages(node, model::imgFile, model::imgFileSelected);
    for (auto& occurence : found_) {
        model::TTreeNode* const child = tree.AddOccurence(node, std::move(occurence));
        tree.SetImages(child, model::imgOccurence, model::imgOccurenceSelected);
    }
    found_.clear();
    return counted ? count : 0;
}

size_t TFileSearcher::SearchPlain(const TSearchRequest& request, std::string* newContent) {
    if (!plainReady_ || plainText_ != request.SearchText || plainMatchCase_ != request.MatchCase) {
        plain_.Prepare(request.SearchText, !request.MatchCase);
        plainText_ = request.SearchText;
        plainMatchCase_ = request.MatchCase;
        plainReady_ = true;
    }
    TPlainSearchOutput out;
    out.Occurences = &found_;
    out.NewContent = newContent;
    out.Replacement = request.ReplaceText;
    return PlainSearch(Bytes(), plain_, out);
}

size_t TFileSearcher::SearchRegex(const TSearchRequest& request, std::string* newContent) {
    if (!regex_ || regexText_ != request.SearchText || regexMatchCase_ != request.MatchCase) {
        regex_.reset();
        auto expr = std::make_unique<TRegExpr>();
        expr->SetExpression(request.SearchText);
        expr->SetModifierI(!request.MatchCase);
        // Compiled once for the run; a bad pattern fails here, at the first file whose
        // content is searched, and again at every later one.
        expr->Compile();
        // Joining with CR LF can create CR LF where the file has a lone break, so a literal
        // holding either byte says nothing about the file's own bytes.
        const std::string& literal = expr->RequiredLiteral();
        prefilterOn_ = !literal.empty() && literal.find_first_of("\r\n") == std::string::npos;
        if (prefilterOn_) {
            prefilter_.Prepare(literal, expr->RequiredLiteralCaseless());
        }
        byLines_ = prefilterOn_ && expr->MatchesStayWithinLines();
        regexText_ = request.SearchText;
        regexMatchCase_ = request.MatchCase;
        regex_ = std::move(expr);
    }
    TRegexSearchOutput out;
    out.Occurences = &found_;
    out.NewContent = newContent;
    out.Template = request.ReplaceText;
    if (byLines_ && Bytes().size() <= MaxLineSearchBytes) {
        return RegexSearchByLines(Bytes(), *regex_, prefilter_, out);
    }
    // A file without the literal holds no match: it is neither joined nor matched.
    if (prefilterOn_ && prefilter_.Find(Bytes(), 0) == TSubstringFinder::npos) {
        return 0;
    }
    return RegexSearch(Bytes(), *regex_, joined_, out);
}

bool TFileSearcher::WriteBack(const TSearchRequest& request, const std::string& fullPath,
                              const TSearchHooks& hooks) {
    // Temporary files of replacements that were killed are cleared away once per folder.
    std::string folder = text::ExtractFilePath(fullPath);
    if (folder.empty()) {
        folder = ".";
    }
    if (folder != cleanedFolder_) {
        platform::CleanStaleReplaceTemps(folder);
        cleanedFolder_ = std::move(folder);
    }
    const std::string backup = request.MakeBackups ? text::BackupFileName(fullPath) : std::string();
    platform::TReplaceCheck check;
    check.Expected = &read_;
    check.Within = request.StartFolder;
    const platform::TReplaceOutcome result = platform::ReplaceFileContent(
        fullPath, content_, request.MakeBackups ? &backup : nullptr, check);
    if (result.BackupFailed) {
        Show(hooks, "Unable to create backup file " + backup);
    }
    if (!result.Written) {
        const std::string message =
            result.Changed ? "Unable to replace in file " + fullPath +
                                 "\r\nThe file was changed by another program after it was read"
                           : "Unable to create file " + fullPath + "\r\nFile may be read/only";
        if (hooks.ShowWriteFailure) {
            std::string reason;
            if (result.OutsideLink) {
                reason = "a link to a file outside the start folder";
            } else if (!result.Changed) {
                reason = platform::TIoResult{result.Error}.Reason();
            }
            hooks.ShowWriteFailure(message, reason);
        } else {
            Show(hooks, message);
        }
        ++writes_.Failed;
        return false;
    }
    if (result.SplitLinks) {
        ++writes_.SplitLinks;
    }
    return true;
}

} // namespace engine
