// The in-file search and replacement: everything the engine does with one selected file.
// One searcher lives as long as its engine and keeps what can be reused from file to file:
// the read buffer, the other work buffers, and what was prepared for the run's search text
// (the folded plain needle, or the compiled pattern and its prefilter).
#pragma once

#include "UByteScan.h"
#include "UFileSelection.h"

#include <memory>
#include <string>
#include <vector>

class TRegExpr;

namespace model {
class TOccurence;
class TResultTree;
class TTreeNode;
} // namespace model

namespace engine {

struct TSearchRequest;
struct TSearchHooks;

class TFileSearcher {
public:
    TFileSearcher();
    ~TFileSearcher();
    TFileSearcher(const TFileSearcher&) = delete;
    TFileSearcher& operator=(const TFileSearcher&) = delete;

    // Forgets the previous run's prepared search and gives back oversized buffers.
    void BeginRun();

    // Handles one selected file: searches it when the run searches content, replaces and
    // writes it back when asked, and adds its node and occurrence nodes under `folderNode`.
    // Gives the number of occurrences found, or 1 when content is not searched.
    int SearchFile(const TSearchRequest& request, const std::string& fullPath,
                   model::TTreeNode* folderNode, model::TResultTree& tree,
                   const TSearchHooks& hooks);

    // What became of the last file: Searched, or why it was left out; and, when it could not
    // be read, the message naming it and the system's reason.
    TEntryOutcome LastOutcome() const { return outcome_; }
    const std::string& LastFailure() const { return failure_; }

private:
    // Reads the file into the buffer, or records why it is left out (unreadable, binary).
    // With StopOnError an unreadable file throws, ending the run.
    bool ReadSelected(const TSearchRequest& request, const std::string& fullPath,
                      std::int64_t size);
    // Without content search: whether a binary file is to be left out (its head is read).
    bool SkipsUnreadBinary(const TSearchRequest& request, const std::string& fullPath);
    size_t SearchPlain(const TSearchRequest& request, std::string* newContent);
    size_t SearchRegex(const TSearchRequest& request, std::string* newContent);
    void WriteBack(const TSearchRequest& request, const std::string& fullPath,
                   const TSearchHooks& hooks);

    std::string storage_; // holds the file's bytes in its first length_ bytes; only grows
    size_t length_ = 0;
    std::string_view Bytes() const { return std::string_view(storage_.data(), length_); }
    std::string joined_;  // its lines joined with CR LF, for the pattern
    std::string content_; // its new bytes when replacing
    std::vector<std::unique_ptr<model::TOccurence>> found_;

    // The plain needle, prepared for the search text and case choice it was made from.
    bool plainReady_ = false;
    std::string plainText_;
    bool plainMatchCase_ = false;
    TSubstringFinder plain_;

    // The compiled pattern, likewise, with the literal every match must contain.
    std::unique_ptr<TRegExpr> regex_;
    std::string regexText_;
    bool regexMatchCase_ = false;
    bool prefilterOn_ = false;
    TSubstringFinder prefilter_;
    // Its matches stay within lines: only the lines holding the literal are searched.
    bool byLines_ = false;

    TEntryOutcome outcome_ = TEntryOutcome::Searched;
    std::string failure_;
    std::string head_; // the start of a file probed for NUL bytes

    // The folder last cleared of temporary files that killed replacements left behind.
    std::string cleanedFolder_;
};

} // namespace engine
