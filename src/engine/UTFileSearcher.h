// The in-file search: everything the engine learns from one selected file, as facts, without
// touching the result tree or the file itself. Several searchers may work at once, one per
// thread; each keeps what can be reused from file to file: the read buffer, the other work
// buffers, and what was prepared for the run's search text (the folded plain needle, or the
// compiled pattern and its prefilter).
#pragma once

#include "engine/UByteScan.h"
#include "engine/UFileSelection.h"
#include "engine/UReadBuffer.h"
#include "model/UTFileChange.h"
#include "model/UTOccurence.h"
#include "platform/UFolderHandle.h"
#include "platform/UReplaceFile.h"

#include <exception>
#include <memory>
#include <string>
#include <vector>

namespace regex {
class TRegExpr;
}

namespace engine {

struct TSearchRequest;

// What one file gave: the facts from which its node, its occurrence nodes and its new content
// are committed.
struct TFileFacts {
    std::int32_t Attributes = 0;
    bool Searched = false;            // content was read and searched
    platform::TFileIdentity Identity; // of what was read
    std::vector<std::unique_ptr<model::TOccurence>> Occurences;
    std::string NewContent; // when replacing and something was found
    // A big file, read a window at a time: its new content is made while it is written
    // (MakeNewContent), not held here.
    bool Streamed = false;
    // The new content already written and flushed beside the file, waiting for its turn to
    // be put in place (PrepareWriteBack).
    std::unique_ptr<platform::TPreparedReplace> Prepared;
    // A preview's: the file's changes. A journalled replacement's: the hashes of the old and
    // the new content, and where the old content is kept as the file is written.
    std::unique_ptr<model::TFileChange> Change;
    std::string OldHash;
    std::string NewHash;
    std::string KeepPath;
    std::exception_ptr Error; // the failure that ends the run, raised when committed
    // Searched, or why the file was left out after all (unreadable, binary, not regular);
    // for an unreadable file the message naming it with the system's reason.
    TEntryOutcome Outcome = TEntryOutcome::Searched;
    std::string Failure;
};

// One selected file: its folder, its name there and the path it is shown by.
struct TFileTask {
    const platform::TFolderHandle* Folder = nullptr;
    const std::string* Name = nullptr;
    std::string FullPath;
    // The listing called it a regular file (not a link): its content is opened at once and its
    // attributes taken from the open file, a look-up by name saved.
    bool PlainFile = false;
};

// The path through which a file's new content is written.
std::string WriteBackPath(const TFileTask& task);
// The checks made before it is written.
platform::TReplaceCheck WriteBackCheck(const TSearchRequest& request, const TFileFacts& facts);
// Writes and flushes a found file's new content beside it ahead of its turn, so that threads
// that search ahead also wait for the disk ahead; the walk puts it in place in its own order.
void PrepareWriteBack(const TSearchRequest& request, const TFileTask& task, TFileFacts& facts);

class TFileSearcher {
public:
    TFileSearcher();
    ~TFileSearcher();
    TFileSearcher(const TFileSearcher&) = delete;
    TFileSearcher& operator=(const TFileSearcher&) = delete;

    // Forgets the previous run's prepared search and gives back oversized buffers.
    void BeginRun();

    // Looks the file up and, when the run searches content, reads and searches it and prepares
    // its new content when replacing. Failures are caught into the facts.
    TFileFacts Examine(const TSearchRequest& request, const TFileTask& task);

    // For a Streamed file: makes its new content from the original, read through `read`, and
    // writes it through `write`, a window at a time, as a platform::TMakeContent does. The
    // file is expected to be the one searched, `fileSize` bytes with `finds` finds; one that
    // is not gives platform::kContentChanged.
    int MakeNewContent(const TSearchRequest& request, std::int64_t fileSize, size_t finds,
                       const platform::TReadBytes& read, const platform::TWriteBytes& write);

private:
    // What Examine gives back, the buffers it grew trimmed; a failure caught into the facts.
    TFileFacts Examined(TFileFacts facts);
    static void Failed(TFileFacts& facts);
    void Search(const TSearchRequest& request, const TFileTask& task, TFileFacts& facts);
    // Opens the file, then reads it whole into the buffer (or, with `headOnly`, its first
    // bytes when it is big); false with the outcome set when it cannot be read (with
    // StopOnError the error is thrown instead).
    bool Read(const TSearchRequest& request, const TFileTask& task, TFileFacts& facts,
              bool headOnly = false);
    void ReadWhole(platform::TFileReader& reader);
    // A failure to read: the outcome, or the error thrown on with StopOnError.
    void Unreadable(const TSearchRequest& request, const platform::EPlatformError& e,
                    TFileFacts& facts);
    size_t SearchPlain(const TSearchRequest& request, TFileFacts& facts);
    size_t SearchRegex(const TSearchRequest& request, TFileFacts& facts);
    void PreparePlain(const TSearchRequest& request);
    void PrepareRegex(const TSearchRequest& request);
    // For a preview or a journalled replacement, once a file has finds: hashes the content
    // searched, from the buffer or, for a big file, read again, and asks the journal where the
    // replacement is to keep it.
    void Record(const TSearchRequest& request, const TFileTask& task, platform::TFileReader* reader,
                TFileFacts& facts);
    // Searches a big file a window at a time; false when the search needs the whole text.
    bool SearchStreamed(const TSearchRequest& request, const TFileTask& task,
                        platform::TFileReader& reader, TFileFacts& facts);

    TReadBuffer storage_; // holds the file's bytes in its first length_ bytes; only grows
    size_t length_ = 0;
    std::string_view Bytes() const { return std::string_view(storage_.data(), length_); }
    std::string joined_; // its lines joined with CR LF, for the pattern
    std::string stream_; // the window of a big file
    std::string chunk_;  // a window's new content

    // The plain needle, prepared for the search text and case choice it was made from.
    bool plainReady_ = false;
    std::string plainText_;
    bool plainMatchCase_ = false;
    TSubstringFinder plain_;

    // The compiled pattern, likewise, with the literal every match must contain.
    std::unique_ptr<regex::TRegExpr> regex_;
    std::string regexText_;
    bool regexMatchCase_ = false;
    bool regexLineByLine_ = false;
    bool prefilterOn_ = false;
    TSubstringFinder prefilter_;
    // Its matches stay within lines: only the lines holding the literal are searched.
    bool byLines_ = false;
};

} // namespace engine
