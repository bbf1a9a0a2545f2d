#include "text/UContentHash.h"

// The library's functions compiled in here: nothing to link, on every platform.
#define XXH_INLINE_ALL
#include <xxhash.h>

namespace text {

namespace {

std::string Hex(const XXH128_hash_t& h) {
    static const char kHex[] = "0123456789abcdef";
    std::string out(32, '0');
    for (int i = 0; i < 16; ++i) {
        out[static_cast<size_t>(15 - i)] = kHex[(h.high64 >> (4 * i)) & 15];
        out[static_cast<size_t>(31 - i)] = kHex[(h.low64 >> (4 * i)) & 15];
    }
    return out;
}

} // namespace

struct TContentHasher::Impl {
    XXH3_state_t State;
};

TContentHasher::TContentHasher() : impl_(std::make_unique<Impl>()) {
    XXH3_128bits_reset(&impl_->State);
}

TContentHasher::~TContentHasher() = default;

void TContentHasher::Update(std::string_view data) {
    XXH3_128bits_update(&impl_->State, data.data(), data.size());
}

std::string TContentHasher::Finish() {
    const std::string out = Hex(XXH3_128bits_digest(&impl_->State));
    XXH3_128bits_reset(&impl_->State);
    return out;
}

std::string ContentHash(std::string_view data) {
    return Hex(XXH3_128bits(data.data(), data.size()));
}

} // namespace text
