#include "engine/USeenFiles.h"

#include <stdexcept>
#include <utility>

namespace engine {

std::uint64_t TSeenFiles::StampOf(std::int64_t size, std::int64_t modifiedNs) {
    // splitmix64's finaliser over both: any change of either changes the stamp.
    std::uint64_t h = static_cast<std::uint64_t>(size) * 0x9E3779B97F4A7C15ull ^
                      static_cast<std::uint64_t>(modifiedNs);
    h = (h ^ (h >> 30)) * 0xBF58476D1CE4E5B9ull;
    h = (h ^ (h >> 27)) * 0x94D049BB133111EBull;
    return h ^ (h >> 31);
}

std::uint64_t TSeenFiles::DeviceKey(std::uint64_t device) const {
    for (size_t i = 0; i < devices_.size(); ++i) {
        if (devices_[i] == device) {
            return i + 1;
        }
    }
    return 0;
}

std::uint64_t TSeenFiles::AddDevice(std::uint64_t device) {
    if (const std::uint64_t key = DeviceKey(device); key != 0) {
        return key;
    }
    if (devices_.size() + 1 >= (std::uint64_t{1} << kDeviceBits)) {
        throw std::length_error("Too many file systems in one search");
    }
    devices_.push_back(device);
    return devices_.size();
}

size_t TSeenFiles::Home(std::uint64_t inode, std::uint64_t deviceKey) const {
    std::uint64_t h = (inode ^ deviceKey << 48) * 0x9E3779B97F4A7C15ull;
    h ^= h >> 29;
    return static_cast<size_t>(h) & (slots_.size() - 1);
}

size_t TSeenFiles::Slot(const TEntry& e) const {
    return Home(e.Inode, e.DeviceKey());
}

const TSeenFiles::TEntry* TSeenFiles::Find(const platform::TFileId& id) const {
    if (count_ == 0) {
        return nullptr;
    }
    const std::uint64_t key = DeviceKey(id.Device);
    if (key == 0) {
        return nullptr;
    }
    for (size_t i = Home(id.Inode, key);; i = (i + 1) & (slots_.size() - 1)) {
        const TEntry& e = slots_[i];
        if (!e.Used()) {
            return nullptr;
        }
        if (e.Inode == id.Inode && e.DeviceKey() == key) {
            return &e;
        }
    }
}

void TSeenFiles::Grow() {
    std::vector<TEntry> old = std::move(slots_);
    slots_.assign(old.empty() ? 1024 : old.size() * 2, TEntry());
    for (const TEntry& e : old) {
        if (e.Used()) {
            size_t i = Slot(e);
            while (slots_[i].Used()) {
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
    const std::uint64_t key = AddDevice(identity.Device);
    if (found >= (std::uint64_t{1} << (64 - kDeviceBits))) {
        throw std::length_error("Too many found files in one search");
    }
    size_t i = Home(identity.Inode, key);
    while (slots_[i].Used() &&
           !(slots_[i].Inode == identity.Inode && slots_[i].DeviceKey() == key)) {
        i = (i + 1) & (slots_.size() - 1);
    }
    count_ += slots_[i].Used() ? 0 : 1;
    slots_[i] = TEntry{identity.Inode, StampOf(identity.Size, identity.ModifiedNs),
                       key | found << kDeviceBits};
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
    if (!entry.HasFound()) {
        return {};
    }
    size_t at = static_cast<size_t>(entry.Found() - 1);
    const size_t folderAt = FolderOf(paths_, at);
    std::string path(GetText(paths_, folderAt));
    path += GetText(paths_, at);
    return path;
}

void TSeenFiles::Erase(const platform::TFileId& id) {
    const TEntry* const at = Find(id);
    if (at == nullptr) {
        return;
    }
    const size_t mask = slots_.size() - 1;
    size_t i = static_cast<size_t>(at - slots_.data());
    // Later entries of the same probe run move back into the gap, so no search stops short.
    for (size_t j = (i + 1) & mask; slots_[j].Used(); j = (j + 1) & mask) {
        const size_t home = Slot(slots_[j]);
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
    devices_.clear();
    lastFolder_ = 0;
    lastPath_ = 0;
}

} // namespace engine
