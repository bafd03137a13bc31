#pragma once
// The decoding stage of one stream: packets in, decoded frames out, with timestamps from
// the input's start. A packet the decoder refuses is skipped, whatever the reason: what
// it did decode counts. A picture the frame rate will leave out is not decoded when no
// other picture is predicted from it (see drop_forecast.h).
#include <memory>
#include <string>

#include "drop_forecast.h"
#include "pipeline.h"
#include "stage_items.h"
#include "stream_start.h"

namespace vv {

// The stream's decoder, or null with `reason` set when it cannot be opened.
CodecContextPtr OpenDecoder(AVStream* in, std::string& reason);

class DecodeStage {
public:
    // `forecast` may be null: every picture is decoded.
    DecodeStage(const StreamInfo& stream, CodecContextPtr decoder, std::unique_ptr<DropForecast> forecast,
                StreamStart& start, Inlet<DecodedFrame>& out);

    Inlet<PacketPtr>& In() { return in_; }
    // The decoder's last error; empty when it had none.
    const std::string& Error() const { return decodeError_; }

private:
    void Decode(PacketPtr packet);
    void DecodePacket(const AVPacket* packet, bool leftOut);
    void Finish();
    void NoteError(int err);
    void ReceiveFrames();
    void OnFrame(FramePtr frame);
    std::int64_t FrameDuration(const AVFrame* f) const;

    const StreamInfo& stream_;
    CodecContextPtr decoder_;
    std::unique_ptr<DropForecast> forecast_;  // pictures the frame rate leaves out, skipped undecoded
    StreamStart& start_;
    Inlet<DecodedFrame>& out_;
    Inlet<PacketPtr> in_;
    std::int64_t nextPts_ = AV_NOPTS_VALUE;  // where the next decoded frame is expected (input time base)
    std::string decodeError_;
};

}  // namespace vv
