#pragma once
// The encoding stage of one stream: filtered frames in, encoded packets out to the
// output. Each moment of the output gets one picture; sound follows on without overlaps.
#include <cstdint>
#include <memory>

#include "encoder.h"
#include "pipeline.h"
#include "stage_items.h"
#include "stream_start.h"

namespace vv {

class EncodeStage {
public:
    EncodeStage(const StreamInfo& stream, StreamStart& start, Inlet<EncodedPacket>& out);

    Inlet<FramePtr>& In() { return in_; }
    // Frames encoded.
    std::int64_t Frames() const { return frames_; }

private:
    void Look();
    void Encode(FramePtr filtered);
    void Finish();
    void TakePackets();

    const StreamInfo& stream_;
    StreamStart& start_;
    Inlet<EncodedPacket>& out_;
    Inlet<FramePtr> in_;
    bool looked_ = false;  // the encoder was taken from the stream's start (if it runs)
    StreamStart::EncoderHandover encoding_;
    std::int64_t lastPicture_ = AV_NOPTS_VALUE;  // the last picture encoded (encoder time base)
    std::int64_t nextSound_ = AV_NOPTS_VALUE;    // where the next sound frame goes (encoder time base)
    std::int64_t frames_ = 0;
};

}  // namespace vv
