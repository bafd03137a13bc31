#include "shape.h"

extern "C" {
#include <libavutil/channel_layout.h>
}

namespace vv {
namespace {

// Video's format, size and pixel aspect (square when unknown), or sound's format, rate
// and channel layout.
Shape ShapeOf(AVMediaType type, int format, int width, int height, AVRational sar, int sampleRate,
              const AVChannelLayout& layout) {
    Shape s;
    s.format = format;
    if (type == AVMEDIA_TYPE_VIDEO) {
        s.width = width;
        s.height = height;
        s.sar = sar.num > 0 && sar.den > 0 ? sar : AVRational{1, 1};
    } else {
        s.sampleRate = sampleRate;
        s.channels = layout.nb_channels;
        if (s.channels > 0) s.layout = LayoutName(layout);
    }
    return s;
}

}  // namespace

bool Shape::operator==(const Shape& o) const {
    return width == o.width && height == o.height && format == o.format && av_cmp_q(sar, o.sar) == 0 &&
           sampleRate == o.sampleRate && channels == o.channels && layout == o.layout;
}

bool Shape::Usable(AVMediaType type) const {
    if (type == AVMEDIA_TYPE_VIDEO) return width > 0 && height > 0 && format >= 0;
    return sampleRate > 0 && channels > 0 && format >= 0 && !layout.empty();
}

Shape ShapeOfFrame(AVMediaType type, const AVFrame* f) {
    return ShapeOf(type, f->format, f->width, f->height, f->sample_aspect_ratio, f->sample_rate, f->ch_layout);
}

Shape ShapeOfDecoder(AVMediaType type, const AVCodecContext* c) {
    return ShapeOf(type, type == AVMEDIA_TYPE_VIDEO ? int{c->pix_fmt} : int{c->sample_fmt}, c->width, c->height,
                   c->sample_aspect_ratio, c->sample_rate, c->ch_layout);
}

std::string LayoutName(const AVChannelLayout& layout) {
    AVChannelLayout named{};
    if (layout.order == AV_CHANNEL_ORDER_UNSPEC || !av_channel_layout_check(&layout)) {
        av_channel_layout_default(&named, layout.nb_channels);
    } else if (av_channel_layout_copy(&named, &layout) < 0) {
        return {};
    }
    char text[128] = {};
    av_channel_layout_describe(&named, text, sizeof text);
    av_channel_layout_uninit(&named);
    return text;
}

std::string RatioText(AVRational r) { return std::to_string(r.num) + "/" + std::to_string(r.den); }

}  // namespace vv
