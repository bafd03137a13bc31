// The converter job, with a stand-in tool in vv.exe's place.
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <thread>

#include "../helpers/processes.h"
#include "convert/brisk.h"
#include "platform/cmdline.h"
#include "platform/files.h"
#include "../helpers/temp_folder.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Kind = JobOutcome::Kind;
using testproc::Gone;
using testproc::Leftovers;
using testproc::Running;

namespace {

class JobTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::copy_file(FAKE_TOOL, dir_ / "vv.exe");
    }

    std::string Dir() const { return platform::Utf8(dir_); }
    std::string PathIn(const std::string& name) const { return platform::Utf8(dir_ / name); }

    // Polls a condition until it holds or the limit passes.
    static bool Eventually(const std::function<bool()>& cond, std::chrono::milliseconds limit = 10s) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (!cond()) {
            if (std::chrono::steady_clock::now() > end) return false;
            std::this_thread::sleep_for(5ms);
        }
        return true;
    }
    static bool WaitFinished(BriskFFmpeg& job, std::chrono::milliseconds limit = 10s) {
        return Eventually([&] { return job.IsFinished(); }, limit);
    }
    static bool WaitForFile(const std::string& path) {
        return Eventually([&] { return fs::exists(path); });
    }

    static std::vector<std::string> ReadRecord(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::vector<std::string> args;
        std::string arg;
        while (std::getline(in, arg, '\0')) args.push_back(arg);
        return args;
    }

    static std::string Read(const std::string& path) {
        std::ifstream in(path);
        return std::string((std::istreambuf_iterator<char>(in)), {});
    }

    testutil::TempFolder dir_{"tolvani-job"};
};

}  // namespace

TEST_F(JobTest, ToolThatEndsRaisesTheFlagAndKeepsItsExitStatus) {
    {
        // The owner hears of the end once, from the worker, with the flag already up.
        std::atomic<int> told{0};
        std::atomic<bool> flagWhenTold{false};
        std::atomic<BriskFFmpeg*> self{nullptr};
        auto job = std::make_unique<BriskFFmpeg>("vv.exe exit 0", Dir(), std::vector<std::string>{}, [&] {
            while (self == nullptr) std::this_thread::yield();
            flagWhenTold = self.load()->IsFinished();
            ++told;
        });
        self = job.get();
        ASSERT_TRUE(WaitFinished(*job));
        EXPECT_TRUE(job->Outcome().Succeeded());
        job.reset();  // destroying a finished job terminates nothing, and waits for the worker
        EXPECT_EQ(told, 1);
        EXPECT_TRUE(flagWhenTold);
    }
    {
        BriskFFmpeg job("vv.exe exit 3", Dir());
        ASSERT_TRUE(WaitFinished(job));
        const JobOutcome o = job.Outcome();
        EXPECT_EQ(o.kind, Kind::Exited);
        EXPECT_EQ(o.code, 3);
        EXPECT_FALSE(o.Succeeded());
    }
    {
        BriskFFmpeg job("vv.exe fail", Dir());
        ASSERT_TRUE(WaitFinished(job));
        EXPECT_EQ(job.Outcome().reason, "conversion failed: bad input");
    }
}

TEST_F(JobTest, MissingToolIsAFailedStartRaisedAtOnce) {
    fs::remove(dir_ / "vv.exe");
    BriskFFmpeg job("vv.exe exit 0", Dir());
    ASSERT_TRUE(WaitFinished(job, 2s));
    const JobOutcome o = job.Outcome();
    EXPECT_EQ(o.kind, Kind::StartFailed);
    EXPECT_NE(o.reason.find("vv.exe"), std::string::npos) << o.reason;
}

TEST_F(JobTest, DestroyingARunningJobEndsTheToolAndEverythingItStarted) {
    const std::string pids = PathIn("pids"), partial = PathIn("out.avi");
    auto job = std::make_unique<BriskFFmpeg>(("vv.exe hang " + pids + " " + partial).c_str(), Dir());
    ASSERT_TRUE(WaitForFile(pids));
    pid_t tool = 0, child = 0;
    std::ifstream(pids) >> tool >> child;
    ASSERT_GT(tool, 0);
    ASSERT_GT(child, 0);
    EXPECT_FALSE(job->IsFinished());

    job.reset();
    EXPECT_TRUE(Gone(tool));
    // What the tool started ended with its group (the system reaps it: it is no child of ours).
    EXPECT_TRUE(Eventually([&] { return !Running(child); }, 1s));
    EXPECT_EQ(Leftovers(pids), std::vector<pid_t>{});
    std::ifstream in(partial);
    std::string text;
    in >> text;
    EXPECT_EQ(text, "partial");  // the partial output stays
}

TEST_F(JobTest, ToolEndsWhenTheProgramDiesWithoutClosing) {
    // A stand-in for the program starts a job, then is killed without a chance to end it.
    const std::string pids = PathIn("pids");
    const pid_t program = testproc::StartPlain(FAKE_TOOL, {"program", "program", Dir(), pids});
    ASSERT_GT(program, 0);
    ASSERT_TRUE(WaitForFile(pids));
    pid_t tool = 0, child = 0;
    std::ifstream(pids) >> tool >> child;
    ASSERT_GT(tool, 0);
    testproc::KillHard(program);
    // The tool is gone, or at most a zombie waiting for its new parent.
    EXPECT_TRUE(Eventually([tool] { return !Running(tool); }, 2s));
    testproc::EndGroup(tool);  // on POSIX the stand-in's own child, which nothing else ends
}

TEST_F(JobTest, ARunningToolIsAskedToStopBeforeItIsKilled) {
    // Destroying the job asks the tool to finish its output; Stop() with the discard kind
    // asks it, by a request of its own, to throw the output away. One that ends on the
    // request gets its time; one that ignores it is killed after the grace time. None
    // leaves a process or a zombie.
    for (const bool discard : {false, true}) {
        for (const char* mode : {"finish", "ignore"}) {
            SCOPED_TRACE(std::string(mode) + (discard ? ", discard" : ", finish the output"));
            const std::string tag = std::string(mode) + (discard ? "-discard" : "");
            const std::string pid = PathIn("pid-" + tag), log = PathIn("log-" + tag);
            auto job = std::make_unique<BriskFFmpeg>(("vv.exe stop " + pid + " " + log + " " + mode).c_str(), Dir());
            ASSERT_TRUE(WaitForFile(pid));
            pid_t tool = 0;
            std::ifstream(pid) >> tool;
            if (discard) {
                // The request returns at once (the window never waits on it); the job ends
                // when the tool does, or when the grace time has run out.
                job->Stop(BriskFFmpeg::StopKind::DiscardOutput);
                if (mode == std::string("ignore")) {
                    EXPECT_FALSE(job->IsFinished());
                }
                const auto deadline = std::chrono::steady_clock::now() + BriskFFmpeg::kStopGrace + 10s;
                while (!job->IsFinished() && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(20ms);
                EXPECT_TRUE(job->IsFinished());
                EXPECT_EQ(job->Outcome().kind, Kind::Discarded);
            }
            job.reset();
            const std::string asked = discard ? "discard\n" : "term\n";
            EXPECT_EQ(Read(log), mode == std::string("finish") ? asked + "done\n" : asked);
            EXPECT_TRUE(Gone(tool));
            EXPECT_EQ(Leftovers(pid), std::vector<pid_t>{});
        }
    }
}

TEST_F(JobTest, TheToolInheritsOnlyItsStandardStreams) {
    const testproc::InheritableStray stray;  // the program's, inheritable
    BriskFFmpeg job(("vv.exe inherited " + PathIn("fds") + " " + stray.Token()).c_str(), Dir());
    ASSERT_TRUE(WaitFinished(job));
    EXPECT_EQ(Read(PathIn("fds")), "0 1 2 ");
}

TEST_F(JobTest, JobDestroyedAtOnceLeavesNoProcessBehind) {
    // Destroyed before, while or after its tool starts: nothing of it runs afterwards.
    for (int i = 0; i < 20; ++i) {
        const std::string pids = PathIn("pids" + std::to_string(i));
        { BriskFFmpeg job(("vv.exe hang " + pids).c_str(), Dir()); }
        EXPECT_EQ(Leftovers(pids), std::vector<pid_t>{}) << "try " << i;
    }
}

TEST_F(JobTest, CommandArrivesWholeAndArgumentsUnchanged) {
    const std::string record = PathIn("args");
    const std::vector<std::string> args = {"with space", "quote\"d", "中文 视频.avi", "trailing\\", ""};
    std::string command = "vv.exe record " + platform::QuoteArgument(record);
    for (const auto& a : args) command += " " + platform::QuoteArgument(a);
    {
        BriskFFmpeg job(command.c_str(), Dir());
        ASSERT_TRUE(WaitFinished(job));
        EXPECT_TRUE(job.Outcome().Succeeded());
    }
    std::vector<std::string> expected = {"vv.exe", "record", record};
    expected.insert(expected.end(), args.begin(), args.end());
    EXPECT_EQ(ReadRecord(record), expected);

    // 1999 bytes plus the terminator fill the buffer exactly and reach the tool whole.
    std::string longCommand = "vv.exe record " + platform::QuoteArgument(record) + " ";
    longCommand += std::string(convert::kCommandCapacity - 1 - longCommand.size(), 'x');
    ASSERT_EQ(longCommand.size(), 1999u);
    {
        BriskFFmpeg job(longCommand.c_str(), Dir());
        ASSERT_TRUE(WaitFinished(job));
    }
    const auto got = ReadRecord(record);
    ASSERT_EQ(got.size(), 4u);
    EXPECT_EQ(got[3], longCommand.substr(longCommand.rfind(' ') + 1));
}
