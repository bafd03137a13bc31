// The skinned button's compositing rule, pixel by pixel.
#include <array>
#include <gtest/gtest.h>
#include <vector>

#include "skin/composite.h"

using skin::CompositePicture;
using skin::CompositeSettings;
using skin::PixelTarget;
using skin::PixelView;

namespace {

using Rgb = std::array<std::uint8_t, 3>;

struct Image {
    int w, h;
    std::vector<std::uint8_t> px;
    Image(int width, int height, Rgb fill) : w(width), h(height), px(static_cast<std::size_t>(width * height * 3)) {
        for (int i = 0; i < w * h; ++i) Set(i % w, i / w, fill);
    }
    void Set(int x, int y, Rgb c) {
        for (int k = 0; k < 3; ++k) px[static_cast<std::size_t>((y * w + x) * 3 + k)] = c[static_cast<std::size_t>(k)];
    }
    Rgb At(int x, int y) const {
        const auto i = static_cast<std::size_t>((y * w + x) * 3);
        return {px[i], px[i + 1], px[i + 2]};
    }
    PixelView View() const { return {w, h, px.data()}; }
    PixelTarget Target() { return {w, h, px.data()}; }
};

const Rgb kBlack{0, 0, 0}, kWhite{255, 255, 255}, kRed{200, 30, 20}, kSky{212, 228, 243}, kOld{1, 2, 3};

}  // namespace

TEST(Composite, MaskChoosesBetweenPictureAndBackground) {
    // A 2x1 button: left pixel inside the shape (mask black), right pixel outside (mask white).
    Image picture(2, 1, kRed);
    picture.Set(1, 0, kWhite);  // pictures for mask mode are white outside their shape
    Image mask(2, 1, kBlack);
    mask.Set(1, 0, kWhite);
    Image background(4, 2, kBlack);
    background.Set(2, 1, kSky);
    background.Set(3, 1, kSky);

    Image target(2, 1, kOld);
    CompositePicture(target.Target(), picture.View(), mask.View(), background.View(), {true, true, 2, 1});
    EXPECT_EQ(target.At(0, 0), kRed);  // mask black: the picture
    EXPECT_EQ(target.At(1, 0), kSky);  // mask white, picture white: the background piece at (2,1)

    // Without the background flag, what the target held shows through instead.
    Image held(2, 1, kOld);
    CompositePicture(held.Target(), picture.View(), mask.View(), background.View(), {true, false, 0, 0});
    EXPECT_EQ(held.At(0, 0), kRed);
    EXPECT_EQ(held.At(1, 0), kOld);

    // A coloured picture pixel where the mask is white darkens the background (AND).
    picture.Set(1, 0, Rgb{0x0F, 0xF0, 0xFF});
    Image anded(2, 1, kOld);
    CompositePicture(anded.Target(), picture.View(), mask.View(), background.View(), {true, true, 2, 1});
    EXPECT_EQ(anded.At(1, 0), (Rgb{212 & 0x0F, 228 & 0xF0, 243}));
}

TEST(Composite, MaskModeClearOrAllBlackMaskShowsThePictureOpaque) {
    Image picture(3, 2, kRed);
    picture.Set(2, 1, kWhite);
    const Image allBlack(3, 2, kBlack);
    const Image background(3, 2, kSky);

    Image copied(3, 2, kOld);
    CompositePicture(copied.Target(), picture.View(), allBlack.View(), background.View(), {false, true, 0, 0});
    Image masked(3, 2, kOld);
    CompositePicture(masked.Target(), picture.View(), allBlack.View(), background.View(), {true, true, 0, 0});
    EXPECT_EQ(copied.px, picture.px);  // the background flag means nothing without mask mode
    EXPECT_EQ(masked.px, picture.px);
}

TEST(Composite, MissingOrSmallPicturesLeaveTheRestAlone) {
    Image target(4, 2, kOld);
    CompositePicture(target.Target(), PixelView{}, PixelView{}, PixelView{}, {true, true, 0, 0});
    EXPECT_EQ(target.At(0, 0), kOld);  // no picture: nothing drawn

    const Image small(2, 1, kRed);  // smaller than the button: drawn from the top-left, cut
    CompositePicture(target.Target(), small.View(), PixelView{}, PixelView{}, {});
    EXPECT_EQ(target.At(1, 0), kRed);
    EXPECT_EQ(target.At(2, 0), kOld);
    EXPECT_EQ(target.At(0, 1), kOld);
}
