#pragma once
// The converter's one window: dialog template 102. It owns all state (the input list,
// the parameter lists, the output directory, the running job and the option strings),
// binds the template's controls by id, initialises them in a fixed order, routes every
// event, and ends a running job when it closes.
#include <array>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "convert/contract.h"
#include "convert/run_controller.h"
#include "convert/outcome.h"
#include "convert/run_log.h"
#include "platform/input_list.h"
#include "platform/private_folder.h"
#include "platform/toolkit.h"
#include "profiles/presets.h"
#include "skin/CExplorer1.h"
#include "skin/paint.h"
#include <wx/icon.h>
#include <wx/timer.h>

class BriskFFmpeg;
class CControlButton;
class wxButton;
class wxChoice;
class wxGauge;
class wxTextCtrl;

// Control ids of template 102.
enum : int {
    IDC_ADD = 1000,
    IDC_DELETE = 1001,
    IDC_CLEAR = 1002,
    IDC_MOVE_UP = 1003,
    IDC_MOVE_DOWN = 1004,
    IDC_SET_OUTPUT_DIR = 1005,
    IDC_CONVERT = 1006,
    IDC_OUTPUT_DIR = 1007,
    IDC_PROGRESS = 1008,
    IDC_FORMAT = 1009,
    IDC_VIDEO_CODEC = 1010,
    IDC_VIDEO_BITRATE = 1011,
    IDC_FRAME_SIZE = 1012,
    IDC_FRAME_RATE = 1013,
    IDC_ASPECT_RATIO = 1014,
    IDC_AUDIO_CODEC = 1015,
    IDC_AUDIO_BITRATE = 1016,
    IDC_SAMPLE_RATE = 1017,
    IDC_CHANNELS = 1018,
    IDC_INPUT_LIST = 1019,
    IDC_ABOUT = 1023,
    IDC_MINIMISE = 1024,
    IDC_CLOSE = 1025,
    IDC_BANNER = 1026,
};

inline constexpr int kTimerId = 1;       // polls a running conversion, once a second
inline constexpr int kPauseTimerId = 2;  // ends the full bar's pause between two rows

// How the window tells the desktop that a run has ended while the user was elsewhere.
class RunEndNotifier {
public:
    virtual ~RunEndNotifier() = default;
    virtual void Notify(wxWindow* window, const wxString& title, const wxString& message) = 0;
};

class CMorvenDlg : public skin::SkinnedDialog {
public:
    // `startFiles`: names given on the command line, taken into the list at start-up as
    // a drop would take them.
    explicit CMorvenDlg(wxWindow* parent = nullptr, std::vector<std::string> startFiles = {});
    ~CMorvenDlg() override;

private:
    friend class CMorvenDlgPeer;  // the window tests' one way in

    // ---- members, in the window's order ----
    CControlButton* m_btnAbout = nullptr;              // 1023, picture 139
    CControlButton* m_btnMinimise = nullptr;           // 1024, hidden
    CControlButton* m_btnClose = nullptr;              // 1025, hidden
    wxIcon m_hIcon;                                    // application icon 128
    platform::InputList m_list;                        // 1019, the input list, with each row's tip
    int m_nSelectedRow = -1;                           // row last picked with the mouse, -1 for none
    wxGauge* m_progress = nullptr;                     // 1008, 0..1000
    std::array<wxChoice*, 10> m_lists{};               // 1009 format, 1010..1018 parameters
    CExplorer1 m_banner;                               // 1026, the web banner
    std::string m_szAppDir;                            // program directory (UTF-8), no trailing separator
    std::string m_szVideoBitrate;                      // option strings (UTF-8), fed to the command line
    std::string m_szVideoCodec;
    std::string m_szFrameSize;
    std::string m_szFrameRate;
    std::string m_szAudioCodec;
    std::string m_szSampleRate;
    std::string m_szAudioBitrate;
    std::string m_szChannels;
    wxTimer m_timer;       // timer 1: polls the running conversions
    wxTimer m_pauseTimer;  // one-shot: the full bar's pause between rows
    // The conversion run: made with the window, it owns the rows' jobs and outcomes.
    std::unique_ptr<convert::RunController> m_run;
    wxWindow* m_focusBeforeRun = nullptr;            // the editing control the run took the focus from
    bool m_bInitialised = false;
    std::vector<std::string> m_startFiles;       // from the command line, taken at start-up
    std::unique_ptr<RunEndNotifier> m_notifier;  // a desktop notification by default
    platform::EndRequestWatch m_endRequests;     // SIGTERM, SIGINT, SIGHUP close the window
    // This copy's own folder (the progress file): made once the end requests are watched,
    // so that a request never finds it made and unwatched, and removed before they are not.
    platform::PrivateFolder m_runFolder;

    // Parameter list by control id (1009..1018).
    wxChoice* List(int id) const { return m_lists[static_cast<std::size_t>(id - IDC_FORMAT)]; }
    wxChoice* ParamChoice(profiles::ParamList list) const { return m_lists[static_cast<std::size_t>(list) + 1]; }
    wxTextCtrl* OutputDirEdit() const;

    // ---- output profiles ----
    // The eight option strings in command-line slot order, as handed to the tool.
    convert::OptionSlots CurrentOptions() const;
    std::string* OptionString(profiles::ParamList list);
    const std::string* OptionString(profiles::ParamList list) const {
        return const_cast<CMorvenDlg*>(this)->OptionString(list);
    }
    // Inserts the format's preset entries into the nine lists and selects the defaults
    // (does not clear them first).
    void FillPresetLists(const wxString& format);
    void Refill(profiles::ParamList list, const profiles::ListFill& fill);
    // Refills the audio lists that the chosen audio codec dictates.
    void ApplyAudioCodecRule();
    // Derives one option string from its list's selection; a label without a row
    // leaves the string as it was.
    void DeriveOption(profiles::ParamList list);
    // The eight derivations in order: video codec, video bitrate, frame size, frame
    // rate, audio codec (with its rule), audio bitrate, sample rate, channels.
    void DeriveAllOptions();

    // ---- start-up and close ----
    void BindControls();
    void InitialiseWindow();
    // Skin steps of the initialisation: the About picture and the title-bar buttons.
    void ApplySkin();
    // Destroys a running job (ending the converter) and ends the dialog.
    void CloseStep();
    void OnInitDialog(wxInitDialogEvent& event);
    void OnCharHook(wxKeyEvent& event);
    void OnClose(wxCloseEvent& event);

    // ---- skin ----
    void OnPaint(wxPaintEvent& event);
    void OnAbout(wxCommandEvent& event);
    void OnMinimiseButton(wxCommandEvent& event);
    void OnCloseButton(wxCommandEvent& event);

    // ---- the conversion run ----
    // "立即转换" starts a run; during a run the same button reads "停止转换" and stops it.
    void OnConvert(wxCommandEvent& event);
    void OnTimer(wxTimerEvent& event);
    // The full bar's pause between two rows is over: the bar starts again from 0.
    void OnPauseEnd(wxTimerEvent& event);
    // Asks whether to stop the run and tells the run the answer.
    void AskToStop();
    // Enables or disables the editing controls, in the run's order.
    void EnableEditing(bool enable);
    // The window's side of the run (convert::RunView): the rows and choices, the
    // questions, the statuses and the bar.
    class RunWindow;
    std::unique_ptr<convert::RunView> MakeRunWindow();
    std::unique_ptr<convert::RunView> m_runWindow;

    // ---- input list and output folder ----
    void OnAdd(wxCommandEvent& event);
    void OnDelete(wxCommandEvent& event);
    void OnClear(wxCommandEvent& event);
    void OnMoveUp(wxCommandEvent& event);
    void OnMoveDown(wxCommandEvent& event);
    void OnSetOutputDir(wxCommandEvent& event);
    // A click or a key in the input list: records the first selected row, -1 for none.
    void OnClickList();
    // Moves the selected row one place up (-1) or down (+1), carrying both column texts.
    void MoveSelectedRow(int delta);
    // Names handed over by a drop or on the command line: the videos go on top of the list
    // in the order given; what the add button would not take is listed in one message,
    // shown at once or, at start-up, once the window shows. False during a run.
    bool TakeHandedFiles(const std::vector<std::string>& names, bool atStart);
    // Lets the window and its list take files dropped from the file manager.
    void AcceptDrops();
    class DropTarget;

    void OnSelchangeFormat(wxCommandEvent& event);
    void OnSelchangeVideoCodec(wxCommandEvent& event);
    void OnSelchangeVideoBitrate(wxCommandEvent& event);
    void OnSelchangeFrameSize(wxCommandEvent& event);
    void OnSelchangeFrameRate(wxCommandEvent& event);
    void OnSelchangeAspectRatio(wxCommandEvent& event);
    void OnSelchangeAudioCodec(wxCommandEvent& event);
    void OnSelchangeAudioBitrate(wxCommandEvent& event);
    void OnSelchangeSampleRate(wxCommandEvent& event);
    void OnSelchangeChannels(wxCommandEvent& event);

    wxDECLARE_EVENT_TABLE();
};
