#pragma once
// Painting shared by the skinned windows.
#include <wx/custombgwin.h>
#include <wx/dialog.h>

class wxDC;
class wxSize;
class wxWindow;
class CControlButton;

namespace skin {

// A dialog painted from a picture, which its labels show through.
using SkinnedDialog = wxCustomBackgroundWindow<wxDialog>;

// Loads the picture, stretches it from its full size onto the whole area and releases
// it again: nothing is kept between paints. A missing picture paints nothing.
void PaintPicture(wxDC& dc, int pictureId, const wxSize& area);

// Draws every label of a window in black, straight onto its painted background. The
// labels show the picture their window is painted with, stretched to its client area as
// it is painted (the window's client size is final by then): on Linux they are
// transparent by nature; native Windows labels would otherwise fill their box with the
// system's dialog colour, so they are given the picture as their background.
void ColourLabels(SkinnedDialog* window, int pictureId);

// A title-bar button: its place as the background piece's origin, picture 137 as the
// background, mask mode on, the mask, then the hover, normal and pressed pictures.
void ConfigureTitleButton(CControlButton* button, int mask, int hover, int normal, int pressed);

}  // namespace skin
