#pragma once
// The window tests' one way into the main window's private state: the members by their
// own names, and the few operations the tests drive directly.
#include <memory>
#include <vector>

#include "app/CMorvenDlg.h"

class CMorvenDlgPeer {
public:
    explicit CMorvenDlgPeer(CMorvenDlg& d)
        : m_btnAbout(d.m_btnAbout),
          m_btnMinimise(d.m_btnMinimise),
          m_btnClose(d.m_btnClose),
          m_hIcon(d.m_hIcon),
          m_list(d.m_list),
          m_nSelectedRow(d.m_nSelectedRow),
          m_progress(d.m_progress),
          m_banner(d.m_banner),
          m_szAppDir(d.m_szAppDir),
          m_szVideoBitrate(d.m_szVideoBitrate),
          m_szFrameSize(d.m_szFrameSize),
          m_szFrameRate(d.m_szFrameRate),
          m_szAudioCodec(d.m_szAudioCodec),
          m_szAudioBitrate(d.m_szAudioBitrate),
          m_timer(d.m_timer),
          m_pauseTimer(d.m_pauseTimer),
          m_notifier(d.m_notifier),
          d_(d) {}

    CControlButton*& m_btnAbout;
    CControlButton*& m_btnMinimise;
    CControlButton*& m_btnClose;
    wxIcon& m_hIcon;
    platform::InputList& m_list;
    int& m_nSelectedRow;
    wxGauge*& m_progress;
    CExplorer1& m_banner;
    std::string& m_szAppDir;
    std::string& m_szVideoBitrate;
    std::string& m_szFrameSize;
    std::string& m_szFrameRate;
    std::string& m_szAudioCodec;
    std::string& m_szAudioBitrate;
    wxTimer& m_timer;
    wxTimer& m_pauseTimer;
    std::unique_ptr<RunEndNotifier>& m_notifier;

    wxChoice* List(int id) const { return d_.List(id); }
    wxTextCtrl* OutputDirEdit() const { return d_.OutputDirEdit(); }
    convert::OptionSlots CurrentOptions() const { return d_.CurrentOptions(); }
    void OnTimer(wxTimerEvent& tick) { d_.OnTimer(tick); }
    convert::RunController& Run() const { return *d_.m_run; }
    bool Running() const { return d_.m_run->Running(); }
    // The topmost running row, its job and its progress file (the first one when none runs).
    int CurrentRow() const { return d_.m_run->TopRow(); }
    BriskFFmpeg* Job() const { return d_.m_run->JobOf(d_.m_run->TopRow()); }
    std::string ProgressFile() const { return d_.m_run->ProgressFileOf(d_.m_run->TopRow()); }
    // The status column, top row first.
    std::vector<wxString> Statuses() const {
        std::vector<wxString> out;
        for (int i = 0; i < d_.m_list.Count(); ++i) out.push_back(d_.m_list.Status(i));
        return out;
    }

private:
    CMorvenDlg& d_;
};

inline CMorvenDlgPeer Peer(CMorvenDlg& d) { return CMorvenDlgPeer(d); }
inline CMorvenDlgPeer Peer(CMorvenDlg* d) { return CMorvenDlgPeer(*d); }
inline CMorvenDlgPeer Peer(const std::unique_ptr<CMorvenDlg>& d) { return CMorvenDlgPeer(*d); }
