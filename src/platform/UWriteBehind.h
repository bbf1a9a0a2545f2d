// Disk waits that the platform layer's writes hand to a few background threads, so that their
// caller goes on meanwhile: the flush of a prepared file's new content, waited for only when
// the content is put in place, and the last close of a replaced file, which frees its blocks
// (on a file system that discards freed blocks at once, a round trip to the device). The
// threads only wait for the disk, so there may be more of them than cores. Not part of the
// layer's API; its POSIX sources share it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace platform::posix {

// A flush of one file, run by a background thread.
class TPendingFlush {
public:
    // Starts `flush` (giving 0 or an errno); whatever it flushes must stay open until Wait has
    // returned.
    explicit TPendingFlush(std::function<int()> flush);
    ~TPendingFlush(); // waits for the flush
    TPendingFlush(const TPendingFlush&) = delete;
    TPendingFlush& operator=(const TPendingFlush&) = delete;

    // Waits for the flush to end, or runs it when no background thread has started it yet;
    // gives its result (the same on every call).
    int Wait();

    struct TState;

private:
    std::shared_ptr<TState> state_;
};

// Closes `fd` on a background thread.
void CloseLater(int fd);

// Keeps a descriptor open for `key` while it serves, closed once no call has named its key for a
// moment (so that an open file does not keep a drive from being unmounted). For a key not held,
// `opener` is called (on this thread) for what opens it, which then runs on a background thread
// and gives the descriptor or -1 (not tried again for a while); an empty one holds nothing. Not
// kept in a forked child.
void HoldWhileUsed(std::uint64_t key, const std::function<std::function<int()>()>& opener);

} // namespace platform::posix
