#include "operations/UUndoJournal.h"

#include "engine/UTSearchRequest.h"
#include "platform/UFileState.h"
#include "platform/UFolderHandle.h"
#include "platform/UReplaceFile.h"
#include "text/UContentHash.h"
#include "text/UTextHelpers.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <set>
#include <sstream>
#include <system_error>
#include <thread>

namespace operations {

namespace {

const char* const kHeader = "fernsweep undo journal 1";
const char* const kEntryName = "entry";
const char* const kLockName = "lock";

std::string WithDelim(std::string folder) {
    if (!folder.empty() && folder.back() != platform::PathDelim) {
        folder += platform::PathDelim;
    }
    return folder;
}

// Bytes that would break the line-based format, and '%', as %XX.
std::string Escape(std::string_view s) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        if (c <= 0x20 || c == '%' || c == 0x7F) {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += ch;
        }
    }
    return out;
}

std::string Unescape(std::string_view s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size()) {
            out += static_cast<char>(std::stoi(std::string(s.substr(i + 1, 2)), nullptr, 16));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

std::string Serialize(const TJournalEntry& e) {
    std::ostringstream out;
    out << kHeader << "\n";
    out << "when " << e.When << "\n";
    out << "request " << Escape(e.Request) << "\n";
    out << "undone " << (e.Undone ? 1 : 0) << "\n";
    for (const TJournalFile& f : e.Files) {
        out << "file " << f.OldHash << ' ' << f.NewHash << ' ' << f.OldSize << ' ' << f.Meta.Mode
            << ' ' << f.Meta.Owner << ' ' << f.Meta.Group << ' ' << f.Meta.AccessedNs << ' '
            << f.Meta.ModifiedNs << ' ' << Escape(f.Path) << "\n";
    }
    out << "end\n";
    return out.str();
}

bool Parse(const std::string& text, TJournalEntry& e) {
    std::istringstream in(text);
    std::string line;
    if (!std::getline(in, line) || line != kHeader) {
        return false;
    }
    bool ended = false;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string key;
        words >> key;
        if (key == "when") {
            words >> e.When;
        } else if (key == "request") {
            std::string v;
            words >> v;
            e.Request = Unescape(v);
        } else if (key == "undone") {
            int v = 0;
            words >> v;
            e.Undone = v != 0;
        } else if (key == "file") {
            TJournalFile f;
            std::string path;
            words >> f.OldHash >> f.NewHash >> f.OldSize >> f.Meta.Mode >> f.Meta.Owner >>
                f.Meta.Group >> f.Meta.AccessedNs >> f.Meta.ModifiedNs >> path;
            if (!words) {
                return false;
            }
            f.Path = Unescape(path);
            e.Files.push_back(std::move(f));
        } else if (key == "end") {
            ended = true;
        }
    }
    return ended;
}

// A new entry's id: sortable by time, unique across processes.
std::string NewId() {
    const auto now = std::chrono::system_clock::now();
    const auto us =
        std::chrono::duration_cast<std::chrono::microseconds>(now.time_since_epoch()).count();
    const std::time_t secs = static_cast<std::time_t>(us / 1000000);
    std::tm tm{};
#ifdef _WIN32
    gmtime_s(&tm, &secs);
#else
    gmtime_r(&secs, &tm);
#endif
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d%02d%02d-%02d%02d%02d-%06lld", tm.tm_year + 1900,
                  tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
                  static_cast<long long>(us % 1000000));
    static int counter = 0;
    return std::string(buf) + "-" + std::to_string(++counter);
}

// Deletes the files `names` of `folder`. A file that loses its last name has its blocks freed,
// which on some file systems waits for the device: a run's many files go a few at a time.
void DeleteAll(const std::string& folder, const std::vector<std::string>& names) {
    constexpr size_t kHelpers = 4;
    constexpr size_t kFilesEach = 32; // fewer are not worth a thread
    std::atomic<size_t> next{0};
    const auto work = [&] {
        for (size_t i; (i = next++) < names.size();) {
            platform::DeleteFile(folder + names[i]);
        }
    };
    std::vector<std::thread> helpers;
    try {
        while (helpers.size() < std::min(kHelpers, names.size() / kFilesEach)) {
            helpers.emplace_back(work);
        }
    } catch (const std::system_error&) {
        // those started and this thread do it
    }
    work();
    for (std::thread& t : helpers) {
        t.join();
    }
}

// Deletes a run's folder: its entry first, so it is never seen half gone.
void RemoveRun(const std::string& runFolder) {
    platform::DeleteFile(runFolder + kEntryName);
    std::vector<std::string> names;
    for (platform::TDirEnumerator en(runFolder); en.Next();) {
        if (en.Name() != "." && en.Name() != "..") {
            names.push_back(en.Name());
        }
    }
    DeleteAll(runFolder, names);
    platform::RemoveFolder(runFolder.substr(0, runFolder.size() - 1));
}

// Gives one file its old content back, streamed from the kept copy, when it still holds what
// the run wrote: the file is read through the descriptor the replacement checks, and neither
// file is ever held whole.
void UndoFile(const TJournalFile& f, const std::string& objectPath, TUndoResult& result) {
    const std::string folderPath = text::ExtractFilePath(f.Path);
    const std::string name = text::ExtractFileName(f.Path);
    const platform::TFolderHandle folder = platform::TFolderHandle::OpenPath(folderPath);
    const platform::TFileIdentity identity =
        folder.Valid() ? platform::IdentityAt(folder, name) : platform::TFileIdentity{};
    if (!identity.Known()) {
        result.LeftAlone.push_back(f.Path); // gone
        return;
    }
    enum class TFound { Unread, Written, Old, Other } found = TFound::Unread;
    std::string failure;
    constexpr size_t kPiece = 256 * 1024;
    const auto make = [&](const platform::TReadBytes& read,
                          const platform::TWriteBytes& write) -> int {
        std::string piece(kPiece, '\0');
        text::TContentHasher hasher;
        for (std::int64_t at = 0;;) {
            const std::int64_t got = read(at, piece.data(), piece.size());
            if (got < 0) {
                return static_cast<int>(-got);
            }
            if (got == 0) {
                break;
            }
            hasher.Update(std::string_view(piece.data(), static_cast<size_t>(got)));
            at += got;
        }
        const std::string now = hasher.Finish();
        found = now == f.NewHash ? TFound::Written : now == f.OldHash ? TFound::Old : TFound::Other;
        if (found != TFound::Written) {
            return platform::kContentChanged; // nothing to write
        }
        try {
            platform::TFileReader kept;
            const platform::TFolderHandle keptFolder =
                platform::TFolderHandle::OpenPath(text::ExtractFilePath(objectPath));
            kept.Open(keptFolder, text::ExtractFileName(objectPath), objectPath);
            for (std::int64_t at = 0;;) {
                const size_t got = kept.ReadAt(at, piece.data(), piece.size());
                if (got == 0) {
                    break;
                }
                const std::string_view bytes(piece.data(), got);
                hasher.Update(bytes);
                if (const int err = write(bytes); err != 0) {
                    return err;
                }
                at += static_cast<std::int64_t>(got);
            }
        } catch (const platform::EPlatformError& e) {
            failure = e.what();
            return EIO;
        }
        if (hasher.Finish() != f.OldHash) {
            failure = "the kept content is damaged";
            return EIO;
        }
        return 0;
    };
    const std::string through = platform::PathThrough(folder, name);
    platform::TReplaceCheck check;
    check.Expected = &identity;
    const platform::TReplaceOutcome out =
        platform::ReplaceFileContent(through, make, nullptr, check);
    if (out.Written) {
        platform::RestoreFileMeta(through, f.Meta);
        result.Restored.push_back(f.Path);
    } else if (found == TFound::Old) {
        result.Restored.push_back(f.Path); // given back already by an undo cut short
    } else if (found == TFound::Other) {
        result.LeftAlone.push_back(f.Path);
    } else {
        result.Failed.push_back(f.Path + ": " +
                                (!failure.empty() ? failure
                                 : out.Changed    ? std::string("changed while it was being undone")
                                                  : platform::TIoResult{out.Error}.Reason()));
    }
}

} // namespace

TUndoJournal::TUndoJournal(std::string folder)
    : folder_(WithDelim(folder.empty() ? platform::StateFolder() : std::move(folder))) {}

std::string TUndoJournal::RunFolder(const std::string& id) const {
    return folder_ + "runs" + platform::PathDelimStr + id + platform::PathDelimStr;
}

std::string TUndoJournal::ObjectPath(const std::string& id, const std::string& hash) const {
    return RunFolder(id) + hash;
}

std::vector<TJournalEntry> TUndoJournal::Entries() const {
    std::vector<std::string> ids;
    for (platform::TDirEnumerator en(folder_ + "runs"); en.Next();) {
        if (en.Name() != "." && en.Name() != ".." && en.IsDirectory()) {
            ids.push_back(en.Name());
        }
    }
    std::sort(ids.begin(), ids.end());
    std::vector<TJournalEntry> out;
    std::string text;
    for (const std::string& id : ids) {
        try {
            platform::ReadWholeFile(RunFolder(id) + kEntryName, text);
        } catch (const platform::EPlatformError&) {
            continue; // still being written, or left by a run that was killed
        }
        TJournalEntry e;
        if (Parse(text, e)) {
            e.Id = id;
            out.push_back(std::move(e));
        }
    }
    return out;
}

std::optional<TJournalEntry> TUndoJournal::Last() const {
    std::vector<TJournalEntry> all = Entries();
    for (auto it = all.rbegin(); it != all.rend(); ++it) {
        if (!it->Undone) {
            return std::move(*it);
        }
    }
    return std::nullopt;
}

std::string TUndoJournal::BeginRun() {
    if (folder_.empty()) {
        throw EJournalError("Cannot keep the content for undoing the replacement: no home folder");
    }
    const std::string id = NewId();
    // The contents kept there may be replaced files themselves, with their own permissions:
    // the folder keeps them to its owner.
    const std::string runs = folder_ + "runs";
    if (!platform::ForceDirectories(runs) ||
        !platform::CreatePrivateFolder(RunFolder(id).substr(0, RunFolder(id).size() - 1))) {
        throw EJournalError("Cannot create the folder " + RunFolder(id) + ". " +
                            platform::LastErrorText());
    }
    return id;
}

void TUndoJournal::Commit(const TJournalEntry& entry) {
    // The contents it names reach the disk first; the entry goes in whole or not at all.
    if (const platform::TIoResult flushed = platform::FlushFileSystem(RunFolder(entry.Id));
        !flushed) {
        throw EJournalError("Cannot record the replacement for undoing it. " + flushed.Reason());
    }
    const platform::TIoResult r =
        platform::WriteWholeFile(RunFolder(entry.Id) + kEntryName, Serialize(entry));
    if (!r) {
        throw EJournalError("Cannot record the replacement for undoing it. " + r.Reason());
    }
    Trim();
}

void TUndoJournal::Discard(const std::string& id) {
    RemoveRun(RunFolder(id));
}

void TUndoJournal::Trim() {
    platform::ForceDirectories(folder_);
    const platform::TFileLock lock(folder_ + kLockName);
    // Folders without an entry whose writer is gone.
    for (platform::TDirEnumerator en(folder_ + "runs"); en.Next();) {
        const std::string& id = en.Name();
        if (id == "." || id == ".." || platform::FileExists(RunFolder(id) + kEntryName)) {
            continue;
        }
        const platform::TFileLock writer(RunFolder(id) + kLockName, false);
        if (writer.Held()) {
            RemoveRun(RunFolder(id));
        }
    }
    std::vector<TJournalEntry> all = Entries();
    std::vector<std::uint64_t> sizes;
    std::uint64_t total = 0;
    for (const TJournalEntry& e : all) {
        std::set<std::string> hashes;
        std::uint64_t size = 0;
        for (const TJournalFile& f : e.Files) {
            if (hashes.insert(f.OldHash).second) {
                size += static_cast<std::uint64_t>(std::max<std::int64_t>(f.OldSize, 0));
            }
        }
        sizes.push_back(size);
        total += size;
    }
    size_t first = 0;
    while (all.size() - first > 1 && (all.size() - first > MaxRuns || total > MaxBytes)) {
        RemoveRun(RunFolder(all[first].Id));
        total -= sizes[first];
        ++first;
    }
}

TUndoResult TUndoJournal::Undo(const std::string& id) {
    platform::ForceDirectories(folder_);
    const platform::TFileLock lock(folder_ + kLockName);
    std::optional<TJournalEntry> found;
    for (TJournalEntry& e : Entries()) {
        if (e.Id == id) {
            found = std::move(e);
        }
    }
    if (!found) {
        throw EJournalError("There is no replacement " + id + " to undo");
    }
    if (found->Undone) {
        throw EJournalError("The replacement " + id + " was undone already");
    }
    TUndoResult result;
    for (const TJournalFile& f : found->Files) {
        UndoFile(f, ObjectPath(id, f.OldHash), result);
    }
    found->Undone = true;
    const platform::TIoResult r =
        platform::WriteWholeFile(RunFolder(id) + kEntryName, Serialize(*found));
    if (!r) {
        throw EJournalError("Cannot record that the replacement was undone. " + r.Reason());
    }
    return result;
}

TJournalRecorder::TJournalRecorder(TUndoJournal& journal, std::string request) : journal_(journal) {
    entry_.Request = std::move(request);
}

TJournalRecorder::~TJournalRecorder() {
    // A run that ended in an error still records the files it wrote.
    try {
        Commit();
    } catch (...) {
    }
}

std::string TJournalRecorder::KeepPath(const std::string& hash) {
    const std::lock_guard<std::mutex> guard(mutex_);
    if (entry_.Id.empty()) {
        entry_.Id = journal_.BeginRun();
        // Held while the run lives: its folder is not taken for a dead run's.
        writerLock_ =
            std::make_unique<platform::TFileLock>(journal_.RunFolder(entry_.Id) + kLockName);
    }
    // Flushed together before the entry that names it is written.
    return journal_.ObjectPath(entry_.Id, hash);
}

void TJournalRecorder::KeepFailed(const std::string& reason) {
    throw EJournalError("Cannot keep the content for undoing the replacement. " + reason);
}

void TJournalRecorder::Written(const engine::TWrittenFile& file) {
    const std::lock_guard<std::mutex> guard(mutex_);
    entry_.Files.push_back(
        TJournalFile{file.Path, file.OldHash, file.NewHash, file.OldSize, file.Meta});
}

std::string TJournalRecorder::Commit() {
    const std::lock_guard<std::mutex> guard(mutex_);
    if (committed_ || entry_.Id.empty()) {
        return {};
    }
    if (entry_.Files.empty()) {
        journal_.Discard(entry_.Id);
        entry_.Id.clear();
        return {};
    }
    entry_.When = std::chrono::duration_cast<std::chrono::seconds>(
                      std::chrono::system_clock::now().time_since_epoch())
                      .count();
    journal_.Commit(entry_);
    committed_ = true;
    writerLock_.reset();
    return entry_.Id;
}

std::string DescribeRequest(const engine::TSearchRequest& request) {
    std::string masks;
    for (const std::string& m : request.Masks) {
        masks += (masks.empty() ? "" : ";") + m;
    }
    return "\"" + request.SearchText + "\" by \"" + request.ReplaceText + "\" in " +
           request.StartFolder + " (" + masks + ")" +
           (request.UseRegex ? ", regular expression" : "");
}

} // namespace operations
