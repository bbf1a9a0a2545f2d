// The hash by which a file's content is recognised later (a preview's file before it is
// written, a replacement's result before it is undone, the kept old contents): XXH3 with 128
// bits, as 32 lower-case hex digits. Not a defence against someone who crafts collisions, who
// could as well edit the files themselves; fast enough to hash every file a run changes.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace text {

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

} // namespace text
