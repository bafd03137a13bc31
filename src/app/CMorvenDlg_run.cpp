// The conversion run: "立即转换" walks the input list from the top row down, one job per
// row. Each job's worker tells the window the moment its tool ends; timer 1 follows the
// running job through its progress file once a second and looks for the end as well.
// Nothing here sleeps or waits on the window's thread: the next row starts after the
// event that ended the previous one has been handled, and the full bar's pause between
// two rows is a one-shot timer. During a run the same button stops it.
#include <cstring>
#include <wx/button.h>
#include <wx/choice.h>
#include <wx/gauge.h>
#include <wx/msgdlg.h>
#include <wx/textctrl.h>

#include "app/CMorvenDlg.h"
#include "convert/brisk.h"
#include "convert/outcome.h"
#include "convert/run_log.h"
#include "convert/run_naming.h"
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
    if (m_bRunning) {
        AskToStop();
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
    m_bRunning = true;
    EnableEditing(false);
    for (profiles::ParamList list : profiles::kOptionLists) {
        if (list != profiles::kAudioCodec) DeriveOption(list);
    }
    m_progress->SetValue(0);
    m_nRowCount = m_list.Count();
    m_nCurrentRow = 0;
    m_rowOutcomes.assign(static_cast<std::size_t>(m_nRowCount), {});
    m_list.ClearTips();
    RowStart();
    if (!m_bRunning) return;  // the window closed while the overwrite question was open
    m_timer.Start(kPollMilliseconds);
    if (m_pJob == nullptr) CallAfter(&CMorvenDlg::OnRowEnd);  // a row that could not start has ended
}

void CMorvenDlg::RowStart() {
    m_bInRowStart = true;
    const wxString dir = OutputDirEdit()->GetValue();
    const std::string d = platform::ToNarrow(dir);
    const std::string e = convert::OutputExtension(platform::ToNarrow(List(IDC_FORMAT)->GetStringSelection()));
    const std::string in = platform::ToNarrow(m_list.Path(m_nCurrentRow));
    const std::string base = convert::BaseName(in);

    std::string out = convert::OutputPath(d, "", base, e);
    // Never offer to overwrite the input itself, however its path is spelt.
    if (convert::SameFile(out, in)) out = convert::OutputPath(d, convert::kNewPrefix, base, e);
    if (convert::FileExists(out)) {
        wxMessageDialog question(this,
                                 wxString::Format(U("输出目录%s中，已经有%s.%s，是否要覆盖？"), dir,
                                                  platform::FromNarrow(base), platform::FromNarrow(e)),
                                 U("提示"), wxOK | wxCANCEL);
        const int answer = question.ShowModal();
        if (!m_bRunning) {  // the window was closed while the question was open
            m_bInRowStart = false;
            return;
        }
        if (answer != wxID_OK) out = convert::RenamedOutputPath(d, base, e);
    }

    const convert::ComposedCommand command = convert::ComposeCommand(in, CurrentOptions(), out);
    if (!command.ok) {
        // Too long for the tool's command line: this row fails instead of running cut short.
        m_szCommand[0] = '\0';
        EndRow(convert::CommandTooLong(command.error), {in, {}, "not started: " + command.error, {}, {}});
        m_bInRowStart = false;
        return;
    }
    std::memcpy(m_szCommand, command.command.c_str(), command.command.size() + 1);
    const std::string progress = ProgressFile();
    convert::ResetProgress(progress);
    std::string handover = convert::kProgressFileVariable;  // NAME=path for vv.exe's environment
    handover += '=';
    handover += progress;
    // The worker's news of the tool's end reaches the window as an event on its own thread.
    m_pJob = new BriskFFmpeg(m_szCommand, m_szAppDir, {handover}, [this] { CallAfter(&CMorvenDlg::OnRowEnd); });
    m_bInRowStart = false;
}

void CMorvenDlg::StartNextRow() {
    if (!m_bRunning || !m_bRowStartDue) return;  // stopped or closed meanwhile, or already started
    if (m_bAskingStop) return;                   // the answer to the stop question decides
    m_bRowStartDue = false;
    RowStart();
    if (!m_bRunning) return;
    RefreshStatuses(false);
    // The full bar stays for the pause, while the new row runs and the window answers.
    m_pauseTimer.StartOnce(static_cast<int>(m_rowPause.count()));
    if (m_pJob == nullptr) CallAfter(&CMorvenDlg::OnRowEnd);  // a row that could not start has ended
}

void CMorvenDlg::OnPauseEnd(wxTimerEvent&) {
    if (!m_bRunning) return;
    m_progress->SetValue(0);
    RefreshStatuses(false);
}

void CMorvenDlg::OnTimer(wxTimerEvent&) {
    if (!m_bRunning) return;
    // A tick while a row start is due or waits for the overwrite question, or while the
    // stop question is open, only refreshes texts.
    if (!m_bInRowStart && !m_bAskingStop && (m_pJob == nullptr || m_pJob->IsFinished())) {
        AdvanceRun();
        if (!m_bRunning) return;  // the run is complete
    }
    RefreshStatuses(false);
}

void CMorvenDlg::OnRowEnd() {
    // The news may be late: the tick has handled that job already, or the run is over.
    if (!m_bRunning || m_bInRowStart || m_bAskingStop) return;
    if (m_pJob != nullptr && !m_pJob->IsFinished()) return;
    AdvanceRun();
    if (m_bRunning) RefreshStatuses(false);
}

void CMorvenDlg::AdvanceRun() {
    if (m_pJob != nullptr) {
        const JobOutcome outcome = m_pJob->Outcome();
        delete m_pJob;
        m_pJob = nullptr;
        EndRow(convert::DescribeOutcome(outcome), LogEntryOf(outcome));
    }
    if (m_nCurrentRow < m_nRowCount - 1) {
        m_pauseTimer.Stop();  // a pause under way gives way to the next row's own
        m_progress->SetValue(1000);
        ++m_nCurrentRow;
        m_bInRowStart = true;
        m_bRowStartDue = true;
        CallAfter(&CMorvenDlg::StartNextRow);
    } else {
        CompleteRun();
    }
}

void CMorvenDlg::CompleteRun() {
    EndRunState();
    m_progress->SetValue(1000);
    RefreshStatuses(true);
    const auto failed = std::count_if(m_rowOutcomes.begin(), m_rowOutcomes.end(),
                                      [](const convert::RowOutcome& o) { return o.failed; });
    // A user who went elsewhere during a long run hears of its end from the desktop.
    if (!IsActive()) {
        m_notifier->Notify(this, U("转换完成"),
                           wxString::Format(U("%d 个文件已转换，%d 个失败"), m_nRowCount - static_cast<int>(failed),
                                            static_cast<int>(failed)));
    }
    std::vector<convert::FinishedRow> rows;
    for (int i = 0; i < m_nRowCount; ++i) {
        rows.push_back({platform::ToNarrow(m_list.Path(i)), m_rowOutcomes[static_cast<std::size_t>(i)]});
    }
    // Long names and reasons are broken into lines, so that the box fits on the screen.
    wxMessageBox(platform::FromNarrow(platform::WrapLongLines(convert::CompletionText(rows, convert::DefaultLogPath()))),
                 U("转换完成"), wxOK, nullptr);
    m_progress->SetValue(1000);
}

void CMorvenDlg::AskToStop() {
    m_bAskingStop = true;
    wxMessageDialog question(this, U("是否停止转换？"), U("提示"), wxOK | wxCANCEL);
    const int answer = question.ShowModal();
    m_bAskingStop = false;
    if (!m_bRunning) return;  // the window was closed while the question was open
    if (answer == wxID_OK) {
        StopRun();
        return;
    }
    // The run goes on as if nothing had happened: what came meanwhile is taken up now.
    CallAfter(m_bRowStartDue ? &CMorvenDlg::StartNextRow : &CMorvenDlg::OnRowEnd);
}

void CMorvenDlg::StopRun() {
    const auto stoppedBeforeStart = [this] {
        EndRow(convert::StoppedByUser(),
               {platform::ToNarrow(m_list.Path(m_nCurrentRow)), {}, "stopped by the user before it started", {}, {}});
    };
    bool rowEnded = false;  // the current row ended by itself before the stop
    if (m_pJob != nullptr) {
        m_pJob->Stop(BriskFFmpeg::StopKind::DiscardOutput);  // nothing to do if it has finished
        const JobOutcome outcome = m_pJob->Outcome();
        delete m_pJob;
        m_pJob = nullptr;
        rowEnded = outcome.kind != JobOutcome::Kind::Discarded;
        EndRow(rowEnded ? convert::DescribeOutcome(outcome) : convert::StoppedByUser(), LogEntryOf(outcome));
    } else if (m_bInRowStart) {
        stoppedBeforeStart();  // its start was due: it never began
    } else {
        rowEnded = true;  // it could not start, and has its outcome already
    }
    if (rowEnded) {
        // The stop came while the row was ending: it keeps what it achieved, and the run
        // stops at the next row, or is complete when there is none.
        if (m_nCurrentRow == m_nRowCount - 1) {
            CompleteRun();
            return;
        }
        ++m_nCurrentRow;
        stoppedBeforeStart();
    }
    EndRunState();
    RefreshStatuses(false);
}

void CMorvenDlg::EndRunState() {
    m_bRunning = false;
    m_bInRowStart = false;
    m_bRowStartDue = false;
    EnableEditing(true);
    m_timer.Stop();
    m_pauseTimer.Stop();
}

convert::LogEntry CMorvenDlg::LogEntryOf(const JobOutcome& outcome) const {
    std::string result;
    switch (outcome.kind) {
        case JobOutcome::Kind::Exited: result = "exit status " + std::to_string(outcome.code); break;
        case JobOutcome::Kind::Signalled: result = "ended by signal " + std::to_string(outcome.code); break;
        case JobOutcome::Kind::StartFailed: result = "not started: " + outcome.reason; break;
        case JobOutcome::Kind::Discarded: result = "stopped by the user; the unfinished output was discarded"; break;
        case JobOutcome::Kind::Terminated:
        case JobOutcome::Kind::Running: result = m_closeReason; break;
    }
    return {platform::ToNarrow(m_list.Path(m_nCurrentRow)), m_szCommand, result, outcome.elapsed, outcome.outputTail};
}

void CMorvenDlg::EndRow(const convert::RowOutcome& outcome, const convert::LogEntry& entry) {
    const auto row = static_cast<std::size_t>(m_nCurrentRow);
    if (row < m_rowOutcomes.size()) m_rowOutcomes[row] = outcome;
    m_list.SetTip(m_nCurrentRow, platform::FromNarrow(outcome.Tip()));
    convert::AppendToLog(convert::DefaultLogPath(), entry);  // a log that cannot be written is skipped
}

std::string CMorvenDlg::ProgressFile() const {
    // Without a folder of its own the copy falls back on progress.txt beside vv.exe.
    return convert::ProgressFilePath(m_runFolder.Path().empty() ? m_szAppDir : m_runFolder.Path());
}

void CMorvenDlg::RefreshStatuses(bool complete) {
    for (int i = 0; i < m_nRowCount && i < m_list.Count(); ++i) {
        const convert::RowOutcome& outcome = m_rowOutcomes[static_cast<std::size_t>(i)];
        const convert::RowState state =
            convert::StateOfRow(i, m_nCurrentRow, complete, outcome.failed, outcome.stopped);
        int v = 0;
        if (state == convert::RowState::Running) {
            v = convert::ReadProgress(ProgressFile());
            if (convert::ProgressInRange(v) && v > m_progress->GetValue()) m_progress->SetValue(v);
        }
        m_list.SetStatus(i, platform::FromNarrow(convert::StatusText(state, v)));
    }
}
