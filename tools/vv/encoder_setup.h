#pragma once
// Opening a stream's encoder when the stream starts, for frames of a given shape, as the
// options and the output's container say.
#include <memory>
#include <string>

#include "encoder.h"
#include "shape.h"
#include "stage_items.h"

namespace vv {

// What a stream's start opens.
struct StreamEncoding {
    std::unique_ptr<Encoder> encoder;
    std::string chain;          // the filters between the decoded frames and the encoder
    AVRational sar{1, 1};       // of the encoded pictures
    ParametersPtr parameters;   // the encoder's, for the output's header
    AVRational timeBase{1, 1};  // the encoder's, of its packets
};

// Settings the encoder or the container refuse throw VvError.
StreamEncoding OpenEncoding(const Options& opt, const AVOutputFormat* format, const StreamInfo& stream,
                            const Shape& shape);

}  // namespace vv
