#pragma once
// How the input's pictures are meant to be seen, and the filters that make the output's
// pictures look the same in the players of the output formats: upright (phones store a
// portrait clip as a landscape picture with a turn in its display matrix), and in the
// colours those players assume for pictures of these sizes (BT.601, limited range), with
// HDR (PQ, HLG) tone-mapped to SDR.
#include <cstdint>
#include <string>

#include "av_ptr.h"

namespace vv {

struct PictureLook {
    // The filters that set a decoded picture upright; empty when it stands as stored.
    std::string upright;
    // Whether setting it upright swaps its width and height (a quarter turn).
    bool swapsSides = false;
    AVColorPrimaries primaries = AVCOL_PRI_UNSPECIFIED;
    AVColorTransferCharacteristic transfer = AVCOL_TRC_UNSPECIFIED;
    AVColorSpace matrix = AVCOL_SPC_UNSPECIFIED;
    AVColorRange range = AVCOL_RANGE_UNSPECIFIED;

    bool Hdr() const;
    // BT.2020 primaries or matrix, which only zimg converts (with its primaries).
    bool Wide() const;
};

// What the input stream declares: its display matrix and its colour tags.
PictureLook LookOf(const AVStream* in);

// The turn of a display matrix (FFmpeg's layout) as the filters that undo it, in the
// manner of the ffmpeg tool's automatic rotation.
PictureLook UprightOf(const std::int32_t* displayMatrix);

// The filters from decoded frames to the encoder's pictures: one picture each 1/rate
// second, width x height once upright, in the encoder's pixel format `pix`, with the
// colours of standard definition. Scaling comes before the colour and the turn, so that
// the heavier steps work on the small picture.
std::string PictureChain(const PictureLook& look, AVRational rate, int width, int height, AVPixelFormat pix);

// Tags the encoder's pictures with the colours the chain makes: BT.601 limited range,
// with the input's primaries and transfer where they were kept, BT.709 where tone
// mapping or zimg made them.
void TagColours(const PictureLook& look, AVCodecContext* c);

}  // namespace vv
