#include "UTFileSearcher.h"

#include "UPlainSearch.h"
#include "UPlatform.h"
#include "URegExpr.h"
#include "URegexSearch.h"
#include "UReplaceFile.h"
#include "UTFile.h"
#include "UTOccurence.h"
#include "UTResultTree.h"
#include "UTSearchOptions.h"
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

bool StopsOnError(const TSearchRequest& request) {
    return request.Options != nullptr && request.Options->StopOnError;
}

bool SkipsBinary(const TSearchRequest& request) {
    return request.Options != nullptr && request.Options->SkipBinary;
}

// Files above this size are probed for NUL bytes before they are read whole.
constexpr std::int64_t kProbeFirstAbove = 64 * 1024;

} // namespace

TFileSearcher::TFileSearcher() = default;
TFileSearcher::~TFileSearcher() = default;

void TFileSearcher::BeginRun() {
    plainReady_ = false;
    regex_.reset();
    prefilterOn_ = false;
    byLines_ = false;
    cleanedFolder_.clear();
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
    outcome_ = TEntryOutcome::Searched;

    // A FIFO, a device, a socket or a dangling link is no file to search: opening one could
    // block the run or set a device going.
    const bool special = (file->Attributes & (platform::faSysFile | platform::faDirectory)) != 0;
    if (!request.DoSearch) {
        if (!special && SkipsUnreadBinary(request, fullPath)) {
            return 0;
        }
        std::string caption = file->FileName;
        model::TTreeNode* const node =
            tree.AddChild(folderNode, std::move(caption), std::move(file));
        tree.SetImages(node, model::imgFile, model::imgFileSelected);
        return 1;
    }
    if (special) {
        outcome_ = TEntryOutcome::NotRegular;
        return 0;
    }

    if (!ReadSelected(request, fullPath, rec.Size)) {
        return 0;
    }
    found_.clear();
    std::string* const newContent = request.DoReplace ? &content_ : nullptr;
    const size_t found =
        request.UseRegex ? SearchRegex(request, newContent) : SearchPlain(request, newContent);
    if (found == 0) {
        return 0;
    }
    if (request.DoReplace) {
        WriteBack(request, fullPath, hooks);
    }

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
    return count;
}

bool TFileSearcher::ReadSelected(const TSearchRequest& request, const std::string& fullPath,
                                 std::int64_t size) {
    try {
        if (SkipsBinary(request) && size > kProbeFirstAbove) {
            platform::ReadFileHead(fullPath, head_, kBinaryProbeBytes);
            if (LooksBinary(head_)) {
                outcome_ = TEntryOutcome::Binary;
                return false;
            }
        }
        length_ = platform::ReadWholeFileInto(fullPath, storage_, size);
    } catch (const platform::EPlatformError& e) {
        if (StopsOnError(request)) {
            throw;
        }
        outcome_ = TEntryOutcome::Unreadable;
        failure_ = e.what();
        return false;
    }
    if (SkipsBinary(request) && LooksBinary(Bytes())) {
        outcome_ = TEntryOutcome::Binary;
        return false;
    }
    return true;
}

bool TFileSearcher::SkipsUnreadBinary(const TSearchRequest& request, const std::string& fullPath) {
    if (!SkipsBinary(request)) {
        return false;
    }
    try {
        platform::ReadFileHead(fullPath, head_, kBinaryProbeBytes);
    } catch (const platform::EPlatformError& e) {
        if (StopsOnError(request)) {
            throw;
        }
        outcome_ = TEntryOutcome::Unreadable;
        failure_ = e.what();
        return true;
    }
    if (LooksBinary(head_)) {
        outcome_ = TEntryOutcome::Binary;
        return true;
    }
    return false;
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

void TFileSearcher::WriteBack(const TSearchRequest& request, const std::string& fullPath,
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
    const platform::TReplaceOutcome result =
        platform::ReplaceFileContent(fullPath, content_, request.MakeBackups ? &backup : nullptr);
    if (result.BackupFailed) {
        Show(hooks, "Unable to create backup file " + backup);
    }
    if (!result.Written) {
        Show(hooks, "Unable to create file " + fullPath + "\r\nFile may be read/only");
    }
}

} // namespace engine
