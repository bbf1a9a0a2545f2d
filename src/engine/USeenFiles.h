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
public:
    struct TEntry {
        platform::TFileId Id;
        std::int64_t Size = 0;
        std::int64_t ModifiedNs = 0;
        // Where the name the file had finds under is kept, plus one; 0 for a file without.
        std::uint64_t Found = 0;
        bool Used = false;
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
    size_t Home(const platform::TFileId& id) const;
    void Grow();
    void Put(const platform::TFileIdentity& identity, std::uint64_t found);
    std::uint64_t KeepPath(std::string_view folder, std::string_view name);
    std::vector<TEntry> slots_;
    size_t count_ = 0;
    // The paths of files with finds, kept by the run rather than by the result tree, whose
    // nodes a front end may let go of. Each folder's path is kept once, followed by the names
    // of its files, each after its distance back to the folder: a few bytes beyond the name.
    std::string paths_;
    size_t lastFolder_ = 0;
    size_t lastPath_ = 0;
};

} // namespace engine
