// Which entries of a folder a run searches, and the account of what became of every entry it
// looked at. The classification is a pure function of the request and of the entry's facts, so
// any walk can use it; the facts that cost a system call are asked for only when needed.
#pragma once

#include "engine/UTSearchRequest.h"
#include "platform/UFolderHandle.h"
#include "platform/UPlatform.h"
#include "settings/UTSearchOptions.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace engine {

// What became of one entry of the walk. Every entry enumerated (and the start folder) ends in
// exactly one of these.
enum class TEntryOutcome {
    Searched,       // a file handed to the file search and read (or found without reading)
    FolderWalked,   // a folder entered
    NameMask,       // a file whose name matches no mask
    Attributes,     // a file refused by the attribute filters
    Date,           // a file outside the modification date limits
    Size,           // a file outside the size limits
    ExcludedFolder, // a folder whose name matches a mask of the folders left out
    Binary,         // a file with a NUL byte near its start
    Unreadable,     // a file that could not be opened or read
    CannotEnter,    // a folder that could not be entered
    NotRecursed,    // a folder not walked because the run does not recurse
    FolderLink,     // a link to a folder, never followed
    NotRegular,     // a FIFO, socket, device or dangling link, or a replacement's temporary file
    NotReached,     // left undone after Abort
    Selected,       // (transient) a file that passed the selection, not yet searched
};
constexpr std::size_t kOutcomeCount = static_cast<std::size_t>(TEntryOutcome::Selected);

// The counts of one run per outcome, and the failures the run went on after.
struct TRunAccount {
    std::array<std::int64_t, kOutcomeCount> Counts{};
    std::vector<std::string> Failures;

    void Add(TEntryOutcome outcome, std::int64_t n = 1) {
        Counts[static_cast<std::size_t>(outcome)] += n;
    }
    std::int64_t Count(TEntryOutcome outcome) const {
        return Counts[static_cast<std::size_t>(outcome)];
    }
    // All entries looked at: the sum over every outcome.
    std::int64_t Looked() const;
    void Clear() { *this = TRunAccount(); }
};

// The account in lines of text: the number of entries looked at, then one line per outcome
// that occurred, e.g. "  name not matching the masks: 12".
std::string DescribeAccount(const TRunAccount& account);

// True when the bytes hold a NUL within their first kBinaryProbeBytes.
bool LooksBinary(std::string_view head);

// The selection rules of one folder's entries, prepared from the request.
class TFileSelection {
public:
    explicit TFileSelection(const TSearchRequest& request);

    // Whether a sub-folder of this name is left out of the walk.
    bool ExcludesFolder(std::string_view name) const;

    // Whether classifying needs no fact of the entry beyond its name and its plain-file type.
    bool NameOnly() const { return !attributeFilter_ && !statFilter_; }

    // The outcome for an entry that is not a real folder: Selected when it is to be searched.
    // `Entry` gives IsPlainFile(), Attributes(), Size() and ModifiedTime(), as the platform's
    // directory enumerator does. The tests run in this order: attributes, masks, date, size;
    // the first that fails names the outcome.
    template <class Entry> TEntryOutcome Classify(std::string_view name, Entry& entry) const;

private:
    bool IsTempName(std::string_view name) const;
    bool MatchesMasks(std::string_view name) const;

    const TSearchRequest& request_;
    const settings::TSearchOptions* options_;
    bool attributeFilter_ = false;
    bool statFilter_ = false;
    std::vector<std::string> excludeMasks_;
};

template <class Entry>
TEntryOutcome TFileSelection::Classify(std::string_view name, Entry& entry) const {
    if (IsTempName(name)) {
        return TEntryOutcome::NotRegular;
    }
    const bool matches = MatchesMasks(name);
    if (!attributeFilter_ && !matches) {
        return TEntryOutcome::NameMask; // decided without looking at the entry
    }
    if (NameOnly() && entry.IsPlainFile()) {
        return TEntryOutcome::Selected; // no filter to apply and no link to look through
    }
    const int attr = entry.Attributes();
    if ((attr & platform::faDirectory) != 0) {
        return TEntryOutcome::FolderLink; // a link to a folder is neither walked nor a file
    }
    if (attributeFilter_ && !options_->Accepts(attr)) {
        return TEntryOutcome::Attributes;
    }
    if (!matches) {
        return TEntryOutcome::NameMask;
    }
    if (statFilter_) {
        if (!options_->AcceptsTime(entry.ModifiedTime())) {
            return TEntryOutcome::Date;
        }
        if (!options_->AcceptsSize(entry.Size())) {
            return TEntryOutcome::Size;
        }
    }
    return TEntryOutcome::Selected;
}

// A listed entry as the file selection asks about it; what costs a system call is looked up
// only when asked for, once.
class TListedEntry {
public:
    TListedEntry(const platform::TFolderHandle& dir, const platform::TFolderEntry& entry)
        : dir_(dir), entry_(entry) {}
    bool IsPlainFile() const { return entry_.Kind == platform::TEntryKind::PlainFile; }
    int Attributes() {
        if (attr_ == kUnknown) {
            attr_ = platform::EntryAttributes(dir_, entry_.Name);
            if (attr_ < 0) {
                attr_ = platform::faSysFile; // gone since the listing: neither file nor folder
            }
        }
        return attr_;
    }
    std::int64_t Size() { return Identity().Size; }
    std::int64_t ModifiedTime() {
        // Whole seconds, rounded down, as the limits are given.
        const std::int64_t ns = Identity().ModifiedNs;
        return ns >= 0 ? ns / 1000000000 : -((-ns + 999999999) / 1000000000);
    }

private:
    static constexpr int kUnknown = -2;
    const platform::TFileIdentity& Identity() {
        if (!identityKnown_) {
            identity_ = platform::IdentityAt(dir_, entry_.Name);
            identityKnown_ = true;
        }
        return identity_;
    }
    const platform::TFolderHandle& dir_;
    const platform::TFolderEntry& entry_;
    int attr_ = kUnknown;
    bool identityKnown_ = false;
    platform::TFileIdentity identity_;
};

} // namespace engine
