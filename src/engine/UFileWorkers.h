// Worker threads that examine selected files ahead of the walk, and a walk of its own that
// lists folders and queues their files ahead of the caller's, so the workers do not wait for the
// caller to reach the next folder. The caller takes listings and facts in its own order and
// does everything observable itself; what was made ahead is only ever taken under the key of
// the folder or file the caller is at (its identity, its name), so a tree that changes under
// the run, or an Abort, gives the work ahead up rather than mixing it in.
#pragma once

#include "engine/UTFileSearcher.h"
#include "platform/UFolderHandle.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace engine {

struct TSearchRequest;

// A folder listed ahead of the walk, through a descriptor of its own.
struct TListingAhead {
    // Shared with the files queued from it, which outlive the listing itself.
    std::shared_ptr<const platform::TFolderHandle> Folder;
    std::vector<platform::TFolderEntry> Entries;
    std::string Error; // why the listing failed, as ListFolder gives it
};

class TFileWorkers {
public:
    // `threads` workers, each with a searcher of its own.
    explicit TFileWorkers(int threads);
    ~TFileWorkers();
    TFileWorkers(const TFileWorkers&) = delete;
    TFileWorkers& operator=(const TFileWorkers&) = delete;

    void BeginRun();

    // Starts a walk ahead from the folder at `startPath`, whose files are shown below
    // `directory`: it lists the folders in the walk's order and queues their selected files in
    // the order the walk takes them (a folder's sub-folders first, then its own files).
    void WalkAhead(const TSearchRequest& request, const std::string& startPath,
                   const std::string& directory);
    bool WalkingAhead() const { return walking_; }
    // The next folder the walk ahead listed, when it is the folder `id`; otherwise nullptr, and
    // the walk ahead is given up: the caller lists its folders and queues its files itself.
    // Meanwhile the caller examines queued files or calls `idle`, as in Take.
    std::shared_ptr<const TListingAhead>
    TakeListing(const platform::TFileId& id, TFileSearcher& own, const std::function<void()>* idle,
                std::chrono::milliseconds idleEvery = std::chrono::milliseconds(25));

    // Queues the caller's own tasks from `first` on (not while walking ahead). They and their
    // folder must outlive Stop.
    void Queue(const TSearchRequest& request, const std::vector<TFileTask>& tasks, size_t first);

    // The facts of the next queued file when it is `task` (the same folder, the same name);
    // otherwise nullptr, with the queue emptied and the walk ahead given up. While they are not
    // ready the caller examines the next queued files itself with `own`; or, when `idle` is
    // given, calls it every `idleEvery` instead and leaves the files to the workers.
    std::unique_ptr<TFileFacts>
    Take(const TFileTask& task, TFileSearcher& own, const std::function<void()>* idle,
         std::chrono::milliseconds idleEvery = std::chrono::milliseconds(25));

    // Gives up the walk ahead and drops every queued file (results of files the walk does not
    // reach are never used); returns once the work under way is done. Safe to call twice.
    void Stop();

private:
    struct TSlot {
        std::shared_ptr<const void> Keep; // what the task's folder lives in
        std::string Name;                 // the task's name, when the slot holds it itself
        TFileTask Task;
        std::unique_ptr<TFileFacts> Facts;
        size_t Weight = 0; // what the facts hold, while they wait to be taken
        enum : unsigned char { Queued, Busy, Ready } State = Queued;
    };
    void Work(TFileSearcher& searcher);
    // Examines the slot `next_` with the lock released meanwhile.
    void RunNext(TFileSearcher& searcher, std::unique_lock<std::mutex>& lock);
    bool CanStart() const;
    void SetRequest(const TSearchRequest& request);
    void WakeWorker();
    // Whether the walk ahead, once it waited for room, may go on.
    bool Roomy() const;
    // Adds a task at the back of the queue, waking a worker when it may start.
    void Push(std::unique_lock<std::mutex>& lock, TSlot slot);
    // The walk ahead's thread.
    void Scout(const TSearchRequest& request, std::string startPath, std::string directory);
    // Waits until the queues have room for the walk ahead; false once it is to stop.
    bool WaitForRoom(std::unique_lock<std::mutex>& lock);
    // Under the lock: stops the walk ahead and drops the queues, once no file is being examined.
    void Drop(std::unique_lock<std::mutex>& lock);

    std::vector<std::unique_ptr<TFileSearcher>> searchers_;
    std::vector<std::thread> threads_;
    std::thread scout_;
    std::mutex mutex_;
    std::condition_variable wake_; // for the workers
    std::condition_variable done_; // for the caller
    std::condition_variable room_; // for the walk ahead
    bool quit_ = false;
    const TSearchRequest* request_ = nullptr;
    std::deque<TSlot> slots_;
    size_t front_ = 0; // the number of the slot at the front of the queue
    size_t next_ = 0;  // the number of the first slot not yet started
    size_t busy_ = 0;  // slots being examined
    size_t ahead_ = 0; // how far beyond the front slots may start
    size_t idle_ = 0;  // workers waiting for a slot
    size_t held_ = 0;  // the weight of the facts ready
    bool callerWaiting_ = false;
    // The walk ahead: its listings in the walk's order, whether it runs, and whether it is done
    // or asked to stop.
    std::deque<std::shared_ptr<const TListingAhead>> listings_;
    size_t listed_ = 0; // the entries of those listings
    bool walking_ = false;
    bool scoutDone_ = false;
    bool scoutStop_ = false;
    bool scoutWaiting_ = false;
};

} // namespace engine
