// The files a run has met, by device and inode, so that a file met again under another name is
// not searched or written twice. A walk asks for every file it reaches, so this is a flat table
// (open addressing, linear probing) rather than a node per file.
#pragma once

#include "platform/UFolderHandle.h"
#include "platform/UPlatform.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace engine {

class TSeenFiles {
    static constexpr int kDeviceBits = 20;
    static constexpr std::uint64_t kDeviceMask = (std::uint64_t{1} << kDeviceBits) - 1;

public:
    // 24 bytes: the table holds one for every file a run searches, at most half full.
    struct TEntry {
        std::uint64_t Inode = 0;
        // The size and modification time, mixed: tells the same file from a new one given a
        // number freed during the run.
        std::uint64_t Stamp = 0;
        // The device's number in the run plus one (0 marks a free slot), then where the name
        // the file had finds under is kept, plus one (0 for a file without).
        std::uint64_t DeviceAndFound = 0;
        bool Used() const { return DeviceAndFound != 0; }
        std::uint64_t DeviceKey() const { return DeviceAndFound & kDeviceMask; }
        bool HasFound() const { return Found() != 0; }
        std::uint64_t Found() const { return DeviceAndFound >> kDeviceBits; }
        // Whether the entry was recorded with this size and modification time.
        bool SameState(std::int64_t size, std::int64_t modifiedNs) const {
            return Stamp == StampOf(size, modifiedNs);
        }
    };
    // The entry of the file `id`, or nullptr.
    const TEntry* Find(const platform::TFileId& id) const;
    // Records the file `identity`, replacing what was there.
    void Set(const platform::TFileIdentity& identity) { Put(identity, 0); }
    // The same for a file with finds, with the full path it had them under: `folder`, `name`.
    void SetFound(const platform::TFileIdentity& identity, std::string_view folder,
                  std::string_view name) {
        Put(identity, KeepPath(folder, name));
    }
    // The full path an entry with finds was recorded with.
    std::string FoundPath(const TEntry& entry) const;
    void Erase(const platform::TFileId& id);
    void Clear();

private:
    static std::uint64_t StampOf(std::int64_t size, std::int64_t modifiedNs);
    // The device's number in the run plus one; 0 for a device not met.
    std::uint64_t DeviceKey(std::uint64_t device) const;
    std::uint64_t AddDevice(std::uint64_t device);
    size_t Home(std::uint64_t inode, std::uint64_t deviceKey) const;
    size_t Slot(const TEntry& e) const;
    void Grow();
    void Put(const platform::TFileIdentity& identity, std::uint64_t found);
    std::uint64_t KeepPath(std::string_view folder, std::string_view name);
    std::vector<TEntry> slots_;
    size_t count_ = 0;
    // The devices met, in the order met; few, so looked up in order.
    std::vector<std::uint64_t> devices_;
    // The paths of files with finds, kept by the run rather than by the result tree, whose
    // nodes a front end may let go of. Each folder's path is kept once, followed by the names
    // of its files, each after its distance back to the folder: a few bytes beyond the name.
    std::string paths_;
    size_t lastFolder_ = 0;
    size_t lastPath_ = 0;
};

} // namespace engine
