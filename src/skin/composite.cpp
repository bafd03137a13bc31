#include "skin/composite.h"

#include <cstddef>

namespace skin {
namespace {

enum class Rop { Copy, MergePaint, And };

// Applies one raster operation from a source (read from srcLeft, srcTop) to the target.
void Blit(PixelTarget t, PixelView s, int srcLeft, int srcTop, Rop rop) {
    if (s.empty()) return;
    for (int y = 0; y < t.height; ++y) {
        const int sy = y + srcTop;
        if (sy < 0 || sy >= s.height) continue;
        for (int x = 0; x < t.width; ++x) {
            const int sx = x + srcLeft;
            if (sx < 0 || sx >= s.width) continue;
            std::uint8_t* d = t.rgb + (static_cast<std::size_t>(y) * t.width + x) * 3;
            const std::uint8_t* p = s.rgb + (static_cast<std::size_t>(sy) * s.width + sx) * 3;
            for (int c = 0; c < 3; ++c) {
                switch (rop) {
                    case Rop::Copy: d[c] = p[c]; break;
                    case Rop::MergePaint: d[c] = static_cast<std::uint8_t>(d[c] | ~p[c]); break;
                    case Rop::And: d[c] = static_cast<std::uint8_t>(d[c] & p[c]); break;
                }
            }
        }
    }
}

}  // namespace

void CopyPicture(PixelTarget target, PixelView picture, int left, int top) {
    Blit(target, picture, left, top, Rop::Copy);
}

void CompositePicture(PixelTarget target, PixelView picture, PixelView mask, PixelView background,
                      const CompositeSettings& settings) {
    if (picture.empty()) return;
    if (!settings.maskMode) {
        Blit(target, picture, 0, 0, Rop::Copy);
        return;
    }
    if (settings.backgroundFlag) {
        Blit(target, background, settings.backgroundLeft, settings.backgroundTop, Rop::Copy);
    }
    Blit(target, mask, 0, 0, Rop::MergePaint);
    Blit(target, picture, 0, 0, Rop::And);
}

}  // namespace skin
