#pragma once
// How a skinned button lays one picture onto its face, pixel by pixel, as the raster
// operations do: with mask mode clear the picture is copied; with mask mode set, the
// background piece under the button is copied first (when the background flag is set),
// then the mask is merged in (target = target OR NOT mask: white where the mask is
// black), then the picture is ANDed in (target = target AND picture). So where the mask
// is black the picture shows, and where it is white the background shows through the
// picture's white.
#include <cstdint>

namespace skin {

// 8-bit RGB pixels, rows without padding. A view with no data stands for a missing picture.
struct PixelView {
    int width = 0;
    int height = 0;
    const std::uint8_t* rgb = nullptr;
    bool empty() const { return rgb == nullptr || width <= 0 || height <= 0; }
};

struct PixelTarget {
    int width = 0;
    int height = 0;
    std::uint8_t* rgb = nullptr;
};

struct CompositeSettings {
    bool maskMode = false;
    bool backgroundFlag = false;
    int backgroundLeft = 0;  // where the button's piece starts in the background picture
    int backgroundTop = 0;
};

// Copies the piece of a picture that starts at (left, top) onto the target; target pixels
// beyond the picture's edge are left as they were.
void CopyPicture(PixelTarget target, PixelView picture, int left, int top);

// Composites one picture onto the target. Every source is read from its top-left corner
// (the background from its given origin); nothing is scaled, and target pixels beyond a
// source's edge are left as they were. A missing picture draws nothing.
void CompositePicture(PixelTarget target, PixelView picture, PixelView mask, PixelView background,
                      const CompositeSettings& settings);

}  // namespace skin
