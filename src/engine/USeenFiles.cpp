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

void TSeenFiles::Set(const platform::TFileIdentity& identity, const model::TFile* file) {
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
    slots_[i] = TEntry{id, identity.Size, identity.ModifiedNs, file, true};
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
}

} // namespace engine
