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
        if (!Staffed()) {
            tasks_.pop_back();
            return false;
        }
        wake_.notify_one();
        return true;
    }

    void Hold(std::uint64_t key, const std::function<std::function<int()>()>& opener) {
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
        // The watch takes a thread of its own as long as anything is held.
        if (!watching_) {
            watching_ = true;
            tasks_.push_back([this] { Watch(); });
            if (!Staffed()) {
                tasks_.pop_back();
                watching_ = false;
                return;
            }
        }
        // Opened on a background thread, so that the caller's own calls are the same however
        // the timing goes.
        std::function<int()> open = opener();
        if (!open) {
            return;
        }
        held_[key] = THeld{-1, now};
        tasks_.push_back([this, key, open = std::move(open)] {
            const int fd = open();
            const std::lock_guard<std::mutex> lock(mutex_);
            const auto it = held_.find(key);
            if (it != held_.end() && it->second.Fd < 0) {
                it->second.Fd = fd;
            } else if (fd >= 0) {
                ::close(fd); // let go meanwhile
            }
        });
        Staffed();
        wake_.notify_all();
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

    // Starts a thread when the tasks waiting outnumber the idle threads; false when there is none
    // to take them.
    bool Staffed() {
        const size_t most = kMaxThreads + (watching_ ? 1 : 0);
        if (tasks_.size() > idle_ + starting_ && threads_.size() < most) {
            try {
                threads_.emplace_back([this] { Work(); });
                ++starting_;
            } catch (const std::system_error&) {
                return !threads_.empty();
            }
        }
        return true;
    }

    void Work() {
        std::unique_lock<std::mutex> lock(mutex_);
        --starting_;
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
    size_t starting_ = 0; // threads started that have not taken the lock yet
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
    bool Started = false;
    bool Finished = false;
    int Result = 0;

    // Runs the flush unless it was started already; false when it was.
    bool Run() {
        {
            const std::lock_guard<std::mutex> lock(Mutex);
            if (Started) {
                return false;
            }
            Started = true;
        }
        const int result = Flush();
        const std::lock_guard<std::mutex> lock(Mutex);
        Result = result;
        Finished = true;
        Done.notify_all();
        return true;
    }
};

TPendingFlush::TPendingFlush(std::function<int()> flush) : state_(std::make_shared<TState>()) {
    state_->Flush = std::move(flush);
    if (!TPool::Get().Post([state = state_] { state->Run(); })) {
        state_->Run();
    }
}

TPendingFlush::~TPendingFlush() {
    Wait();
}

int TPendingFlush::Wait() {
    // One that no background thread has taken up yet is not left waiting for one: on a busy
    // machine that can take longer than the flush itself.
    if (!state_->Run()) {
        std::unique_lock<std::mutex> lock(state_->Mutex);
        state_->Done.wait(lock, [this] { return state_->Finished; });
    }
    return state_->Result;
}

void CloseLater(int fd) {
    if (fd >= 0 && !TPool::Get().Post([fd] { ::close(fd); })) {
        ::close(fd);
    }
}

void HoldWhileUsed(std::uint64_t key, const std::function<std::function<int()>()>& opener) {
    TPool::Get().Hold(key, opener);
}

} // namespace platform::posix
