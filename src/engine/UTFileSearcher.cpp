#include "UTFileSearcher.h"

#include "UPlainSearch.h"
#include "UPlatform.h"
#include "URegExpr.h"
#include "URegexSearch.h"
#include "UTOccurence.h"
#include "UTSearchOptions.h"
#include "UTSearchRequest.h"

#include <algorithm>

namespace engine {

namespace {

// A buffer grown by one huge file is given back at the next run rather than kept for good.
constexpr size_t kKeepCapacity = 64 * 1024 * 1024;

void Release(std::string& s) {
    if (s.capacity() > kKeepCapacity) {
        std::string().swap(s);
    }
}

bool StopsOnError(const TSearchRequest& request) {
    return request.Options != nullptr && request.Options->StopOnError;
}

bool SkipsBinary(const TSearchRequest& request) {
    return request.Options != nullptr && request.Options->SkipBinary;
}

} // namespace

TFileSearcher::TFileSearcher() = default;
TFileSearcher::~TFileSearcher() = default;

void TFileSearcher::BeginRun() {
    plainReady_ = false;
    regex_.reset();
    prefilterOn_ = false;
    byLines_ = false;
    Release(storage_);
    length_ = 0;
    Release(joined_);
}

TFileFacts TFileSearcher::Examine(const TSearchRequest& request, const TFileTask& task) {
    TFileFacts facts;
    try {
        // A file gone since it was listed has no attributes, and its read fails.
        facts.Attributes = std::max(platform::EntryAttributes(*task.Folder, *task.Name), 0);
        // A FIFO, a device, a socket or a dangling link is no file to search: opening one
        // could block the run or set a device going.
        const bool special =
            (facts.Attributes & (platform::faNotAFile | platform::faDirectory)) != 0;
        if (request.DoSearch && !special) {
            Search(request, task, facts);
        } else if (request.DoSearch) {
            facts.Outcome = TEntryOutcome::NotRegular;
        } else if (!special && SkipsBinary(request) && Read(request, task, facts)) {
            // Found without its content searched, unless it is binary.
            facts.Outcome = LooksBinary(Bytes()) ? TEntryOutcome::Binary : facts.Outcome;
        }
    } catch (...) {
        facts.Occurences.clear();
        facts.NewContent.clear();
        facts.Error = std::current_exception();
    }
    return facts;
}

void TFileSearcher::Search(const TSearchRequest& request, const TFileTask& task,
                           TFileFacts& facts) {
    if (!Read(request, task, facts)) {
        return;
    }
    if (SkipsBinary(request) && LooksBinary(Bytes())) {
        facts.Outcome = TEntryOutcome::Binary;
        return;
    }
    facts.Searched = true;
    const size_t found =
        request.UseRegex ? SearchRegex(request, facts) : SearchPlain(request, facts);
    if (found == 0) {
        facts.Occurences.clear();
        facts.NewContent.clear();
    }
}

bool TFileSearcher::Read(const TSearchRequest& request, const TFileTask& task, TFileFacts& facts) {
    try {
        length_ =
            platform::ReadFileAt(*task.Folder, *task.Name, task.FullPath, storage_, facts.Identity);
    } catch (const platform::EPlatformError& e) {
        if (StopsOnError(request)) {
            throw; // ends the run when committed
        }
        facts.Outcome = TEntryOutcome::Unreadable;
        facts.Failure = e.what();
        return false;
    }
    return true;
}

size_t TFileSearcher::SearchPlain(const TSearchRequest& request, TFileFacts& facts) {
    if (!plainReady_ || plainText_ != request.SearchText || plainMatchCase_ != request.MatchCase) {
        plain_.Prepare(request.SearchText, !request.MatchCase);
        plainText_ = request.SearchText;
        plainMatchCase_ = request.MatchCase;
        plainReady_ = true;
    }
    TPlainSearchOutput out;
    out.Occurences = &facts.Occurences;
    out.NewContent = request.DoReplace ? &facts.NewContent : nullptr;
    out.Replacement = request.ReplaceText;
    return PlainSearch(Bytes(), plain_, out);
}

size_t TFileSearcher::SearchRegex(const TSearchRequest& request, TFileFacts& facts) {
    if (!regex_ || regexText_ != request.SearchText || regexMatchCase_ != request.MatchCase ||
        regexLineByLine_ != request.LineByLine) {
        regex_.reset();
        auto expr = std::make_unique<TRegExpr>();
        expr->SetExpression(request.SearchText);
        expr->SetModifierI(!request.MatchCase);
        expr->SetModifierM(request.LineByLine);
        expr->SetModifierS(!request.LineByLine);
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
        regexLineByLine_ = request.LineByLine;
        regex_ = std::move(expr);
    }
    TRegexSearchOutput out;
    out.Occurences = &facts.Occurences;
    out.NewContent = request.DoReplace ? &facts.NewContent : nullptr;
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

} // namespace engine
