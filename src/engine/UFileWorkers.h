// Worker threads that examine the selected files of one folder ahead of the walk. The walk
// takes the facts in its own order and does everything observable itself; the workers only
// read and search.
#pragma once

#include "engine/UTFileSearcher.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace engine {

struct TSearchRequest;

class TFileWorkers {
public:
    // `threads` workers, each with a searcher of its own.
    explicit TFileWorkers(int threads);
    ~TFileWorkers();
    TFileWorkers(const TFileWorkers&) = delete;
    TFileWorkers& operator=(const TFileWorkers&) = delete;

    void BeginRun();

    // Starts examining `tasks` into `facts` (the same size), never more than a few files
    // beyond the one the caller waits for, so the work in flight stays bounded.
    void Start(const TSearchRequest& request, const std::vector<TFileTask>& tasks,
               std::vector<std::unique_ptr<TFileFacts>>& facts);
    // Returns once task `i` is examined. While it would wait, the caller examines the next
    // tasks itself with `own`; or, when `idle` is given, calls it every `idleEvery` instead,
    // and leaves the files to the workers.
    void WaitFor(size_t i, TFileSearcher& own, const std::function<void()>* idle = nullptr,
                 std::chrono::milliseconds idleEvery = std::chrono::milliseconds(25));
    // No further task starts; returns once those under way are done. Safe to call twice.
    void Stop();

private:
    void Work(TFileSearcher& searcher);
    void Run(size_t i, TFileSearcher& searcher, std::unique_lock<std::mutex>& lock);

    std::vector<std::unique_ptr<TFileSearcher>> searchers_;
    std::vector<std::thread> threads_;
    std::mutex mutex_;
    std::condition_variable wake_; // for the workers
    std::condition_variable done_; // for the caller
    bool quit_ = false;
    const TSearchRequest* request_ = nullptr;
    const std::vector<TFileTask>* tasks_ = nullptr;
    std::vector<std::unique_ptr<TFileFacts>>* facts_ = nullptr;
    std::vector<char> ready_;
    size_t next_ = 0;  // the first task not yet taken
    size_t limit_ = 0; // tasks from here on wait
    size_t busy_ = 0;  // tasks being examined
    size_t ahead_ = 0;
    size_t idle_ = 0;            // workers waiting for a task
    bool callerWaiting_ = false; // the caller waits for a task to be done
};

} // namespace engine
