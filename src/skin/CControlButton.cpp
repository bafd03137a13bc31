#include "skin/CControlButton.h"

#include <wx/dcbuffer.h>
#include <wx/dcclient.h>

#include "platform/toolkit.h"
#include "skin/composite.h"
#include "skin/pictures.h"

namespace {

// The darker of the skin's blue lines, so the mark shows on the light blue and on pictures.
const wxColour kFocusColour(70, 100, 140);

skin::PixelView View(const wxImage& image) {
    if (!image.IsOk()) return {};
    return {image.GetWidth(), image.GetHeight(), image.GetData()};
}

}  // namespace

wxIMPLEMENT_DYNAMIC_CLASS(CControlButton, wxControl);

// clang-format off
wxBEGIN_EVENT_TABLE(CControlButton, wxControl)
    EVT_PAINT(CControlButton::OnPaint)
    EVT_ENTER_WINDOW(CControlButton::OnEnter)
    EVT_LEAVE_WINDOW(CControlButton::OnLeave)
    EVT_LEFT_DOWN(CControlButton::OnLeftDown)
    EVT_LEFT_UP(CControlButton::OnLeftUp)
    EVT_MOTION(CControlButton::OnMotion)
    EVT_MOUSE_CAPTURE_LOST(CControlButton::OnCaptureLost)
    EVT_KEY_DOWN(CControlButton::OnKeyDown)
    EVT_KEY_UP(CControlButton::OnKeyUp)
    EVT_SET_FOCUS(CControlButton::OnFocusChange)
    EVT_KILL_FOCUS(CControlButton::OnFocusChange)
wxEND_EVENT_TABLE()
// clang-format on

bool CControlButton::AttachTo(wxWindow* templateButton) {
    if (templateButton == nullptr) return false;
    wxWindow* parent = templateButton->GetParent();
    if (!Create(parent, templateButton->GetId(), templateButton->GetPosition(), templateButton->GetSize(),
                wxBORDER_NONE | wxWANTS_CHARS)) {
        return false;
    }
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    SetLabel(templateButton->GetLabel());  // kept, never drawn: the name screen readers read
    platform::ShowAsPushButton(this, GetLabel());
    MoveAfterInTabOrder(templateButton);
    Show(templateButton->IsShown());
    templateButton->Destroy();
    return true;
}

void CControlButton::SetImages(int hover, int normal, int pressed) {
    m_normal.Destroy();
    m_pressedImage.Destroy();
    m_hoverImage.Destroy();
    m_normal = skin::LoadPicture(normal);
    m_pressedImage = skin::LoadPicture(pressed);
    m_hoverImage = skin::LoadPicture(hover);
    Refresh(false);
}

wxImage CControlButton::Render(bool pressed) const {
    const wxSize size = GetClientSize();
    wxImage face(std::max(size.x, 1), std::max(size.y, 1));
    const skin::PixelTarget target{face.GetWidth(), face.GetHeight(), face.GetData()};
    // Where the pictures leave the face uncovered, the window's background shows: its
    // picture when the button has one, else its colour.
    if (m_background.IsOk()) {
        skin::CopyPicture(target, View(m_background), m_rect.GetLeft(), m_rect.GetTop());
    } else {
        const wxColour under = GetParent() ? GetParent()->GetBackgroundColour() : *wxWHITE;
        face.SetRGB(wxRect(face.GetSize()), under.Red(), under.Green(), under.Blue());
    }

    const skin::CompositeSettings settings{m_bMaskMode, m_bBackground, m_rect.GetLeft(), m_rect.GetTop()};
    skin::CompositePicture(target, View(m_hover ? m_hoverImage : m_normal), View(m_mask), View(m_background), settings);
    if (pressed) {
        skin::CompositePicture(target, View(m_pressedImage), View(m_mask), View(m_background), settings);
    }
    return face;
}

void CControlButton::OnPaint(wxPaintEvent&) {
    wxAutoBufferedPaintDC dc(this);
    dc.DrawBitmap(wxBitmap(Render(m_pressed)), 0, 0);
    if (HasFocus()) {
        // The focus mark: a dotted frame just inside the edge, in the skin's panel line colour.
        dc.SetPen(wxPen(kFocusColour, 1, wxPENSTYLE_DOT));
        dc.SetBrush(*wxTRANSPARENT_BRUSH);
        dc.DrawRectangle(wxRect(GetClientSize()).Deflate(1));
    }
}

void CControlButton::OnFocusChange(wxFocusEvent& event) {
    Refresh(false);
    event.Skip();
}

void CControlButton::OnEnter(wxMouseEvent& event) {
    // The pointer rests on the button at once: hover follows the enter directly.
    m_tracking = 1;
    m_hover = 1;
    if (m_held) m_pressed = true;  // back over a button still held: pressed again
    Refresh(false);
    event.Skip();
}

void CControlButton::OnLeave(wxMouseEvent& event) {
    m_hover = 0;
    m_tracking = 0;
    m_pressed = false;  // held or not, a button the pointer has left does not look pressed
    Refresh(false);
    event.Skip();
}

void CControlButton::OnLeftDown(wxMouseEvent&) {
    m_held = true;
    m_pressed = true;
    if (!HasCapture()) CaptureMouse();
    Refresh(false);
}

void CControlButton::OnMotion(wxMouseEvent& event) {
    // While held, the press look follows the pointer in and out of the button.
    if (m_held) {
        const bool inside = wxRect(GetClientSize()).Contains(event.GetPosition());
        if (inside != m_pressed) {
            m_pressed = inside;
            Refresh(false);
        }
    }
    event.Skip();
}

void CControlButton::OnLeftUp(wxMouseEvent& event) {
    if (HasCapture()) ReleaseMouse();
    const bool inside = wxRect(GetClientSize()).Contains(event.GetPosition());
    const bool click = m_held && inside;
    m_held = false;
    m_pressed = false;
    Refresh(false);
    if (click) Click();
}

void CControlButton::OnCaptureLost(wxMouseCaptureLostEvent&) {
    m_held = false;
    m_pressed = false;
    Refresh(false);
}

void CControlButton::OnKeyDown(wxKeyEvent& event) {
    if (event.GetKeyCode() == WXK_RETURN || event.GetKeyCode() == WXK_NUMPAD_ENTER) {
        Click();
        return;
    }
    if (event.GetKeyCode() == WXK_SPACE) {
        m_pressed = true;
        Refresh(false);
        return;
    }
    event.Skip();
}

void CControlButton::OnKeyUp(wxKeyEvent& event) {
    if (event.GetKeyCode() == WXK_SPACE && m_pressed) {
        m_pressed = false;
        Refresh(false);
        Click();
        return;
    }
    event.Skip();
}

void CControlButton::Click() {
    wxCommandEvent click(wxEVT_BUTTON, GetId());
    click.SetEventObject(this);
    ProcessWindowEvent(click);
}
