#pragma once
// The converter job: one run of vv.exe for one input file, on a worker thread of its own.
//
// BriskLock   - a lock (Lock/Unlock, also usable with std::lock_guard).
// BriskThread - a worker-thread base: Run() on its own thread, and StopAndWait(), which
//               waits until Run() has returned.
// BriskFFmpeg - the job: copies its command line, starts the worker at construction; the
//               worker starts the tool from the tool directory, waits for it without a
//               time-out and raises the finished flag under m_jobLock. Destroying a job
//               asks a tool that has not finished to stop (platform::RequestStop), kills
//               it and what it started after kStopGrace if it has not ended, and waits
//               for the worker.
//
// The state lock (BriskThread's own) guards m_state; m_jobLock guards the process and
// the finished flag. No code holds both.
#include <chrono>
#include <mutex>
#include <string>
#include <vector>
#include <sys/types.h>

#include "convert/contract.h"
#include "platform/process.h"

class BriskLock {
public:
    BriskLock() = default;
    BriskLock(const BriskLock&) = delete;
    BriskLock& operator=(const BriskLock&) = delete;

    void Lock() { m_mutex.lock(); }
    void Unlock() { m_mutex.unlock(); }
    // The standard names, so that scoped guards work.
    void lock() { Lock(); }
    void unlock() { Unlock(); }

private:
    std::mutex m_mutex;
};

class BriskThread : public BriskLock {
public:
    enum State { kRunning = 0, kStopRequested = 1, kStopped = 2 };

    // True when it had to wait for a running worker.
    bool StopAndWait();
    // The worker state, read under the state lock.
    int GetState();

protected:
    BriskThread() = default;
    ~BriskThread();

    virtual void Run() = 0;

    // Starts the worker on ThreadEntry. The state is set to running before the thread
    // exists, so that StopAndWait never misses a worker that has not entered yet.
    // False if no thread could be started (the state is then stopped again).
    bool StartWorker();

private:
    static void ThreadEntry(BriskThread* self);
    void SetState(int state);

    int m_state = kStopped;
};

// How a job's tool run ended.
struct JobOutcome {
    enum class Kind {
        Running,      // not finished yet
        StartFailed,  // the tool (or the worker thread) could not be started
        Exited,       // the tool ended by itself; code is its exit status
        Signalled,    // the tool was ended by a signal from elsewhere; code is the signal
        Terminated,   // the job was destroyed while the tool ran, and ended it
    };
    Kind kind = Kind::Running;
    int code = 0;
    std::string reason;                             // for a failure: what went wrong, in one line
    std::string outputTail;                         // the last few kilobytes the tool printed
    std::chrono::steady_clock::duration elapsed{};  // from the tool's start to its end

    bool Succeeded() const { return kind == Kind::Exited && code == 0; }
};

class BriskFFmpeg final : public BriskThread {
public:
    // How long a running tool has to finish its output after being asked to stop.
    static constexpr std::chrono::milliseconds kStopGrace{2000};

    // `command` is zero-terminated and at most kCommandCapacity bytes with its
    // terminator (a longer one is cut at the capacity; the run controller never hands
    // one over). The tool is looked up as toolDir + "/vv.exe" and started with the
    // program's environment plus the given NAME=value entries.
    explicit BriskFFmpeg(const char* command, std::string toolDir, std::vector<std::string> environment = {});
    // The same, with the tool looked up in the program directory.
    explicit BriskFFmpeg(const char* command);
    ~BriskFFmpeg();

    // Ends the job now: a running tool is asked to stop, killed after kStopGrace if it has
    // not ended, and the worker is waited for; the outcome is final afterwards.
    void End();

    // The finished flag, read under m_jobLock.
    bool IsFinished();
    // The outcome so far, read under m_jobLock.
    JobOutcome Outcome();
    // The tool's process id while it runs, -1 before and after.
    pid_t ProcessId();

    BriskLock m_jobLock;

protected:
    void Run() override;

private:
    char m_command[convert::kCommandCapacity] = {};
    int m_bFinished = 0;
    std::string m_toolDir;
    std::vector<std::string> m_environment;
    platform::StartedProcess m_process;  // guarded by m_jobLock
    bool m_bCancelled = false;           // destroyed before the tool started: do not start it
    JobOutcome m_outcome;                // guarded by m_jobLock
};
