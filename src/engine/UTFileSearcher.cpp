#include "engine/UTFileSearcher.h"

#include "engine/UPlainSearch.h"
#include "engine/URegexSearch.h"
#include "engine/UReplaceJournal.h"
#include "engine/UStreamSearch.h"
#include "engine/UTSearchRequest.h"
#include "model/UTOccurence.h"
#include "model/UUnifiedDiff.h"
#include "platform/UPlatform.h"
#include "regex/URegExpr.h"
#include "settings/UTSearchOptions.h"
#include "text/UContentHash.h"

#include <algorithm>
#include <new>

using regex::TRegExpr;
using settings::kBinaryProbeBytes;

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

std::string WriteBackPath(const TFileTask& task) {
    // Through the folder's descriptor, so it reaches the folder the walk entered however
    // long its own path is.
    return platform::PathThrough(*task.Folder, *task.Name);
}

platform::TReplaceCheck WriteBackCheck(const TSearchRequest& request, const TFileFacts& facts) {
    platform::TReplaceCheck check;
    check.Expected = &facts.Identity;
    check.Within = request.StartFolder;
    return check;
}

void PrepareWriteBack(const TSearchRequest& request, const TFileTask& task, TFileFacts& facts) {
    if (!request.DoReplace || request.Preview || facts.Error || !facts.Searched || facts.Streamed ||
        facts.Occurences.empty() || facts.Outcome != TEntryOutcome::Searched) {
        return;
    }
    try {
        facts.Prepared = platform::PrepareReplace(WriteBackPath(task), facts.NewContent,
                                                  WriteBackCheck(request, facts));
        facts.NewContent.clear();
        facts.NewContent.shrink_to_fit();
    } catch (const std::bad_alloc&) {
        facts.Prepared.reset(); // written in its turn instead
    }
}

TFileSearcher::TFileSearcher() = default;
TFileSearcher::~TFileSearcher() = default;

void TFileSearcher::BeginRun() {
    plainReady_ = false;
    regex_.reset();
    prefilterOn_ = false;
    byLines_ = false;
    storage_.Release(kKeepCapacity);
    length_ = 0;
    Release(joined_);
    Release(chunk_);
}

TFileFacts TFileSearcher::Examine(const TSearchRequest& request, const TFileTask& task) {
    TFileFacts facts;
    try {
        if (task.PlainFile && request.DoSearch) {
            Search(request, task, facts); // the attributes come with the open file
            return Examined(std::move(facts));
        }
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
        } else if (!special && SkipsBinary(request) && Read(request, task, facts, true)) {
            // Found without its content searched, unless it is binary.
            facts.Outcome = LooksBinary(Bytes()) ? TEntryOutcome::Binary : facts.Outcome;
        }
    } catch (...) {
        Failed(facts);
    }
    return Examined(std::move(facts));
}

void TFileSearcher::Failed(TFileFacts& facts) {
    facts.Occurences.clear();
    facts.NewContent.clear();
    facts.Change.reset();
    facts.Streamed = false;
    facts.Error = std::current_exception();
}

TFileFacts TFileSearcher::Examined(TFileFacts facts) {
    // The window a long line grew is not kept for the next file.
    if (stream_.size() > 4 * StreamWindow() + 4096) {
        std::string().swap(stream_);
    }
    return facts;
}

void TFileSearcher::Search(const TSearchRequest& request, const TFileTask& task,
                           TFileFacts& facts) {
    platform::TFileReader reader;
    try {
        reader.Open(*task.Folder, *task.Name, task.FullPath);
        facts.Identity = reader.Identity();
        if (task.PlainFile) {
            facts.Attributes = reader.Attributes(*task.Folder, *task.Name);
            if (!reader.Regular()) {
                // Something else took the name since the listing: not read.
                facts.Outcome = TEntryOutcome::NotRegular;
                return;
            }
        }
        if (reader.Regular() &&
            static_cast<std::uint64_t>(reader.Identity().Size) > StreamWindow()) {
            if (SkipsBinary(request)) {
                length_ = 0;
                storage_.resize(std::max(storage_.size(), kBinaryProbeBytes));
                length_ = reader.ReadAt(0, storage_.data(), kBinaryProbeBytes);
                if (LooksBinary(Bytes())) {
                    facts.Outcome = TEntryOutcome::Binary;
                    return;
                }
            }
            if (SearchStreamed(request, task, reader, facts)) {
                return;
            }
        }
        ReadWhole(reader);
    } catch (const platform::EPlatformError& e) {
        Unreadable(request, e, facts);
        return;
    }
    if (SkipsBinary(request) && LooksBinary(Bytes())) {
        facts.Outcome = TEntryOutcome::Binary;
        return;
    }
    facts.Searched = true;
    if (request.DoReplace && request.Preview) {
        facts.Change = std::make_unique<model::TFileChange>();
    }
    const size_t found =
        request.UseRegex ? SearchRegex(request, facts) : SearchPlain(request, facts);
    if (found == 0) {
        facts.Occurences.clear();
        facts.NewContent.clear();
        facts.Change.reset();
        return;
    }
    Record(request, task, nullptr, facts);
}

void TFileSearcher::Record(const TSearchRequest& request, const TFileTask& task,
                           platform::TFileReader* reader, TFileFacts& facts) {
    if (!request.DoReplace || (!request.Preview && request.Journal == nullptr)) {
        return;
    }
    if (reader == nullptr) {
        facts.OldHash = text::ContentHash(Bytes());
    } else {
        // Read again a window at a time, so the file is never held whole.
        text::TContentHasher hasher;
        std::int64_t at = 0;
        for (;;) {
            chunk_.resize(std::max(chunk_.size(), StreamWindow()));
            const size_t got = reader->ReadAt(at, chunk_.data(), StreamWindow());
            hasher.Update(std::string_view(chunk_.data(), got));
            at += static_cast<std::int64_t>(got);
            if (got < StreamWindow()) {
                break;
            }
        }
        facts.OldHash = hasher.Finish();
    }
    if (!request.Preview) {
        // Kept by the replacement itself, from the file it has checked: nothing is copied here.
        facts.KeepPath = request.Journal->KeepPath(facts.OldHash);
        if (!facts.Streamed) {
            facts.NewHash = text::ContentHash(facts.NewContent);
        }
    }
    if (facts.Change) {
        facts.Change->OldHash = facts.OldHash;
        facts.Change->OldSize = facts.Identity.Size;
        facts.Change->ChooseAll(true);
        facts.NewContent.clear();
        if (request.PreviewDiffs && reader == nullptr) {
            const std::string& root = request.StartFolder;
            const bool inside = task.FullPath.rfind(root, 0) == 0 &&
                                (root.empty() || root.back() == platform::PathDelim ||
                                 (task.FullPath.size() > root.size() &&
                                  task.FullPath[root.size()] == platform::PathDelim));
            std::string below = inside ? task.FullPath.substr(root.size()) : task.FullPath;
            if (!below.empty() && below[0] == platform::PathDelim) {
                below.erase(0, 1);
            }
            if (platform::PathDelim != '/') {
                std::replace(below.begin(), below.end(), platform::PathDelim, '/');
            }
            facts.Change->Diff =
                model::UnifiedDiff(Bytes(), *facts.Change, "a/" + below, "b/" + below, false);
        }
    }
}

void TFileSearcher::Unreadable(const TSearchRequest& request, const platform::EPlatformError& e,
                               TFileFacts& facts) {
    facts.Occurences.clear();
    facts.NewContent.clear();
    facts.Streamed = false;
    facts.Searched = false;
    if (StopsOnError(request)) {
        throw e; // ends the run when committed
    }
    facts.Outcome = TEntryOutcome::Unreadable;
    facts.Failure = e.what();
}

bool TFileSearcher::Read(const TSearchRequest& request, const TFileTask& task, TFileFacts& facts,
                         bool headOnly) {
    try {
        platform::TFileReader reader;
        reader.Open(*task.Folder, *task.Name, task.FullPath);
        facts.Identity = reader.Identity();
        if (headOnly && reader.Regular() &&
            static_cast<std::uint64_t>(reader.Identity().Size) > StreamWindow()) {
            storage_.resize(std::max(storage_.size(), kBinaryProbeBytes));
            length_ = reader.ReadAt(0, storage_.data(), kBinaryProbeBytes);
        } else {
            ReadWhole(reader);
        }
    } catch (const platform::EPlatformError& e) {
        Unreadable(request, e, facts);
        return false;
    }
    return true;
}

// To the file's end, whatever size it had when opened: it may have grown since. One byte more
// than expected is asked for: a shorter answer is the end, so no probe read is needed, and a
// file that grew fills the extra byte and reading goes on.
void TFileSearcher::ReadWhole(platform::TFileReader& reader) {
    const bool regular = reader.Regular();
    const auto expected =
        static_cast<size_t>(regular ? std::max<std::int64_t>(reader.Identity().Size, 0) : 0);
    const size_t want = expected + 1;
    if (storage_.size() < want) {
        storage_.resize(std::max(want, storage_.size() + storage_.size() / 2));
    }
    length_ = 0;
    for (;;) {
        if (length_ == storage_.size()) {
            storage_.resize(storage_.size() * 2 + 4096);
        }
        const size_t got = reader.ReadSome(static_cast<std::int64_t>(length_),
                                           storage_.data() + length_, storage_.size() - length_);
        if (got == 0) {
            return;
        }
        length_ += got;
        if (regular && length_ < want && length_ == expected) {
            return;
        }
    }
}

bool TFileSearcher::SearchStreamed(const TSearchRequest& request, const TFileTask& task,
                                   platform::TFileReader& reader, TFileFacts& facts) {
    if (request.UseRegex) {
        PrepareRegex(request);
        if (!byLines_) {
            return false; // its matches may cross lines: it needs the whole text
        }
    } else {
        PreparePlain(request);
    }
    facts.Searched = true;
    std::vector<model::TEdit>* edits = nullptr;
    if (request.DoReplace && request.Preview) {
        facts.Change = std::make_unique<model::TFileChange>();
        edits = &facts.Change->Edits;
    }
    TLineWindows windows(
        [&reader](std::int64_t at, char* into, size_t n) { return reader.ReadAt(at, into, n); },
        stream_, StreamWindow());
    // A line longer than a window keeps the storage it was read into as its text.
    const auto share = [&windows](std::string_view line) {
        if (windows.LongLine() && line.data() == windows.Lines().data() &&
            line.size() == windows.Lines().size()) {
            return std::make_shared<const std::string>(windows.TakeLongLine());
        }
        return std::make_shared<const std::string>(line);
    };
    size_t found = 0;
    if (request.UseRegex) {
        TRegexSearchOutput out;
        out.Occurences = &facts.Occurences;
        out.FileSize = static_cast<size_t>(facts.Identity.Size);
        out.ShareLine = share;
        out.Edits = edits;
        out.Template = request.ReplaceText;
        while (windows.Next()) {
            out.FirstLine = windows.FirstLine();
            out.BaseOffset = windows.FirstOffset();
            found += RegexSearchByLines(windows.Lines(), *regex_, prefilter_, out);
        }
    } else {
        TPlainSearchOutput out;
        out.Occurences = &facts.Occurences;
        out.AsReplacing = request.DoReplace;
        out.Replacement = request.ReplaceText;
        out.ShareLine = share;
        out.Edits = edits;
        while (windows.Next()) {
            out.FirstLine = windows.FirstLine();
            out.BaseOffset = windows.FirstOffset();
            found += PlainSearch(windows.Lines(), plain_, out);
        }
    }
    if (found == 0) {
        facts.Occurences.clear();
        facts.Change.reset();
    } else {
        facts.Streamed = request.DoReplace && !request.Preview;
        Record(request, task, &reader, facts);
    }
    return true;
}

int TFileSearcher::MakeNewContent(const TSearchRequest& request, std::int64_t fileSize,
                                  size_t finds, const platform::TReadBytes& read,
                                  const platform::TWriteBytes& write) {
    struct TFailed {
        int Error;
    };
    const TReadAt readAt = [&read](std::int64_t at, char* into, size_t n) {
        const std::int64_t got = read(at, into, n);
        if (got < 0) {
            throw TFailed{static_cast<int>(-got)};
        }
        return static_cast<size_t>(got);
    };
    const auto put = [&write](std::string_view data) {
        if (const int err = write(data); err != 0) {
            throw TFailed{err};
        }
    };
    size_t made = 0;
    try {
        if (!request.UseRegex) {
            PreparePlain(request);
            made = StreamPlainReplace(readAt, put, plain_, request.ReplaceText, stream_,
                                      StreamWindow());
        } else {
            PrepareRegex(request);
            TLineWindows windows(readAt, stream_, StreamWindow());
            TRegexSearchOutput out;
            out.NewContent = &chunk_;
            out.Template = request.ReplaceText;
            out.FileSize = static_cast<size_t>(fileSize);
            while (windows.Next()) {
                out.FirstLine = windows.FirstLine();
                const size_t n = RegexSearchByLines(windows.Lines(), *regex_, prefilter_, out);
                put(n > 0 ? std::string_view(chunk_) : windows.Lines());
                put(windows.BreakAfter());
                made += n;
            }
        }
    } catch (const TFailed& failed) {
        return failed.Error;
    }
    if (stream_.size() > 4 * StreamWindow() + 4096) {
        std::string().swap(stream_);
    }
    return made == finds ? 0 : platform::kContentChanged;
}

void TFileSearcher::PreparePlain(const TSearchRequest& request) {
    if (!plainReady_ || plainText_ != request.SearchText || plainMatchCase_ != request.MatchCase) {
        plain_.Prepare(request.SearchText, !request.MatchCase);
        plainText_ = request.SearchText;
        plainMatchCase_ = request.MatchCase;
        plainReady_ = true;
    }
}

size_t TFileSearcher::SearchPlain(const TSearchRequest& request, TFileFacts& facts) {
    PreparePlain(request);
    TPlainSearchOutput out;
    out.Occurences = &facts.Occurences;
    out.NewContent = request.DoReplace && !request.Preview ? &facts.NewContent : nullptr;
    out.Edits = facts.Change ? &facts.Change->Edits : nullptr;
    out.Replacement = request.ReplaceText;
    return PlainSearch(Bytes(), plain_, out);
}

void TFileSearcher::PrepareRegex(const TSearchRequest& request) {
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
}

size_t TFileSearcher::SearchRegex(const TSearchRequest& request, TFileFacts& facts) {
    PrepareRegex(request);
    TRegexSearchOutput out;
    out.Occurences = &facts.Occurences;
    out.NewContent = request.DoReplace && !request.Preview ? &facts.NewContent : nullptr;
    out.Edits = facts.Change ? &facts.Change->Edits : nullptr;
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
