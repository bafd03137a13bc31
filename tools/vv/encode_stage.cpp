#include "encode_stage.h"

namespace vv {

EncodeStage::EncodeStage(const StreamInfo& stream, StreamStart& start, Inlet<EncodedPacket>& out)
    : stream_(stream),
      start_(start),
      out_(out),
      in_([this](FramePtr f) { Encode(std::move(f)); }, [this] { Finish(); }) {}

// Takes the encoder the stream's start made, if it runs (frames come only from a running
// stream).
void EncodeStage::Look() {
    if (looked_) return;
    looked_ = true;
    encoding_ = start_.TakeEncoder(stream_.index);
}

void EncodeStage::Encode(FramePtr filtered) {
    Look();
    if (!encoding_.encoder) return;
    AVFrame* frame = filtered.get();
    if (stream_.type == AVMEDIA_TYPE_VIDEO) {
        // Each moment of the output gets one picture.
        if (frame->pts != AV_NOPTS_VALUE && lastPicture_ != AV_NOPTS_VALUE && frame->pts <= lastPicture_) return;
        lastPicture_ = frame->pts;
        frame->sample_aspect_ratio = encoding_.sar;
        frame->pict_type = AV_PICTURE_TYPE_NONE;
    } else {
        // Sound follows on without overlaps.
        if (frame->pts == AV_NOPTS_VALUE || (nextSound_ != AV_NOPTS_VALUE && frame->pts < nextSound_)) {
            frame->pts = nextSound_ != AV_NOPTS_VALUE ? nextSound_ : 0;
        }
        nextSound_ = frame->pts + frame->nb_samples;
    }
    encoding_.encoder->Send(frame);
    ++frames_;
    TakePackets();
}

void EncodeStage::Finish() {
    Look();
    if (encoding_.encoder) {
        encoding_.encoder->Send(nullptr);
        TakePackets();
    }
    out_.End();
}

void EncodeStage::TakePackets() {
    for (;;) {
        PacketPtr packet = MakePacket();
        if (!packet) throw VvError("out of memory");
        if (!encoding_.encoder->Receive(packet.get())) return;
        const auto bytes = static_cast<std::size_t>(packet->size);
        out_.Put({stream_.index, std::move(packet), encoding_.timeBase}, bytes);
    }
}

}  // namespace vv
