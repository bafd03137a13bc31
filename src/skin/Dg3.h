#pragma once
// The About dialog: template 151 over picture 158, closed by its caption, Esc or Enter.
#include "skin/paint.h"

class CControlButton;

class Dg3 : public skin::SkinnedDialog {
public:
    explicit Dg3(wxWindow* parent = nullptr);

    CControlButton* m_btnClose = nullptr;  // 1000, hidden, skinned like the main window's

private:
    void OnPaint(wxPaintEvent& event);
    void OnCharHook(wxKeyEvent& event);
    void OnCloseButton(wxCommandEvent& event);
    void OnClose(wxCloseEvent& event);

    wxDECLARE_EVENT_TABLE();
};
