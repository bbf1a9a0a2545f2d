#include "platform/UContentHash.h"

#include "platform/UPlatform.h"

#include <openssl/evp.h>

namespace platform {

struct TContentHasher::Impl {
    EVP_MD_CTX* Ctx = EVP_MD_CTX_new();
    ~Impl() { EVP_MD_CTX_free(Ctx); }
    void Start() {
        if (Ctx == nullptr || EVP_DigestInit_ex(Ctx, EVP_sha256(), nullptr) != 1) {
            throw EPlatformError("Cannot compute a content hash");
        }
    }
};

TContentHasher::TContentHasher() : impl_(std::make_unique<Impl>()) {
    impl_->Start();
}

TContentHasher::~TContentHasher() = default;

void TContentHasher::Update(std::string_view data) {
    if (!data.empty()) {
        EVP_DigestUpdate(impl_->Ctx, data.data(), data.size());
    }
}

std::string TContentHasher::Finish() {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(impl_->Ctx, digest, &length);
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(2 * length);
    for (unsigned int i = 0; i < length; ++i) {
        out += kHex[digest[i] >> 4];
        out += kHex[digest[i] & 15];
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
