#include "engine/UStreamSearch.h"

#include "engine/UByteScan.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>

namespace engine {

namespace {

// bench/search on a 300 MB file, two runs: windows of 256 KiB searched at 2781 and 3352 MB/s,
// 1 MiB at 2633 and 3291, 64 KiB and 4 MiB slower, reading the file whole at 1153 and 1173.
constexpr size_t kDefaultWindow = 256 << 10;
std::atomic<size_t> gWindow{0};

constexpr size_t kAlign = 64;

// How far past `p` the next 64-byte boundary is.
size_t AlignPad(const char* p) {
    return (kAlign - reinterpret_cast<std::uintptr_t>(p) % kAlign) % kAlign;
}

} // namespace

size_t StreamWindow() {
    const size_t w = gWindow.load(std::memory_order_relaxed);
    return w != 0 ? w : kDefaultWindow;
}

void SetStreamWindow(size_t bytes) {
    gWindow.store(bytes, std::memory_order_relaxed);
}

TLineWindows::TLineWindows(TReadAt read, std::string& buffer, size_t window)
    : read_(std::move(read)), buf_(buffer), window_(std::max<size_t>(window, 1)) {}

bool TLineWindows::Next() {
    if (started_) {
        firstLine_ += long_ ? (breakAfter_.empty() ? 0 : 1)
                            : CountLineBreaks(lines_.data(), lines_.size(), -1);
        firstOffset_ += lines_.size() + breakAfter_.size();
        begin_ = next_;
    }
    started_ = true;
    for (;;) {
        if (Cut()) {
            return true;
        }
        if (eof_) {
            if (begin_ == end_) {
                lines_ = std::string_view();
                long_ = false;
                return false;
            }
            // The file's last line, without a break.
            lines_ = std::string_view(buf_.data() + begin_, end_ - begin_);
            long_ = lines_.size() > window_;
            breakAfter_.clear();
            next_ = end_;
            return true;
        }
        if (end_ - begin_ >= window_) {
            LoadLongLine();
        } else {
            Fill();
        }
    }
}

// Hands out the bytes up to the last line break whose length is known, or the first line
// alone when it is longer than a window.
bool TLineWindows::Cut() {
    const char* const b = buf_.data() + begin_;
    const char* const e = buf_.data() + end_;
    const char* const brk = FindLineBreak(b, e);
    if (brk == e) {
        return false;
    }
    size_t breakLength = 1;
    if (*brk == '\r') {
        if (brk + 1 == e) {
            if (!eof_) {
                return false; // a CR LF may be split between two windows
            }
        } else if (brk[1] == '\n') {
            breakLength = 2;
        }
    }
    const auto lineLength = static_cast<size_t>(brk - b);
    if (lineLength > window_) {
        lines_ = std::string_view(b, lineLength);
        long_ = true;
        breakAfter_.assign(brk, breakLength);
        next_ = begin_ + lineLength + breakLength;
        return true;
    }
    const char* last = e - 1;
    if (!eof_ && *last == '\r') {
        --last;
    }
    while (last > brk && *last != '\n' && *last != '\r') {
        --last;
    }
    lines_ = std::string_view(b, static_cast<size_t>(last + 1 - b));
    long_ = false;
    breakAfter_.clear();
    next_ = begin_ + lines_.size();
    return true;
}

void TLineWindows::Fill() {
    // The bytes carried over are put where the read that follows them starts on a 64-byte
    // boundary: the system copies into an unaligned destination at about half the speed.
    const size_t carry = end_ - begin_;
    if (buf_.size() < carry + window_ + kAlign) {
        buf_.resize(carry + window_ + kAlign);
    }
    const size_t pad = AlignPad(buf_.data() + carry);
    if (begin_ != pad) {
        std::memmove(buf_.data() + pad, buf_.data() + begin_, carry);
        begin_ = pad;
        end_ = pad + carry;
    }
    const size_t got = read_(fileAt_, buf_.data() + end_, window_);
    fileAt_ += static_cast<std::int64_t>(got);
    end_ += got;
    eof_ = got < window_;
}

// The first line fills a window without a break: it is measured, then read whole into a
// buffer of its size and a window more, so its storage can be kept as its text.
void TLineWindows::LoadLongLine() {
    const std::int64_t lineStart = fileAt_ - static_cast<std::int64_t>(end_ - begin_);
    std::int64_t lineEnd = -1;
    if (const char* brk = FindLineBreak(buf_.data() + begin_, buf_.data() + end_);
        brk != buf_.data() + end_) {
        lineEnd = lineStart + (brk - (buf_.data() + begin_));
    }
    for (std::int64_t at = fileAt_; lineEnd < 0;) {
        if (buf_.size() < window_) {
            buf_.resize(window_);
        }
        const size_t got = read_(at, buf_.data(), window_);
        const char* const brk = FindLineBreak(buf_.data(), buf_.data() + got);
        if (brk != buf_.data() + got) {
            lineEnd = at + (brk - buf_.data());
        } else if (got < window_) {
            lineEnd = at + static_cast<std::int64_t>(got);
        }
        at += static_cast<std::int64_t>(got);
    }
    const size_t want = static_cast<size_t>(lineEnd - lineStart) + window_ + 1;
    if (buf_.size() < want) {
        std::string().swap(buf_); // the old bytes are read again: never both at once
        buf_.resize(want);
    }
    const size_t got = read_(lineStart, buf_.data(), want);
    begin_ = 0;
    next_ = 0;
    end_ = got;
    fileAt_ = lineStart + static_cast<std::int64_t>(got);
    eof_ = got < want;
}

std::string TLineWindows::TakeLongLine() {
    // A short string keeps its bytes inside the object, and moving it would move them away
    // from under Lines(): only storage on the heap is handed over.
    constexpr size_t kHeapOnly = 4 * sizeof(std::string);
    if (!long_ || lines_.data() != buf_.data() || lines_.size() < kHeapOnly) {
        return std::string(lines_);
    }
    const size_t length = lines_.size();
    std::string rest(buf_.data() + length, end_ - length);
    std::string taken = std::move(buf_);
    taken.resize(length);
    buf_ = std::move(rest);
    next_ -= length;
    end_ -= length;
    begin_ = 0;
    return taken;
}

size_t StreamPlainReplace(const TReadAt& read, const std::function<void(std::string_view)>& write,
                          const TSubstringFinder& finder, std::string_view replacement,
                          std::string& buffer, size_t window) {
    const size_t m = finder.Length();
    window = std::max<size_t>(window, 1);
    if (buffer.size() < window + m + kAlign) {
        buffer.resize(window + m + kAlign);
    }
    size_t found = 0;
    size_t carry = 0; // bytes kept from the last window: the start of a find it may cut
    size_t start = AlignPad(buffer.data()); // where they are, so the read lands aligned
    std::int64_t at = 0;
    for (;;) {
        const size_t got = read(at, buffer.data() + start + carry, window);
        at += static_cast<std::int64_t>(got);
        const size_t size = carry + got;
        const bool end = got < window;
        const std::string_view hay(buffer.data() + start, size);
        size_t copied = 0;
        for (size_t hit = finder.Find(hay, 0); hit != TSubstringFinder::npos;
             hit = finder.Find(hay, copied)) {
            write(hay.substr(copied, hit - copied));
            write(replacement);
            copied = hit + m;
            ++found;
        }
        if (end) {
            write(hay.substr(copied));
            return found;
        }
        const size_t keep = std::max(copied, size >= m ? size - (m - 1) : size_t{0});
        write(hay.substr(copied, keep - copied));
        carry = size - keep;
        const size_t to = AlignPad(buffer.data() + carry);
        std::memmove(buffer.data() + to, buffer.data() + start + keep, carry);
        start = to;
    }
}

} // namespace engine
