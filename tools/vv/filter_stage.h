#pragma once
// The filtering stage of one stream: frame rate, size and pixel format, or sample rate,
// channels and format. On its first frame the stage takes the stream over: a stream
// still waiting starts from that frame's shape, unless the output started it already
// from the declared one. Frames of a new shape rebuild the filters.
#include <cstdint>
#include <string>

#include "filters.h"
#include "pipeline.h"
#include "stage_items.h"
#include "stream_start.h"

namespace vv {

class FilterStage {
public:
    FilterStage(const StreamInfo& stream, StreamStart& start, Inlet<FramePtr>& out);

    Inlet<DecodedFrame>& In() { return in_; }
    // Why the filters could not take the frames; empty when they could.
    std::string SetupError() const;

private:
    bool TakeOver(const Shape* shape);
    void Filter(DecodedFrame decoded);
    void Drain();
    void Finish();

    const StreamInfo& stream_;
    StreamStart& start_;
    Inlet<FramePtr>& out_;
    Inlet<DecodedFrame> in_;
    bool looked_ = false;   // it has taken over the stream (or found it left out)
    bool running_ = false;  // the stream is converted
    Filters filters_;
    std::string chain_;                     // the filters after the source
    int frameSize_ = 0;                     // samples per frame the encoder needs (0: any)
    std::int64_t endPts_ = AV_NOPTS_VALUE;  // end of the frames given to the filters
    std::string setupError_;
};

}  // namespace vv
