#include "app/CMorvenDlg.h"

#include <wx/button.h>
#include <wx/choice.h>
#include <wx/gauge.h>
#include <wx/notifmsg.h>
#include <wx/stdpaths.h>
#include <wx/textctrl.h>
#include <wx/utils.h>
#include <wx/xrc/xmlres.h>

#include "app/ui_init.h"
#include "convert/brisk.h"
#include "platform/app_path.h"
#include "platform/narrow.h"
#include "skin/CControlButton.h"
#include "skin/paint.h"
#include "skin/pictures.h"

namespace {

// The desktop's own notification.
class DesktopNotifier : public RunEndNotifier {
public:
    void Notify(wxWindow* window, const wxString& title, const wxString& message) override {
        wxNotificationMessage note(title, message, window);
        note.Show();
    }
};

// Looks up a control of the loaded template by id; the template always has it.
template <typename T>
T* Bound(wxWindow* parent, int id) {
    T* control = dynamic_cast<T*>(parent->FindWindow(id));
    wxASSERT_MSG(control, wxString::Format("control %d missing from template 102", id));
    return control;
}

}  // namespace

// clang-format off
wxBEGIN_EVENT_TABLE(CMorvenDlg, skin::SkinnedDialog)
    EVT_INIT_DIALOG(CMorvenDlg::OnInitDialog)
    EVT_PAINT(CMorvenDlg::OnPaint)
    EVT_CHAR_HOOK(CMorvenDlg::OnCharHook)
    EVT_CLOSE(CMorvenDlg::OnClose)
    EVT_BUTTON(IDC_CONVERT, CMorvenDlg::OnConvert)
    EVT_BUTTON(IDC_ADD, CMorvenDlg::OnAdd)
    EVT_BUTTON(IDC_DELETE, CMorvenDlg::OnDelete)
    EVT_BUTTON(IDC_SET_OUTPUT_DIR, CMorvenDlg::OnSetOutputDir)
    EVT_BUTTON(IDC_CLEAR, CMorvenDlg::OnClear)
    EVT_BUTTON(IDC_ABOUT, CMorvenDlg::OnAbout)
    EVT_BUTTON(IDC_MINIMISE, CMorvenDlg::OnMinimiseButton)
    EVT_BUTTON(IDC_CLOSE, CMorvenDlg::OnCloseButton)
    EVT_BUTTON(IDC_MOVE_UP, CMorvenDlg::OnMoveUp)
    EVT_BUTTON(IDC_MOVE_DOWN, CMorvenDlg::OnMoveDown)
    EVT_TIMER(kTimerId, CMorvenDlg::OnTimer)
    EVT_TIMER(kPauseTimerId, CMorvenDlg::OnPauseEnd)
    EVT_CHOICE(IDC_FORMAT, CMorvenDlg::OnSelchangeFormat)
    EVT_CHOICE(IDC_VIDEO_BITRATE, CMorvenDlg::OnSelchangeVideoBitrate)
    EVT_CHOICE(IDC_VIDEO_CODEC, CMorvenDlg::OnSelchangeVideoCodec)
    EVT_CHOICE(IDC_FRAME_SIZE, CMorvenDlg::OnSelchangeFrameSize)
    EVT_CHOICE(IDC_FRAME_RATE, CMorvenDlg::OnSelchangeFrameRate)
    EVT_CHOICE(IDC_AUDIO_CODEC, CMorvenDlg::OnSelchangeAudioCodec)
    EVT_CHOICE(IDC_AUDIO_BITRATE, CMorvenDlg::OnSelchangeAudioBitrate)
    EVT_CHOICE(IDC_SAMPLE_RATE, CMorvenDlg::OnSelchangeSampleRate)
    EVT_CHOICE(IDC_CHANNELS, CMorvenDlg::OnSelchangeChannels)
    EVT_CHOICE(IDC_ASPECT_RATIO, CMorvenDlg::OnSelchangeAspectRatio)
wxEND_EVENT_TABLE()
// clang-format on

CMorvenDlg::CMorvenDlg(wxWindow* parent, std::vector<std::string> startFiles)
    : m_hIcon(skin::LoadAppIcon()),
      m_timer(this, kTimerId),
      m_pauseTimer(this, kPauseTimerId),
      m_startFiles(std::move(startFiles)),
      m_notifier(std::make_unique<DesktopNotifier>()),
      m_endRequests([this](const std::string& request) {
          // Ended from outside: closes as the window's close does, and the log says why.
          m_run->Settings().closeReason = "stopped when the program got " + request;
          Close(true);
          // A box still open would hold the program: what it asks is moot now.
          for (wxWindow* window : wxTopLevelWindows) {
              auto* dialog = dynamic_cast<wxDialog*>(window);
              if (dialog != nullptr && dialog != this && dialog->IsModal()) dialog->EndModal(wxID_CANCEL);
          }
          platform::DismissOpenBoxes();
      }) {
    m_runWindow = MakeRunWindow();
    m_run = std::make_unique<convert::RunController>(*m_runWindow, convert::RunSettings{});
    app::InitUi();
    wxXmlResource::Get()->LoadDialog(this, parent, "102");
    BindControls();
    AcceptDrops();
}

CMorvenDlg::~CMorvenDlg() {
    // Normally the close step has already ended the run; this covers a window destroyed
    // without closing, so that no converter outlives it, while the window's side of the
    // run and the progress folder are still there.
    m_run.reset();
}

wxTextCtrl* CMorvenDlg::OutputDirEdit() const {
    return Bound<wxTextCtrl>(const_cast<CMorvenDlg*>(this), IDC_OUTPUT_DIR);
}

void CMorvenDlg::BindControls() {
    m_list.Attach(FindWindow(IDC_INPUT_LIST));
    m_progress = Bound<wxGauge>(this, IDC_PROGRESS);
    // The picture buttons paint themselves: each takes the place of its template button.
    // They are child windows, freed with the dialog.
    for (auto [member, id] : {std::pair{&m_btnAbout, IDC_ABOUT}, std::pair{&m_btnMinimise, IDC_MINIMISE},
                              std::pair{&m_btnClose, IDC_CLOSE}}) {
        *member = new CControlButton();
        (*member)->AttachTo(FindWindow(id));
    }
    for (int id = IDC_FORMAT; id <= IDC_CHANNELS; ++id) {
        m_lists[static_cast<std::size_t>(id - IDC_FORMAT)] = Bound<wxChoice>(this, id);
    }
    m_banner.Attach(FindWindow(IDC_BANNER));
    SetBackgroundStyle(wxBG_STYLE_PAINT);  // the skin paints the whole client area

    // A click on the input list's rows, or a key in it, picks the selected row; it is read
    // once the list has updated its selection.
    m_list.OnPick([this] { CallAfter(&CMorvenDlg::OnClickList); });

    // The template gives each drop-down list the height of its opened list; the
    // visible control keeps its natural height.
    for (wxChoice* list : m_lists) {
        const int width = list->GetSize().GetWidth();
        list->SetMinSize(wxDefaultSize);  // the template's size was taken as the minimum
        list->InvalidateBestSize();
        list->SetSize(width, list->GetBestSize().GetHeight());
        list->SetMinSize(list->GetSize());
    }
    SetClientSize(ConvertDialogToPixels(wxSize(455, 260)));
    skin::ColourLabels(this, skin::kMainBackground);
}

void CMorvenDlg::OnInitDialog(wxInitDialogEvent& event) {
    event.Skip();
    if (m_bInitialised) return;  // shown again: the window keeps its state
    m_bInitialised = true;
    InitialiseWindow();
    if (!m_startFiles.empty()) TakeHandedFiles(m_startFiles, true);
    // The keyboard starts on the first tab stop, "添加", once the window shows (the toolkit
    // would otherwise pick the first control it draws itself, the About button).
    CallAfter([this] {
        if (FindFocus() == nullptr || FindFocus() == m_btnAbout) FindWindow(IDC_ADD)->SetFocus();
    });
}

void CMorvenDlg::InitialiseWindow() {
    // 1. Controls are bound (constructor). 2. The window's icons.
    if (m_hIcon.IsOk()) SetIcon(m_hIcon);
    // 3. No job yet: the run is idle.
    // 4. Default output directory: the top of the space the user may write.
    OutputDirEdit()->SetValue(wxGetHomeDir());

    // 5-7. Skin of the About, minimise and close buttons.
    ApplySkin();

    // 8. Input list columns, grid lines and full-row selection.
    m_list.AddColumns(wxString::FromUTF8("文件名"), 290, wxString::FromUTF8("状态显示"), 74);

    // 9. Output formats, "3gp" selected.
    wxChoice* formats = List(IDC_FORMAT);
    unsigned position = 0;
    for (std::string_view format : profiles::kFormats) {
        formats->Insert(platform::FromNarrow(format), position++);
    }
    formats->SetSelection(0);

    // 10. Parameter lists of the "3gp" preset (the lists are still empty).
    FillPresetLists(formats->GetStringSelection());
    // 11. The banner page, once.
    m_banner.Navigate2(skin::BannerUrl());

    // 12. Progress range 0..1000, empty bar.
    m_progress->SetRange(1000);
    m_progress->SetValue(0);
    m_progress->Refresh(false);

    // 13. Program directory, recorded before the derivations: the H.264 option names
    // h264.dat in it, and the job starts vv.exe from it.
    m_szAppDir = platform::ProgramDirectory();

    // 14. The eight option strings from the lists' selections.
    DeriveAllOptions();
}

void CMorvenDlg::OnCharHook(wxKeyEvent& event) {
    switch (event.GetKeyCode()) {
        case WXK_RETURN:
        case WXK_NUMPAD_ENTER:
            // Enter presses the About button when it has the focus, and does nothing elsewhere.
            if (FindFocus() == m_btnAbout) event.Skip();
            return;
        case WXK_ESCAPE:
            Close();  // through the close step, so a running converter is ended too
            return;
        default: event.Skip();
    }
}

void CMorvenDlg::OnClose(wxCloseEvent&) { CloseStep(); }

void CMorvenDlg::CloseStep() {
    // The run ends here: each running converter finishes a playable output, nothing due
    // starts anything, and each row ends in the log too.
    m_run->Close();
    m_timer.Stop();
    m_pauseTimer.Stop();
    if (IsModal()) {
        EndModal(wxID_CANCEL);
    } else {
        Hide();
    }
}
