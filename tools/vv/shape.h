#pragma once
// What a stream's frames look like, as far as its filters care: a change rebuilds them.
#include <string>

#include "av_ptr.h"

namespace vv {

struct Shape {
    int width = 0, height = 0;
    int format = -1;
    AVRational sar{0, 1};
    int sampleRate = 0;
    int channels = 0;
    std::string layout;

    bool operator==(const Shape& o) const;
    bool Usable(AVMediaType type) const;
};

// The shape of a decoded frame.
Shape ShapeOfFrame(AVMediaType type, const AVFrame* f);
// The shape the input declares, for a stream started before its first frame.
Shape ShapeOfDecoder(AVMediaType type, const AVCodecContext* c);

// The channel layout as the filters name it; an unordered one becomes the usual layout
// for its channel count.
std::string LayoutName(const AVChannelLayout& layout);
// "num/den", as the filters take a ratio.
std::string RatioText(AVRational r);

}  // namespace vv
