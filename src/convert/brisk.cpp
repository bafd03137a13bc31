#include "convert/brisk.h"

#include <chrono>
#include <cstring>
#include <system_error>
#include <thread>

#include "platform/app_path.h"

// ---- BriskThread ----------------------------------------------------------------

BriskThread::~BriskThread() { StopAndWait(); }

bool BriskThread::StartWorker() {
    try {
        m_worker = std::thread([this] { Run(); });
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

bool BriskThread::StopAndWait() {
    if (!m_worker.joinable()) return false;
    m_worker.join();
    return true;
}

// ---- BriskFFmpeg ----------------------------------------------------------------

BriskFFmpeg::BriskFFmpeg(const char* command, std::string toolDir, std::vector<std::string> environment,
                         std::function<void()> whenFinished)
    : m_toolDir(std::move(toolDir)), m_environment(std::move(environment)), m_whenFinished(std::move(whenFinished)) {
    std::strncpy(m_command, command, sizeof m_command - 1);
    m_command[sizeof m_command - 1] = '\0';
    if (!StartWorker()) {
        {
            std::lock_guard guard(m_jobLock);
            m_outcome.kind = JobOutcome::Kind::StartFailed;
            m_outcome.reason = "cannot start a worker thread for the converter";
            m_bFinished = 1;
        }
        if (m_whenFinished) m_whenFinished();
    }
}

BriskFFmpeg::~BriskFFmpeg() {
    // A running tool is asked to stop first, so that it can finish a playable output.
    Stop(StopKind::FinishOutput);
    StopAndWait();
    if (m_graceWatch.joinable()) m_graceWatch.join();
}

void BriskFFmpeg::Stop(StopKind kind) {
    std::lock_guard guard(m_jobLock);
    if (m_bFinished) return;
    if (m_process.pid <= 0) {
        m_bCancelled = true;
    } else if (kind == StopKind::DiscardOutput) {
        platform::RequestDiscard(m_process);
    } else {
        platform::RequestStop(m_process);
    }
    if (m_outcome.kind != JobOutcome::Kind::Discarded && m_outcome.kind != JobOutcome::Kind::Terminated) {
        m_outcome.kind = kind == StopKind::DiscardOutput ? JobOutcome::Kind::Discarded : JobOutcome::Kind::Terminated;
    }
    // One that has not ended after the grace time is killed with everything it started.
    if (m_process.pid > 0 && !m_graceWatch.joinable()) {
        m_graceWatch = std::thread([this] {
            std::unique_lock lock(m_jobLock);
            if (!m_finished.wait_for(lock, kStopGrace, [this] { return m_bFinished != 0; })) {
                platform::TerminateGroup(m_process);
            }
        });
    }
}

bool BriskFFmpeg::IsFinished() {
    std::lock_guard guard(m_jobLock);
    return m_bFinished != 0;
}

JobOutcome BriskFFmpeg::Outcome() {
    std::lock_guard guard(m_jobLock);
    return m_outcome;
}

pid_t BriskFFmpeg::ProcessId() {
    std::lock_guard guard(m_jobLock);
    return m_process.pid;
}

std::chrono::microseconds BriskFFmpeg::ProcessorTime() {
    std::lock_guard guard(m_jobLock);
    return m_bFinished ? std::chrono::microseconds(-1) : platform::ProcessorTime(m_process);
}

void BriskFFmpeg::Run() {
    RunTool();
    if (m_whenFinished) m_whenFinished();
}

void BriskFFmpeg::RunTool() {
    const std::string program = platform::JoinPath(m_toolDir, convert::kToolName);
    {
        std::lock_guard guard(m_jobLock);
        if (m_bCancelled) {
            m_bFinished = 1;
            m_finished.notify_all();
            return;
        }
        m_process = platform::StartHiddenCommand(program, m_command, m_environment);
        if (m_process.pid <= 0) {
            m_outcome.kind = JobOutcome::Kind::StartFailed;
            m_outcome.reason = m_process.error;
            m_bFinished = 1;
            m_finished.notify_all();
            return;
        }
    }

    // Read without the lock: only this thread changes m_process from here on (ReapGroup,
    // under the lock); the destructor's stop requests only read it.
    const auto started = std::chrono::steady_clock::now();
    const platform::ProcessEnd end = platform::WaitForEnd(m_process);

    std::lock_guard guard(m_jobLock);
    platform::ReapGroup(m_process);
    m_outcome.outputTail = end.outputTail;
    m_outcome.elapsed = std::chrono::steady_clock::now() - started;
    m_outcome.processorTime = end.processorTime;
    if (m_outcome.kind != JobOutcome::Kind::Terminated && m_outcome.kind != JobOutcome::Kind::Discarded) {
        m_outcome.kind = end.signalled ? JobOutcome::Kind::Signalled : JobOutcome::Kind::Exited;
        m_outcome.code = end.code;
        if (!m_outcome.Succeeded()) {
            m_outcome.reason = platform::LastLine(end.outputTail);
            if (m_outcome.reason.empty()) {
                m_outcome.reason = end.signalled ? "converter ended by signal " + std::to_string(end.code)
                                                 : "converter failed with status " + std::to_string(end.code);
            }
        }
    }
    m_bFinished = 1;
    m_finished.notify_all();
}
