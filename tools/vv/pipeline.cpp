#include "pipeline.h"

namespace vv {
namespace {
thread_local StageAccount* tAccount = nullptr;
}  // namespace

StageAccount* CurrentAccount() { return tAccount; }

Workers::~Workers() { Stop(); }

void Workers::Stop() {
    bool running = false;
    for (const std::thread& t : threads_) running = running || t.joinable();
    if (!running) return;
    // Left early (a thread could not be started): what runs is stopped, not waited for.
    aborted_.store(true, std::memory_order_release);
    AbortAll();
    for (std::thread& t : threads_) {
        if (t.joinable()) t.join();
    }
}

void Workers::Start(std::function<void()> body, std::string name) {
    StageAccount* account = nullptr;
    if (accounting_) {
        accounts_.push_back({});
        account = &accounts_.back();
        account->name = std::move(name);
    }
    threads_.emplace_back([this, account, body = std::move(body)] {
        tAccount = account;
        try {
            body();
        } catch (const PipelineAborted&) {
            // Another thread failed; its reason is the run's.
        } catch (...) {
            Fail(std::current_exception());
        }
        if (account != nullptr) account->usage = platform::ThisThreadUsage();
    });
}

void Workers::Join() {
    for (std::thread& t : threads_) {
        if (t.joinable()) t.join();
    }
    std::lock_guard lock(mutex_);
    if (failure_) std::rethrow_exception(failure_);
}

void Workers::Fail(std::exception_ptr failure) {
    {
        std::lock_guard lock(mutex_);
        if (!failure_) failure_ = std::move(failure);
    }
    if (!aborted_.exchange(true, std::memory_order_acq_rel)) AbortAll();
}

void Workers::AbortAll() {
    for (Abortable* queue : queues_) queue->Abort();
}

}  // namespace vv
