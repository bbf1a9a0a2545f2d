#include "engine/UApplyChanges.h"

#include "engine/UReplaceJournal.h"
#include "engine/UStreamSearch.h"
#include "model/UTFile.h"
#include "model/UTResultTree.h"
#include "model/UUnifiedDiff.h"
#include "platform/UFolderHandle.h"
#include "platform/UPlatform.h"
#include "platform/UReplaceFile.h"
#include "text/UContentHash.h"
#include "text/UTextHelpers.h"

namespace engine {

namespace {

const char* const kChangedSincePreview = "The file was changed after the preview";

// The folder a path lies in, opened.
platform::TFolderHandle FolderOf(const std::string& path) {
    const std::string folderPath = text::ExtractFilePath(path);
    return platform::TFolderHandle::OpenPath(folderPath.empty() ? std::string(".") : folderPath);
}

std::string ChangedSincePreview(const std::string& path) {
    return "Unable to replace in file " + path + "\r\n" + kChangedSincePreview;
}

class TApplier {
public:
    TApplier(const TSearchRequest& request, const TSearchHooks& hooks)
        : request_(request), hooks_(hooks) {}

    void File(const model::TTreeNode& node) {
        const model::TFile* file = node.File();
        if (file == nullptr || !file->Change || file->Change->ChosenCount() == 0) {
            return;
        }
        const model::TFileChange& change = *file->Change;
        const std::string& path = file->FullPath;
        const std::string folderPath = text::ExtractFilePath(path);
        const std::string name = text::ExtractFileName(path);
        const platform::TFolderHandle folder = FolderOf(path);
        if (static_cast<std::uint64_t>(change.OldSize) > StreamWindow()) {
            Streamed(folder, folderPath, name, path, change);
            return;
        }
        // Read and closed before it is written: on Windows an open file cannot be replaced.
        platform::TFileIdentity identity;
        size_t length = 0;
        try {
            length = platform::ReadWholeFileInto(path, buffer_, -1, &identity);
        } catch (const platform::EPlatformError& e) {
            Refuse(path, e.what(), "", false);
            return;
        }
        const std::string_view content(buffer_.data(), length);
        const std::string hash = text::ContentHash(content);
        if (hash != change.OldHash) {
            Refuse(path, ChangedSincePreview(path), "", true);
            return;
        }
        if (folderPath != cleanedFolder_) {
            platform::CleanStaleReplaceTemps(platform::PathThrough(folder, "."));
            cleanedFolder_ = folderPath;
        }
        const std::string keep = KeepPath(hash);
        const std::string newContent = model::ApplyEdits(content, change);
        const std::string through = platform::PathThrough(folder, name);
        const std::string backup = text::BackupFileName(through);
        platform::TReplaceCheck check;
        check.Expected = &identity;
        check.Within = request_.StartFolder;
        const platform::TReplaceOutcome result = platform::ReplaceFileContent(
            through, newContent, request_.MakeBackups ? &backup : nullptr, check,
            keep.empty() ? nullptr : &keep);
        Placed(result, path, folderPath, backup, change, hash, text::ContentHash(newContent),
               identity);
    }

    // What became of a file's write: counted and recorded, or refused and reported.
    void Placed(const platform::TReplaceOutcome& result, const std::string& path,
                const std::string& folderPath, const std::string& backup,
                const model::TFileChange& change, const std::string& oldHash,
                const std::string& newHash, const platform::TFileIdentity& identity) {
        if (result.KeepFailed) {
            request_.Journal->KeepFailed(platform::TIoResult{result.Error}.Reason());
        }
        if (result.BackupFailed) {
            Message("Unable to create backup file " + folderPath + text::ExtractFileName(backup));
        }
        if (!result.Written) {
            std::string reason;
            if (result.OutsideLink) {
                reason = "a link to a file outside the start folder";
            } else if (!result.Changed) {
                reason = platform::TIoResult{result.Error}.Reason();
            }
            Refuse(path,
                   result.Changed ? "Unable to replace in file " + path +
                                        "\r\nThe file was changed by another program after it "
                                        "was read"
                                  : "Unable to create file " + path + "\r\nFile may be read/only",
                   reason, result.Changed);
            return;
        }
        ++totals_.Files;
        totals_.Occurences += static_cast<int>(change.ChosenCount());
        if (request_.Journal != nullptr) {
            request_.Journal->Written(
                TWrittenFile{path, oldHash, newHash, identity.Size, identity.Meta});
        }
    }

    // A big file, never held whole: its new content is made while it is written, from the
    // original read through the descriptor the checks are made on, which is hashed on the way
    // and must be what the preview saw, or nothing is written.
    void Streamed(const platform::TFolderHandle& folder, const std::string& folderPath,
                  const std::string& name, const std::string& path,
                  const model::TFileChange& change) {
        const platform::TFileIdentity identity = platform::IdentityAt(folder, name);
        if (!identity.Known()) {
            Refuse(path, "Cannot open file \"" + path + "\". " + platform::LastErrorText(), "",
                   false);
            return;
        }
        // Kept as it is written, once its content proves to be what the preview saw.
        const std::string keep = KeepPath(change.OldHash);
        std::string newHash;
        bool changedSincePreview = false;
        const auto make = [&](const platform::TReadBytes& read,
                              const platform::TWriteBytes& write) -> int {
            text::TContentHasher oldHasher;
            text::TContentHasher newHasher;
            const auto put = [&](std::string_view data) {
                newHasher.Update(data);
                return write(data);
            };
            // As ApplyEdits does it, a piece at a time: `copied` is how far the original has
            // been copied or replaced; an edit starting before it, or not chosen, is passed by.
            std::string piece(StreamWindow(), '\0');
            std::uint64_t at = 0;
            std::uint64_t copied = 0;
            size_t k = 0;
            const auto nextEdit = [&]() -> const model::TEdit* {
                for (; k < change.Edits.size(); ++k) {
                    const model::TEdit& e = change.Edits[k];
                    if (change.IsChosen(k) && e.From >= copied && e.To >= e.From) {
                        return &e;
                    }
                }
                return nullptr;
            };
            for (;;) {
                const std::int64_t got =
                    read(static_cast<std::int64_t>(at), piece.data(), piece.size());
                if (got < 0) {
                    return static_cast<int>(-got);
                }
                const std::string_view bytes(piece.data(), static_cast<size_t>(got));
                const std::uint64_t end = at + bytes.size();
                oldHasher.Update(bytes);
                for (;;) {
                    const std::uint64_t pos = std::min(std::max(copied, at), end);
                    const model::TEdit* e = nextEdit();
                    // At the end of the file, the edits that start there too.
                    if (e == nullptr || (got > 0 ? e->From >= end : e->From > end)) {
                        if (pos < end) {
                            if (const int err = put(bytes.substr(pos - at)); err != 0) {
                                return err;
                            }
                            copied = end;
                        }
                        break;
                    }
                    if (const int err = put(bytes.substr(pos - at, e->From - pos)); err != 0) {
                        return err;
                    }
                    if (const int err = put(e->Text); err != 0) {
                        return err;
                    }
                    copied = e->To;
                    ++k;
                }
                if (got == 0) {
                    break;
                }
                at = end;
            }
            const std::string oldHash = oldHasher.Finish();
            if (oldHash != change.OldHash) {
                changedSincePreview = true;
                return platform::kContentChanged;
            }
            newHash = newHasher.Finish();
            return 0;
        };
        const std::string through = platform::PathThrough(folder, name);
        const std::string backup = text::BackupFileName(through);
        platform::TReplaceCheck check;
        check.Expected = &identity;
        check.Within = request_.StartFolder;
        const platform::TReplaceOutcome result =
            platform::ReplaceFileContent(through, make, request_.MakeBackups ? &backup : nullptr,
                                         check, keep.empty() ? nullptr : &keep);
        if (!result.Written && changedSincePreview) {
            Refuse(path, ChangedSincePreview(path), "", true);
            return;
        }
        Placed(result, path, folderPath, backup, change, change.OldHash, newHash, identity);
    }

    TApplyTotals Finish() {
        if (hooks_.ShowStatus) {
            std::string status = "Applied " + std::to_string(totals_.Occurences) +
                                 " change(s) in " + std::to_string(totals_.Files) + " file(s)";
            if (totals_.Changed > 0) {
                status += ", " + std::to_string(totals_.Changed) + " changed since the preview";
            }
            if (totals_.Failed > 0) {
                status += ", " + std::to_string(totals_.Failed) + " not written";
            }
            hooks_.ShowStatus(status);
        }
        return std::move(totals_);
    }

private:
    // Where the journal keeps the old content of hash `hash`; empty without a journal.
    std::string KeepPath(const std::string& hash) const {
        return request_.Journal != nullptr ? request_.Journal->KeepPath(hash) : std::string();
    }

    void Message(const std::string& text) {
        if (hooks_.ShowMessage) {
            hooks_.ShowMessage(text);
        }
    }

    void Refuse(const std::string& path, const std::string& message, const std::string& reason,
                bool changed) {
        ++(changed ? totals_.Changed : totals_.Failed);
        totals_.NotWritten.push_back(
            path + ": " +
            (changed ? std::string("changed since the preview")
                     : (reason.empty() ? message.substr(message.rfind('\n') + 1) : reason)));
        if (hooks_.ShowWriteFailure) {
            hooks_.ShowWriteFailure(message, reason);
        } else {
            Message(message);
        }
    }

    const TSearchRequest& request_;
    const TSearchHooks& hooks_;
    TApplyTotals totals_;
    std::string buffer_; // only grows; the file read last is its first bytes
    std::string cleanedFolder_;
};

} // namespace

TApplyTotals ApplyChanges(const TSearchRequest& request, const model::TResultTree& tree,
                          const TSearchHooks& hooks) {
    TApplier applier(request, hooks);
    tree.ForEach([&applier](model::TTreeNode& node) {
        if (node.IsFile()) {
            applier.File(node);
        }
    });
    return applier.Finish();
}

bool ReadPreviewedContent(const std::string& path, const model::TFileChange& change,
                          std::string& content, std::string& why) {
    try {
        platform::ReadWholeFile(path, content);
    } catch (const platform::EPlatformError& e) {
        why = e.what();
        return false;
    }
    if (text::ContentHash(content) != change.OldHash) {
        why = kChangedSincePreview;
        return false;
    }
    return true;
}

bool PreviewedDiff(const std::string& path, const model::TFileChange& change,
                   const std::string& oldLabel, const std::string& newLabel, bool onlyChosen,
                   std::string& diff, std::string& why) {
    const platform::TFolderHandle folder = FolderOf(path);
    text::TContentHasher hasher;
    try {
        if (!folder.Valid()) {
            throw platform::EPlatformError("Cannot open file \"" + path + "\". " +
                                           platform::LastErrorText());
        }
        platform::TFileReader reader;
        reader.Open(folder, text::ExtractFileName(path), path);
        const model::TReadPiece read = [&reader](std::uint64_t at, char* into, size_t n) {
            return reader.ReadAt(static_cast<std::int64_t>(at), into, n);
        };
        diff = model::UnifiedDiffStreamed(
            read, static_cast<std::uint64_t>(std::max<std::int64_t>(change.OldSize, 0)), change,
            oldLabel, newLabel, onlyChosen, 3, [&hasher](std::string_view s) { hasher.Update(s); });
    } catch (const platform::EPlatformError& e) {
        why = e.what();
        return false;
    }
    if (hasher.Finish() != change.OldHash) {
        diff.clear();
        why = kChangedSincePreview;
        return false;
    }
    return true;
}

} // namespace engine
