#pragma once
// Painting shared by the skinned windows.
class wxDC;
class wxSize;
class wxWindow;
class CControlButton;

namespace skin {

// Loads the picture, stretches it from its full size onto the whole area and releases
// it again: nothing is kept between paints. A missing picture paints nothing.
void PaintPicture(wxDC& dc, int pictureId, const wxSize& area);

// Draws every label of a window in black, straight onto its painted background.
void ColourLabels(wxWindow* window);

// A title-bar button: its place as the background piece's origin, picture 137 as the
// background, mask mode on, the mask, then the hover, normal and pressed pictures.
void ConfigureTitleButton(CControlButton* button, int mask, int hover, int normal, int pressed);

}  // namespace skin
