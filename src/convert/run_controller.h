#pragma once
// The conversion run over the input list, free of any window: which rows run, what each
// row and the bar show, when the next row starts, and what became of each. The window
// hands it the rows and the choices, asks its questions and shows what it is told,
// through RunView; it calls the controller on its own thread: a click, a tick of timer 1,
// the end of the full bar's pause, the news that a job's tool has ended.
//
// Rows start top row first. While the rows running leave a core idle (their tools'
// processor time says so: over the last tick, or of the last row that ended), the next
// waiting row starts beside them, up to the number of rows at once the settings allow; a
// row that ends makes room for the next at once. Each running row shows its own percentage; the bar follows the
// topmost running row.
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "convert/brisk.h"
#include "convert/contract.h"
#include "convert/outcome.h"

namespace convert {

class RunView {
public:
    virtual ~RunView() = default;
    // The list's row `row` (its input file), the output folder as typed, the selected
    // format's label and the eight option strings.
    virtual std::string RowPath(int row) const = 0;
    virtual std::string OutputDir() const = 0;
    virtual std::string FormatLabel() const = 0;
    virtual OptionSlots Options() const = 0;
    // The overwrite question for DIR/BASE.EXT: true to replace the file. It may dispatch
    // other events (a tool's end) before it returns.
    virtual bool AskOverwrite(const std::string& dir, const std::string& base, const std::string& ext) = 0;
    virtual void ShowStatus(int row, const std::string& status) = 0;
    virtual void ShowTip(int row, const std::string& tip) = 0;
    virtual int Bar() const = 0;
    virtual void SetBar(int value) = 0;
    // Runs `step` on the window's thread once the current event is handled; callable
    // from any thread.
    virtual void Later(std::function<void()> step) = 0;
    // The full bar's pause between rows: PauseOver() when it is over, unless stopped.
    virtual void StartPause(std::chrono::milliseconds length) = 0;
    virtual void StopPause() = 0;
    // The run is over: the editing controls come back; when it is `complete`, the
    // completion box tells of `rows`.
    virtual void RunOver(bool complete, const std::vector<FinishedRow>& rows) = 0;
};

struct RunSettings {
    std::string toolDir;      // where vv.exe is
    std::string progressDir;  // where the running rows' progress files go
    std::chrono::milliseconds pause{1000};
    int rowsAtOnce = 1;  // at most
    unsigned cores = 1;  // the machine's
    std::string closeReason = "stopped when the window closed";
};

// How many rows may run at once: TOLVANI_JOBS's number when it names one (1 runs one
// at a time), else one per core; never more than the cores, never fewer than one.
int RowsAtOnce(std::string_view jobsVariable, unsigned cores);

class RunController {
public:
    // The run's state. Idle: no run. Running: rows run and start. AskingOverwrite: a row
    // start waits for the overwrite question; AskingStop: the window asks whether to stop.
    // Meanwhile running rows may end, but nothing starts and the run does not end.
    // Stopping: every running row was told to throw its output away; the run is over when
    // they have ended.
    enum class State { kIdle, kRunning, kAskingOverwrite, kAskingStop, kStopping };

    RunController(RunView& view, RunSettings settings);
    // Ends a run still going as closing the window does.
    ~RunController();
    RunController(const RunController&) = delete;
    RunController& operator=(const RunController&) = delete;

    // Starts a run over the list's first `rowCount` rows (the window has checked there are
    // some and that the folder takes outputs).
    void Start(int rowCount);
    // Timer 1: every row's status, the bar, and whether a row more fits beside the others.
    void Tick();
    // A job's tool has ended (the job's news, or a tick that found it).
    void JobEnded();
    // The full bar's pause is over: the bar starts again from 0.
    void PauseOver();
    // The window asks "是否停止转换？" between these two; on `stop`, every running row
    // throws its unfinished output away and reads "已停止", the rows below keep waiting.
    void BeginStopQuestion();
    void EndStopQuestion(bool stop);
    // The window closes: each running row finishes a playable output (waiting for its
    // tool), nothing more starts, and the run is over without its completion box.
    void Close();

    State GetState() const { return state_; }
    bool Running() const { return state_ != State::kIdle; }
    int RowCount() const { return rowCount_; }
    // The topmost running row; -1 when none runs.
    int TopRow() const;
    int RunningRows() const { return static_cast<int>(slots_.size()); }
    // The job of a running row; null for any other row.
    BriskFFmpeg* JobOf(int row) const;
    // The progress file of a running row; the first slot's file when the row is not running.
    std::string ProgressFileOf(int row) const;
    // What became of a row that ended in this run (or the last one); null while it waits or runs.
    const RowOutcome* OutcomeOf(int row) const;
    RunSettings& Settings() { return settings_; }

private:
    struct Slot {
        int row = 0;
        int index = 0;  // which progress file
        std::string command;
        std::unique_ptr<BriskFFmpeg> m_pJob;
        std::chrono::microseconds cpu{-1};  // the tool's processor time at the last tick
        std::chrono::steady_clock::time_point at;
    };

    // The one place the state changes; a change the table does not allow is a fault.
    void Enter(State next);
    // Ends the rows whose tools have ended, starts what may start, and completes or ends
    // the run when nothing is left.
    void Advance();
    // Names row nextRow_'s output (asking before overwriting) and starts its job.
    void StartRow();
    // The slot's row has ended: its outcome, tip and log entry; the job is destroyed here.
    void EndSlot(std::size_t slot);
    void Refresh(bool complete);
    // Whether the rows running leave a core idle, by their processor time since the last tick.
    bool CoreIdle();
    // How many cores the rows may keep busy and still leave room for one more.
    double Room() const;
    void EndRun(bool complete);
    int FreeProgressIndex() const;
    std::string ProgressFile(int index) const;

    RunView& view_;
    RunSettings settings_;
    State state_ = State::kIdle;
    int rowCount_ = 0;
    int nextRow_ = 0;  // the next row to start
    int level_ = 1;    // how many rows run at once by now
    int barRow_ = -1;  // the row the bar follows
    double rowUse_ = -1;  // the cores the last row that ended kept busy, on average; -1 unknown
    bool pausing_ = false;
    std::vector<std::optional<RowOutcome>> outcomes_;
    std::vector<Slot> slots_;
};

}  // namespace convert
