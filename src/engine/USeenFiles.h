// The files a run has met, by device and inode, so that a file met again under another name is
// not searched or written twice. A walk asks for every file it reaches, so this is a flat table
// (open addressing, linear probing) rather than a node per file.
#pragma once

#include "platform/UFolderHandle.h"
#include "platform/UPlatform.h"

#include <cstdint>
#include <vector>

namespace model {
class TFile;
}

namespace engine {

class TSeenFiles {
public:
    struct TEntry {
        platform::TFileId Id;
        std::int64_t Size = 0;
        std::int64_t ModifiedNs = 0;
        const model::TFile* File = nullptr;
        bool Used = false;
    };
    // The entry of the file `id`, or nullptr.
    const TEntry* Find(const platform::TFileId& id) const;
    // Records the file `identity` with its node's file (or nullptr), replacing what was there.
    void Set(const platform::TFileIdentity& identity, const model::TFile* file);
    void Erase(const platform::TFileId& id);
    void Clear();

private:
    size_t Home(const platform::TFileId& id) const;
    void Grow();
    std::vector<TEntry> slots_;
    size_t count_ = 0;
};

} // namespace engine
