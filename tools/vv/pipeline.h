#pragma once
// What joins the conversion's stages (reading, decoding, filtering, encoding, writing).
// An Inlet hands a stage its items in one of two ways:
//  - directly: each item is handled at once, on the thread that puts it (everything runs
//    on one thread, in the input's order);
//  - queued: items wait in a bounded queue that the stage's own thread drains, so the
//    stages run side by side; a full queue makes its producer wait, so memory stays
//    flat however long the input is.
// The stage code is the same either way, and so is what each stage receives, in order.
//
// A failure on any thread ends the whole run: Workers keeps the first one and aborts
// every queue, which wakes each thread waiting on one; that thread unwinds with
// PipelineAborted and ends without a reason of its own.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/threads.h"

namespace vv {

// What one stage's thread did, for the stage account a run can print: where its time went
// tells which stage holds the others back.
struct StageAccount {
    std::string name;
    std::int64_t waitingForInputNs = 0;  // on an empty queue before it
    std::int64_t waitingForRoomNs = 0;   // on a full queue after it
    platform::ThreadUsage usage;         // at the thread's end
};

// The calling thread's account, when the run keeps them (else null).
StageAccount* CurrentAccount();

// Waits on `cv` until `ready`, adding the time waited to the calling thread's account.
template <typename Ready>
void WaitAccounted(std::condition_variable& cv, std::unique_lock<std::mutex>& lock, Ready ready,
                   std::int64_t StageAccount::*waited) {
    StageAccount* account = CurrentAccount();
    if (account == nullptr) {
        cv.wait(lock, ready);
        return;
    }
    const auto from = std::chrono::steady_clock::now();
    cv.wait(lock, ready);
    account->*waited += std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - from).count();
}

// Thrown out of a queue once the run was aborted by a failure elsewhere. Not a
// std::exception, so that code handling library errors does not catch it by mistake.
struct PipelineAborted {};

class Abortable {
public:
    virtual ~Abortable() = default;
    virtual void Abort() = 0;
};

// A first-in first-out queue of at most maxItems items and maxBytes bytes (an item larger
// than that still passes through an empty queue), filled by `producers` producers.
// Each side sleeps for a stretch rather than for each item: a producer that found the
// queue full goes on once it has drained to half, and a consumer that found it empty goes
// on once `batch` items wait (or the producers ended, or one waits for room). A stage
// faster than its neighbour thus wakes once per stretch instead of once per item, and
// each wake-up is signalled only when someone sleeps for it.
template <typename T>
class BoundedQueue final : public Abortable {
public:
    BoundedQueue(std::size_t maxItems, std::size_t maxBytes, int producers, std::size_t batch = 1)
        : maxItems_(std::max<std::size_t>(maxItems, 1)),
          maxBytes_(maxBytes),
          resumeAt_(maxItems_ / 2),
          batch_(std::clamp<std::size_t>(batch, 1, std::max<std::size_t>(maxItems_ / 2, 1))),
          producers_(producers) {}

    // Waits while the queue is full. Throws PipelineAborted once aborted.
    void Push(T item, std::size_t bytes) {
        std::unique_lock lock(mutex_);
        if (!Fits(bytes, maxItems_ - 1)) {
            ++producersWaiting_;
            if (consumerWaiting_) notEmpty_.notify_one();  // a short batch that fills the bytes
            WaitAccounted(notFull_, lock, [&] { return aborted_ || Fits(bytes, resumeAt_); },
                          &StageAccount::waitingForRoomNs);
            --producersWaiting_;
        }
        if (aborted_) throw PipelineAborted{};
        bytes_ += bytes;
        items_.emplace_back(std::move(item), bytes);
        const bool wake = consumerWaiting_ && items_.size() >= batch_;
        lock.unlock();
        if (wake) notEmpty_.notify_one();
    }

    // The next item, waiting for one; nothing once every producer has ended and the queue
    // is empty. Throws PipelineAborted once aborted.
    std::optional<T> Pop() {
        std::unique_lock lock(mutex_);
        if (items_.empty() && producers_ > 0 && !aborted_) {
            consumerWaiting_ = true;
            WaitAccounted(
                notEmpty_, lock,
                [&] {
                    return aborted_ || producers_ == 0 || items_.size() >= batch_ ||
                           (producersWaiting_ > 0 && !items_.empty());
                },
                &StageAccount::waitingForInputNs);
            consumerWaiting_ = false;
        }
        if (aborted_) throw PipelineAborted{};
        if (items_.empty()) return std::nullopt;
        std::optional<T> item(std::move(items_.front().first));
        bytes_ -= items_.front().second;
        items_.pop_front();
        // Producers with items of any size may be waiting.
        const bool wake = producersWaiting_ > 0 && items_.size() <= resumeAt_;
        lock.unlock();
        if (wake) notFull_.notify_all();
        return item;
    }

    // One producer has put its last item.
    void End() {
        std::lock_guard lock(mutex_);
        if (producers_ > 0 && --producers_ == 0) notEmpty_.notify_all();
    }

    // Drops what waits and wakes everyone: every Push and Pop throws from now on.
    void Abort() override {
        std::deque<std::pair<T, std::size_t>> dropped;  // released outside the lock
        {
            std::lock_guard lock(mutex_);
            aborted_ = true;
            dropped.swap(items_);
            bytes_ = 0;
        }
        notFull_.notify_all();
        notEmpty_.notify_all();
    }

private:
    // Room for an item of `bytes` while at most `upTo` items wait.
    bool Fits(std::size_t bytes, std::size_t upTo) const {
        return items_.empty() || (items_.size() <= upTo && bytes_ + bytes <= maxBytes_);
    }

    std::mutex mutex_;
    std::condition_variable notFull_, notEmpty_;
    std::deque<std::pair<T, std::size_t>> items_;
    std::size_t bytes_ = 0;
    const std::size_t maxItems_, maxBytes_, resumeAt_, batch_;
    int producers_;
    int producersWaiting_ = 0;
    bool consumerWaiting_ = false;
    bool aborted_ = false;
};

// Where a stage takes its items: `take` handles one, `finish` runs once after the last
// of `producers` producers has ended.
template <typename T>
class Inlet {
public:
    Inlet(std::function<void(T)> take, std::function<void()> finish, int producers = 1)
        : take_(std::move(take)), finish_(std::move(finish)), producers_(producers) {}

    // From now on items wait in a queue for Drain() on the stage's own thread, which wakes
    // for `batch` of them at a time.
    BoundedQueue<T>& Queue(std::size_t maxItems, std::size_t maxBytes, std::size_t batch = 1) {
        queue_ = std::make_unique<BoundedQueue<T>>(maxItems, maxBytes, producers_, batch);
        return *queue_;
    }

    // `bytes` counts against a queue's byte budget.
    void Put(T item, std::size_t bytes = 0) {
        if (queue_) {
            queue_->Push(std::move(item), bytes);
        } else {
            take_(std::move(item));
        }
    }

    // A producer has put its last item.
    void End() {
        if (queue_) {
            queue_->End();
        } else if (--producers_ == 0) {
            finish_();
        }
    }

    // The stage's thread, for a queued inlet: handles every item, then finishes.
    void Drain() {
        while (std::optional<T> item = queue_->Pop()) take_(std::move(*item));
        finish_();
    }

private:
    std::function<void(T)> take_;
    std::function<void()> finish_;
    int producers_;
    std::unique_ptr<BoundedQueue<T>> queue_;
};

// The threads of one run. The first exception any of them throws is kept and aborts
// every watched queue; Join() waits for all of them and rethrows it. Destroying Workers
// aborts and joins whatever still runs.
class Workers {
public:
    Workers() = default;
    ~Workers();
    Workers(const Workers&) = delete;
    Workers& operator=(const Workers&) = delete;

    // A queue to abort on failure; watch every queue before starting any thread.
    void Watch(Abortable& queue) { queues_.push_back(&queue); }
    // Threads started from now on keep an account each, named as Start() names them.
    void KeepAccounts() { accounting_ = true; }
    void Start(std::function<void()> body, std::string name = {});
    // The accounts of the threads started, once joined.
    const std::deque<StageAccount>& Accounts() const { return accounts_; }
    void Join();
    // Aborts and joins whatever still runs (a run left early); nothing once joined.
    void Stop();

    // Ends the run with this failure unless another came first.
    void Fail(std::exception_ptr failure);
    // True once the run was aborted (for work that waits on something other than a queue).
    bool Aborted() const { return aborted_.load(std::memory_order_acquire); }

private:
    void AbortAll();

    std::mutex mutex_;
    std::exception_ptr failure_;
    std::atomic<bool> aborted_{false};
    std::vector<Abortable*> queues_;
    std::vector<std::thread> threads_;
    bool accounting_ = false;
    std::deque<StageAccount> accounts_;  // stays where it is while threads fill it in
};

}  // namespace vv
