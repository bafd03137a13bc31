// The conversion run without a window: a stand-in for the window's side (its answers,
// statuses, bar and deferred steps), with a stand-in tool in vv.exe's place.
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

#include "../helpers/processes.h"
#include "convert/run_controller.h"
#include "convert/run_naming.h"
#include "platform/files.h"
#include "../helpers/temp_folder.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using convert::RunController;

namespace {

// The window's side of the run, as the tests see it.
class StandInWindow final : public convert::RunView {
public:
    std::vector<std::string> rows;
    std::string dir, format = "mp4";
    bool replace = true;
    std::vector<std::string> asked;  // the overwrite questions, "BASE.EXT"
    std::vector<std::string> statuses, tips;
    int bar = 0;
    bool over = false, complete = false;
    std::vector<convert::FinishedRow> finished;

    std::string RowPath(int row) const override { return rows[static_cast<std::size_t>(row)]; }
    std::string OutputDir() const override { return dir; }
    std::string FormatLabel() const override { return format; }
    convert::OptionSlots Options() const override { return {"-vcodec mpeg4", "", "", "", "", "", "", ""}; }
    bool AskOverwrite(const std::string&, const std::string& base, const std::string& ext) override {
        asked.push_back(base + "." + ext);
        return replace;
    }
    void ShowStatus(int row, const std::string& status) override { At(statuses, row) = status; }
    void ShowTip(int row, const std::string& tip) override { At(tips, row) = tip; }
    int Bar() const override { return bar; }
    void SetBar(int value) override { bar = value; }
    void Later(std::function<void()> step) override {
        std::lock_guard lock(mutex_);
        later_.push_back(std::move(step));
    }
    void StartPause(std::chrono::milliseconds) override {}
    void StopPause() override {}
    void RunOver(bool isComplete, const std::vector<convert::FinishedRow>& rowsOver) override {
        over = true;
        complete = isComplete;
        finished = rowsOver;
    }

    // Runs what was deferred, as the window's event loop would, until `done` holds.
    bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 20s) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (!done()) {
            if (std::chrono::steady_clock::now() > end) return false;
            std::deque<std::function<void()>> steps;
            {
                std::lock_guard lock(mutex_);
                steps.swap(later_);
            }
            for (auto& step : steps) step();
            if (steps.empty()) std::this_thread::sleep_for(10ms);
        }
        return true;
    }

private:
    static std::string& At(std::vector<std::string>& v, int row) {
        if (v.size() <= static_cast<std::size_t>(row)) v.resize(static_cast<std::size_t>(row) + 1);
        return v[static_cast<std::size_t>(row)];
    }
    std::mutex mutex_;
    std::deque<std::function<void()>> later_;
};

class RunControllerTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(dir_ / "tool");
        fs::create_directories(dir_ / "out");
        fs::copy_file(FAKE_TOOL, dir_ / "tool" / "vv.exe");
        ::setenv("XDG_STATE_HOME", (dir_ / "state").c_str(), 1);  // the run log
        NewWindow();
        settings_.toolDir = (dir_ / "tool").string();
        settings_.progressDir = dir_.string();
        settings_.pause = 0ms;
        settings_.cores = 2;
        settings_.rowsAtOnce = 1;
    }

    // Starts a run over rows named as the stand-in tool reads them ("fine", "slow", ...).
    RunController& Start(std::vector<std::string> names) {
        for (const std::string& name : names) window_->rows.push_back("/videos/" + name + ".avi");
        run_ = std::make_unique<RunController>(*window_, settings_);
        run_->Start(static_cast<int>(names.size()));
        return *run_;
    }
    std::string Log() const {
        std::ifstream in(dir_ / "state" / "tolvani" / "tolvani.log");
        return std::string((std::istreambuf_iterator<char>(in)), {});
    }

    testutil::TempFolder dir_{"tolvani-run"};
    void NewWindow() {
        window_ = std::make_unique<StandInWindow>();
        window_->dir = (dir_ / "out").string();
    }
    std::unique_ptr<StandInWindow> window_ = std::make_unique<StandInWindow>();
    convert::RunSettings settings_;
    std::unique_ptr<RunController> run_;
};

}  // namespace

TEST_F(RunControllerTest, RowsRunTopFirstEachEndsWithItsOutcomeAndTheLastEndsTheRun) {
    RunController& run = Start({"fine one", "broken", "fine two"});
    ASSERT_TRUE(window_->PumpUntil([&] { return window_->over; }));
    EXPECT_TRUE(window_->complete);
    EXPECT_EQ(run.GetState(), RunController::State::kIdle);
    EXPECT_EQ(window_->statuses, (std::vector<std::string>{"已完成", "失败", "已完成"}));
    EXPECT_EQ(window_->bar, 1000);
    ASSERT_EQ(window_->finished.size(), 3u);
    EXPECT_TRUE(window_->finished[1].outcome.failed);
    EXPECT_FALSE(window_->tips[1].empty());
    // Top row first, one at a time.
    std::ifstream calls(dir_ / "tool" / "calls.log");
    std::string first, second, third;
    std::getline(calls, first), std::getline(calls, second), std::getline(calls, third);
    EXPECT_EQ(std::vector<std::string>({first, second, third}),
              (std::vector<std::string>{window_->rows[0], window_->rows[1], window_->rows[2]}));
}

TEST_F(RunControllerTest, AnExistingOutputIsReplacedOnlyOnOkAndOtherwiseRenamed) {
    for (const bool replace : {true, false}) {
        SCOPED_TRACE(replace ? "OK" : "Cancel");
        std::ofstream(dir_ / "out" / "fine.mp4") << "the user's";
        NewWindow();
        window_->replace = replace;
        fs::remove(dir_ / "state" / "tolvani" / "tolvani.log");
        Start({"fine"});
        ASSERT_TRUE(window_->PumpUntil([&] { return window_->over; }));
        EXPECT_EQ(window_->asked, std::vector<std::string>{"fine.mp4"});
        const std::string renamed = (dir_ / "out" / (std::string(convert::kRenamePrefix) + "fine.mp4")).string();
        EXPECT_EQ(Log().find(renamed) != std::string::npos, !replace) << Log();
    }
}

TEST_F(RunControllerTest, AStopEndsEveryRunningRowAndTheRowsBelowKeepWaiting) {
    settings_.rowsAtOnce = 2;
    RunController& run = Start({"slow a", "slow b", "fine c"});
    // The stand-in tools sleep: the cores stay idle, so a second row starts beside the first.
    ASSERT_TRUE(window_->PumpUntil([&] {
        std::this_thread::sleep_for(100ms);
        run.Tick();
        return run.RunningRows() == 2;
    }));
    run.BeginStopQuestion();
    EXPECT_EQ(run.GetState(), RunController::State::kAskingStop);
    run.EndStopQuestion(true);
    ASSERT_TRUE(window_->PumpUntil([&] { return window_->over; }));
    EXPECT_FALSE(window_->complete);
    EXPECT_EQ(window_->statuses, (std::vector<std::string>{"已停止", "已停止", "等待"}));
    EXPECT_NE(Log().find("stopped by the user"), std::string::npos);
}

TEST_F(RunControllerTest, RowsStartBesideOthersUpToTheLimitAndShareTheCoresWhileRowsWait) {
    // Each started row with the share of the cores its tool was given (none: the machine's).
    struct Case {
        int atOnce;
        std::vector<std::string> names, shares;
    };
    const Case cases[] = {
        {1, {"slow 1", "slow 2", "slow 3"}, {"slow 1.avi\t"}},
        {2, {"slow 1", "slow 2", "slow 3"}, {"slow 1.avi\t", "slow 2.avi\t1"}},
        {2, {"slow 1", "slow 2"}, {"slow 1.avi\t", "slow 2.avi\t"}},  // the last row takes the whole machine
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.atOnce) + " of " + std::to_string(c.names.size()));
        settings_.rowsAtOnce = c.atOnce;
        NewWindow();
        fs::remove(dir_ / "tool" / "cores.log");
        RunController& run = Start(c.names);
        int most = 0;
        for (int tick = 0; tick < 8; ++tick) {
            std::this_thread::sleep_for(150ms);
            run.Tick();
            most = std::max(most, run.RunningRows());
        }
        EXPECT_EQ(most, c.atOnce);
        run.Close();  // each running tool finishes its output, as closing the window does
        EXPECT_EQ(run.RunningRows(), 0);
        EXPECT_FALSE(run.Running());
        EXPECT_NE(Log().find(settings_.closeReason), std::string::npos);
        std::ifstream cores(dir_ / "tool" / "cores.log");
        std::vector<std::string> shares;
        for (std::string line; std::getline(cores, line);) shares.push_back(line.substr(line.rfind('/') + 1));
        std::sort(shares.begin(), shares.end());
        EXPECT_EQ(shares, c.shares);
    }
}

TEST_F(RunControllerTest, AToolThatCannotStartFailsItsRowAndTheRunGoesOn) {
    fs::remove(dir_ / "tool" / "vv.exe");
    Start({"fine one", "fine two"});
    ASSERT_TRUE(window_->PumpUntil([&] { return window_->over; }));
    EXPECT_TRUE(window_->complete);
    EXPECT_EQ(window_->statuses, (std::vector<std::string>{"失败", "失败"}));
    EXPECT_EQ(window_->finished[0].outcome.category, convert::kCategoryToolMissing);
}

TEST_F(RunControllerTest, RunningRowShowsItsProgressAndTheBarNeverGoesBack) {
    RunController& run = Start({"slow"});
    ASSERT_NE(run.JobOf(0), nullptr);
    const std::pair<const char*, const char*> cases[] = {{"1000", "100%"}, {"999", "99%"},  {"1001", "--%"},
                                                         {"-5", "--%"},    {"45abc", "4%"}, {"", "0%"}};
    for (const auto& [value, shown] : cases) {
        std::ofstream(run.ProgressFileOf(0)) << value;
        run.Tick();
        EXPECT_EQ(window_->statuses[0], shown) << value;
    }
    EXPECT_EQ(window_->bar, 1000);  // lower values later did not move it back
    run.Close();
}

TEST(RowsAtOnce, TakeTheVariablesNumberUpToTheCoresElseOnePerCore) {
    EXPECT_EQ(convert::RowsAtOnce("1", 8), 1);
    EXPECT_EQ(convert::RowsAtOnce("3", 8), 3);
    EXPECT_EQ(convert::RowsAtOnce("16", 2), 2);
    EXPECT_EQ(convert::RowsAtOnce("", 4), 4);
    EXPECT_EQ(convert::RowsAtOnce("two", 4), 4);
    EXPECT_EQ(convert::RowsAtOnce("0", 4), 4);
    EXPECT_EQ(convert::RowsAtOnce("", 0), 1);
}
