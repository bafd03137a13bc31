#include "skin/Dg3.h"

#include <wx/dcclient.h>
#include <wx/stattext.h>
#include <wx/xrc/xmlres.h>

#include "platform/toolkit.h"
#include "skin/CControlButton.h"
#include "skin/paint.h"
#include "skin/pictures.h"

namespace {
constexpr int kCloseButtonId = 1000;
}

// clang-format off
wxBEGIN_EVENT_TABLE(Dg3, skin::SkinnedDialog)
    EVT_BUTTON(kCloseButtonId, Dg3::OnCloseButton)
    EVT_PAINT(Dg3::OnPaint)
    EVT_CHAR_HOOK(Dg3::OnCharHook)
    EVT_CLOSE(Dg3::OnClose)
wxEND_EVENT_TABLE()
// clang-format on

Dg3::Dg3(wxWindow* parent) {
    wxXmlResource::Get()->LoadDialog(this, parent, "151");
    SetClientSize(ConvertDialogToPixels(wxSize(212, 107)));
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    skin::ColourLabels(this, skin::kAboutBackground);

    // Nothing in the dialog takes the keyboard, so the dialog itself does, for Enter and Esc.
    Bind(wxEVT_SHOW, [this](wxShowEvent& event) {
        if (event.IsShown()) platform::FocusDialogItself(this);
        event.Skip();
    });

    m_btnClose = new CControlButton();  // a child window: its parent frees it
    m_btnClose->AttachTo(FindWindow(kCloseButtonId));
    skin::ConfigureTitleButton(m_btnClose, skin::kCloseMask, skin::kCloseHover, skin::kCloseNormal,
                               skin::kClosePressed);
}

void Dg3::OnPaint(wxPaintEvent&) {
    wxPaintDC dc(this);
    skin::PaintPicture(dc, skin::kAboutBackground, GetClientSize());
}

void Dg3::OnCharHook(wxKeyEvent& event) {
    switch (event.GetKeyCode()) {
        case WXK_RETURN:
        case WXK_NUMPAD_ENTER: EndModal(wxID_OK); return;
        case WXK_ESCAPE: EndModal(wxID_CANCEL); return;
        default: event.Skip();
    }
}

void Dg3::OnCloseButton(wxCommandEvent&) {
    CallAfter([this] { Close(); });
}

void Dg3::OnClose(wxCloseEvent&) {
    if (IsModal())
        EndModal(wxID_CANCEL);
    else
        Hide();
}
