#pragma once
// A push button that paints itself from pictures: normal, hover (while the pointer rests
// on it) and pressed (laid over the base picture while pressed), optionally composited
// through a mask over the matching piece of its window's background picture. It draws
// no caption and no disabled look. A shown, enabled button is a tab stop: it marks the
// keyboard focus with a dotted frame in the skin's line colour, and Space (on release) or
// Enter presses it. Screen readers read it as a push button with its template label.
#include <wx/control.h>
#include <wx/image.h>

class CControlButton : public wxControl {
public:
    CControlButton() = default;

    // Takes the place of a button that a dialog template created: same id, place, size,
    // visibility and tab position. The template's button is destroyed.
    bool AttachTo(wxWindow* templateButton);

    // Replaces the three pictures (hover, normal, pressed, by resource id); the old
    // ones are released.
    void SetImages(int hover, int normal, int pressed);

    // The face the button shows for a pressed state (hover as it stands).
    wxImage Render(bool pressed) const;
    bool IsPressed() const { return m_pressed; }

    bool AcceptsFocus() const override { return IsShown() && IsEnabled(); }
    bool AcceptsFocusFromKeyboard() const override { return AcceptsFocus(); }

    // Set directly by the owner, as the skin steps do.
    int m_hover = 0;     // the pointer rests on the button
    int m_tracking = 0;  // the pointer is being followed (entered, not yet left)
    wxImage m_normal;
    wxImage m_pressedImage;
    wxImage m_hoverImage;
    wxImage m_mask;        // black where the picture shows, white where the background does
    wxImage m_background;  // the window's whole background picture
    bool m_bMaskMode = false;
    bool m_bBackground = false;
    wxRect m_rect;  // the button's place in its window: the background piece's origin

private:
    void OnPaint(wxPaintEvent& event);
    void OnEnter(wxMouseEvent& event);
    void OnLeave(wxMouseEvent& event);
    void OnLeftDown(wxMouseEvent& event);
    void OnLeftUp(wxMouseEvent& event);
    void OnMotion(wxMouseEvent& event);
    void OnCaptureLost(wxMouseCaptureLostEvent& event);
    void OnKeyDown(wxKeyEvent& event);
    void OnKeyUp(wxKeyEvent& event);
    void OnFocusChange(wxFocusEvent& event);
    void Click();

    bool m_pressed = false;  // the button looks pressed
    bool m_held = false;     // the left mouse button went down on it and is not yet released

    wxDECLARE_DYNAMIC_CLASS(CControlButton);
    wxDECLARE_EVENT_TABLE();
};
