// Reading a big file a window at a time, so that searching or replacing in it takes memory
// for a window and the longest line with finds, not for the whole file.
//
// The searches themselves work on runs of whole lines: a window's last partial line is
// carried over to the next one. A line longer than a window is measured first and then read
// whole into a buffer of its size, which can become the line's shared text as it is, without
// a copy.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace engine {

class TSubstringFinder;

// The window: files larger than it are searched a window at a time.
size_t StreamWindow();
// For tests: every file larger than `bytes` is read in windows of that size (0: the default).
void SetStreamWindow(size_t bytes);

// Reads `n` bytes from `offset` into `into`; fewer only at the file's end. Throws on failure.
using TReadAt = std::function<size_t(std::int64_t offset, char* into, size_t n)>;

class TLineWindows {
public:
    // `buffer` is kept from file to file; `fileSize` is what the file is expected to hold.
    TLineWindows(TReadAt read, std::string& buffer, size_t window);

    // Moves to the next run of whole lines; false at the file's end.
    bool Next();
    // The run: lines each with its break, the file's last line perhaps without one; or a
    // single line longer than a window, without its break.
    std::string_view Lines() const { return lines_; }
    // The number (from 0) of the run's first line.
    std::uint64_t FirstLine() const { return firstLine_; }
    // Where the run starts in the file.
    std::uint64_t FirstOffset() const { return firstOffset_; }
    // The run is one line longer than a window; its break (none at the file's end) is this.
    bool LongLine() const { return long_; }
    std::string_view BreakAfter() const { return breakAfter_; }
    // Gives the storage of the current long line, cut to the line's bytes, for it to be kept
    // as the line's text; Lines() stays valid as long as the storage lives.
    std::string TakeLongLine();

private:
    bool Cut();
    void Fill();
    void LoadLongLine();

    TReadAt read_;
    std::string& buf_;
    const size_t window_;
    size_t begin_ = 0; // the bytes not yet handed out are [begin_, end_) of buf_
    size_t end_ = 0;
    std::int64_t fileAt_ = 0; // the file offset of buf_[end_]
    bool eof_ = false;
    std::string_view lines_;
    size_t next_ = 0; // where the bytes after the run start in buf_
    std::uint64_t firstLine_ = 0;
    std::uint64_t firstOffset_ = 0;
    bool long_ = false;
    std::string breakAfter_;
    bool started_ = false;
};

// Replaces every find of `finder`'s needle (which holds no line break) by `replacement`, reading
// the file through `read` and writing the new content through `write` (which throws on failure)
// a window at a time. Gives the number of finds.
size_t StreamPlainReplace(const TReadAt& read, const std::function<void(std::string_view)>& write,
                          const TSubstringFinder& finder, std::string_view replacement,
                          std::string& buffer, size_t window);

} // namespace engine
