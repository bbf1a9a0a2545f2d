#include "platform/UWriteBehind.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <vector>

namespace platform::posix {

namespace {

// Enough for the flushes of the files a walk prepares ahead of its own place to be in flight
// together, so that the device takes them as one batch.
constexpr size_t kMaxThreads = 8;

// How long a held descriptor stays open unused.
constexpr auto kLinger = std::chrono::milliseconds(250);

class TPool {
public:
    static TPool& Get() {
        static TPool pool;
        return pool;
    }

    // False when no background thread can take the task (in a forked child, whose threads
    // were not copied, or when none can be started): the caller then runs it itself.
    bool Post(std::function<void()> task) {
        if (::getpid() != owner_) {
            return false;
        }
        const std::lock_guard<std::mutex> lock(mutex_);
        if (quit_) {
            return false;
        }
        tasks_.push_back(std::move(task));
        if (tasks_.size() > idle_ && threads_.size() < kMaxThreads) {
            try {
                threads_.emplace_back([this] { Work(); });
            } catch (const std::system_error&) {
                if (threads_.empty()) {
                    tasks_.pop_back();
                    return false;
                }
            }
        }
        wake_.notify_one();
        return true;
    }

    void Hold(std::uint64_t key, const std::function<int()>& open) {
        if (::getpid() != owner_) {
            return;
        }
        const std::lock_guard<std::mutex> lock(mutex_);
        const auto now = std::chrono::steady_clock::now();
        if (const auto it = held_.find(key); it != held_.end()) {
            it->second.LastUse = now;
            return;
        }
        if (quit_) {
            return;
        }
        if (!watching_) {
            // The watch takes a thread of its own; without one nothing would be let go.
            tasks_.push_back([this] { Watch(); });
            try {
                threads_.emplace_back([this] { Work(); });
            } catch (const std::system_error&) {
                tasks_.pop_back();
                return;
            }
            watching_ = true;
        }
        held_[key] = THeld{open(), now};
    }

    // What was handed over is done before the process ends.
    ~TPool() {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            quit_ = true;
        }
        wake_.notify_all();
        ending_.notify_all();
        for (std::thread& t : threads_) {
            t.join();
        }
        for (const auto& [key, held] : held_) {
            if (held.Fd >= 0) {
                ::close(held.Fd);
            }
        }
    }

    TPool(const TPool&) = delete;
    TPool& operator=(const TPool&) = delete;

private:
    TPool() : owner_(::getpid()) {}

    // Closes what has not been used for a while, until nothing is held.
    void Watch() {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!held_.empty()) {
            if (ending_.wait_for(lock, kLinger, [this] { return quit_; })) {
                return;
            }
            const auto now = std::chrono::steady_clock::now();
            std::vector<int> idle;
            for (auto it = held_.begin(); it != held_.end();) {
                if (now - it->second.LastUse >= kLinger) {
                    idle.push_back(it->second.Fd);
                    it = held_.erase(it);
                } else {
                    ++it;
                }
            }
            lock.unlock();
            for (const int fd : idle) {
                if (fd >= 0) {
                    ::close(fd);
                }
            }
            lock.lock();
        }
        watching_ = false;
    }

    void Work() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            ++idle_;
            wake_.wait(lock, [this] { return quit_ || !tasks_.empty(); });
            --idle_;
            if (tasks_.empty()) {
                return; // quitting
            }
            std::function<void()> task = std::move(tasks_.front());
            tasks_.pop_front();
            lock.unlock();
            task();
            lock.lock();
        }
    }

    const pid_t owner_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable ending_;
    std::deque<std::function<void()>> tasks_;
    std::vector<std::thread> threads_;
    size_t idle_ = 0;
    bool quit_ = false;
    struct THeld {
        int Fd;
        std::chrono::steady_clock::time_point LastUse;
    };
    std::map<std::uint64_t, THeld> held_;
    bool watching_ = false;
};

} // namespace

struct TPendingFlush::TState {
    std::function<int()> Flush;
    std::mutex Mutex;
    std::condition_variable Done;
    bool Finished = false;
    int Result = 0;
};

TPendingFlush::TPendingFlush(std::function<int()> flush) : state_(std::make_shared<TState>()) {
    state_->Flush = std::move(flush);
    const auto run = [state = state_] {
        const int result = state->Flush();
        const std::lock_guard<std::mutex> lock(state->Mutex);
        state->Result = result;
        state->Finished = true;
        state->Done.notify_all();
    };
    if (!TPool::Get().Post(run)) {
        run();
    }
}

TPendingFlush::~TPendingFlush() {
    Wait();
}

int TPendingFlush::Wait() {
    std::unique_lock<std::mutex> lock(state_->Mutex);
    state_->Done.wait(lock, [this] { return state_->Finished; });
    return state_->Result;
}

void CloseLater(int fd) {
    if (fd >= 0 && !TPool::Get().Post([fd] { ::close(fd); })) {
        ::close(fd);
    }
}

void HoldWhileUsed(std::uint64_t key, const std::function<int()>& open) {
    TPool::Get().Hold(key, open);
}

} // namespace platform::posix
