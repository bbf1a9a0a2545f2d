#include "platform/UContentHash.h"

#include "platform/UPlatform.h"

#include <windows.h>

#include <bcrypt.h>

#include <vector>

namespace platform {

struct TContentHasher::Impl {
    BCRYPT_ALG_HANDLE Alg = nullptr;
    BCRYPT_HASH_HANDLE Hash = nullptr;
    ~Impl() { Close(); }
    void Close() {
        if (Hash != nullptr) {
            BCryptDestroyHash(Hash);
            Hash = nullptr;
        }
        if (Alg != nullptr) {
            BCryptCloseAlgorithmProvider(Alg, 0);
            Alg = nullptr;
        }
    }
    void Start() {
        Close();
        if (BCryptOpenAlgorithmProvider(&Alg, BCRYPT_SHA256_ALGORITHM, nullptr, 0) < 0 ||
            BCryptCreateHash(Alg, &Hash, nullptr, 0, nullptr, 0, 0) < 0) {
            throw EPlatformError("Cannot compute a content hash");
        }
    }
};

TContentHasher::TContentHasher() : impl_(std::make_unique<Impl>()) {
    impl_->Start();
}

TContentHasher::~TContentHasher() = default;

void TContentHasher::Update(std::string_view data) {
    while (!data.empty()) {
        const ULONG n = data.size() > 0x40000000 ? 0x40000000 : static_cast<ULONG>(data.size());
        BCryptHashData(impl_->Hash, reinterpret_cast<PUCHAR>(const_cast<char*>(data.data())), n, 0);
        data.remove_prefix(n);
    }
}

std::string TContentHasher::Finish() {
    unsigned char digest[32];
    BCryptFinishHash(impl_->Hash, digest, sizeof digest, 0);
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    for (unsigned char b : digest) {
        out += kHex[b >> 4];
        out += kHex[b & 15];
    }
    impl_->Start();
    return out;
}

std::string ContentHash(std::string_view data) {
    TContentHasher h;
    h.Update(data);
    return h.Finish();
}

} // namespace platform
