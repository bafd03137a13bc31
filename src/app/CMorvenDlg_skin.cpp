// The main window's skin: the painted background, the icon when minimised, the About
// picture button and the title-bar buttons.
#include <wx/dcclient.h>
#include <wx/settings.h>

#include "app/CMorvenDlg.h"
#include "skin/CControlButton.h"
#include "skin/Dg3.h"
#include "skin/paint.h"
#include "skin/pictures.h"

void CMorvenDlg::ApplySkin() {
    // The About button shows picture 139 in every state, copied as it is; where the
    // picture does not cover the button, the window's background picture shows.
    m_btnAbout->m_rect = m_btnAbout->GetRect();
    m_btnAbout->m_background = skin::LoadPicture(skin::kMainBackground);
    m_btnAbout->SetImages(skin::kAboutButton, skin::kAboutButton, skin::kAboutButton);
    skin::ConfigureTitleButton(m_btnMinimise, skin::kMinimiseMask, skin::kMinimiseHover, skin::kMinimiseNormal,
                               skin::kMinimisePressed);
    skin::ConfigureTitleButton(m_btnClose, skin::kCloseMask, skin::kCloseHover, skin::kCloseNormal,
                               skin::kClosePressed);
}

void CMorvenDlg::OnPaint(wxPaintEvent&) {
    wxPaintDC dc(this);
    const wxSize client = GetClientSize();
    if (IsIconized()) {
        if (!m_hIcon.IsOk()) return;
        const int w = m_hIcon.GetWidth(), h = m_hIcon.GetHeight();
        dc.DrawIcon(m_hIcon, (client.x - w + 1) / 2, (client.y - h + 1) / 2);
        return;
    }
    skin::PaintPicture(dc, skin::kMainBackground, client);
}

void CMorvenDlg::OnAbout(wxCommandEvent&) {
    Dg3 about;  // a fresh dialog for every click
    about.ShowModal();
}

void CMorvenDlg::OnMinimiseButton(wxCommandEvent&) {
    CallAfter([this] { Iconize(true); });
}

void CMorvenDlg::OnCloseButton(wxCommandEvent&) {
    CallAfter([this] { Close(); });
}
