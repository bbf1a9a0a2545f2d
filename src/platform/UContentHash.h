// The hash by which a file's content is recognised later (a preview's file before it is
// written, a replacement's result before it is undone): SHA-256, in lower-case hex. The
// system's own implementation does the work (libcrypto on POSIX, CNG on Windows).
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace platform {

class TContentHasher {
public:
    TContentHasher();
    ~TContentHasher();
    TContentHasher(const TContentHasher&) = delete;
    TContentHasher& operator=(const TContentHasher&) = delete;

    void Update(std::string_view data);
    // The hash of everything given since construction or the last Finish.
    std::string Finish();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

std::string ContentHash(std::string_view data);

} // namespace platform
