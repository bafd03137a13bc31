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

void ColourLabels(wxWindow* window) {
    for (wxWindow* child : window->GetChildren()) {
        if (auto* label = dynamic_cast<wxStaticText*>(child)) {
            label->SetForegroundColour(*wxBLACK);
        }
    }
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
