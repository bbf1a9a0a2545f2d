#include "engine/UApplyChanges.h"

#include "engine/UReplaceJournal.h"
#include "model/UTFile.h"
#include "model/UTResultTree.h"
#include "platform/UContentHash.h"
#include "platform/UFolderHandle.h"
#include "platform/UPlatform.h"
#include "platform/UReplaceFile.h"
#include "text/UTextHelpers.h"

namespace engine {

namespace {

// Reads the file whole through `reader`, which gives the identity it was read with.
void ReadAll(platform::TFileReader& reader, std::string& content) {
    content.clear();
    const auto size = static_cast<size_t>(std::max<std::int64_t>(reader.Identity().Size, 0));
    content.resize(size + 1);
    size_t length = 0;
    for (;;) {
        if (length == content.size()) {
            content.resize(content.size() * 2 + 4096);
        }
        const size_t got = reader.ReadSome(static_cast<std::int64_t>(length),
                                           content.data() + length, content.size() - length);
        if (got == 0) {
            break;
        }
        length += got;
    }
    content.resize(length);
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
        const platform::TFolderHandle folder =
            platform::TFolderHandle::OpenPath(folderPath.empty() ? std::string(".") : folderPath);
        platform::TFileReader reader;
        try {
            if (!folder.Valid()) {
                throw platform::EPlatformError("Cannot open file \"" + path + "\". " +
                                               platform::LastErrorText());
            }
            reader.Open(folder, name, path);
            ReadAll(reader, content_);
        } catch (const platform::EPlatformError& e) {
            Refuse(path, e.what(), "", false);
            return;
        }
        const std::string hash = platform::ContentHash(content_);
        if (hash != change.OldHash) {
            Refuse(path,
                   "Unable to replace in file " + path +
                       "\r\nThe file was changed after the preview",
                   "", true);
            return;
        }
        if (folderPath != cleanedFolder_) {
            platform::CleanStaleReplaceTemps(platform::PathThrough(folder, "."));
            cleanedFolder_ = folderPath;
        }
        if (request_.Journal != nullptr) {
            auto keep = request_.Journal->KeepContent();
            keep->Append(content_);
            keep->Finish(hash);
        }
        const std::string newContent = model::ApplyEdits(content_, change);
        const std::string through = platform::PathThrough(folder, name);
        const std::string backup = text::BackupFileName(through);
        platform::TReplaceCheck check;
        check.Expected = &reader.Identity();
        check.Within = request_.StartFolder;
        const platform::TReplaceOutcome result = platform::ReplaceFileContent(
            through, newContent, request_.MakeBackups ? &backup : nullptr, check);
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
            request_.Journal->Written(TWrittenFile{path, hash, platform::ContentHash(newContent),
                                                   reader.Identity().Size, reader.Identity().Meta});
        }
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
    std::string content_;
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

TApplyTotals ApplyFileChanges(const TSearchRequest& request, const model::TTreeNode& fileNode,
                              const TSearchHooks& hooks) {
    TApplier applier(request, hooks);
    applier.File(fileNode);
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
    if (platform::ContentHash(content) != change.OldHash) {
        why = "The file was changed after the preview";
        return false;
    }
    return true;
}

} // namespace engine
