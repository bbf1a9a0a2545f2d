#include "engine/UFileWorkers.h"

#include "engine/UFileSelection.h"
#include "engine/UTSearchRequest.h"

#include <algorithm>

namespace engine {

namespace {

// How far the walk ahead may run before the caller: files queued, folders listed. Enough to
// keep the workers busy across many small folders; little memory beside a listing.
constexpr size_t kMaxQueued = 4096;
constexpr size_t kMaxListings = 1024;
constexpr size_t kMaxListed = 256 * 1024; // entries of those listings
// The walk ahead holds a descriptor per level, as the walk does: it stops at this depth rather
// than need twice the descriptors a very deep tree takes.
constexpr size_t kMaxDepth = 256;
// Files classified at a time before they are queued together.
constexpr size_t kQueueBatch = 64;
// How many files a worker may run ahead of the caller: enough to cover a few scheduler time
// slices of tiny files (the thread holding the caller's next file may lose its core for that
// long); fewer when each one ready holds a prepared file open, two descriptors apiece.
constexpr size_t kAheadPerWorker = 512;
constexpr size_t kAheadPerWorkerWriting = 64;
// What results ready ahead may hold: their files' sizes, their occurrences.
constexpr size_t kMaxHeld = 32u << 20;

size_t Weight(const TFileFacts& facts) {
    const auto size =
        facts.Streamed ? 0 : static_cast<size_t>(std::max<std::int64_t>(facts.Identity.Size, 0));
    return size + facts.NewContent.size() + 96 * facts.Occurences.size();
}

bool SameFile(const TFileTask& a, const TFileTask& b) {
    return a.Folder->Id() == b.Folder->Id() && *a.Name == *b.Name;
}

} // namespace

TFileWorkers::TFileWorkers(int threads) {
    const size_t n = static_cast<size_t>(std::max(threads, 1));
    ahead_ = kAheadPerWorker * n;
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

bool TFileWorkers::CanStart() const {
    return next_ < front_ + slots_.size() && next_ < front_ + ahead_ &&
           (held_ < kMaxHeld || next_ == front_);
}

void TFileWorkers::SetRequest(const TSearchRequest& request) {
    request_ = &request;
    const bool writes = request.DoReplace && !request.Preview;
    ahead_ = (writes ? kAheadPerWorkerWriting : kAheadPerWorker) * searchers_.size();
}

void TFileWorkers::WakeWorker() {
    // A sleeping worker is woken for a few files at once, not for each one, unless
    // the caller is waiting or no more files are coming soon.
    if (idle_ == 0 || !CanStart()) {
        return;
    }
    const size_t startable = std::min(front_ + slots_.size(), front_ + ahead_) - next_;
    if (startable >= std::min<size_t>(ahead_ / 2, 32) || callerWaiting_ || !walking_ || scoutDone_) {
        wake_.notify_one();
    }
}

bool TFileWorkers::Roomy() const {
    return slots_.size() <= kMaxQueued / 2 && listings_.size() <= kMaxListings / 2 &&
           listed_ <= kMaxListed / 2;
}

void TFileWorkers::Push(std::unique_lock<std::mutex>& /*lock*/, TSlot slot) {
    slots_.push_back(std::move(slot));
    TSlot& placed = slots_.back();
    if (!placed.Name.empty()) {
        placed.Task.Name = &placed.Name; // a deque's elements stay where they are put
    }
    WakeWorker();
}

void TFileWorkers::RunNext(TFileSearcher& searcher, std::unique_lock<std::mutex>& lock) {
    const size_t number = next_++;
    TSlot& slot = slots_[number - front_]; // stays put: only slots not yet started are dropped
    slot.State = TSlot::Busy;
    ++busy_;
    WakeWorker(); // one worker wakes the next
    const TSearchRequest& request = *request_;
    lock.unlock();
    auto facts = std::make_unique<TFileFacts>(searcher.Examine(request, slot.Task));
    PrepareWriteBack(request, slot.Task, *facts);
    lock.lock();
    slot.Weight = Weight(*facts);
    held_ += slot.Weight;
    slot.Facts = std::move(facts);
    slot.State = TSlot::Ready;
    --busy_;
    if (callerWaiting_ && (number == front_ || busy_ == 0)) {
        done_.notify_one();
    }
}

void TFileWorkers::Work(TFileSearcher& searcher) {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        ++idle_;
        wake_.wait(lock, [this] { return quit_ || CanStart(); });
        --idle_;
        if (quit_) {
            return;
        }
        RunNext(searcher, lock);
    }
}

void TFileWorkers::Queue(const TSearchRequest& request, const std::vector<TFileTask>& tasks,
                         size_t first) {
    std::unique_lock<std::mutex> lock(mutex_);
    SetRequest(request);
    for (size_t i = first; i < tasks.size(); ++i) {
        Push(lock, TSlot{nullptr, std::string(), tasks[i], nullptr, 0});
    }
}

void TFileWorkers::WalkAhead(const TSearchRequest& request, const std::string& startPath,
                             const std::string& directory) {
    Stop();
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        SetRequest(request);
        walking_ = true;
        scoutDone_ = false;
        scoutStop_ = false;
    }
    scout_ = std::thread([this, &request, startPath, directory] {
        try {
            Scout(request, startPath, directory);
        } catch (...) {
            // Out of memory, say: the walk meets what it meets for itself.
        }
        const std::lock_guard<std::mutex> lock(mutex_);
        scoutDone_ = true;
        WakeWorker();
        if (callerWaiting_) {
            done_.notify_one();
        }
    });
}

bool TFileWorkers::WaitForRoom(std::unique_lock<std::mutex>& lock) {
    if (slots_.size() >= kMaxQueued || listings_.size() >= kMaxListings || listed_ >= kMaxListed) {
        // Once full, the walk ahead goes on when half the room is free again, not each time
        // one file is taken.
        scoutWaiting_ = true;
        room_.wait(lock, [this] { return scoutStop_ || Roomy(); });
        scoutWaiting_ = false;
    }
    return !scoutStop_;
}

void TFileWorkers::Scout(const TSearchRequest& request, std::string startPath,
                         std::string directory) {
    struct TFrame {
        std::shared_ptr<TListingAhead> Listing;
        std::string Directory;
        size_t Next = 0; // the next entry to look at for a sub-folder
    };
    const TFileSelection selection(request);
    std::vector<TFrame> stack;
    // Lists a folder and hands the listing on; false once the walk ahead is to stop.
    const auto enter = [&](platform::TFolderHandle folder, std::string path) {
        auto listing = std::make_shared<TListingAhead>();
        listing->Folder = std::make_shared<const platform::TFolderHandle>(std::move(folder));
        listing->Entries = platform::ListFolder(*listing->Folder, &listing->Error);
        std::unique_lock<std::mutex> lock(mutex_);
        if (!WaitForRoom(lock)) {
            return false;
        }
        listings_.push_back(listing);
        listed_ += listing->Entries.size();
        if (callerWaiting_) {
            done_.notify_one();
        }
        stack.push_back(TFrame{std::move(listing), std::move(path)});
        return true;
    };
    bool go = true;
    if (platform::TFolderHandle start = platform::TFolderHandle::OpenPath(startPath);
        start.Valid()) {
        go = enter(std::move(start), std::move(directory));
    }
    std::vector<TSlot> batch;
    while (go && !stack.empty()) {
        TFrame& frame = stack.back();
        const std::shared_ptr<TListingAhead> listing = frame.Listing;
        const std::vector<platform::TFolderEntry>& entries = listing->Entries;
        if (request.Recurse) {
            size_t& i = frame.Next;
            while (i < entries.size() && (entries[i].Kind != platform::TEntryKind::Folder ||
                                          selection.ExcludesFolder(entries[i].Name))) {
                ++i;
            }
            if (i < entries.size()) {
                if (stack.size() >= kMaxDepth) {
                    break; // the walk goes on below by itself
                }
                const platform::TFolderEntry& e = entries[i++];
                platform::TFolderHandle sub = listing->Folder->OpenSub(e.Name, e.Id);
                if (sub.Valid()) {
                    go = enter(std::move(sub), frame.Directory + e.Name + platform::PathDelim);
                }
                continue;
            }
        }
        // The sub-folders are done: the folder's own files, in batches.
        const std::string path = std::move(frame.Directory);
        stack.pop_back();
        for (size_t i = 0; go && i < entries.size();) {
            batch.clear();
            for (; i < entries.size() && batch.size() < kQueueBatch; ++i) {
                const platform::TFolderEntry& e = entries[i];
                if (e.Kind == platform::TEntryKind::Folder) {
                    continue;
                }
                TListedEntry listed(*listing->Folder, e);
                if (selection.Classify(e.Name, listed) == TEntryOutcome::Selected) {
                    // The slot holds the folder and the name, not the whole listing.
                    batch.push_back(TSlot{listing->Folder, e.Name,
                                          TFileTask{listing->Folder.get(), nullptr, path + e.Name,
                                                    e.Kind == platform::TEntryKind::PlainFile},
                                          nullptr, 0});
                }
            }
            std::unique_lock<std::mutex> lock(mutex_);
            for (TSlot& slot : batch) {
                if (!WaitForRoom(lock)) {
                    go = false;
                    break;
                }
                Push(lock, std::move(slot));
            }
            if (callerWaiting_) {
                done_.notify_one();
            }
        }
    }
}

std::shared_ptr<const TListingAhead>
TFileWorkers::TakeListing(const platform::TFileId& id, TFileSearcher& own,
                          const std::function<void()>* idle, std::chrono::milliseconds idleEvery) {
    std::unique_lock<std::mutex> lock(mutex_);
    auto breath = std::chrono::steady_clock::now() + idleEvery;
    // A walk ahead waiting for room while the caller waits for a listing is full of what the
    // caller passed over (folders it did not enter): it is given up.
    while (walking_ && listings_.empty() && !scoutDone_ && !scoutWaiting_) {
        if (idle == nullptr && CanStart()) {
            RunNext(own, lock);
            continue;
        }
        callerWaiting_ = true;
        WakeWorker();
        if (idle == nullptr) {
            done_.wait(lock);
        } else if (done_.wait_until(lock, breath) == std::cv_status::timeout) {
            callerWaiting_ = false;
            lock.unlock();
            (*idle)();
            lock.lock();
            breath = std::chrono::steady_clock::now() + idleEvery;
        }
        callerWaiting_ = false;
    }
    if (walking_ && !listings_.empty() && listings_.front()->Folder->Id() == id) {
        std::shared_ptr<const TListingAhead> listing = std::move(listings_.front());
        listings_.pop_front();
        listed_ -= listing->Entries.size();
        if (scoutWaiting_ && Roomy()) {
            room_.notify_one();
        }
        return listing;
    }
    Drop(lock);
    return nullptr;
}

std::unique_ptr<TFileFacts> TFileWorkers::Take(const TFileTask& task, TFileSearcher& own,
                                               const std::function<void()>* idle,
                                               std::chrono::milliseconds idleEvery) {
    std::unique_lock<std::mutex> lock(mutex_);
    auto breath = std::chrono::steady_clock::now() + idleEvery;
    for (;;) {
        if (!slots_.empty()) {
            TSlot& slot = slots_.front();
            if (!SameFile(slot.Task, task)) {
                break;
            }
            if (slot.State == TSlot::Ready) {
                std::unique_ptr<TFileFacts> facts = std::move(slot.Facts);
                held_ -= slot.Weight;
                slots_.pop_front();
                ++front_;
                WakeWorker();
                if (scoutWaiting_ && Roomy()) {
                    room_.notify_one();
                }
                return facts;
            }
        } else if (!walking_ || scoutDone_ || scoutWaiting_) {
            break; // nothing more is coming, or not before what the caller passed over
        }
        if (idle == nullptr && CanStart()) {
            RunNext(own, lock);
            continue;
        }
        callerWaiting_ = true;
        WakeWorker();
        if (idle == nullptr) {
            done_.wait(lock);
        } else if (done_.wait_until(lock, breath) == std::cv_status::timeout) {
            callerWaiting_ = false;
            lock.unlock();
            (*idle)();
            lock.lock();
            breath = std::chrono::steady_clock::now() + idleEvery;
        }
        callerWaiting_ = false;
    }
    Drop(lock);
    return nullptr;
}

void TFileWorkers::Drop(std::unique_lock<std::mutex>& lock) {
    scoutStop_ = true;
    room_.notify_all();
    // Files not started go at once; those under way are waited for.
    while (front_ + slots_.size() > next_) {
        slots_.pop_back();
    }
    callerWaiting_ = true;
    done_.wait(lock, [this] { return busy_ == 0; });
    callerWaiting_ = false;
    if (scout_.joinable()) {
        lock.unlock();
        scout_.join();
        lock.lock();
    }
    slots_.clear();
    held_ = 0;
    listings_.clear();
    listed_ = 0;
    front_ = next_ = 0;
    walking_ = false;
    scoutDone_ = false;
    scoutStop_ = false;
}

void TFileWorkers::Stop() {
    std::unique_lock<std::mutex> lock(mutex_);
    Drop(lock);
    request_ = nullptr;
}

} // namespace engine
