#include "decode_stage.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "av_compat.h"
#include "encoder.h"
#include "stop.h"
#include "timeline.h"

extern "C" {
#include <libavutil/cpu.h>
}

namespace vv {
namespace {

// Decoding errors in a row after which the rest of a packet is given up.
constexpr int kErrorsInARow = 64;

// Threads for a decoder: two pictures in flight beyond one per core. Such a decoder gives
// its pictures back in order, and a picture waits for the rows of those it is predicted
// from; a skipped picture holds its place only briefly. With pictures to spare, a waiting
// one does not leave a core idle (720p H.264 on two cores: 2-8 % less time than one per
// core; 480p MPEG-4 the same).
// A conversion given one core of a machine it shares with other rows decodes on its own
// thread alone.
int DecoderThreads() { return Cores() == 1 ? 1 : Cores() + 2; }

}  // namespace

CodecContextPtr OpenDecoder(AVStream* in, std::string& reason) {
    const AVCodec* codec = avcodec_find_decoder(in->codecpar->codec_id);
    if (codec == nullptr) {
        std::string name = avcodec_get_name(in->codecpar->codec_id);
        for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        reason = "no decoder for the " + name + (in->codecpar->codec_type == AVMEDIA_TYPE_VIDEO ? " picture" : " sound");
        return nullptr;
    }
    try {
        return OpenCodecContext(
            codec, "decoder",
            [in](AVCodecContext* c) {
                avcodec_parameters_to_context(c, in->codecpar);
                c->pkt_timebase = in->time_base;
                c->thread_count = DecoderThreads();
            },
            nullptr);
    } catch (const VvError& e) {
        reason = e.what();  // damaged parameters
        return nullptr;
    }
}

DecodeStage::DecodeStage(const StreamInfo& stream, CodecContextPtr decoder, std::unique_ptr<DropForecast> forecast,
                         StreamStart& start, Inlet<DecodedFrame>& out)
    : stream_(stream),
      decoder_(std::move(decoder)),
      forecast_(std::move(forecast)),
      start_(start),
      out_(out),
      in_([this](PacketPtr p) { Decode(std::move(p)); }, [this] { Finish(); }) {
    start_.Declare(stream_.index, ShapeOfDecoder(stream_.type, decoder_.get()));
}

void DecodeStage::Decode(PacketPtr packet) {
    if (!forecast_) {
        DecodePacket(packet.get(), false);
        return;
    }
    std::vector<DropForecast::Decided> decided;
    forecast_->Push(std::move(packet), decided);
    for (const auto& d : decided) DecodePacket(d.packet.get(), d.leftOut);
}

void DecodeStage::DecodePacket(const AVPacket* packet, bool leftOut) {
    if (start_.Dropped(stream_.index)) return;
    // After a stop, packets still on their way are not decoded: the output ends about
    // where the reading stopped.
    if (packet != nullptr && StopSignal() != 0) return;
    ClearLibraryMessage(LibraryPart::kDecoder, stream_.type);
    // The decoder takes the setting with the packet (a decoding thread copies it then);
    // every packet before this one was taken by the last ReceiveFrames.
    AVCodecContext* decoder = decoder_.get();
    const AVDiscard skip = leftOut ? AVDISCARD_NONREF : AVDISCARD_DEFAULT;
    decoder->skip_frame = skip;
    int ret = avcodec_send_packet(decoder, packet);
    if (ret == AVERROR(EAGAIN)) {
        decoder->skip_frame = AVDISCARD_DEFAULT;  // for a packet still held from before
        ReceiveFrames();
        decoder->skip_frame = skip;
        ret = avcodec_send_packet(decoder, packet);
    }
    if (ret < 0 && ret != AVERROR_EOF) NoteError(ret);
    ReceiveFrames();
    decoder->skip_frame = AVDISCARD_DEFAULT;
    // What the decoder has learnt of the stream, should the output start it unseen.
    if (start_.Waiting(stream_.index)) start_.Declare(stream_.index, ShapeOfDecoder(stream_.type, decoder));
}

void DecodeStage::Finish() {
    if (forecast_) {
        std::vector<DropForecast::Decided> decided;
        forecast_->Flush(decided);
        for (const auto& d : decided) DecodePacket(d.packet.get(), d.leftOut);
    }
    DecodePacket(nullptr, false);
    out_.End();
}

void DecodeStage::NoteError(int err) { decodeError_ = LibraryReason(LibraryPart::kDecoder, err, stream_.type); }

void DecodeStage::ReceiveFrames() {
    FramePtr frame;
    int errors = 0;
    for (;;) {
        if (!frame) frame = MakeFrame();
        if (!frame) throw VvError("out of memory");
        const int ret = avcodec_receive_frame(decoder_.get(), frame.get());
        if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF) return;
        if (ret < 0) {
            NoteError(ret);
            if (++errors > kErrorsInARow) return;
            continue;
        }
        errors = 0;
        OnFrame(std::move(frame));
    }
}

std::int64_t DecodeStage::FrameDuration(const AVFrame* f) const {
    const AVRational tb = stream_.in->time_base;
    if (stream_.type == AVMEDIA_TYPE_AUDIO) {
        return f->sample_rate > 0 ? av_rescale_q(f->nb_samples, AVRational{1, f->sample_rate}, tb) : 0;
    }
    if (const std::int64_t d = av::FrameDuration(f); d > 0 && av_rescale_q(d, tb, kMicro) <= Timelines::kMaxStep) {
        return d;
    }
    // From the frame rate, within what a frame can believably last.
    const AVRational rate =
        stream_.frameRate.num > 0 && stream_.frameRate.den > 0 ? stream_.frameRate : AVRational{25, 1};
    const std::int64_t us = std::min(av_rescale_q(1, av_inv_q(rate), kMicro), Timelines::kMaxStep);
    return std::max<std::int64_t>(av_rescale_q(us, kMicro, tb), 1);
}

void DecodeStage::OnFrame(FramePtr frame) {
    if (forecast_) forecast_->Decoded(frame->pts, frame->best_effort_timestamp);
    // Timestamps start at the input's start, as the ffmpeg tool makes them; a frame
    // without one follows the one before.
    std::int64_t pts = frame->best_effort_timestamp;
    if (pts != AV_NOPTS_VALUE) {
        pts -= stream_.startIn;
    } else {
        pts = nextPts_ != AV_NOPTS_VALUE ? nextPts_ : 0;
    }
    frame->pts = pts;
    const std::int64_t end = pts + FrameDuration(frame.get());
    nextPts_ = end;
    out_.Put({std::move(frame), end});
}

}  // namespace vv
