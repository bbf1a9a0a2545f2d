// Folders held open by descriptor, so a walk keeps its own place in the tree instead of the
// process's current directory, and every file is reached through the folder the walk entered.
#pragma once

#include "platform/UPlatform.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace platform {

// What tells one file or folder from every other on this machine.
struct TFileId {
    std::uint64_t Device = 0;
    std::uint64_t Inode = 0;
    bool operator==(const TFileId&) const = default;
};

class TFolderHandle {
public:
    TFolderHandle() = default;
    ~TFolderHandle();
    TFolderHandle(TFolderHandle&& other) noexcept;
    TFolderHandle& operator=(TFolderHandle&& other) noexcept;
    TFolderHandle(const TFolderHandle&) = delete;
    TFolderHandle& operator=(const TFolderHandle&) = delete;

    // Opens a folder by its path; links on the way are followed, as the user named it.
    static TFolderHandle OpenPath(const std::string& path);
    // Opens this folder's sub-folder `name` without following a link, and only when it is still
    // the folder `expected` names (the one a listing saw): a folder swapped for a link or for
    // another folder is not opened.
    TFolderHandle OpenSub(const std::string& name, const TFileId& expected) const;

    bool Valid() const { return fd_ >= 0; }
    int Fd() const { return fd_; }
    const TFileId& Id() const { return id_; }
    // The folder's modification time when it was opened: a listing made after one opening is
    // still current at a later opening that finds the same time.
    std::int64_t Stamp() const { return stamp_; }
    // Its modification time now.
    std::int64_t ReadStamp() const;
#ifdef _WIN32
    // Windows has no calls relative to a folder: the handle, opened without delete sharing,
    // keeps the folder from being moved or removed, so its full path stays valid.
    const std::string& Path() const;
#endif

private:
    int fd_ = -1; // on Windows 0 while the handle is open
    TFileId id_;
    std::int64_t stamp_ = 0;
#ifdef _WIN32
    void Close();
    void* handle_ = nullptr;
    std::string path_;
#endif
};

enum class TEntryKind : std::uint8_t { Folder, PlainFile, Other };

struct TFolderEntry {
    std::string Name;
    TEntryKind Kind = TEntryKind::Other; // Folder: a real folder, never a link to one
    TFileId Id;                          // set for folders
};

// The entries of a folder, "." and ".." left out, sorted by their names upper-cased (ASCII
// letters only), then by the bytes of the names. An unreadable folder gives an empty list, and
// the system's reason in `error` when given. `meanwhile`, when set, is called every few
// thousand entries, also while they are sorted, so a long listing does not hold a window still.
std::vector<TFolderEntry> ListFolder(const TFolderHandle& folder, std::string* error = nullptr,
                                     const std::function<void()>& meanwhile = {});

// The attribute bits of the entry `name` of `folder` (as AttributesOf gives them); -1 when it
// has vanished.
int EntryAttributes(const TFolderHandle& folder, const std::string& name);

// Reads the file `name` of `folder` (a link is followed) as ReadWholeFileInto does, and gives
// the identity of what was read in `identity`. `displayPath` names the file in the error.
// `storage` only ever grows: bytes past the returned length are stale.
size_t ReadFileAt(const TFolderHandle& folder, const std::string& name,
                  const std::string& displayPath, std::string& storage, TFileIdentity& identity);

// A file open for reading piece by piece, so that a big file need not be held whole.
class TFileReader {
public:
    TFileReader() = default;
    ~TFileReader();
    TFileReader(const TFileReader&) = delete;
    TFileReader& operator=(const TFileReader&) = delete;

    // Opens the file `name` of `folder` (a link is followed) as ReadFileAt does; throws
    // EPlatformError naming `displayPath` when it cannot be opened.
    void Open(const TFolderHandle& folder, const std::string& name, const std::string& displayPath);
    // Of what was opened.
    const TFileIdentity& Identity() const { return identity_; }
    bool Regular() const { return regular_; }
    // Its attribute bits, as EntryAttributes gives them for the name it was opened by (a link
    // followed), from what opening it learnt.
    int Attributes(const TFolderHandle& folder, const std::string& name) const;
    // Reads the bytes from `offset` on into [into, into + n); fewer (0 at the end) when the file
    // ends first. Throws like Open.
    size_t ReadAt(std::int64_t offset, char* into, size_t n);
    // One read from `offset`: it may give fewer bytes before the end; 0 only at the end.
    size_t ReadSome(std::int64_t offset, char* into, size_t n);

private:
#ifdef _WIN32
    void* handle_ = nullptr; // the file's HANDLE
#else
    int fd_ = -1;
#endif
    TFileIdentity identity_;
    bool regular_ = false;
    std::uint32_t mode_ = 0; // the file's type and permission bits
    std::string displayPath_;
};

// The present identity of the file `name` of `folder` (a link is followed); not Known() when
// there is none.
TFileIdentity IdentityAt(const TFolderHandle& folder, const std::string& name);

// A short path that reaches `name` inside `folder` through its descriptor, whatever the length
// of the folder's own path and wherever the folder has been moved: for the calls that take paths.
std::string PathThrough(const TFolderHandle& folder, const std::string& name);

// A walk holds one descriptor (a handle on Windows) per level of the folder it is in: lets the
// process hold as many open files as the system allows it.
void AllowManyOpenFolders();

} // namespace platform
