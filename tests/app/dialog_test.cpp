// The main window: its start-up state, the Enter filter and the ways it closes.
#include <filesystem>
#include <fstream>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <wx/dataview.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>
#include <wx/button.h>
#include <wx/choice.h>
#include <wx/gauge.h>
#include <wx/listctrl.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/uiaction.h>

#include "../helpers/gui_util.h"
#include "../helpers/dialog_peer.h"
#include "app/CMorvenDlg.h"
#include "convert/brisk.h"
#include "platform/app_path.h"
#include "platform/narrow.h"
#include "platform/process.h"
#include "../helpers/temp_folder.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {


struct Expected {
    int id;
    const char* kind;  // wx class name
    const char* caption;
    int x, y, w, h;  // dialog units
};

// Template 102 in template (tab) order, labels left out.
const Expected kControls[] = {
    {1000, "wxButton", "添加", 8, 194, 41, 15},       {1001, "wxButton", "删除", 49, 194, 42, 15},
    {1002, "wxButton", "清空", 91, 194, 43, 15},      {1003, "wxButton", "上移", 133, 194, 42, 15},
    {1004, "wxButton", "下移", 175, 194, 43, 15},     {1005, "wxButton", "设置输出目录", 155, 226, 65, 17},
    {1006, "wxButton", "立即转换", 301, 226, 62, 17}, {1007, "wxTextCtrl", "", 7, 227, 144, 15},
    {1008, "wxGauge", "", 43, 247, 402, 6},           {1009, "wxChoice", "", 230, 89, 217, 0},
    {1010, "wxChoice", "", 260, 122, 74, 0},          {1011, "wxChoice", "", 260, 136, 74, 0},
    {1012, "wxChoice", "", 260, 151, 74, 0},          {1013, "wxChoice", "", 372, 122, 75, 0},
    {1014, "wxChoice", "", 372, 136, 75, 0},          {1017, "wxChoice", "", 372, 181, 75, 0},
    {1018, "wxChoice", "", 372, 195, 75, 0},          {1016, "wxChoice", "", 260, 195, 74, 0},
    {1015, "wxChoice", "", 260, 181, 74, 0},          {1019, "wxDataViewListCtrl", "", 8, 89, 210, 102},
    {1023, "CControlButton", "关于", 41, 2, 33, 12},
};

const char* const kLabels[] = {
    "第一步：加入视频文件",
    "第二步：选择输出格式",
    "视频参数设置",
    "视频编码",
    "画面质量",
    "视频大小",
    "视频帧率",
    "屏幕比例",
    "第三步：选择输出目录",
    "第四步：开始转换",
    "音频编码",
    "声音频率",
    "声音质量",
    "音频声道",
    "音频参数设置",
    "进度显示：",
};

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        dlg_ = std::make_unique<CMorvenDlg>();
        dlg_->Show();
        guitest::Yield();
    }
    void TearDown() override {
        dlg_->Destroy();
        dlg_.release();  // Destroy() frees it once pending events are done
        guitest::Yield();
    }
    std::unique_ptr<CMorvenDlg> dlg_;
};

}  // namespace

TEST_F(DialogTest, StartsWithTheTemplatesControlsInPlace) {
    CMorvenDlg& d = *dlg_;
    EXPECT_EQ(d.GetTitle(), "Tolvani 10.0.2");
    EXPECT_EQ(d.GetClientSize(), d.ConvertDialogToPixels(wxSize(455, 260)));

    std::vector<int> tabOrder;
    for (wxWindow* child : d.GetChildren()) {
        if (child->IsShown() && child->GetId() >= 1000 && child->GetId() <= 1023) tabOrder.push_back(child->GetId());
    }
    std::vector<int> expectedOrder;
    for (const Expected& e : kControls) {
        SCOPED_TRACE(e.id);
        expectedOrder.push_back(e.id);
        wxWindow* w = d.FindWindow(e.id);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->GetClassInfo()->GetClassName(), wxString(e.kind));
        EXPECT_TRUE(w->IsShown());
        EXPECT_EQ(w->GetPosition(), d.ConvertDialogToPixels(wxPoint(e.x, e.y)));
        const wxSize size = d.ConvertDialogToPixels(wxSize(e.w, e.h));
        EXPECT_EQ(w->GetSize().x, size.x);
        if (e.h > 0) {
            EXPECT_EQ(w->GetSize().y, size.y);
        }
        if (auto* b = dynamic_cast<wxButton*>(w)) {
            EXPECT_EQ(b->GetLabel(), U(e.caption));
        }
    }
    EXPECT_EQ(tabOrder, expectedOrder);

    // A drop-down list keeps its natural height, not the height of its opened list.
    wxChoice* format = Peer(d).List(IDC_FORMAT);
    EXPECT_LT(format->GetSize().y, d.ConvertDialogToPixels(wxSize(0, 97)).y);
    EXPECT_GT(format->GetSize().y, 10);

    // The title-bar buttons exist but never show.
    ASSERT_NE(d.FindWindow(IDC_MINIMISE), nullptr);
    ASSERT_NE(d.FindWindow(IDC_CLOSE), nullptr);
    EXPECT_FALSE(d.FindWindow(IDC_MINIMISE)->IsShown());
    EXPECT_FALSE(d.FindWindow(IDC_CLOSE)->IsShown());
    EXPECT_NE(d.FindWindow(IDC_BANNER), nullptr);

    std::vector<wxString> labels;
    for (wxWindow* child : d.GetChildren()) {
        if (auto* s = dynamic_cast<wxStaticText*>(child)) labels.push_back(s->GetLabel());
    }
    ASSERT_EQ(labels.size(), std::size(kLabels));
    for (std::size_t i = 0; i < labels.size(); ++i) EXPECT_EQ(labels[i], U(kLabels[i]));
}

TEST_F(DialogTest, InitialStateIsReadyForAConversion) {
    CMorvenDlg& d = *dlg_;
    EXPECT_EQ(Peer(d).Job(), nullptr);
    EXPECT_EQ(Peer(d).m_nSelectedRow, -1);
    EXPECT_EQ(Peer(d).OutputDirEdit()->GetValue(), wxGetHomeDir());

    EXPECT_EQ(Peer(d).m_list.ColumnHeading(0), U("文件名"));
    EXPECT_EQ(Peer(d).m_list.ColumnWidth(0), 290);
    EXPECT_EQ(Peer(d).m_list.ColumnHeading(1), U("状态显示"));
    EXPECT_EQ(Peer(d).m_list.ColumnWidth(1), 74);
    EXPECT_EQ(Peer(d).m_list.Count(), 0);
    EXPECT_TRUE(Peer(d).m_list.Window()->HasFlag(wxDV_MULTIPLE));  // several rows may be selected
    EXPECT_TRUE(Peer(d).m_list.Window()->HasFlag(wxDV_HORIZ_RULES | wxDV_VERT_RULES));

    wxChoice* format = Peer(d).List(IDC_FORMAT);
    const wxArrayString formats = format->GetStrings();
    EXPECT_EQ(std::vector<wxString>(formats.begin(), formats.end()),
              (std::vector<wxString>{"3gp", "3gpp2", "mp4", "avi", "flv"}));
    EXPECT_EQ(format->GetStringSelection(), "3gp");

    EXPECT_EQ(Peer(d).m_progress->GetRange(), 1000);
    EXPECT_EQ(Peer(d).m_progress->GetValue(), 0);

    const std::string self = platform::ExecutablePath();
    EXPECT_EQ(Peer(d).m_szAppDir, self.substr(0, self.rfind('/')));
    EXPECT_FALSE(Peer(d).m_szAppDir.ends_with('/'));
}

TEST_F(DialogTest, EnterDoesNothingAnywhereInTheWindow) {
    CMorvenDlg& d = *dlg_;
    int presses = 0;
    d.Bind(
        wxEVT_BUTTON, [&](wxCommandEvent&) { ++presses; }, IDC_ADD);
    d.Raise();
    wxUIActionSimulator sim;
    sim.MouseMove(d.GetScreenRect().GetPosition() + wxPoint(20, 20));

    wxTextCtrl* edit = Peer(d).OutputDirEdit();
    edit->SetValue("/some/dir");
    edit->SetFocus();
    guitest::Yield();
    sim.Char(WXK_RETURN);
    guitest::Yield(20);
    EXPECT_EQ(edit->GetValue(), "/some/dir");

    d.FindWindow(IDC_ADD)->SetFocus();
    guitest::Yield();
    sim.Char(WXK_RETURN);
    guitest::Yield(20);
    EXPECT_EQ(presses, 0);
    EXPECT_TRUE(d.IsShown());

    // The filter itself: Enter aimed at any control is consumed by the window.
    for (int id : {IDC_OUTPUT_DIR, IDC_CONVERT, IDC_FORMAT, IDC_INPUT_LIST}) {
        wxKeyEvent key(wxEVT_CHAR_HOOK);
        key.m_keyCode = WXK_RETURN;
        key.SetEventObject(d.FindWindow(id));
        key.SetId(id);
        d.GetEventHandler()->ProcessEvent(key);
        EXPECT_FALSE(key.GetSkipped()) << id;
    }
}

TEST(DialogClose, CaptionCloseAndEscapeEndTheModalRun) {
    {
        CMorvenDlg d;
        d.CallAfter([&d] { d.Close(); });
        EXPECT_EQ(d.ShowModal(), wxID_CANCEL);
    }
    {
        CMorvenDlg d;
        d.CallAfter([&d] {
            // Without a window manager the keyboard goes to the window under the pointer.
            wxUIActionSimulator sim;
            sim.MouseMove(d.GetScreenRect().GetPosition() + wxPoint(20, 20));
            d.Raise();
            d.FindWindow(IDC_OUTPUT_DIR)->SetFocus();
            guitest::Yield();
            sim.Char(WXK_ESCAPE);
        });
        // A safety net so that a broken Escape fails the test instead of hanging it.
        wxTimer guard;
        guard.Bind(wxEVT_TIMER, [&d](wxTimerEvent&) { d.EndModal(wxID_ABORT); });
        guard.StartOnce(5000);
        EXPECT_EQ(d.ShowModal(), wxID_CANCEL);
    }
}

TEST(DialogClose, EscapeAfterAClickOnConvertEndsTheConverterAndTheWindow) {
    // A user's way: click "立即转换" with the pointer, then press Escape on the keyboard.
    const testutil::TempFolder dir("tolvani-close");
    fs::copy_file(FAKE_TOOL, dir / "vv.exe");  // runs until asked to stop, for an input named "slow"
    // The run log stays with the test.
    ::setenv("XDG_STATE_HOME", (dir / "state").c_str(), 1);

    pid_t tool = 0;
    {
        CMorvenDlg d;
        d.CallAfter([&] {
            Peer(d).m_szAppDir = dir.string();
            Peer(d).OutputDirEdit()->SetValue(platform::FromNarrow(dir.string()));
            Peer(d).m_list.InsertRow(0, platform::FromNarrow((dir / "slow.avi").string()));
            d.Raise();
            guitest::Yield();
            wxUIActionSimulator sim;
            const wxRect button = d.FindWindow(IDC_CONVERT)->GetScreenRect();
            sim.MouseMove(button.GetPosition() + wxPoint(button.width / 2, button.height / 2));
            guitest::Yield();
            sim.MouseClick();
            ASSERT_TRUE(
                guitest::WaitUntil([&] { return Peer(d).Job() && (tool = Peer(d).Job()->ProcessId()) > 0; }, 10s));
            sim.Char(WXK_ESCAPE);
        });
        // A safety net so that a lost Escape fails the test instead of hanging it.
        wxTimer guard;
        guard.Bind(wxEVT_TIMER, [&d](wxTimerEvent&) { d.EndModal(wxID_ABORT); });
        guard.StartOnce(10000);
        EXPECT_EQ(d.ShowModal(), wxID_CANCEL);
        EXPECT_EQ(Peer(d).Job(), nullptr);
    }
    ASSERT_GT(tool, 0);
    EXPECT_TRUE(::kill(tool, 0) != 0 && errno == ESRCH);
    // The row the close ended is in the log.
    std::ifstream log(dir / "state" / "tolvani" / "tolvani.log");
    const std::string text((std::istreambuf_iterator<char>(log)), {});
    EXPECT_NE(text.find("slow.avi\n"), std::string::npos) << text;
    EXPECT_NE(text.find("  result: stopped when the window closed, "), std::string::npos) << text;
}

// The installed program as a user's session starts and ends it.
TEST(ProgramStart, NamesLikeToolkitOptionsAreFilesAndEndRequestsCloseTheWindow) {
    const testutil::TempFolder dir("tolvani-start");
    const fs::path run = dir / "run";
    fs::create_directories(run);
    const std::vector<std::string> environment = {"XDG_RUNTIME_DIR=" + run.string(),
                                                  "XDG_STATE_HOME=" + (dir / "state").string()};
    // Progress folders: one whose copy was killed (its lock free), one of a copy that runs
    // where its process id is not seen (another process-id namespace; it holds its lock).
    const fs::path killed = run / "tolvani-999999-abcdef", running = run / "tolvani-999998-runnin";
    fs::create_directories(killed);
    fs::create_directories(running);
    // As a copy makes its folder: the user's own, for the user alone.
    fs::permissions(killed, fs::perms::owner_all);
    fs::permissions(running, fs::perms::owner_all);
    std::ofstream(killed / ".owner");
    const int held = ::open((running / ".owner").c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    const auto ownFolder = [&](pid_t pid) {
        for (const auto& entry : fs::directory_iterator(run)) {
            if (entry.path().filename().string().starts_with("tolvani-" + std::to_string(pid) + "-")) return true;
        }
        return false;
    };
    const auto start = [&](std::vector<std::string> argv) {
        argv.insert(argv.begin(), "tolvani");
        platform::StartedProcess p = platform::StartHidden(TOLVANI_EXE, argv, environment);
        EXPECT_GT(p.pid, 0) << p.error;
        // Its own folder appears once the window is under way.
        EXPECT_TRUE(guitest::WaitUntil([&] { return p.pid > 0 && ownFolder(p.pid); }, 20s));
        return p;
    };

    // GTK's own options would make these unable to start (no such display) or take a name:
    // here they are file names, listed or reported as any other.
    platform::StartedProcess p = start({"--display=nowhere:0", "--name=x.avi", "--", "--"});
    EXPECT_FALSE(fs::exists(killed));
    EXPECT_TRUE(fs::exists(running));
    // SIGTERM closes the window, with the message box about the names still open.
    ::kill(p.pid, SIGTERM);
    platform::ProcessEnd end = platform::WaitForEnd(p);
    EXPECT_FALSE(end.signalled);
    EXPECT_EQ(end.code, 0) << end.outputTail;
    EXPECT_FALSE(ownFolder(p.pid));
    platform::ReapGroup(p);

    // Killed outright: its folder is left, and the next start removes it.
    p = start({});
    const pid_t first = p.pid;
    ::kill(p.pid, SIGKILL);
    platform::WaitForEnd(p);
    platform::ReapGroup(p);
    EXPECT_TRUE(ownFolder(first));
    p = start({});
    EXPECT_FALSE(ownFolder(first));
    ::kill(p.pid, SIGHUP);
    end = platform::WaitForEnd(p);
    EXPECT_EQ(end.code, 0) << end.outputTail;
    platform::ReapGroup(p);

    EXPECT_TRUE(fs::exists(running));
    ::close(held);
}
