#pragma once
// One stream's filter graph: frame rate, size and pixel format, or sample rate, channels
// and sample format, from a source taking frames of one shape to a sink.
#include <cstdint>
#include <string>

#include "av_ptr.h"
#include "shape.h"

namespace vv {

class Filters {
public:
    // Builds the filters `chain` for frames of this shape (timestamps in `timeBase`), with
    // sound given in frames of `frameSize` samples when that is not 0. False when they
    // cannot take the shape; `error` then says why, when the library refused.
    bool Build(AVMediaType type, AVRational timeBase, const Shape& shape, const std::string& chain, int frameSize,
               std::string& error);

    bool Built() const { return graph_ != nullptr; }
    // The shape the source takes (the last one built for, even when that failed).
    const Shape& Takes() const { return shape_; }

    // Gives the source a frame; false when it refuses it.
    bool Add(AVFrame* frame);
    // Ends the frames at `pts`, so that the last one is not lost.
    void Close(std::int64_t pts);
    // The next filtered frame; null when none is ready (or the filters could not make it).
    FramePtr Next();

private:
    FilterGraphPtr graph_;
    AVFilterContext* source_ = nullptr;
    AVFilterContext* sink_ = nullptr;
    Shape shape_;
};

}  // namespace vv
