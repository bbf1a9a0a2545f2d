// The file-system services the rest of the program uses, behind one narrow API.
// Paths and names are byte strings end to end; nothing here assumes UTF-8.
// UPlatform.cpp implements it with POSIX calls, win32/UPlatform.cpp with Win32 ones; CMake
// builds the one of the target system.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace platform {

// Attribute bits, as a directory entry reports them.
constexpr int faReadOnly = 0x01;
constexpr int faHidden = 0x02;
constexpr int faSysFile = 0x04;
constexpr int faVolumeID = 0x08;
constexpr int faDirectory = 0x10;
constexpr int faArchive = 0x20;
constexpr int faAnyFile = 0x3F;
// A symbolic link to a folder carries faDirectory | faReparsePoint: the walk neither enters it
// nor takes it for a file.
constexpr int faReparsePoint = 0x400;
// The bits of an entry no search may open (a FIFO, socket, device or dangling link). On POSIX
// such entries carry faSysFile; on Windows the system attribute is an ordinary file's, and a
// device carries its own bit.
#ifdef _WIN32
constexpr int faDevice = 0x40;
constexpr int faNotAFile = faDevice;
#else
constexpr int faNotAFile = faSysFile;
#endif

// The path separator of this platform, and its string form.
#ifdef _WIN32
constexpr char PathDelim = '\\';
constexpr const char* PathDelimStr = "\\";
#else
constexpr char PathDelim = '/';
constexpr const char* PathDelimStr = "/";
#endif

// A failure of the platform, carrying the message text shown to the user.
class EPlatformError : public std::runtime_error {
public:
    explicit EPlatformError(const std::string& msg) : std::runtime_error(msg) {}
};

// A failure of a call that changes the file system, with the system's reason.
struct TIoResult {
    int Error = 0; // 0 on success, else the system's error number
    explicit operator bool() const { return Error == 0; }
    // The reason in words ("Permission denied"); empty on success.
    std::string Reason() const;
};

// Permission bits, owner and group, access and modification times. On Windows the mode holds
// only what the read-only attribute means (0444 or 0644) and owner and group are 0.
struct TFileMeta {
    std::uint32_t Mode = 0;
    std::uint32_t Owner = 0;
    std::uint32_t Group = 0;
    std::int64_t AccessedNs = 0;
    std::int64_t ModifiedNs = 0;
};

// What tells one state of a file from another: the file itself (device, inode) and its size
// and modification and change times, as read from an open descriptor. A file that still has
// the identity it had when it was read has not been changed since.
struct TFileIdentity {
    std::uint64_t Device = 0;
    std::uint64_t Inode = 0;
    std::int64_t Size = -1;
    std::int64_t ModifiedNs = 0;
    std::int64_t ChangedNs = 0;
    std::uint64_t Links = 0; // names the file has; not part of the comparison
    TFileMeta Meta;          // likewise
    bool Known() const { return Size >= 0; }
    bool operator==(const TFileIdentity& o) const {
        return Device == o.Device && Inode == o.Inode && Size == o.Size &&
               ModifiedNs == o.ModifiedNs && ChangedNs == o.ChangedNs;
    }
};

// The attribute bits of the entry `name` (a path); `-1` when it does not exist.
int AttributesOf(const std::string& path);

struct TSearchRec {
    std::string Name; // last component only
    int Attr = 0;
    std::int64_t Size = 0;
};

// Looks up the directory entry of one path; false when there is none.
bool FindFileInfo(const std::string& path, TSearchRec& rec);

// Enumerates one folder in the order the system lists its entries ("." and ".." included).
// Opening a folder that cannot be listed gives an empty enumeration, no error.
class TDirEnumerator {
public:
    explicit TDirEnumerator(const std::string& folder);
    ~TDirEnumerator();
    TDirEnumerator(const TDirEnumerator&) = delete;
    TDirEnumerator& operator=(const TDirEnumerator&) = delete;

    // Moves to the next entry; false at the end.
    bool Next();
    const std::string& Name() const { return name_; }
    // Cheap test, usually answered without a stat: a real folder (not a link to one).
    bool IsDirectory();
    // True when the system reports a plain regular file (not a link, FIFO, ...) without a stat;
    // false also when it cannot tell.
    bool IsPlainFile() const;
    // The entry's full attribute bits; looked up on first use for each entry.
    int Attributes();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    std::string name_;
};

// The current directory.
bool SetCurrentDir(const std::string& path);
std::string GetCurrentDir(); // absolute, without a trailing separator (except the root "/")
// The absolute form of `name` taken relative to the current directory, "." and ".." resolved
// lexically.
std::string ExpandFileName(const std::string& name);

bool FileExists(const std::string& path);      // an entry that is not a folder
bool DirectoryExists(const std::string& path); // a folder (or a link to one)

// Renames without ever replacing an existing target; false on failure.
bool RenameFile(const std::string& from, const std::string& to);
bool DeleteFile(const std::string& path);
// Creates every missing folder of `path`, outermost first.
bool ForceDirectories(const std::string& path);

// Reads a whole file into `buffer` (its previous capacity is reused). Throws EPlatformError with
// "Cannot open file \"path\". reason" when the file cannot be opened or read.
void ReadWholeFile(const std::string& path, std::string& buffer);
// The same into `storage`, which only ever grows (so bytes past the returned length are stale):
// a buffer reused from file to file is then never cleared before it is filled.
// With `expectedSize` (the size a lookup just found) the file is read without asking for its
// size again; a file that changed meanwhile is still read whole.
// With `identity` set, the file's identity at the start of the read is stored there.
size_t ReadWholeFileInto(const std::string& path, std::string& storage,
                         std::int64_t expectedSize = -1, TFileIdentity* identity = nullptr);
// Writes a whole file through a temporary file and a rename, so the name always holds either
// its old or its new content. On failure the old file is untouched.
TIoResult WriteWholeFile(const std::string& path, std::string_view data);
// Copies a file, replacing `to` when it exists; the target appears only when complete. Keeps
// the permission bits and the modification time.
TIoResult CopyFile(const std::string& from, const std::string& to);
// Moves a file, never replacing an existing `to`; across file systems by a flushed copy and a
// delete of the source.
TIoResult MoveFile(const std::string& from, const std::string& to);

// The running program's full path, and its folder with a trailing separator.
std::string ExecutablePath();
std::string ExeDirectory();

// The text of the last system error, for messages.
std::string LastErrorText();

// The value of an environment variable; empty when it is not set.
std::string EnvironmentVariable(const char* name);
// The user's home folder: $HOME when it is absolute, else the account's own entry; empty when
// neither is known.
std::string HomeFolder();
// Whether this process may create and replace files in `folder`.
bool FolderWritable(const std::string& folder);
// Adds execute permission wherever the file grants read permission.
TIoResult MakeExecutable(const std::string& path);

// The process's standard output and standard error.
enum class TStdStream { Output, Error };
// Writes all of `data` to the stream; false when it is closed or broken.
bool WriteStdStream(TStdStream stream, std::string_view data);
// True when the stream is a terminal (not a file or a pipe).
bool IsTerminal(TStdStream stream);

// After WatchInterrupt the first interrupt (Ctrl-C) only sets a flag, which InterruptRequested
// reports; a second one ends the process as the interrupt would.
void WatchInterrupt();
bool InterruptRequested();

} // namespace platform
