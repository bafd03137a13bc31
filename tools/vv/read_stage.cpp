#include "read_stage.h"

#include <algorithm>

#include "encoder.h"
#include "stop.h"

namespace vv {

int ReadStage::Interrupt(void* self) {
    return StopSignal() != 0 || static_cast<const ReadStage*>(self)->workers_.Aborted() ? 1 : 0;
}

ReadStage::ReadStage(const Options& opt, ProgressWriter& progress, const Workers& workers)
    : opt_(opt), progress_(progress), workers_(workers) {
    AVFormatContext* raw = avformat_alloc_context();
    if (raw == nullptr) throw VvError("out of memory");
    raw->interrupt_callback.callback = Interrupt;
    raw->interrupt_callback.opaque = this;
    ClearLibraryMessage(LibraryPart::kInput);
    // Always a file name, never a protocol ("a:b.avi" is a file in the current folder).
    const int ret = avformat_open_input(&raw, ("file:" + opt_.input).c_str(), nullptr, nullptr);
    if (ret < 0) throw VvError("cannot open input " + opt_.input + ": " + LibraryReason(LibraryPart::kInput, ret), convert::ToolStatus::kInput);
    input_.reset(raw);
    // Parameters it could not find are looked for again in the frames, as the ffmpeg tool does.
    if (avformat_find_stream_info(input_.get(), nullptr) < 0 && input_->nb_streams == 0) {
        throw VvError("cannot read the streams of " + opt_.input, convert::ToolStatus::kInput);
    }
    inputStart_ = input_->start_time;
    timelines_.SetStart(inputStart_);
}

namespace {
bool IsCover(const AVStream* s) { return (s->disposition & AV_DISPOSITION_ATTACHED_PIC) != 0; }
}  // namespace

AVStream* ReadStage::BestStream(AVMediaType type) const {
    const int found = av_find_best_stream(input_.get(), type, -1, -1, nullptr, 0);
    if (found < 0) return nullptr;
    AVStream* in = input_->streams[found];
    if (type != AVMEDIA_TYPE_VIDEO || !IsCover(in)) return in;
    // A cover is no video; a moving picture beside it is.
    for (unsigned i = 0; i < input_->nb_streams; ++i) {
        AVStream* s = input_->streams[i];
        if (s->codecpar->codec_type == AVMEDIA_TYPE_VIDEO && !IsCover(s)) return s;
    }
    return nullptr;
}

bool ReadStage::OnlyACover() const {
    bool cover = false;
    for (unsigned i = 0; i < input_->nb_streams; ++i) {
        const AVStream* s = input_->streams[i];
        if (s->codecpar->codec_type != AVMEDIA_TYPE_VIDEO) continue;
        if (!IsCover(s)) return false;
        cover = true;
    }
    return cover;
}

StreamInfo ReadStage::Describe(AVStream* in, std::size_t index) const {
    StreamInfo s;
    s.index = index;
    s.type = in->codecpar->codec_type;
    s.in = in;
    if (s.type == AVMEDIA_TYPE_VIDEO) {
        s.frameRate = av_guess_frame_rate(input_.get(), in, nullptr);
        s.look = LookOf(in);
    }
    s.startIn = inputStart_ != AV_NOPTS_VALUE ? av_rescale_q(inputStart_, AV_TIME_BASE_Q, in->time_base) : 0;
    return s;
}

void ReadStage::AddStream(const StreamInfo& stream, Inlet<PacketPtr>& packets) {
    const int lane = timelines_.AddStream(stream.in->time_base, stream.frameRate);
    readingOf_[static_cast<std::size_t>(stream.in->index)] = streams_.size();
    streams_.push_back({stream.index, lane, &packets});
}

void ReadStage::Run() {
    PacketPtr packet = MakePacket();
    Timelines::Ready ready;
    while (StopSignal() == 0 && !workers_.Aborted()) {
        ClearLibraryMessage(LibraryPart::kInput);
        const int ret = av_read_frame(input_.get(), packet.get());
        if (ret == AVERROR(EAGAIN)) continue;
        // A file the system cannot read to its end (not a damaged one: a failing disk)
        // is not converted as if it ended there.
        const int readError = input_->pb != nullptr ? input_->pb->error : 0;
        if (ret < 0 && readError < 0 && readError != AVERROR_EOF && readError != AVERROR_EXIT) {
            throw VvError("cannot read " + opt_.input + ": " + ErrorText(readError), convert::ToolStatus::kInput);
        }
        // The end, or damage the reader cannot get past: what was read is converted,
        // as the ffmpeg tool does.
        if (ret < 0) break;
        const auto it = readingOf_.find(static_cast<std::size_t>(packet->stream_index));
        if (it == readingOf_.end() || start_->Dropped(streams_[it->second].stream)) {
            av_packet_unref(packet.get());
            continue;
        }
        PacketPtr taken = MakePacket();
        if (!taken) throw VvError("out of memory");
        av_packet_move_ref(taken.get(), packet.get());
        timelines_.Push(streams_[it->second].lane, std::move(taken), ready);
        PassOn(ready);
        ReportProgress();
    }
    timelines_.Flush(ready);
    PassOn(ready);
    for (const Reading& s : streams_) s.packets->End();
}

void ReadStage::PassOn(Timelines::Ready& ready) {
    for (auto& [lane, packet] : ready) {
        for (const Reading& s : streams_) {
            if (s.lane != lane) continue;
            const auto bytes = static_cast<std::size_t>(packet->size);
            s.packets->Put(std::move(packet), bytes);
            break;
        }
    }
    ready.clear();
}

// By time while the timestamps run on one course and the duration is known, else by the
// bytes read.
void ReadStage::ReportProgress() {
    const std::int64_t duration = input_->duration;
    const std::int64_t clock = timelines_.Clock();
    if (duration > 0 && clock != AV_NOPTS_VALUE && !timelines_.Moved()) {
        std::int64_t pos = clock;
        if (inputStart_ != AV_NOPTS_VALUE) pos -= inputStart_;
        const std::int64_t permille = pos * 1000 / duration;
        if (permille < 1000) {
            progress_.Update(static_cast<int>(std::max<std::int64_t>(permille, 0)));
            return;
        }
    }
    const std::int64_t size = input_->pb != nullptr ? avio_size(input_->pb) : -1;
    if (size > 0)
        progress_.Update(static_cast<int>(std::clamp<std::int64_t>(avio_tell(input_->pb) * 1000 / size, 0, 999)));
}

}  // namespace vv
