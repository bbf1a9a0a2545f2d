#include "engine/USeenFiles.h"

#include <utility>

namespace engine {

size_t TSeenFiles::Home(const platform::TFileId& id) const {
    std::uint64_t h = id.Inode * 0x9E3779B97F4A7C15ull ^ id.Device;
    h ^= h >> 29;
    return static_cast<size_t>(h) & (slots_.size() - 1);
}

const TSeenFiles::TEntry* TSeenFiles::Find(const platform::TFileId& id) const {
    if (count_ == 0) {
        return nullptr;
    }
    for (size_t i = Home(id);; i = (i + 1) & (slots_.size() - 1)) {
        const TEntry& e = slots_[i];
        if (!e.Used) {
            return nullptr;
        }
        if (e.Id == id) {
            return &e;
        }
    }
}

void TSeenFiles::Grow() {
    std::vector<TEntry> old = std::move(slots_);
    slots_.assign(old.empty() ? 1024 : old.size() * 2, TEntry());
    for (const TEntry& e : old) {
        if (e.Used) {
            size_t i = Home(e.Id);
            while (slots_[i].Used) {
                i = (i + 1) & (slots_.size() - 1);
            }
            slots_[i] = e;
        }
    }
}

void TSeenFiles::Put(const platform::TFileIdentity& identity, std::uint64_t found) {
    // At most half full, so probes stay short.
    if (2 * (count_ + 1) > slots_.size()) {
        Grow();
    }
    const platform::TFileId id{identity.Device, identity.Inode};
    size_t i = Home(id);
    while (slots_[i].Used && !(slots_[i].Id == id)) {
        i = (i + 1) & (slots_.size() - 1);
    }
    count_ += slots_[i].Used ? 0 : 1;
    slots_[i] = TEntry{id, identity.Size, identity.ModifiedNs, found, true};
}

namespace {

void PutNumber(std::string& out, std::uint64_t n) {
    for (; n >= 0x80; n >>= 7) {
        out += static_cast<char>(0x80 | (n & 0x7F));
    }
    out += static_cast<char>(n);
}

std::uint64_t GetNumber(const std::string& in, size_t& at) {
    std::uint64_t n = 0;
    for (int shift = 0;; shift += 7) {
        const auto b = static_cast<unsigned char>(in[at++]);
        n |= static_cast<std::uint64_t>(b & 0x7F) << shift;
        if (b < 0x80) {
            return n;
        }
    }
}

// The text at `at`, after its length.
std::string_view GetText(const std::string& in, size_t at) {
    const auto n = static_cast<size_t>(GetNumber(in, at));
    return std::string_view(in).substr(at, n);
}

// Where the folder of the file at `at` is kept; `at` moves on to the file's name.
size_t FolderOf(const std::string& in, size_t& at) {
    const size_t record = at;
    return record - static_cast<size_t>(GetNumber(in, at));
}

} // namespace

std::uint64_t TSeenFiles::KeepPath(std::string_view folder, std::string_view name) {
    // A file written anew is recorded under its new identity too, by the same path.
    if (lastPath_ != 0) {
        size_t at = lastPath_ - 1;
        const size_t folderAt = FolderOf(paths_, at);
        if (GetText(paths_, at) == name && GetText(paths_, folderAt) == folder) {
            return lastPath_;
        }
    }
    if (lastFolder_ == 0 || GetText(paths_, lastFolder_ - 1) != folder) {
        lastFolder_ = paths_.size() + 1;
        PutNumber(paths_, folder.size());
        paths_.append(folder);
    }
    const size_t at = paths_.size();
    PutNumber(paths_, at - (lastFolder_ - 1));
    PutNumber(paths_, name.size());
    paths_.append(name);
    lastPath_ = at + 1;
    return lastPath_;
}

std::string TSeenFiles::FoundPath(const TEntry& entry) const {
    if (entry.Found == 0) {
        return {};
    }
    size_t at = static_cast<size_t>(entry.Found - 1);
    const size_t folderAt = FolderOf(paths_, at);
    std::string path(GetText(paths_, folderAt));
    path += GetText(paths_, at);
    return path;
}

void TSeenFiles::Erase(const platform::TFileId& id) {
    if (count_ == 0) {
        return;
    }
    const size_t mask = slots_.size() - 1;
    size_t i = Home(id);
    while (slots_[i].Used && !(slots_[i].Id == id)) {
        i = (i + 1) & mask;
    }
    if (!slots_[i].Used) {
        return;
    }
    // Later entries of the same probe run move back into the gap, so no search stops short.
    for (size_t j = (i + 1) & mask; slots_[j].Used; j = (j + 1) & mask) {
        const size_t home = Home(slots_[j].Id);
        // Whether `home` lies cyclically in (i, j]: then the entry may stay where it is.
        const bool stays = i <= j ? (i < home && home <= j) : (i < home || home <= j);
        if (!stays) {
            slots_[i] = slots_[j];
            i = j;
        }
    }
    slots_[i] = TEntry();
    --count_;
}

void TSeenFiles::Clear() {
    if (count_ > 0) {
        std::vector<TEntry>().swap(slots_);
        count_ = 0;
    }
    std::string().swap(paths_);
    lastFolder_ = 0;
    lastPath_ = 0;
}

} // namespace engine
