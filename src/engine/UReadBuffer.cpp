#include "engine/UReadBuffer.h"

#include <cstring>
#include <new>

namespace engine {

namespace {
constexpr std::align_val_t kAlignment{4096};
}

void TReadBuffer::TFree::operator()(char* p) const {
    ::operator delete(p, kAlignment);
}

void TReadBuffer::resize(size_t n) {
    if (n <= size_) {
        return;
    }
    std::unique_ptr<char, TFree> grown(static_cast<char*>(::operator new(n, kAlignment)));
    if (size_ > 0) {
        std::memcpy(grown.get(), data_.get(), size_);
    }
    data_ = std::move(grown);
    size_ = n;
}

void TReadBuffer::Release(size_t keep) {
    if (size_ > keep) {
        data_.reset();
        size_ = 0;
    }
}

} // namespace engine
