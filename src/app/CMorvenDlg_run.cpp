// The conversion run as the window shows it: "立即转换" starts the run (convert::
// RunController) over the input list, timer 1 ticks it once a second, and the window
// answers for the run through RunWindow: the rows and choices, the overwrite question,
// the statuses, the bar and the completion box. During a run the same button stops it.
// Nothing here sleeps or waits on the window's thread.
#include <algorithm>
#include <thread>
#include <wx/button.h>
#include <wx/choice.h>
#include <wx/gauge.h>
#include <wx/msgdlg.h>
#include <wx/textctrl.h>

#include "app/CMorvenDlg.h"
#include "convert/outcome.h"
#include "convert/run_controller.h"
#include "convert/run_log.h"
#include "convert/run_naming.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/narrow.h"
#include "platform/wrap_text.h"

namespace {

wxString U(const char* utf8) { return wxString::FromUTF8(utf8); }

constexpr int kPollMilliseconds = 1000;
constexpr const char* kConvertLabel = "立即转换";
constexpr const char* kStopLabel = "停止转换";

// The editing controls, in the order a run disables them. The last one, "立即转换",
// stays enabled during a run as its stop button.
constexpr int kEditingControls[] = {
    IDC_OUTPUT_DIR,   IDC_FORMAT,      IDC_VIDEO_CODEC,   IDC_VIDEO_BITRATE, IDC_FRAME_SIZE,     IDC_FRAME_RATE,
    IDC_ASPECT_RATIO, IDC_AUDIO_CODEC, IDC_AUDIO_BITRATE, IDC_SAMPLE_RATE,   IDC_CHANNELS,       IDC_ADD,
    IDC_DELETE,       IDC_CLEAR,       IDC_MOVE_UP,       IDC_MOVE_DOWN,     IDC_SET_OUTPUT_DIR, IDC_CONVERT};

}  // namespace

class CMorvenDlg::RunWindow final : public convert::RunView {
public:
    explicit RunWindow(CMorvenDlg& dlg) : d_(dlg) {}

    std::string RowPath(int row) const override { return platform::ToNarrow(d_.m_list.Path(row)); }
    std::string OutputDir() const override { return platform::ToNarrow(d_.OutputDirEdit()->GetValue()); }
    std::string FormatLabel() const override {
        return platform::ToNarrow(d_.List(IDC_FORMAT)->GetStringSelection());
    }
    convert::OptionSlots Options() const override { return d_.CurrentOptions(); }
    bool AskOverwrite(const std::string& dir, const std::string& base, const std::string& ext) override {
        wxMessageDialog question(&d_,
                                 wxString::Format(U("输出目录%s中，已经有%s.%s，是否要覆盖？"), platform::FromNarrow(dir),
                                                  platform::FromNarrow(base), platform::FromNarrow(ext)),
                                 U("提示"), wxOK | wxCANCEL);
        return question.ShowModal() == wxID_OK;
    }
    void ShowStatus(int row, const std::string& status) override {
        if (row < d_.m_list.Count()) d_.m_list.SetStatus(row, platform::FromNarrow(status));
    }
    void ShowTip(int row, const std::string& tip) override {
        if (row < d_.m_list.Count()) d_.m_list.SetTip(row, platform::FromNarrow(tip));
    }
    int Bar() const override { return d_.m_progress->GetValue(); }
    void SetBar(int value) override { d_.m_progress->SetValue(value); }
    void Later(std::function<void()> step) override { d_.CallAfter(std::move(step)); }
    void StartPause(std::chrono::milliseconds length) override {
        d_.m_pauseTimer.StartOnce(static_cast<int>(length.count()));
    }
    void StopPause() override { d_.m_pauseTimer.Stop(); }
    void RunOver(bool complete, const std::vector<convert::FinishedRow>& rows) override {
        d_.m_timer.Stop();
        d_.EnableEditing(true);
        if (!complete) return;
        const auto failed = std::count_if(rows.begin(), rows.end(),
                                          [](const convert::FinishedRow& r) { return r.outcome.failed; });
        const int done = static_cast<int>(rows.size()) - static_cast<int>(failed);
        // A user who went elsewhere during a long run hears of its end from the desktop.
        if (!d_.IsActive()) {
            d_.m_notifier->Notify(&d_, U("转换完成"),
                                  wxString::Format(U("%d 个文件已转换，%d 个失败"), done, static_cast<int>(failed)));
        }
        // Long names and reasons are broken into lines, so that the box fits on the screen.
        wxMessageBox(
            platform::FromNarrow(platform::WrapLongLines(convert::CompletionText(rows, convert::DefaultLogPath()))),
            U("转换完成"), wxOK, nullptr);
        d_.m_progress->SetValue(1000);
    }

private:
    CMorvenDlg& d_;
};

std::unique_ptr<convert::RunView> CMorvenDlg::MakeRunWindow() { return std::make_unique<RunWindow>(*this); }

void CMorvenDlg::EnableEditing(bool enable) {
    if (!enable) {
        // A disabled control keeps no keyboard focus: the focus goes to the list view, which
        // stays enabled, so that keys (Escape) still reach the window during the run.
        wxWindow* focus = FindFocus();
        m_focusBeforeRun = nullptr;
        for (int id : kEditingControls) {
            wxWindow* control = FindWindow(id);
            if (id == IDC_CONVERT) continue;  // stays enabled: it keeps the focus it has
            if (focus != nullptr && (focus == control || control->IsDescendant(focus))) m_focusBeforeRun = control;
        }
        if (m_focusBeforeRun != nullptr) m_list.Window()->SetFocus();
        for (int id : kEditingControls) {
            if (id != IDC_CONVERT) FindWindow(id)->Enable(false);
        }
        FindWindow(IDC_CONVERT)->SetLabel(U(kStopLabel));
        return;
    }
    // The output folder first, then the list view (never disabled), then the rest.
    FindWindow(kEditingControls[0])->Enable();
    m_list.Window()->Enable();
    for (std::size_t i = 1; i < std::size(kEditingControls); ++i) FindWindow(kEditingControls[i])->Enable();
    FindWindow(IDC_CONVERT)->SetLabel(U(kConvertLabel));
    // The control the run took the focus from gets it back, unless the user moved it.
    if (m_focusBeforeRun != nullptr &&
        (FindFocus() == nullptr || m_list.Window()->IsDescendant(FindFocus()) || FindFocus() == m_list.Window())) {
        m_focusBeforeRun->SetFocus();
    }
    m_focusBeforeRun = nullptr;
}

void CMorvenDlg::OnConvert(wxCommandEvent&) {
    if (m_run->Running()) {
        if (m_run->GetState() == convert::RunController::State::kRunning) AskToStop();
        return;
    }
    if (m_list.Count() == 0) {
        wxMessageBox(U("请添加要转换的视频"), U("提示信息"), wxOK, this);
        return;
    }
    // A folder that cannot take the outputs would fail every row: say so before starting.
    const wxString dir = OutputDirEdit()->GetValue();
    if (const std::string problem = convert::OutputFolderProblem(platform::ToNarrow(dir)); !problem.empty()) {
        wxMessageBox(wxString::Format(U("输出目录“%s”%s，请重新选择输出目录。"), dir, U(problem.c_str())),
                     U("提示信息"), wxOK, this);
        return;
    }

    // What killed converters of this folder left behind goes before new work begins.
    platform::RemoveLeftPartFiles(platform::ToNarrow(dir));
    EnableEditing(false);
    for (profiles::ParamList list : profiles::kOptionLists) {
        if (list != profiles::kAudioCodec) DeriveOption(list);
    }
    convert::RunSettings& settings = m_run->Settings();
    settings.toolDir = m_szAppDir;
    // Without a folder of its own the copy falls back on progress.txt beside vv.exe.
    settings.progressDir = m_runFolder.Path().empty() ? m_szAppDir : m_runFolder.Path();
    settings.cores = std::max(1u, std::thread::hardware_concurrency());
    settings.rowsAtOnce = convert::RowsAtOnce(platform::EnvironmentValue("TOLVANI_JOBS"), settings.cores);
    m_list.ClearTips();
    m_timer.Start(kPollMilliseconds);
    m_run->Start(m_list.Count());
}

void CMorvenDlg::OnPauseEnd(wxTimerEvent&) { m_run->PauseOver(); }

void CMorvenDlg::OnTimer(wxTimerEvent&) { m_run->Tick(); }

void CMorvenDlg::AskToStop() {
    m_run->BeginStopQuestion();
    wxMessageDialog question(this, U("是否停止转换？"), U("提示"), wxOK | wxCANCEL);
    const bool stop = question.ShowModal() == wxID_OK;
    m_run->EndStopQuestion(stop);
}
