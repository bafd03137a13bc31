// "立即转换" end to end in the Windows build, under Wine: the real window and the real
// vv.exe on clips that tests/windows/make_clips.sh made in WINE_RUN_DIR beforehand; the
// outputs are probed afterwards with the Linux ffprobe (tests/windows/probe_outputs.sh).
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <wx/evtloop.h>
#include <wx/listctrl.h>
#include <wx/msgdlg.h>
#include <wx/testing.h>
#include <wx/textctrl.h>

#include "../helpers/dialog_peer.h"
#include "../helpers/gui_util.h"
#include "../helpers/processes.h"
#include "app/CMorvenDlg.h"
#include "convert/brisk.h"
#include "convert/contract.h"
#include "platform/app_path.h"
#include "platform/files.h"
#include "platform/narrow.h"
#include "platform/utf8_path.h"

using namespace std::chrono_literals;

namespace {


class WindowsRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        dlg_ = new CMorvenDlg();
        dlg_->Show();
        guitest::Yield();
    }
    void TearDown() override {
        dlg_->Close();
        dlg_->Destroy();
        guitest::Yield();
    }

    static std::string In(const std::string& name) { return platform::JoinPath(kRunDir + "\\in", name); }
    // An empty output folder of its own.
    void OutputTo(const std::string& name) {
        const std::string dir = platform::JoinPath(kRunDir + "\\out", name);
        std::filesystem::create_directories(platform::PathFromUtf8(dir));
        Peer(dlg_).OutputDirEdit()->SetValue(platform::FromNarrow(dir));
    }
    // The rows, top first, as the add button leaves them (it adds on top).
    void List(const std::vector<std::string>& names) {
        Peer(dlg_).m_list.Clear();
        for (auto it = names.rbegin(); it != names.rend(); ++it) {
            Peer(dlg_).m_list.InsertRow(0, platform::FromNarrow(In(*it)));
        }
    }
    std::vector<wxString> Statuses() const { return Peer(dlg_).Statuses(); }
    bool Running() const { return Peer(dlg_).m_timer.IsRunning() || Peer(dlg_).Job() != nullptr; }

    static inline const std::string kRunDir = WINE_RUN_DIR;
    // The window's messages (its timer's among them) are dispatched by the active event
    // loop when the test yields; the tests run no main loop, so one is made active here.
    wxGUIEventLoop loop_;
    wxEventLoopActivator activeLoop_{&loop_};
    CMorvenDlg* dlg_ = nullptr;
};

}  // namespace

TEST_F(WindowsRunTest, ConvertsTwoFilesFromTheListInEveryFormat) {
    List({"a.avi", "视频 b.avi"});
    for (std::string_view format : profiles::kFormats) {
        SCOPED_TRACE(std::string(format));
        OutputTo(std::string(format));
        guitest::Choose(Peer(dlg_).List(IDC_FORMAT), platform::FromNarrow(format));
        wxTEST_DIALOG(
            {
                guitest::Press(dlg_, IDC_CONVERT);
                ASSERT_TRUE(guitest::WaitUntil([&] { return !Running(); }, 120s));
            },
            wxExpectModal<wxMessageDialog>(wxID_OK).Describe("the completion box"));
        EXPECT_EQ(Statuses(), (std::vector<wxString>(2, U("已完成"))));
    }
}

TEST_F(WindowsRunTest, StoppingOrClosingTheWindowMidRunLeavesNoConverter) {
    List({"long.avi"});
    guitest::Choose(Peer(dlg_).List(IDC_FORMAT), "3gpp2");
    auto startConverter = [&] {
        guitest::Press(dlg_, IDC_CONVERT);
        pid_t tool = -1;
        EXPECT_TRUE(
            guitest::WaitUntil([&] { return Peer(dlg_).Job() && (tool = Peer(dlg_).Job()->ProcessId()) > 0; }, 30s));
        // Well into the conversion: the converter has run for two seconds.
        guitest::WaitUntil([] { return false; }, 2s);
        EXPECT_EQ(testproc::Leftovers("vv.exe"), std::vector<pid_t>{tool});
        return tool;
    };

    // Stopped with the button: vv.exe throws its file away; the file that stood at the
    // output stays as it was, and nothing half-written is left beside it.
    OutputTo("stopped");
    const std::string dir = platform::JoinPath(kRunDir + "\\out", "stopped");
    const std::string earlier = "a file that stood there before";
    std::ofstream(platform::PathFromUtf8(platform::JoinPath(dir, "long.3g2")), std::ios::binary) << earlier;
    pid_t tool = -1;
    wxTEST_DIALOG(
        {
            tool = startConverter();
            guitest::Press(dlg_, IDC_CONVERT);
        },
        wxExpectModal<wxMessageDialog>(wxID_OK).Describe("the overwrite question"),
        wxExpectModal<wxMessageDialog>(wxID_OK).Describe("the stop question"));
    // The stop returns at once; the row ends when its converter has.
    EXPECT_TRUE(guitest::WaitUntil([&] { return !Running(); }, 20s));
    EXPECT_TRUE(testproc::Gone(tool));
    EXPECT_EQ(testproc::Leftovers("vv.exe"), std::vector<pid_t>{});
    EXPECT_EQ(Statuses(), std::vector<wxString>{U("已停止")});
    std::ifstream kept(platform::PathFromUtf8(platform::JoinPath(dir, "long.3g2")), std::ios::binary);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(kept)), {}), earlier);
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(platform::PathFromUtf8(dir))) {
        files.push_back(platform::Utf8(entry.path().filename()));
    }
    EXPECT_EQ(files, std::vector<std::string>{"long.3g2"});

    // Closed: vv.exe finishes a playable file (tests/windows/probe_outputs.sh probes it).
    OutputTo("closed");
    tool = startConverter();
    dlg_->Close();
    EXPECT_EQ(Peer(dlg_).Job(), nullptr);
    EXPECT_TRUE(testproc::Gone(tool));
    EXPECT_EQ(testproc::Leftovers("vv.exe"), std::vector<pid_t>{});
}
