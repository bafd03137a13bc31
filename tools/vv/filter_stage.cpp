#include "filter_stage.h"

#include <algorithm>

namespace vv {

FilterStage::FilterStage(const StreamInfo& stream, StreamStart& start, Inlet<FramePtr>& out)
    : stream_(stream),
      start_(start),
      out_(out),
      in_([this](DecodedFrame f) { Filter(std::move(f)); }, [this] { Finish(); }) {}

std::string FilterStage::SetupError() const {
    return setupError_.empty() ? start_.SetupError(stream_.index) : setupError_;
}

// False when the stream is not (or no longer) converted.
bool FilterStage::TakeOver(const Shape* shape) {
    if (looked_) return running_;
    looked_ = true;
    if (auto handover = start_.TakeOver(stream_.index, shape)) {
        filters_ = std::move(handover->filters);
        chain_ = std::move(handover->chain);
        frameSize_ = handover->frameSize;
        running_ = true;
    }
    return running_;
}

void FilterStage::Filter(DecodedFrame decoded) {
    AVFrame* frame = decoded.frame.get();
    endPts_ = endPts_ == AV_NOPTS_VALUE ? decoded.end : std::max(endPts_, decoded.end);
    const Shape shape = ShapeOfFrame(stream_.type, frame);
    if (!TakeOver(&shape)) return;
    if (!(shape == filters_.Takes())) {
        // The frames changed size or layout: what the old filters hold goes first.
        if (filters_.Built()) Drain();
        if (!filters_.Build(stream_.type, stream_.in->time_base, shape, chain_, frameSize_, setupError_)) return;
    }
    if (!filters_.Built()) return;
    if (!filters_.Add(frame)) return;
    Drain();
}

void FilterStage::Drain() {
    while (FramePtr filtered = filters_.Next()) out_.Put(std::move(filtered));
}

void FilterStage::Finish() {
    if (TakeOver(nullptr) && filters_.Built()) {
        // The filters end where the last frame ends, so that it is not lost.
        filters_.Close(endPts_ != AV_NOPTS_VALUE ? endPts_ : 0);
        Drain();
    }
    out_.End();
}

}  // namespace vv
