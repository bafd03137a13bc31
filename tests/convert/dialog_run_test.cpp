// "立即转换" end to end: the real window, the real vv.exe, generated clips; the message
// boxes are answered by the tests.
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <signal.h>
#include <unistd.h>
#include <wx/frame.h>
#include <wx/gauge.h>
#include <wx/listctrl.h>
#include <wx/modalhook.h>
#include <wx/msgdlg.h>
#include <wx/evtloop.h>
#include <wx/testing.h>
#include <wx/textctrl.h>
#include <wx/uiaction.h>

#include "../helpers/gui_util.h"
#include "../helpers/message_boxes.h"
#include "../helpers/window_manager.h"
#include "../helpers/dialog_peer.h"
#include "../helpers/dialog_fixture.h"
#include "app/CMorvenDlg.h"
#include "convert/brisk.h"
#include "convert/contract.h"
#include "platform/app_path.h"
#include "platform/input_list.h"
#include "platform/narrow.h"
#include "platform/process.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {


void MakeClip(const fs::path& path, int seconds, const char* size = "160x120") {
    const std::string cmd = "ffmpeg -v error -y -f lavfi -i testsrc=size=" + std::string(size) +
                            ":rate=25:duration=" + std::to_string(seconds) +
                            " -f lavfi -i sine=sample_rate=44100:duration=" + std::to_string(seconds) +
                            " -c:v mpeg4 -c:a libmp3lame -shortest '" + path.string() + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
}

std::string ProbeCodec(const fs::path& path) {
    std::string out;
    if (FILE* p = ::popen(
            ("ffprobe -v error -select_streams v:0 -show_entries stream=codec_name -of csv=p=0 '" + path.string() + "'")
                .c_str(),
            "r")) {
        char buf[256];
        while (std::fgets(buf, sizeof buf, p)) out += buf;
        ::pclose(p);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
    return out;
}

class RunTest : public guitest::DialogFixture {
protected:
    static void SetUpTestSuite() {
        clips_ = fs::temp_directory_path() / ("tolvani-run-clips-" + std::to_string(::getpid()));
        fs::create_directories(clips_);
        for (const char* name : {"a.avi", "b.avi", "c.avi"}) MakeClip(clips_ / name, 1);
    }
    static void TearDownTestSuite() { fs::remove_all(clips_); }

    void SetUp() override {
        DialogFixture::SetUp();
        guitest::Choose(Peer(dlg_).List(IDC_FORMAT), "mp4");
    }

    // Adds a file as the add button does: on top.
    fs::path AddClip(const char* clip, const std::string& as = "") {
        const fs::path path = dir_ / "in" / (as.empty() ? clip : as);
        fs::copy_file(clips_ / clip, path, fs::copy_options::overwrite_existing);
        Peer(dlg_).m_list.InsertRow(0, platform::FromNarrow(path.string()));
        return path;
    }

    std::vector<wxString> Statuses() const { return Peer(dlg_).Statuses(); }

    bool Running() const { return Peer(dlg_).m_timer.IsRunning() || Peer(dlg_).Job() != nullptr; }

    // The tooltip a row shows with the real pointer resting on it.
    wxString HoverTip(long row) {
        const wxRect rect = Peer(dlg_).m_list.RowRect(static_cast<int>(row));
        wxUIActionSimulator().MouseMove(
            Peer(dlg_).m_list.Window()->ClientToScreen(rect.GetPosition() + wxPoint(30, 4)));
        guitest::Yield(10);
        return Peer(dlg_).m_list.RowsWindow()->GetToolTipText();
    }
    std::string LogPath() const { return (dir_ / "state" / "tolvani" / "tolvani.log").string(); }

    // Presses "立即转换" and lets the run go to its end, noting the statuses after every
    // tick (several ticks can fall into one pass of the event loop) and between events.
    void ConvertAll() {
        seen_.clear();
        ticks_ = 0;
        auto note = [this](wxTimerEvent& tick) {
            ++ticks_;
            Peer(dlg_).OnTimer(tick);
            const auto s = Statuses();
            for (std::size_t i = 0; i < s.size(); ++i) seen_[i].insert(s[i]);
        };
        dlg_->Bind(wxEVT_TIMER, note, kTimerId);
        guitest::Press(dlg_, IDC_CONVERT);
        // Rows also end between ticks: what they show is noted as the run goes.
        ASSERT_TRUE(guitest::WaitUntil(
            [&] {
                const auto s = Statuses();
                for (std::size_t i = 0; i < s.size(); ++i) seen_[i].insert(s[i]);
                return !Running();
            },
            120s));
        dlg_->Unbind(wxEVT_TIMER, note, kTimerId);
    }

    static fs::path clips_;
    std::map<std::size_t, std::set<wxString>> seen_;
    int ticks_ = 0;
};

// Answers a message box only after a while, as a user who reads it; meanwhile the
// window's events (its timer included) go on in the box's own loop.
class AnswerLater : public wxExpectModalBase<wxMessageDialog> {
public:
    AnswerLater(int answer, std::chrono::milliseconds wait, std::function<void()> meanwhile)
        : answer_(answer), wait_(wait), meanwhile_(std::move(meanwhile)) {}

protected:
    int OnInvoked(wxMessageDialog*) const override {
        wxGUIEventLoop loop;
        wxTimer stop;
        stop.Bind(wxEVT_TIMER, [&loop](wxTimerEvent&) { loop.Exit(); });
        stop.StartOnce(static_cast<int>(wait_.count()));
        loop.Run();
        meanwhile_();
        return answer_;
    }

private:
    int answer_;
    std::chrono::milliseconds wait_;
    std::function<void()> meanwhile_;
};
// The boxes the window shows, watched as a user in front of it: each is noted, and answered
// as the test's rule says: with an answer at once (the box is not drawn), or with a key the
// user types once the box is on the screen.
class Boxes : public wxModalDialogHook {
public:
    struct Answer {
        int id = wxID_OK;             // the answer, when no key is typed
        const char* key = nullptr;    // an X key name: typed on the keyboard over the shown box
        std::function<bool()> ready;  // when given, the key waits until it holds (15 s at most)
    };
    using Rule = std::function<Answer(wxDialog* box, const wxString& text)>;

    explicit Boxes(Rule rule) : rule_(std::move(rule)) {
        typing_.Bind(wxEVT_TIMER, [this](wxTimerEvent&) {
            if (open_ == nullptr || !guitest::Mapped(open_)) return;
            // A condition that never comes fails the test's checks instead of hanging it.
            if (ready_ && !ready_() && std::chrono::steady_clock::now() < shown_ + 15s) return;
            typing_.Stop();
            guitest::TypeKeyAt(guitest::MiddleOnScreen(open_), key_);
        });
        Register();
    }
    ~Boxes() override { Unregister(); }

    std::vector<wxString> texts;  // every box's text (the About dialog's title), in order
    std::vector<int> closedWith;  // how each box shown on the screen was closed

protected:
    int Enter(wxDialog* dialog) override {
        if (dynamic_cast<CMorvenDlg*>(dialog) != nullptr) return wxID_NONE;
        const auto* box = dynamic_cast<wxMessageDialog*>(dialog);
        const wxString text = box != nullptr ? box->GetMessage() : dialog->GetTitle();
        texts.push_back(text);
        const Answer answer = rule_(dialog, text);
        if (answer.key == nullptr) return answer.id;
        open_ = dialog;
        key_ = answer.key;
        ready_ = answer.ready;
        shown_ = std::chrono::steady_clock::now();
        typing_.Start(50);
        return wxID_NONE;
    }
    void Exit(wxDialog* dialog) override {
        if (dialog != open_) return;
        closedWith.push_back(dialog->GetReturnCode());
        typing_.Stop();
        open_ = nullptr;
    }

private:
    Rule rule_;
    wxTimer typing_;
    wxDialog* open_ = nullptr;
    const char* key_ = nullptr;
    std::function<bool()> ready_;
    std::chrono::steady_clock::time_point shown_;
};

fs::path RunTest::clips_;

}  // namespace

TEST_F(RunTest, ConvertsEveryRowTopFirstAndReportsCompletion) {
    AddClip("a.avi");
    AddClip("b.avi");
    AddClip("c.avi");  // rows: c, b, a
    wxString text, caption;
    wxTEST_DIALOG(ConvertAll(), AnswerBox(wxID_OK, &text, &caption));

    EXPECT_EQ(text, U("转换完成"));
    EXPECT_EQ(caption, U("转换完成"));
    EXPECT_EQ(Statuses(), (std::vector<wxString>(3, U("已完成"))));
    EXPECT_EQ(Peer(dlg_).m_progress->GetValue(), 1000);
    for (const char* out : {"a.mp4", "b.mp4", "c.mp4"}) EXPECT_EQ(ProbeCodec(dir_ / "out" / out), "mpeg4") << out;
    // Top row first.
    EXPECT_LE(fs::last_write_time(dir_ / "out" / "c.mp4"), fs::last_write_time(dir_ / "out" / "b.mp4"));
    EXPECT_LE(fs::last_write_time(dir_ / "out" / "b.mp4"), fs::last_write_time(dir_ / "out" / "a.mp4"));
    // Rows below the running one waited; the rows after the first showed a percentage (the
    // first row's one-second clip may be done before anything refreshes it).
    EXPECT_TRUE(seen_[2].count(U("等待")));
    for (std::size_t i = 1; i < 3; ++i) {
        EXPECT_TRUE(std::any_of(seen_[i].begin(), seen_[i].end(), [](const wxString& s) { return s.EndsWith("%"); }))
            << "row " << i;
    }
    for (int id : {IDC_OUTPUT_DIR, IDC_FORMAT, IDC_CHANNELS, IDC_ADD, IDC_CONVERT}) {
        EXPECT_TRUE(dlg_->FindWindow(id)->IsEnabled()) << id;
    }
}

TEST_F(RunTest, EachFailedFileSaysWhyInItsRowTheCompletionBoxAndTheLog) {
    const bool root = ::geteuid() == 0;  // a full disk is a small tmpfs, which only root mounts
    const fs::path out = dir_ / "out";
    if (root) {
        ASSERT_EQ(std::system(("mount -t tmpfs -o size=400k tmpfs '" + out.string() + "'").c_str()), 0);
    }
    struct Unmount {
        bool on;
        fs::path dir;
        ~Unmount() {
            if (on) {
                EXPECT_EQ(std::system(("umount '" + dir.string() + "'").c_str()), 0);
            }
        }
    } unmount{root, out};

    fs::path deep = dir_ / "in";  // an input whose path alone passes the command line's limit
    for (int i = 0; i < 11; ++i) deep /= std::string(200, static_cast<char>('a' + i));
    fs::create_directories(deep);
    fs::copy_file(clips_ / "a.avi", deep / "deep.avi");
    Peer(dlg_).m_list.InsertRow(0, platform::FromNarrow((deep / "deep.avi").string()));
    if (root) {
        MakeClip(dir_ / "in" / "big.avi", 20, "640x480");  // more than the disk holds
        Peer(dlg_).m_list.InsertRow(0, platform::FromNarrow((dir_ / "in" / "big.avi").string()));
    }
    std::ofstream(dir_ / "in" / "broken.avi") << std::string(10000, 'x');
    Peer(dlg_).m_list.InsertRow(0, platform::FromNarrow((dir_ / "in" / "broken.avi").string()));
    AddClip("a.avi");  // rows: a, broken, [big,] deep
    wxString text;
    wxTEST_DIALOG(ConvertAll(), AnswerBox(wxID_OK, &text));

    std::vector<wxString> failed = {U("失败"), U("失败")};
    if (root) failed.push_back(U("失败"));
    failed.insert(failed.begin(), U("已完成"));
    EXPECT_EQ(Statuses(), failed);
    EXPECT_EQ(ProbeCodec(out / "a.mp4"), "mpeg4");
    // Each row's tooltip, under the real pointer, gives the category and the reason.
    std::vector<std::string> categories = {"无法读取输入文件", "命令行过长"};
    if (root) categories.insert(categories.begin() + 1, "磁盘空间不足");
    for (std::size_t i = 0; i < categories.size(); ++i) {
        SCOPED_TRACE(categories[i]);
        const wxString tip = HoverTip(static_cast<long>(i + 1));
        EXPECT_TRUE(tip.StartsWith(U(categories[i].c_str()) + U("："))) << tip;
        EXPECT_NE(text.find(U(categories[i].c_str())), wxString::npos) << text;  // and the box lists it
    }
    EXPECT_EQ(HoverTip(0), "");  // the row that converted has nothing to say
    const wxString count = wxString::Format(U("转换完成\n%d 个文件转换失败\nbroken.avi — 无法读取输入文件："),
                                            static_cast<int>(categories.size()));
    EXPECT_TRUE(text.StartsWith(count)) << text;
    // Long paths are broken into lines (at a space, or between characters) to fit the screen.
    const auto squeezed = [](wxString t) {
        t.Replace("\n", "");
        t.Replace(" ", "");
        return t;
    };
    EXPECT_TRUE(squeezed(text).EndsWith(squeezed(platform::FromNarrow(LogPath())))) << text;
    // A tip stays with its file when the rows move.
    guitest::ClickRow(Peer(dlg_).m_list, 1);
    guitest::Press(dlg_, IDC_MOVE_UP);
    EXPECT_TRUE(HoverTip(0).StartsWith(U("无法读取输入文件："))) << HoverTip(0);
    EXPECT_EQ(HoverTip(1), "");

    // Without vv.exe beside the program, the row names where it was looked for.
    const fs::path empty = dir_ / "no tool";
    fs::create_directories(empty);
    Peer(dlg_).m_szAppDir = empty.string();
    Peer(dlg_).m_list.Clear();
    AddClip("c.avi");
    wxTEST_DIALOG(ConvertAll(), AnswerBox(wxID_OK, &text));
    EXPECT_TRUE(HoverTip(0).StartsWith(U("转换程序无法启动："))) << HoverTip(0);
    EXPECT_NE(squeezed(HoverTip(0)).find(squeezed(platform::FromNarrow((empty / "vv.exe").string()))),
              wxString::npos);

    // The log holds an entry for every row.
    std::ifstream log(LogPath());
    const std::string entries((std::istreambuf_iterator<char>(log)), {});
    std::size_t n = 0;
    for (auto at = entries.find("\n  command: "); at != std::string::npos; at = entries.find("\n  command: ", at + 1))
        ++n;
    EXPECT_EQ(n, categories.size() + 2);
}

TEST_F(RunTest, ExistingOutputIsOverwrittenOnlyOnOk) {
    AddClip("a.avi");
    const fs::path out = dir_ / "out" / "a.mp4";
    std::ofstream(out) << "old";
    wxString question, caption;
    wxTEST_DIALOG(ConvertAll(), AnswerBox(wxID_OK, &question, &caption), AnswerBox(wxID_OK));
    EXPECT_EQ(question, U("输出目录") + Peer(dlg_).OutputDirEdit()->GetValue() + U("中，已经有a.mp4，是否要覆盖？"));
    EXPECT_EQ(caption, U("提示"));
    EXPECT_EQ(ProbeCodec(out), "mpeg4");

    // Cancel: the renamed output; once more: the first free numbered name. Nothing is overwritten.
    wxTEST_DIALOG(ConvertAll(), AnswerBox(wxID_CANCEL), AnswerBox(wxID_OK));
    EXPECT_EQ(ProbeCodec(dir_ / "out" / "重命名a.mp4"), "mpeg4");
    wxTEST_DIALOG(ConvertAll(), AnswerBox(wxID_CANCEL), AnswerBox(wxID_OK));
    EXPECT_EQ(ProbeCodec(dir_ / "out" / "重命名a(2).mp4"), "mpeg4");
    EXPECT_EQ(Statuses(), (std::vector<wxString>{U("已完成")}));
}

TEST_F(RunTest, WhileTheOverwriteQuestionIsOpenTheTicksGoOnRefreshingTheRows) {
    if (!guitest::HaveXdotool()) GTEST_SKIP() << "xdotool is not installed: the keys cannot be typed";
    AddClip("b.avi");
    AddClip("a.avi");  // rows: a, b; b's output exists
    std::ofstream(dir_ / "out" / "b.mp4") << "old";
    // The question stays on the screen until a tick has come while it is open; then the
    // user reads the rows and presses Enter (OK).
    std::vector<wxString> during;
    bool jobDuring = true;
    auto stateDuring = convert::RunController::State::kIdle;
    int ticksAtQuestion = 0;
    Boxes boxes([&](wxDialog*, const wxString& text) -> Boxes::Answer {
        if (!text.StartsWith(U("输出目录"))) return {};  // the completion box
        ticksAtQuestion = ticks_;
        return {wxID_NONE, "Return", [&] {
                    if (ticks_ <= ticksAtQuestion) return false;
                    during = Statuses();
                    jobDuring = Peer(dlg_).Job() != nullptr;
                    stateDuring = Peer(dlg_).Run().GetState();
                    return true;
                }};
    });
    ConvertAll();
    EXPECT_FALSE(jobDuring);
    EXPECT_EQ(stateDuring, convert::RunController::State::kAskingOverwrite);
    EXPECT_EQ(during, (std::vector<wxString>{U("已完成"), U("等待")}));  // b has not started
    EXPECT_EQ(Statuses(), (std::vector<wxString>{U("已完成"), U("已完成")}));
    EXPECT_EQ(ProbeCodec(dir_ / "out" / "b.mp4"), "mpeg4");  // Enter answered OK: overwritten
    EXPECT_FALSE(fs::exists(dir_ / "out" / U("重命名b.mp4").utf8_string()));
}

TEST_F(RunTest, OutputBesideTheInputGetsTheNewPrefix) {
    const fs::path in = AddClip("a.avi", "clip.mp4");
    for (const std::string& typed : {(dir_ / "in").string(), (dir_ / "in").string() + "/"}) {
        SCOPED_TRACE(typed);
        fs::remove(dir_ / "in" / "新clip.mp4");
        Peer(dlg_).OutputDirEdit()->SetValue(platform::FromNarrow(typed));
        // No overwrite question: only the completion box comes.
        wxTEST_DIALOG(ConvertAll(), AnswerBox(wxID_OK));
        EXPECT_EQ(ProbeCodec(dir_ / "in" / "新clip.mp4"), "mpeg4");
        EXPECT_EQ(ProbeCodec(in), "mpeg4");  // the input is untouched
    }
}

TEST_F(RunTest, RefusesToStartWithoutAUsableOutputFolderOrFiles) {
    wxString text, caption;
    wxTEST_DIALOG(guitest::Press(dlg_, IDC_CONVERT), AnswerBox(wxID_OK, &text, &caption));
    EXPECT_EQ(text, U("请添加要转换的视频"));
    EXPECT_EQ(caption, U("提示信息"));

    AddClip("a.avi");
    const wxString missing = platform::FromNarrow((dir_ / "no such folder").string());
    Peer(dlg_).OutputDirEdit()->SetValue(missing);
    wxTEST_DIALOG(guitest::Press(dlg_, IDC_CONVERT), AnswerBox(wxID_OK, &text));
    EXPECT_NE(text.find(missing), wxString::npos) << text;
    EXPECT_FALSE(Running());
    EXPECT_TRUE(dlg_->FindWindow(IDC_CONVERT)->IsEnabled());
    EXPECT_EQ(Statuses(), (std::vector<wxString>{""}));
}

TEST_F(RunTest, DuringThePauseBetweenRowsTheWindowAnswersAndACloseStartsNothingMore) {
    if (!guitest::HaveXdotool()) GTEST_SKIP() << "xdotool is not installed: the keys cannot be typed";
    // A stand-in converter: "a" fails at once, "slow" runs until asked to stop.
    const fs::path tool = dir_ / "tool";
    fs::create_directories(tool);
    fs::copy_file(FAKE_TOOL, tool / "vv.exe");
    Peer(dlg_).m_szAppDir = tool.string();
    for (const char* name : {"c.avi", "slow.avi", "a.avi"}) {  // rows: a, slow, c
        Peer(dlg_).m_list.InsertRow(0, platform::FromNarrow((dir_ / "in" / name).string()));
    }
    // The full bar's pause, long enough for what the user does in it on a busy machine.
    Peer(dlg_).Run().Settings().pause = 60s;
    int paints = 0;
    dlg_->Bind(wxEVT_PAINT, [&](wxPaintEvent& event) {
        ++paints;
        event.Skip();
    });
    // The About dialog opens on the screen; the user closes it with Esc.
    int barAtAbout = -1;
    bool pauseAtAbout = false;
    Boxes boxes([&](wxDialog*, const wxString&) -> Boxes::Answer {
        barAtAbout = Peer(dlg_).m_progress->GetValue();
        pauseAtAbout = Peer(dlg_).m_pauseTimer.IsRunning();
        return {wxID_NONE, "Escape", {}};
    });

    bool paintedInPause = false, aboutClosed = false;
    dlg_->Hide();
    dlg_->CallAfter([&] {
        guitest::Click(dlg_->FindWindow(IDC_CONVERT));
        // "a" has failed and "slow" runs: the bar is full for the pause.
        ASSERT_TRUE(guitest::WaitUntil([&] { return Peer(dlg_).m_pauseTimer.IsRunning(); }, 10s));
        paints = 0;
        dlg_->Refresh();
        paintedInPause = guitest::WaitUntil([&] { return paints > 0; }, 10s) && Peer(dlg_).m_pauseTimer.IsRunning();
        guitest::Click(dlg_->FindWindow(IDC_ABOUT));
        aboutClosed = guitest::WaitUntil([&] { return boxes.closedWith.size() == 1; }, 10s);
        // The window manager's close request arrives during the pause.
        ASSERT_TRUE(Peer(dlg_).m_pauseTimer.IsRunning());
        guitest::SendCloseRequest(dlg_);
    });
    wxTimer guard;  // a close request that is lost fails the test instead of hanging it
    guard.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { dlg_->EndModal(wxID_ABORT); });
    guard.StartOnce(30000);
    EXPECT_EQ(dlg_->ShowModal(), wxID_CANCEL);

    EXPECT_TRUE(paintedInPause);
    EXPECT_EQ(barAtAbout, 1000);  // opened during the pause
    EXPECT_TRUE(pauseAtAbout);
    EXPECT_TRUE(aboutClosed);
    EXPECT_EQ(boxes.closedWith, std::vector<int>{wxID_CANCEL});  // by Esc
    EXPECT_EQ(boxes.texts, std::vector<wxString>{U("关于")});    // no question, no completion box
    EXPECT_EQ(Peer(dlg_).Job(), nullptr);
    EXPECT_FALSE(Peer(dlg_).m_pauseTimer.IsRunning());
    std::ifstream calls(tool / "calls.log");
    const std::string started((std::istreambuf_iterator<char>(calls)), {});
    EXPECT_EQ(started, (dir_ / "in" / "a.avi").string() + "\n" + (dir_ / "in" / "slow.avi").string() + "\n");
}

TEST_F(RunTest, ClosingMidRunEndsTheConverterAndKeepsItsPartialOutput) {
    MakeClip(dir_ / "in" / "long.avi", 60, "640x480");
    Peer(dlg_).m_list.InsertRow(0, platform::FromNarrow((dir_ / "in" / "long.avi").string()));
    guitest::Choose(Peer(dlg_).List(IDC_FORMAT), "3gpp2");
    guitest::Press(dlg_, IDC_CONVERT);
    pid_t pid = -1;
    ASSERT_TRUE(
        guitest::WaitUntil([&] { return Peer(dlg_).Job() && (pid = Peer(dlg_).Job()->ProcessId()) > 0; }, 10s));
    // Part of the way through, the window closes: vv.exe is asked to stop and finishes the
    // file, which a player can open.
    ASSERT_TRUE(guitest::WaitUntil([&] { return convert::ReadProgress(Peer(dlg_).ProgressFile()) > 0; }, 10s));
    ASSERT_FALSE(Peer(dlg_).Job()->IsFinished());
    dlg_->Close();
    EXPECT_EQ(Peer(dlg_).Job(), nullptr);
    EXPECT_TRUE(::kill(pid, 0) != 0 && errno == ESRCH);
    EXPECT_EQ(ProbeCodec(dir_ / "out" / "long.3g2"), "h264");
}

TEST_F(RunTest, StopDuringARunThrowsTheUnfinishedFileAwayAndANewRunStartsFromTheTop) {
    if (!guitest::HaveXdotool()) GTEST_SKIP() << "xdotool is not installed: the keys cannot be typed";
    MakeClip(dir_ / "in" / "long.avi", 60, "640x480");
    AddClip("b.avi");
    Peer(dlg_).m_list.InsertRow(0, platform::FromNarrow((dir_ / "in" / "long.avi").string()));
    AddClip("a.avi");  // rows: a, long, b
    guitest::Choose(Peer(dlg_).List(IDC_FORMAT), "3gpp2");
    const fs::path out = dir_ / "out";
    const std::string earlier = "a file that stood there before\n";
    std::ofstream(out / "long.3g2", std::ios::binary) << earlier;

    // Overwrite questions are answered OK at once; the stop question is on the screen and
    // the user answers it on the keyboard: Esc (Cancel) the first time, Enter (OK) the second.
    std::vector<const char*> stopKeys = {"Escape", "Return"};
    wxString stopCaption;
    Boxes boxes([&](wxDialog* box, const wxString& text) -> Boxes::Answer {
        if (text != U("是否停止转换？")) return {};
        stopCaption = box->GetTitle();
        const char* key = stopKeys.front();
        stopKeys.erase(stopKeys.begin());
        return {wxID_NONE, key, {}};
    });
    wxButton* button = dynamic_cast<wxButton*>(dlg_->FindWindow(IDC_CONVERT));
    guitest::Click(button);
    pid_t pid = -1;
    ASSERT_TRUE(guitest::WaitUntil(
        [&] {
            return Peer(dlg_).CurrentRow() == 1 && Peer(dlg_).Job() && (pid = Peer(dlg_).Job()->ProcessId()) > 0 &&
                   convert::ReadProgress(Peer(dlg_).ProgressFile()) > 0;
        },
        60s));
    EXPECT_TRUE(button->IsEnabled());
    EXPECT_EQ(button->GetLabel(), U("停止转换"));
    for (int id = IDC_ADD; id <= IDC_CHANNELS; ++id) {  // every other editing control waits for the run
        if (id != IDC_CONVERT && id != IDC_PROGRESS) {
            EXPECT_FALSE(dlg_->FindWindow(id)->IsEnabled()) << id;
        }
    }
    EXPECT_TRUE(Peer(dlg_).m_list.Window()->IsEnabled());

    // Cancel: the run goes on with the same conversion.
    guitest::Click(button);
    ASSERT_TRUE(guitest::WaitUntil([&] { return boxes.closedWith.size() == 1; }, 20s));
    EXPECT_EQ(stopCaption, U("提示"));
    guitest::Yield(10);
    ASSERT_TRUE(Peer(dlg_).Running());
    ASSERT_NE(Peer(dlg_).Job(), nullptr);
    EXPECT_EQ(Peer(dlg_).Job()->ProcessId(), pid);
    EXPECT_EQ(::kill(pid, 0), 0);

    // OK: vv.exe is asked to stop and throw its file away, and ends by itself.
    guitest::Click(button);
    ASSERT_TRUE(guitest::WaitUntil([&] { return !Peer(dlg_).Running(); }, 20s));
    EXPECT_TRUE(::kill(pid, 0) != 0 && errno == ESRCH);
    EXPECT_EQ(Statuses(), (std::vector<wxString>{U("已完成"), U("已停止"), U("等待")}));
    EXPECT_EQ(HoverTip(1), U("转换已停止"));
    std::ifstream kept(out / "long.3g2", std::ios::binary);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(kept)), {}), earlier);  // byte for byte
    std::set<std::string> files;                                                  // nothing half-written is left
    for (const auto& entry : fs::directory_iterator(out)) files.insert(entry.path().filename().string());
    EXPECT_EQ(files, (std::set<std::string>{"a.3g2", "long.3g2"}));
    EXPECT_FALSE(Running());
    EXPECT_EQ(button->GetLabel(), U("立即转换"));
    for (int id : {IDC_OUTPUT_DIR, IDC_FORMAT, IDC_CHANNELS, IDC_ADD, IDC_CONVERT}) {
        EXPECT_TRUE(dlg_->FindWindow(id)->IsEnabled()) << id;
    }
    EXPECT_EQ(boxes.texts.size(), 3u);  // the overwrite question and two stop questions: no completion box
    std::ifstream log(LogPath());
    const std::string entries((std::istreambuf_iterator<char>(log)), {});
    EXPECT_NE(entries.find("stopped by the user; the unfinished output was discarded"), std::string::npos) << entries;
    // Within the grace time, by itself: its own last words, not a kill.
    EXPECT_NE(entries.find("vv.exe: stopped by SIGUSR1; the unfinished output was discarded"), std::string::npos)
        << entries;

    // A new run, without the long file, starts afresh from the top row.
    guitest::ClickRow(Peer(dlg_).m_list, 1);
    guitest::Click(dlg_->FindWindow(IDC_DELETE));
    guitest::Yield(10);
    ASSERT_EQ(Peer(dlg_).m_list.Count(), 2);
    boxes.texts.clear();
    guitest::Click(button);
    ASSERT_TRUE(guitest::WaitUntil([&] { return boxes.texts.size() == 2 && !Running(); }, 120s));
    EXPECT_TRUE(boxes.texts[0].StartsWith(U("输出目录"))) << boxes.texts[0];  // a.3g2 is there from the first run
    EXPECT_EQ(boxes.texts[1], U("转换完成"));
    EXPECT_EQ(Statuses(), (std::vector<wxString>{U("已完成"), U("已完成")}));
    EXPECT_EQ(ProbeCodec(out / "a.3g2"), "h264");
    EXPECT_EQ(ProbeCodec(out / "b.3g2"), "h264");
}

TEST_F(RunTest, AStopKeepsTheFileTheUserHadAndLeavesNothingBehind) {
    // What converters killed in the middle left in the output folder: a dead one's hidden
    // file goes when the run starts, a running one's stays.
    const fs::path out = dir_ / "out";
    const fs::path deadPart = out / ".x.mp4.vv-999999-0.part";
    const fs::path livePart = out / (".y.mp4.vv-" + std::to_string(::getpid()) + "-0.part");
    std::ofstream(deadPart) << "partial";
    std::ofstream(livePart) << "partial";

    MakeClip(dir_ / "in" / "long.avi", 60, "640x480");
    Peer(dlg_).m_list.InsertRow(0, platform::FromNarrow((dir_ / "in" / "long.avi").string()));
    guitest::Choose(Peer(dlg_).List(IDC_FORMAT), "3gpp2");
    std::ofstream(out / "long.3g2") << "the user's own";
    // The user agrees to replace it; then, part of the way through, the program is asked
    // to end (as a session that logs out asks it).
    wxTEST_DIALOG(guitest::Press(dlg_, IDC_CONVERT), AnswerBox(wxID_OK));
    ASSERT_TRUE(guitest::WaitUntil([&] { return convert::ReadProgress(Peer(dlg_).ProgressFile()) > 0; }, 10s));
    EXPECT_FALSE(fs::exists(deadPart));
    EXPECT_TRUE(fs::exists(livePart));
    ::kill(::getpid(), SIGTERM);
    ASSERT_TRUE(guitest::WaitUntil([&] { return !dlg_->IsShown(); }, 10s));
    EXPECT_EQ(Peer(dlg_).Job(), nullptr);

    std::ifstream in(out / "long.3g2");
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), {}), "the user's own");
    std::ifstream log(LogPath());
    const std::string text((std::istreambuf_iterator<char>(log)), {});
    EXPECT_NE(text.find("  result: stopped when the program got SIGTERM, "), std::string::npos) << text;
    EXPECT_NE(text.find("long.3g2 was kept as it was"), std::string::npos) << text;
    fs::remove(livePart);
    for (const auto& entry : fs::directory_iterator(out)) {
        EXPECT_NE(entry.path().filename().string()[0], '.') << "left behind: " << entry.path();
    }
}

TEST_F(RunTest, NamesThatAreNotUtf8AreConvertedFromTheirExactBytes) {
    // "视频" in GBK, "café" in Latin-1: their outputs are named from the same bytes.
    const std::string gbk = "\xca\xd3\xc6\xb5", latin1 = "caf\xe9";
    AddClip("a.avi", gbk + ".avi");
    AddClip("b.avi", latin1 + ".avi");
    wxTEST_DIALOG(ConvertAll(), AnswerBox(wxID_OK));
    EXPECT_EQ(Statuses(), (std::vector<wxString>{U("已完成"), U("已完成")}));
    EXPECT_EQ(ProbeCodec(dir_ / "out" / (gbk + ".mp4")), "mpeg4");
    EXPECT_EQ(ProbeCodec(dir_ / "out" / (latin1 + ".mp4")), "mpeg4");
    // The log writes the bytes that are no UTF-8 text escaped (C6 B5 happens to be "Ƶ").
    std::ifstream log(LogPath());
    const std::string text((std::istreambuf_iterator<char>(log)), {});
    EXPECT_NE(text.find("/in/\\xca\\xd3\xc6\xb5.avi\n"), std::string::npos) << text;
    EXPECT_NE(text.find("/in/caf\\xe9.avi\n"), std::string::npos) << text;
}

// Starts the stand-in converter from a window: `input` names what it writes as progress.
void StartStandIn(CMorvenDlg* dlg, const fs::path& tool, const fs::path& out, const std::string& input) {
    Peer(dlg).m_szAppDir = tool.string();
    Peer(dlg).OutputDirEdit()->SetValue(platform::FromNarrow(out.string()));
    Peer(dlg).m_list.InsertRow(0, platform::FromNarrow(input));
    guitest::Press(dlg, IDC_CONVERT);
}

wxString RowAfterTick(CMorvenDlg* dlg) {
    wxTimerEvent tick(Peer(dlg).m_timer);
    dlg->GetEventHandler()->ProcessEvent(tick);
    return Peer(dlg).m_list.Status(0);
}

TEST_F(RunTest, TwoCopiesConvertingAtOnceEachShowTheirOwnProgress) {
    const fs::path tool = dir_ / "tool";
    fs::create_directories(tool);
    fs::copy_file(FAKE_TOOL, tool / "vv.exe");
    StartStandIn(dlg_, tool, dir_ / "out", "/v/slow-300.avi");
    ASSERT_TRUE(guitest::WaitUntil([&] { return RowAfterTick(dlg_) == "30%"; }, 10s));

    // The other copy: this test program once more, converting with the same tool folder.
    const std::string report = (dir_ / "other copy").string();
    platform::StartedProcess other = platform::StartHidden(
        platform::ExecutablePath(), {"tolvani_gui_tests", "--gtest_filter=RunTest.SecondCopyShowsItsOwnProgress"},
        {"TOLVANI_SECOND_COPY=" + tool.string() + "|" + report});
    ASSERT_GT(other.pid, 0) << other.error;
    const platform::ProcessEnd end = platform::WaitForEnd(other);
    platform::ReapGroup(other);
    ASSERT_EQ(end.code, 0) << end.outputTail;
    std::ifstream shown(report);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(shown)), {}), "70%");
    EXPECT_EQ(RowAfterTick(dlg_), "30%");  // still its own
}

// The other copy of the test above; it runs only when that test starts it.
TEST_F(RunTest, SecondCopyShowsItsOwnProgress) {
    const char* task = std::getenv("TOLVANI_SECOND_COPY");
    if (task == nullptr) GTEST_SKIP() << "started by TwoCopiesConvertingAtOnceEachShowTheirOwnProgress";
    const std::string toolAndReport = task;
    const auto bar = toolAndReport.find('|');
    StartStandIn(dlg_, toolAndReport.substr(0, bar), dir_ / "out", "/v/slow-700.avi");
    ASSERT_TRUE(guitest::WaitUntil([&] { return RowAfterTick(dlg_) != "0%"; }, 10s));
    std::ofstream(toolAndReport.substr(bar + 1)) << RowAfterTick(dlg_).utf8_string();
}

TEST_F(RunTest, TheEndOfARunIsNotifiedOnlyWhenTheUserIsElsewhere) {
    const fs::path tool = dir_ / "tool";
    fs::create_directories(tool);
    fs::copy_file(FAKE_TOOL, tool / "vv.exe");  // fails at once: the run ends at its first tick
    Peer(dlg_).m_szAppDir = tool.string();
    struct Notes : RunEndNotifier {
        std::vector<wxString> seen;
        void Notify(wxWindow*, const wxString& title, const wxString& message) override {
            seen.push_back(title + "|" + message);
        }
    };
    auto notes = std::make_unique<Notes>();
    Notes* seen = notes.get();
    Peer(dlg_).m_notifier = std::move(notes);

    wxUIActionSimulator sim;
    for (const bool elsewhere : {false, true}) {
        Peer(dlg_).m_list.Clear();
        Peer(dlg_).m_list.InsertRow(0, "/v/x.avi");
        wxFrame* other = nullptr;
        if (elsewhere) {  // the user clicks into another window during the run
            other = new wxFrame(nullptr, wxID_ANY, "other", wxPoint(700, 500), wxSize(200, 200));
            other->Show();
            guitest::Yield(10);
            sim.MouseMove(other->GetScreenRect().GetPosition() + wxPoint(100, 100));
            sim.MouseClick();
        } else {
            sim.MouseMove(Peer(dlg_).m_list.Window()->GetScreenRect().GetPosition() + wxPoint(50, 50));
            sim.MouseClick();
        }
        guitest::Yield(10);
        ASSERT_EQ(dlg_->IsActive(), !elsewhere);
        wxTEST_DIALOG(ConvertAll(), AnswerBox(wxID_OK));  // the completion box comes either way
        if (other) other->Destroy();
    }
    EXPECT_EQ(seen->seen, std::vector<wxString>{U("转换完成|0 个文件已转换，1 个失败")});
}
