// Win32 implementation of the safe replacement.
//
// The new content goes to a hidden temporary file beside the target, flushed; then the target
// is opened for writing without write sharing, which both proves this process may write it and
// keeps other writers (and other replacements) out while it is checked against what was read.
// The backup is a hard link, or a flushed copy put in place under the backup name. The
// temporary file then takes the original's attributes and replaces it with MoveFileEx
// (write-through): at every instant the name holds the old or the new content, whole. Links
// (reparse points) are not written through.
#include "platform/UReplaceFile.h"

#include "platform/UPlatform.h"

#include "platform/win32/UWin32Io.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <exception>
#include <thread>
#include <vector>

namespace platform {

using win32::Injected;
using win32::LastErrno;
using win32::THandle;
using win32::TSiblingTemp;

namespace {

// How long a replacement waits for another writer of the same file to finish.
constexpr auto kLockWait = std::chrono::seconds(10);

// Opens the file for writing with read and delete sharing only, waiting a while for a writer.
HANDLE OpenLocked(const std::string& path) {
    const auto until = std::chrono::steady_clock::now() + kLockWait;
    for (;;) {
        const HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                       FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (h != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_SHARING_VIOLATION ||
            std::chrono::steady_clock::now() > until) {
            return h;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

bool SameContent(const TFileIdentity& a, const TFileIdentity& b) {
    return a.Device == b.Device && a.Inode == b.Inode && a.Size == b.Size &&
           a.ModifiedNs == b.ModifiedNs;
}

enum class TBackup { None, Linked, Copied };

// Puts a flushed copy of the file at `from` under `to` with `attributes`, never over a file
// there; `placeStep`, when given, is the test step that can fail the placing. Gives 0 or an
// errno.
int PlaceCopy(const std::string& from, const std::string& to, DWORD attributes,
              const TReplaceStep* placeStep) {
    std::string folder;
    std::string name;
    win32::SplitPath(to, folder, name);
    TSiblingTemp copy(folder, name);
    int err = copy.Create();
    err = err != 0 ? err : copy.CopyFrom(from);
    err = err != 0 ? err : copy.Sync();
    err = err != 0 || placeStep == nullptr ? err : Injected(*placeStep);
    return err != 0 ? err : copy.Place(name, attributes, false);
}

TBackup MakeBackup(const std::string& path, const std::string& backupPath) {
    if (Injected(TReplaceStep::LinkBackup) == 0 &&
        ::CreateHardLinkA(backupPath.c_str(), path.c_str(), nullptr)) {
        return TBackup::Linked;
    }
    if (::GetFileAttributesA(backupPath.c_str()) != INVALID_FILE_ATTRIBUTES) {
        return TBackup::None;
    }
    const TReplaceStep step = TReplaceStep::RenameBackup;
    return PlaceCopy(path, backupPath, ::GetFileAttributesA(path.c_str()), &step) == 0
               ? TBackup::Copied
               : TBackup::None;
}

void UndoBackup(TBackup backup, const std::string* backupPath) {
    if (backup != TBackup::None && backupPath != nullptr) {
        ::DeleteFileA(backupPath->c_str());
    }
}

// Keeps a copy of the old content under `keepPath` (the replaced file itself does not outlive
// its name here); a file already there holds the same content. Gives 0 or an errno; `made`
// tells whether this call put the copy there.
int KeepOld(const std::string& path, const std::string& keepPath, bool& made) {
    made = false;
    if (::GetFileAttributesA(keepPath.c_str()) != INVALID_FILE_ATTRIBUTES) {
        return 0;
    }
    const int err = PlaceCopy(path, keepPath, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (err != 0 && ::GetFileAttributesA(keepPath.c_str()) != INVALID_FILE_ATTRIBUTES) {
        return 0; // taken meanwhile, with the same content
    }
    made = err == 0;
    return err;
}

} // namespace

// A writer keeps its temporary file open without delete sharing until it places it, so a file
// that can be opened for deletion has no living writer.
bool RemoveStaleReplaceTemp(const std::string& path, std::int64_t minAgeSeconds) {
    std::string folder;
    std::string name;
    win32::SplitPath(path, folder, name);
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!IsReplaceTempName(name) ||
        !::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return false;
    }
    FILETIME nowFt;
    ::GetSystemTimeAsFileTime(&nowFt);
    const auto ticks = [](const FILETIME& t) {
        return static_cast<std::int64_t>((static_cast<std::uint64_t>(t.dwHighDateTime) << 32) |
                                         t.dwLowDateTime);
    };
    if ((ticks(nowFt) - ticks(data.ftLastWriteTime)) / 10000000 < minAgeSeconds) {
        return false;
    }
    ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    const THandle h(::CreateFileA(path.c_str(), DELETE, 0, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT,
                                  nullptr));
    if (!h.Valid()) {
        ::SetFileAttributesA(path.c_str(), data.dwFileAttributes);
        return false;
    }
    return true;
}

int CleanStaleReplaceTemps(const std::string& folder, std::int64_t minAgeSeconds) {
    const std::string base = folder.empty() ? std::string(".") : folder;
    std::vector<std::string> candidates;
    WIN32_FIND_DATAA data;
    const HANDLE find = ::FindFirstFileA(win32::Join(base, ".*.fstmp").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
        return 0;
    }
    do {
        if (IsReplaceTempName(data.cFileName)) {
            candidates.emplace_back(data.cFileName);
        }
    } while (::FindNextFileA(find, &data));
    ::FindClose(find);
    int removed = 0;
    for (const std::string& name : candidates) {
        removed += RemoveStaleReplaceTemp(win32::Join(base, name), minAgeSeconds) ? 1 : 0;
    }
    return removed;
}

TReplaceOutcome ReplaceFileContent(const std::string& path, std::string_view content,
                                   const std::string* backupPath, const TReplaceCheck& check,
                                   const std::string* keepPath) {
    TReplaceOutcome out;
    const auto fail = [&out](int err) {
        out.Error = err != 0 ? err : EIO;
        return out;
    };
    const DWORD attributes =
        path.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const int err = path.empty() ? ENOENT : LastErrno();
        out.Changed = check.Expected != nullptr && err == ENOENT;
        return fail(err);
    }
    if ((attributes &
         (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)) != 0) {
        out.Changed = check.Expected != nullptr && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        return fail(EINVAL);
    }
    // A read-only file is refused, as a rewrite in place would be.
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        return fail(EACCES);
    }
    TFileIdentity read;
    {
        const THandle original(win32::OpenForReading(path));
        if (!original.Valid() || !win32::IdentityOf(original.Get(), read)) {
            return fail(LastErrno());
        }
    }
    if (check.Expected != nullptr && !(read == *check.Expected)) {
        out.Changed = true;
        return fail(EAGAIN);
    }

    std::string folder;
    std::string name;
    win32::SplitPath(path, folder, name);
    TSiblingTemp temp(folder, name);
    int err = temp.Create();
    err = err != 0 ? err : temp.Write(content);
    err = err != 0 ? err : temp.Sync();
    if (err != 0) {
        return fail(err);
    }

    Injected(TReplaceStep::CheckUnchanged);
    THandle locked(OpenLocked(path));
    if (!locked.Valid()) {
        const DWORD why = ::GetLastError();
        out.Changed = why == ERROR_SHARING_VIOLATION || why == ERROR_FILE_NOT_FOUND;
        return fail(out.Changed ? EAGAIN : win32::ErrnoOf(why));
    }
    TFileIdentity now;
    if (!win32::IdentityOf(locked.Get(), now) || !(now == read)) {
        out.Changed = true;
        return fail(EAGAIN);
    }
    out.SplitLinks = now.Links > 1;

    TBackup backup = TBackup::None;
    if (backupPath != nullptr) {
        backup = MakeBackup(path, *backupPath);
        out.BackupFailed = backup == TBackup::None;
    }
    bool keptMade = false;
    const auto undo = [&] {
        UndoBackup(backup, backupPath);
        if (keptMade) {
            ::DeleteFileA(keepPath->c_str());
        }
    };
    if (keepPath != nullptr && (err = KeepOld(path, *keepPath, keptMade)) != 0) {
        undo();
        out.KeepFailed = true;
        return fail(err);
    }
    // A new link changed the file's change time; nothing else may have changed.
    if (!win32::IdentityOf(locked.Get(), now) || !SameContent(now, read)) {
        undo();
        out.Changed = true;
        return fail(EAGAIN);
    }
    const DWORD kept = ::GetFileAttributesA(path.c_str());
    locked.Reset();
    if ((err = temp.Place(name, kept != INVALID_FILE_ATTRIBUTES ? kept : attributes, true)) != 0) {
        undo();
        return fail(err);
    }
    out.Written = true;
    return out;
}

// Here the new content is made whole before it is written, from the original as it is now; the
// whole-content replacement then checks the file against the identity it was searched with, so a
// file changed since then is still refused.
TReplaceOutcome ReplaceFileContent(const std::string& path, const TMakeContent& make,
                                   const std::string* backupPath, const TReplaceCheck& check,
                                   const std::string* keepPath) {
    TReplaceOutcome out;
    std::string original;
    try {
        ReadWholeFile(path, original);
    } catch (const std::exception&) {
        out.Changed = check.Expected != nullptr;
        out.Error = ENOENT;
        return out;
    }
    std::string made;
    const TReadBytes read = [&original](std::int64_t offset, char* into, size_t n) -> std::int64_t {
        if (offset < 0 || static_cast<std::uint64_t>(offset) >= original.size()) {
            return 0;
        }
        const size_t count = std::min(n, original.size() - static_cast<size_t>(offset));
        std::memcpy(into, original.data() + offset, count);
        return static_cast<std::int64_t>(count);
    };
    const TWriteBytes write = [&made](std::string_view data) {
        made.append(data);
        return 0;
    };
    const int err = make(read, write);
    if (err == kContentChanged) {
        out.Changed = true;
        out.Error = EAGAIN;
        return out;
    }
    if (err != 0) {
        out.Error = err;
        return out;
    }
    return ReplaceFileContent(path, made, backupPath, check, keepPath);
}

// Preparing ahead only keeps the content here; the whole replacement runs when it is placed.
struct TPreparedReplace::TPrepared {
    std::string Path;
    std::string Content;
    TReplaceCheck Check;
    TFileIdentity Expected;
    bool Ready = false;
};

TPreparedReplace::TPreparedReplace() : p_(std::make_unique<TPrepared>()) {}
TPreparedReplace::~TPreparedReplace() = default;

std::unique_ptr<TPreparedReplace> PrepareReplace(const std::string& path, std::string_view content,
                                                 const TReplaceCheck& check) {
    auto prepared = std::make_unique<TPreparedReplace>();
    TPreparedReplace::TPrepared& p = *prepared->p_;
    p.Path = path;
    p.Content.assign(content);
    p.Check = check;
    if (check.Expected != nullptr) {
        p.Expected = *check.Expected;
        p.Check.Expected = &p.Expected;
    }
    p.Ready = true;
    return prepared;
}

TReplaceOutcome PlaceReplacement(TPreparedReplace& prepared, const std::string* backupPath,
                                 const std::string* keepPath) {
    TPreparedReplace::TPrepared& p = *prepared.p_;
    if (!p.Ready) {
        return {};
    }
    p.Ready = false; // placed at most once
    return ReplaceFileContent(p.Path, p.Content, backupPath, p.Check, keepPath);
}

} // namespace platform
