// The buffer files are read into. It starts on a page boundary: the system copies file data
// into a destination that is not 64-byte aligned at about half the speed, and a search reads
// almost nothing but small files.
#pragma once

#include <cstddef>
#include <memory>

namespace engine {

class TReadBuffer {
public:
    char* data() { return data_.get(); }
    const char* data() const { return data_.get(); }
    size_t size() const { return size_; }
    // Grows to at least `n` bytes, keeping the first size() bytes; never shrinks.
    void resize(size_t n);
    // Gives the memory back when it grew past `keep` bytes.
    void Release(size_t keep);

private:
    struct TFree {
        void operator()(char* p) const;
    };
    std::unique_ptr<char, TFree> data_;
    size_t size_ = 0;
};

} // namespace engine
