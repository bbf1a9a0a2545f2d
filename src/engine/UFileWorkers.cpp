#include "engine/UFileWorkers.h"

#include <algorithm>

namespace engine {

TFileWorkers::TFileWorkers(int threads) {
    const size_t n = static_cast<size_t>(std::max(threads, 1));
    ahead_ = 4 * n;
    for (size_t i = 0; i < n; ++i) {
        searchers_.push_back(std::make_unique<TFileSearcher>());
    }
    for (size_t i = 0; i < n; ++i) {
        threads_.emplace_back([this, s = searchers_[i].get()] { Work(*s); });
    }
}

TFileWorkers::~TFileWorkers() {
    Stop();
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    for (std::thread& t : threads_) {
        t.join();
    }
}

void TFileWorkers::BeginRun() {
    for (auto& s : searchers_) {
        s->BeginRun();
    }
}

void TFileWorkers::Start(const TSearchRequest& request, const std::vector<TFileTask>& tasks,
                         std::vector<std::unique_ptr<TFileFacts>>& facts) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        request_ = &request;
        tasks_ = &tasks;
        facts_ = &facts;
        ready_.assign(tasks.size(), 0);
        next_ = 0;
        limit_ = std::min(tasks.size(), ahead_);
    }
    wake_.notify_all();
}

// Examines task `i`, taken under `lock`, with the lock released meanwhile.
void TFileWorkers::Run(size_t i, TFileSearcher& searcher, std::unique_lock<std::mutex>& lock) {
    ++busy_;
    const TSearchRequest& request = *request_;
    const TFileTask& task = (*tasks_)[i];
    std::vector<std::unique_ptr<TFileFacts>>& facts = *facts_;
    lock.unlock();
    auto f = std::make_unique<TFileFacts>(searcher.Examine(request, task));
    PrepareWriteBack(request, task, *f);
    lock.lock();
    facts[i] = std::move(f);
    ready_[i] = 1;
    --busy_;
    if (callerWaiting_) {
        done_.notify_one();
    }
}

void TFileWorkers::Work(TFileSearcher& searcher) {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        ++idle_;
        wake_.wait(lock, [this] { return quit_ || next_ < limit_; });
        --idle_;
        if (quit_) {
            return;
        }
        Run(next_++, searcher, lock);
    }
}

void TFileWorkers::WaitFor(size_t i, TFileSearcher& own, const std::function<void()>* idle,
                           std::chrono::milliseconds idleEvery) {
    std::unique_lock<std::mutex> lock(mutex_);
    // The window moves on in steps of half its width, so sleeping workers are woken seldom.
    if (limit_ < ready_.size() && limit_ < i + 1 + ahead_ / 2) {
        limit_ = std::min(ready_.size(), i + 1 + ahead_);
        if (idle_ > 0) {
            wake_.notify_all();
        }
    }
    while (ready_[i] == 0) {
        if (idle != nullptr) {
            callerWaiting_ = true;
            const bool ready = done_.wait_for(lock, idleEvery, [&] { return ready_[i] != 0; });
            callerWaiting_ = false;
            if (!ready) {
                lock.unlock();
                (*idle)();
                lock.lock();
            }
        } else if (next_ < limit_) {
            Run(next_++, own, lock);
        } else {
            callerWaiting_ = true;
            done_.wait(lock);
            callerWaiting_ = false;
        }
    }
}

void TFileWorkers::Stop() {
    std::unique_lock<std::mutex> lock(mutex_);
    limit_ = next_;
    callerWaiting_ = true;
    done_.wait(lock, [this] { return busy_ == 0; });
    callerWaiting_ = false;
    tasks_ = nullptr;
    facts_ = nullptr;
    request_ = nullptr;
}

} // namespace engine
