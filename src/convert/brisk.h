#pragma once
// The converter job: one run of vv.exe for one input file, on a worker thread of its own.
//
// BriskLock   - a lock (Lock/Unlock, also usable with std::lock_guard).
// BriskThread - a worker-thread base: Run() on a thread of its own, joined by
//               StopAndWait() once Run() has returned.
// BriskFFmpeg - the job: copies its command line, starts the worker at construction; the
//               worker starts the tool from the tool directory, waits for it without a
//               time-out, raises the finished flag under m_jobLock and tells its owner.
//               Stop() asks a tool that has not finished to stop (platform::RequestStop),
//               or to stop and throw its unfinished output away, and returns at once: the
//               job's grace watch kills the tool and what it started if it has not ended
//               after kStopGrace. Destroying a job stops it so and waits for its threads.
//
// m_jobLock guards the process, the outcome and the finished flag.
#include <chrono>
#include <condition_variable>
#include <thread>
#include <functional>
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
    // The standard names, so that scoped guards and condition variables work.
    void lock() { Lock(); }
    void unlock() { Unlock(); }

private:
    std::mutex m_mutex;
};

class BriskThread : public BriskLock {
public:
    // Waits until Run() has returned and the worker has ended; true when there was one.
    // Called by the worker's owner only.
    bool StopAndWait();

protected:
    BriskThread() = default;
    // A derived class waits for its worker in its own destructor, before the members Run()
    // uses are gone; this one only makes sure.
    ~BriskThread();

    virtual void Run() = 0;

    // Starts the worker. False if no thread could be started.
    bool StartWorker();

private:
    std::thread m_worker;
};

// How a job's tool run ended.
struct JobOutcome {
    enum class Kind {
        Running,      // not finished yet
        StartFailed,  // the tool (or the worker thread) could not be started
        Exited,       // the tool ended by itself; code is its exit status
        Signalled,    // the tool was ended by a signal from elsewhere; code is the signal
        Terminated,   // the job was destroyed while the tool ran, and ended it
        Discarded,    // the job was stopped while the tool ran, its unfinished output thrown away
    };
    Kind kind = Kind::Running;
    int code = 0;
    std::string reason;                             // for a failure: what went wrong, in one line
    std::string outputTail;                         // the last few kilobytes the tool printed
    std::chrono::steady_clock::duration elapsed{};  // from the tool's start to its end
    std::chrono::microseconds processorTime{-1};    // what the tool used of the processors; negative when not known

    bool Succeeded() const { return kind == Kind::Exited && code == 0; }
};

class BriskFFmpeg final : public BriskThread {
public:
    // How long a running tool has to finish its output after being asked to stop.
    static constexpr std::chrono::milliseconds kStopGrace{2000};

    // How a running tool is asked to end early.
    enum class StopKind {
        FinishOutput,   // it finishes a playable output from what it has converted
        DiscardOutput,  // it throws its unfinished output away
    };

    // `command` is zero-terminated and at most kCommandCapacity bytes with its
    // terminator (a longer one is cut at the capacity; the run controller never hands
    // one over). The tool is looked up as toolDir + "/vv.exe" and started with the
    // program's environment plus the given NAME=value entries. `whenFinished`, if given,
    // is called on the worker thread once the finished flag is up (for a worker that
    // could not start, in the constructor): it may only hand the news on.
    explicit BriskFFmpeg(const char* command, std::string toolDir, std::vector<std::string> environment = {},
                         std::function<void()> whenFinished = {});
    ~BriskFFmpeg();

    // Ends a tool that has not finished: asks it to stop as `kind` says and returns at once;
    // the job kills it with what it started after kStopGrace if it has not ended by then.
    // The outcome is then Terminated (FinishOutput) or Discarded, and the finished flag
    // goes up when the tool has ended. Nothing when the tool has finished; a tool not
    // started yet is never started.
    void Stop(StopKind kind);

    // The finished flag, read under m_jobLock.
    bool IsFinished();
    // The outcome so far, read under m_jobLock.
    JobOutcome Outcome();
    // The tool's process id while it runs, -1 before and after.
    pid_t ProcessId();
    // The processor time the running tool has used so far; negative when not known.
    std::chrono::microseconds ProcessorTime();

    BriskLock m_jobLock;

protected:
    void Run() override;

private:
    // Starts the tool, waits for it and raises the finished flag.
    void RunTool();

    char m_command[convert::kCommandCapacity] = {};
    int m_bFinished = 0;
    std::string m_toolDir;
    std::vector<std::string> m_environment;
    std::function<void()> m_whenFinished;
    platform::StartedProcess m_process;  // guarded by m_jobLock
    bool m_bCancelled = false;           // destroyed before the tool started: do not start it
    JobOutcome m_outcome;                // guarded by m_jobLock
    std::condition_variable_any m_finished;  // signalled when the finished flag goes up
    std::thread m_graceWatch;                // kills a stopped tool that outlives its grace
};
