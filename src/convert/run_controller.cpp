#include "convert/run_controller.h"

#include <algorithm>
#include <charconv>

#include "convert/run_log.h"
#include "convert/run_naming.h"
#include "platform/app_path.h"

namespace convert {
namespace {

using State = RunController::State;

// What the rows running may leave idle of the machine before one more row starts beside
// them: a tool that keeps its core busy only part of the time (one encoder bounds the
// 3gp default) leaves more than this; two such rows on two cores leave nothing.
constexpr double kIdleCore = 0.25;
// The shortest span a tool's processor time is measured over.
constexpr auto kMeasureSpan = std::chrono::milliseconds(500);

// The state changes the run knows; any other is a fault in the run's own logic.
bool Allowed(State from, State to) {
    switch (to) {
        case State::kIdle: return from != State::kIdle;
        case State::kRunning:
            return from == State::kIdle || from == State::kAskingOverwrite || from == State::kAskingStop;
        case State::kAskingOverwrite: return from == State::kRunning;
        case State::kAskingStop: return from == State::kRunning;
        case State::kStopping: return from == State::kAskingStop;
    }
    return false;
}

}  // namespace

int RowsAtOnce(std::string_view jobsVariable, unsigned cores) {
    const int most = std::max(1, static_cast<int>(cores));
    int n = 0;
    const auto [end, error] = std::from_chars(jobsVariable.data(), jobsVariable.data() + jobsVariable.size(), n);
    if (error == std::errc() && end == jobsVariable.data() + jobsVariable.size() && n >= 1) return std::min(n, most);
    return most;
}

RunController::RunController(RunView& view, RunSettings settings) : view_(view), settings_(std::move(settings)) {}

RunController::~RunController() {
    if (Running()) Close();
}

void RunController::Enter(State next) {
    if (!Allowed(state_, next)) std::terminate();  // the table above is the run's whole logic
    state_ = next;
}

void RunController::Start(int rowCount) {
    Enter(State::kRunning);
    rowCount_ = rowCount;
    nextRow_ = 0;
    level_ = 1;
    barRow_ = -1;
    pausing_ = false;
    outcomes_.assign(static_cast<std::size_t>(rowCount), std::nullopt);
    view_.SetBar(0);
    Advance();
    if (state_ == State::kRunning) Refresh(false);
}

void RunController::Advance() {
    for (std::size_t i = 0; i < slots_.size();) {
        if (slots_[i].m_pJob->IsFinished()) {
            EndSlot(i);
        } else {
            ++i;
        }
    }
    if (state_ == State::kStopping && slots_.empty()) {
        EndRun(false);
        return;
    }
    if (state_ != State::kRunning) return;  // a question is open, or the run is stopping
    // Rows as busy as the last one that ended: as many at once as leave a core idle.
    if (rowUse_ > 0 && level_ < settings_.rowsAtOnce && rowUse_ * level_ <= Room()) ++level_;
    while (state_ == State::kRunning && nextRow_ < rowCount_ && static_cast<int>(slots_.size()) < level_) StartRow();
    if (state_ == State::kRunning && slots_.empty() && nextRow_ >= rowCount_) EndRun(true);
}

void RunController::StartRow() {
    const int row = nextRow_++;
    const std::string dir = view_.OutputDir();
    const std::string ext = OutputExtension(view_.FormatLabel());
    const std::string in = view_.RowPath(row);
    const std::string base = BaseName(in);
    std::string out = OutputPath(dir, "", base, ext);
    // Never offer to overwrite the input itself, however its path is spelt.
    if (SameFile(out, in)) out = OutputPath(dir, kNewPrefix, base, ext);
    if (FileExists(out)) {
        Enter(State::kAskingOverwrite);
        const bool replace = view_.AskOverwrite(dir, base, ext);
        if (state_ != State::kAskingOverwrite) return;  // the window closed meanwhile
        Enter(State::kRunning);
        if (!replace) out = RenamedOutputPath(dir, base, ext);
    }

    const ComposedCommand command = ComposeCommand(in, view_.Options(), out);
    if (!command.ok) {
        // Too long for the tool's command line: this row fails instead of running cut short.
        const RowOutcome outcome = CommandTooLong(command.error);
        outcomes_[static_cast<std::size_t>(row)] = outcome;
        view_.ShowTip(row, outcome.Tip());
        AppendToLog(DefaultLogPath(), {in, {}, "not started: " + command.error, {}, {}});
        return;
    }
    Slot slot;
    slot.row = row;
    slot.index = FreeProgressIndex();
    slot.command = command.command;
    const std::string progress = ProgressFile(slot.index);
    ResetProgress(progress);
    std::vector<std::string> environment{std::string(kProgressFileVariable) + '=' + progress};
    // Rows that run side by side share the cores: each tool keeps its share busy, instead
    // of each starting threads for the whole machine that then wait for each other. The
    // last row takes the whole machine: nothing starts after it, so the cores the rows
    // beside it leave when they end are its own, and it does not end the run on one core.
    if (level_ > 1 && nextRow_ < rowCount_) {
        const unsigned share = std::max(1u, settings_.cores / static_cast<unsigned>(level_));
        environment.push_back(std::string(kCoresVariable) + '=' + std::to_string(share));
    }
    // The worker's news of the tool's end reaches the window's thread as an event.
    slot.m_pJob = std::make_unique<BriskFFmpeg>(slot.command.c_str(), settings_.toolDir, std::move(environment),
                                                [this] { view_.Later([this] { JobEnded(); }); });
    slot.at = std::chrono::steady_clock::now();
    slots_.push_back(std::move(slot));
}

void RunController::EndSlot(std::size_t i) {
    Slot& slot = slots_[i];
    const JobOutcome job = slot.m_pJob->Outcome();
    const RowOutcome outcome = DescribeOutcome(job);
    const double wall = std::chrono::duration<double>(job.elapsed).count();
    if (job.Succeeded() && job.processorTime.count() >= 0 && wall > 0.05) {
        rowUse_ = std::chrono::duration<double>(job.processorTime).count() / wall;
    }
    outcomes_[static_cast<std::size_t>(slot.row)] = outcome;
    view_.ShowTip(slot.row, outcome.Tip());
    // A log that cannot be written is skipped.
    AppendToLog(DefaultLogPath(), {view_.RowPath(slot.row), slot.command, LogResult(job, settings_.closeReason),
                                   job.elapsed, job.outputTail});
    const bool wasTop = slot.row == barRow_;
    slots_.erase(slots_.begin() + static_cast<std::ptrdiff_t>(i));  // the job ends here
    // The full bar stays for a pause while the next row runs.
    if (wasTop && state_ != State::kIdle && (nextRow_ < rowCount_ || !slots_.empty())) {
        barRow_ = -1;
        view_.SetBar(1000);
        pausing_ = true;
        view_.StartPause(settings_.pause);
    }
}

void RunController::Tick() {
    if (!Running()) return;
    if (state_ == State::kRunning && nextRow_ < rowCount_ && static_cast<int>(slots_.size()) == level_ &&
        level_ < settings_.rowsAtOnce && CoreIdle()) {
        ++level_;
    }
    Advance();
    if (Running()) Refresh(false);
}

void RunController::JobEnded() {
    if (!Running()) return;  // late news of a run already over
    Advance();
    if (Running()) Refresh(false);
}

void RunController::PauseOver() {
    if (!Running()) return;
    pausing_ = false;
    view_.SetBar(0);
    Refresh(false);
}

void RunController::BeginStopQuestion() { Enter(State::kAskingStop); }

void RunController::EndStopQuestion(bool stop) {
    if (state_ != State::kAskingStop) return;  // the window closed while the question was open
    if (!stop) {
        // The run goes on: what came meanwhile is taken up now.
        Enter(State::kRunning);
        Advance();
        if (Running()) Refresh(false);
        return;
    }
    Enter(State::kStopping);
    for (Slot& slot : slots_) slot.m_pJob->Stop(BriskFFmpeg::StopKind::DiscardOutput);
    Advance();  // rows whose tools ended before the stop keep what they achieved
    if (Running()) Refresh(false);
}

void RunController::Close() {
    if (!Running()) return;
    Enter(State::kIdle);  // nothing due starts anything from here on
    view_.StopPause();
    // Every tool is asked at once, so that they finish their outputs side by side.
    for (Slot& slot : slots_) slot.m_pJob->Stop(BriskFFmpeg::StopKind::FinishOutput);
    for (Slot& slot : slots_) slot.m_pJob->StopAndWait();
    while (!slots_.empty()) EndSlot(slots_.size() - 1);
}

void RunController::EndRun(bool complete) {
    Enter(State::kIdle);
    view_.StopPause();
    pausing_ = false;
    if (complete) view_.SetBar(1000);
    Refresh(complete);
    std::vector<FinishedRow> rows;
    for (int i = 0; i < rowCount_; ++i) {
        const auto& outcome = outcomes_[static_cast<std::size_t>(i)];
        rows.push_back({view_.RowPath(i), outcome.value_or(RowOutcome{})});
    }
    view_.RunOver(complete, rows);
}

void RunController::Refresh(bool complete) {
    const int top = TopRow();
    for (int i = 0; i < rowCount_; ++i) {
        const auto& outcome = outcomes_[static_cast<std::size_t>(i)];
        RowState state = RowState::Waiting;
        int v = 0;
        if (outcome) {
            state = outcome->stopped ? RowState::Stopped : outcome->failed ? RowState::Failed : RowState::Done;
        } else if (JobOf(i) != nullptr) {
            state = RowState::Running;
            v = ReadProgress(ProgressFileOf(i));
            if (i == top && !pausing_ && ProgressInRange(v)) {
                if (barRow_ != top) {
                    barRow_ = top;  // a new file: the bar follows it from where it stands
                    view_.SetBar(v);
                } else if (v > view_.Bar()) {
                    view_.SetBar(v);  // never backwards within a file
                }
            }
        } else if (complete) {
            state = RowState::Done;
        }
        view_.ShowStatus(i, StatusText(state, v));
    }
}

bool RunController::CoreIdle() {
    const auto now = std::chrono::steady_clock::now();
    double busy = 0;
    bool known = true;
    for (Slot& slot : slots_) {
        const std::chrono::microseconds cpu = slot.m_pJob->ProcessorTime();
        const auto span = now - slot.at;
        if (slot.cpu.count() < 0 || cpu.count() < 0 || span < kMeasureSpan) {
            known = false;  // measured from this tick on
        } else {
            busy += std::chrono::duration<double>(cpu - slot.cpu).count() / std::chrono::duration<double>(span).count();
        }
        if (span >= kMeasureSpan || slot.cpu.count() < 0) {
            slot.cpu = cpu;
            slot.at = now;
        }
    }
    return known && !slots_.empty() && busy <= Room();
}

double RunController::Room() const { return static_cast<double>(settings_.cores) - kIdleCore; }

int RunController::TopRow() const {
    int top = -1;
    for (const Slot& slot : slots_) {
        if (top < 0 || slot.row < top) top = slot.row;
    }
    return top;
}

BriskFFmpeg* RunController::JobOf(int row) const {
    for (const Slot& slot : slots_) {
        if (slot.row == row) return slot.m_pJob.get();
    }
    return nullptr;
}

std::string RunController::ProgressFileOf(int row) const {
    for (const Slot& slot : slots_) {
        if (slot.row == row) return ProgressFile(slot.index);
    }
    return ProgressFile(0);
}

const RowOutcome* RunController::OutcomeOf(int row) const {
    if (row < 0 || static_cast<std::size_t>(row) >= outcomes_.size() || !outcomes_[static_cast<std::size_t>(row)]) {
        return nullptr;
    }
    return &*outcomes_[static_cast<std::size_t>(row)];
}

int RunController::FreeProgressIndex() const {
    for (int index = 0;; ++index) {
        if (std::none_of(slots_.begin(), slots_.end(), [index](const Slot& s) { return s.index == index; })) {
            return index;
        }
    }
}

std::string RunController::ProgressFile(int index) const {
    // The first running row keeps the copy's progress.txt; the others have one each beside it.
    if (index == 0) return ProgressFilePath(settings_.progressDir);
    return platform::JoinPath(settings_.progressDir, "progress-" + std::to_string(index + 1) + ".txt");
}

}  // namespace convert
