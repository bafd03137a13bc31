#pragma once
// What every stage of a conversion knows of a stream, and what passes between the stages
// (reading, decoding, filtering, encoding, writing) through their inlets.
#include <cstddef>
#include <cstdint>

#include "av_ptr.h"
#include "picture.h"
#include "vv_options.h"

namespace vv {

inline constexpr AVRational kMicro{1, AV_TIME_BASE};

// A converted stream as every stage sees it: fixed before the stages start.
struct StreamInfo {
    std::size_t index = 0;  // among the converted streams
    AVMediaType type = AVMEDIA_TYPE_UNKNOWN;
    AVStream* in = nullptr;
    AVRational frameRate{0, 1};  // the input's, for frames without a duration
    std::int64_t startIn = 0;    // the input's start in the stream's time base: the output starts there
    PictureLook look;            // a picture's turn and colours
};

// The pictures per second of the output: as asked, else the input's.
inline AVRational OutputRate(const Options& opt, const StreamInfo& s) {
    const AVRational rate = opt.frameRate ? AVRational{opt.frameRate->num, opt.frameRate->den} : s.frameRate;
    return rate.num > 0 && rate.den > 0 ? rate : AVRational{25, 1};
}

// A decoded frame on its way to the filters, with the time its picture or sound ends
// (input time base).
struct DecodedFrame {
    FramePtr frame;
    std::int64_t end = 0;
};

// An encoded packet on its way to the output, in its encoder's time base.
struct EncodedPacket {
    std::size_t stream = 0;
    PacketPtr packet;
    AVRational timeBase{1, 1};
};

}  // namespace vv
