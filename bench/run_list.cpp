// The same list of clips through the run controller with the real vv.exe, one row at a
// time and then as many at once as the run chooses, in each format's default. Prints a
// line per format: the wall times, the peak memory of the tools running together, and the
// ratio of the two times last. No window: the run's side of the window answers at once.
// Usage: [PAIRS=5] tolvani_run_list_bench OUTPUT_DIR CLIP...
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "../tests/helpers/format_defaults.h"
#include "convert/run_controller.h"
#include "platform/app_path.h"

namespace {

using Clock = std::chrono::steady_clock;

class ListWindow final : public convert::RunView {
public:
    ListWindow(std::vector<std::string> rows, std::string dir, std::string format, convert::OptionSlots options)
        : rows_(std::move(rows)), dir_(std::move(dir)), format_(std::move(format)), options_(std::move(options)) {}
    std::string RowPath(int row) const override { return rows_[static_cast<std::size_t>(row)]; }
    std::string OutputDir() const override { return dir_; }
    std::string FormatLabel() const override { return format_; }
    convert::OptionSlots Options() const override { return options_; }
    bool AskOverwrite(const std::string&, const std::string&, const std::string&) override { return true; }
    void ShowStatus(int, const std::string&) override {}
    void ShowTip(int, const std::string&) override {}
    int Bar() const override { return bar_; }
    void SetBar(int value) override { bar_ = value; }
    void Later(std::function<void()> step) override {
        {
            std::lock_guard lock(mutex_);
            later_.push_back(std::move(step));
        }
        wake_.notify_one();
    }
    void StartPause(std::chrono::milliseconds) override {}
    void StopPause() override {}
    void RunOver(bool complete, const std::vector<convert::FinishedRow>& rows) override {
        over_ = true;
        for (const auto& r : rows) failed_ += (r.outcome.failed || !complete) ? 1 : 0;
    }
    // The event loop: deferred steps the moment they come, as a window's loop takes
    // them, a tick each second, and the tools' memory looked at every 10 ms between.
    void Loop(convert::RunController& run, long& peakKiB) {
        auto tick = Clock::now();
        while (!over_) {
            std::deque<std::function<void()>> steps;
            {
                std::unique_lock lock(mutex_);
                wake_.wait_for(lock, std::chrono::milliseconds(10), [this] { return !later_.empty(); });
                steps.swap(later_);
            }
            for (auto& step : steps) step();
            if (Clock::now() - tick >= std::chrono::seconds(1)) {
                tick = Clock::now();
                run.Tick();
            }
            long kib = 0;
            for (int row = 0; row < run.RowCount(); ++row) {
                if (BriskFFmpeg* job = run.JobOf(row)) kib += ResidentKiB(job->ProcessId());
            }
            peakKiB = std::max(peakKiB, kib);
        }
    }
    int Failed() const { return failed_; }

private:
    static long ResidentKiB(pid_t pid) {
        std::ifstream status("/proc/" + std::to_string(pid) + "/status");
        for (std::string line; std::getline(status, line);) {
            if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
        }
        return 0;
    }
    std::vector<std::string> rows_;
    std::string dir_, format_;
    convert::OptionSlots options_;
    int bar_ = 0;
    bool over_ = false;
    int failed_ = 0;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> later_;
};

struct Result {
    double seconds = 0;
    long peakKiB = 0;
    int failed = 0;
};

Result RunList(const std::vector<std::string>& clips, const std::string& out, const testdata::FormatDefault& d,
               int rowsAtOnce) {
    // Each run writes into an empty folder: no overwrite question, no renamed outputs.
    std::filesystem::remove_all(out);
    std::filesystem::create_directories(out);
    ListWindow window(clips, out, d.format, d.slots);
    convert::RunSettings settings;
    settings.toolDir = platform::ProgramDirectory();
    settings.progressDir = out;
    settings.pause = std::chrono::milliseconds(0);
    settings.cores = std::max(1u, std::thread::hardware_concurrency());
    settings.rowsAtOnce = rowsAtOnce;
    Result r;
    const auto start = Clock::now();
    {
        convert::RunController run(window, settings);
        run.Start(static_cast<int>(clips.size()));
        window.Loop(run, r.peakKiB);
    }
    r.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    r.failed = window.Failed();
    return r;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: tolvani_run_list_bench OUTPUT_DIR CLIP...\n");
        return 2;
    }
    const char* pairsVariable = std::getenv("PAIRS");
    const int pairs = pairsVariable != nullptr && std::atoi(pairsVariable) > 0 ? std::atoi(pairsVariable) : 5;
    const std::string out = argv[1];
    const std::vector<std::string> clips(argv + 2, argv + argc);
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    std::printf("%zu clips, %u cores, medians of %d pairs\n", clips.size(), cores, pairs);
    std::printf("%-6s %10s %10s %12s %12s %8s\n", "format", "one s", "several s", "one MiB", "several MiB", "ratio");
    for (const auto& d : testdata::FormatDefaults(platform::ProgramDirectory())) {
        // Pairs taken in turn, so that a slow spell of the machine falls on both ways;
        // the medians of the times, the ratio of the medians.
        std::vector<double> oneTimes, severalTimes;
        long onePeak = 0, severalPeak = 0;
        int failed = 0;
        for (int pair = 0; pair < pairs; ++pair) {
            const Result one = RunList(clips, out, d, 1);
            const Result several = RunList(clips, out, d, static_cast<int>(cores));
            oneTimes.push_back(one.seconds);
            severalTimes.push_back(several.seconds);
            onePeak = std::max(onePeak, one.peakKiB);
            severalPeak = std::max(severalPeak, several.peakKiB);
            failed += one.failed + several.failed;
        }
        const double oneMedian = Median(oneTimes), severalMedian = Median(severalTimes);
        std::printf("%-6s %10.2f %10.2f %12.1f %12.1f %8.3f%s\n", d.format, oneMedian, severalMedian,
                    static_cast<double>(onePeak) / 1024, static_cast<double>(severalPeak) / 1024,
                    severalMedian / oneMedian, failed > 0 ? "  (rows failed)" : "");
        std::fflush(stdout);
    }
    return 0;
}
