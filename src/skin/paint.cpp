#include "skin/paint.h"

#include <wx/dc.h>
#include <wx/dcmemory.h>
#include <wx/stattext.h>

#include "skin/CControlButton.h"
#include "skin/pictures.h"

namespace skin {

void PaintPicture(wxDC& dc, int pictureId, const wxSize& area) {
    const wxImage picture = LoadPicture(pictureId);
    if (!picture.IsOk()) return;
    wxBitmap bitmap(picture);
    wxMemoryDC memory(bitmap);
    dc.StretchBlit(0, 0, area.x, area.y, &memory, 0, 0, bitmap.GetWidth(), bitmap.GetHeight(), wxCOPY);
    memory.SelectObject(wxNullBitmap);
}

void ColourLabels(SkinnedDialog* window, int pictureId) {
    for (wxWindow* child : window->GetChildren()) {
        if (auto* label = dynamic_cast<wxStaticText*>(child)) {
            label->SetForegroundColour(*wxBLACK);
        }
    }
    const wxSize area = window->GetClientSize();
    if (area.x <= 0 || area.y <= 0) return;
    wxBitmap background(area);
    {
        wxMemoryDC memory(background);
        PaintPicture(memory, pictureId, area);
    }
    window->SetBackgroundBitmap(background);
}

void ConfigureTitleButton(CControlButton* button, int mask, int hover, int normal, int pressed) {
    button->m_rect = button->GetRect();  // in its window's client coordinates
    button->m_bBackground = true;
    button->m_background = LoadPicture(kMainBackground);
    button->m_bMaskMode = true;
    button->m_mask = LoadPicture(mask);
    button->SetImages(hover, normal, pressed);
}

}  // namespace skin
