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
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

namespace vv {

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
template <typename T>
class BoundedQueue final : public Abortable {
public:
    BoundedQueue(std::size_t maxItems, std::size_t maxBytes, int producers)
        : maxItems_(maxItems), maxBytes_(maxBytes), producers_(producers) {}

    // Waits while the queue is full. Throws PipelineAborted once aborted.
    void Push(T item, std::size_t bytes) {
        std::unique_lock lock(mutex_);
        notFull_.wait(lock, [&] {
            return aborted_ || items_.empty() || (items_.size() < maxItems_ && bytes_ + bytes <= maxBytes_);
        });
        if (aborted_) throw PipelineAborted{};
        bytes_ += bytes;
        items_.emplace_back(std::move(item), bytes);
        notEmpty_.notify_one();
    }

    // The next item, waiting for one; nothing once every producer has ended and the queue
    // is empty. Throws PipelineAborted once aborted.
    std::optional<T> Pop() {
        std::unique_lock lock(mutex_);
        notEmpty_.wait(lock, [&] { return aborted_ || !items_.empty() || producers_ == 0; });
        if (aborted_) throw PipelineAborted{};
        if (items_.empty()) return std::nullopt;
        std::optional<T> item(std::move(items_.front().first));
        bytes_ -= items_.front().second;
        items_.pop_front();
        notFull_.notify_all();  // producers with items of any size may be waiting
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
    std::mutex mutex_;
    std::condition_variable notFull_, notEmpty_;
    std::deque<std::pair<T, std::size_t>> items_;
    std::size_t bytes_ = 0;
    const std::size_t maxItems_, maxBytes_;
    int producers_;
    bool aborted_ = false;
};

// Where a stage takes its items: `take` handles one, `finish` runs once after the last
// of `producers` producers has ended.
template <typename T>
class Inlet {
public:
    Inlet(std::function<void(T)> take, std::function<void()> finish, int producers = 1)
        : take_(std::move(take)), finish_(std::move(finish)), producers_(producers) {}

    // From now on items wait in a queue for Drain() on the stage's own thread.
    BoundedQueue<T>& Queue(std::size_t maxItems, std::size_t maxBytes) {
        queue_ = std::make_unique<BoundedQueue<T>>(maxItems, maxBytes, producers_);
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
    void Start(std::function<void()> body);
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
};

}  // namespace vv
