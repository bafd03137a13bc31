#include "write_stage.h"

#include <algorithm>
#include <cerrno>

#include "convert/run_naming.h"
#include "encoder.h"
#include "output_file.h"
#include "platform/files.h"

namespace vv {
namespace {

// How long the output waits for every stream's first packet before it starts without
// the streams still silent (in output time, and in encoded bytes held meanwhile).
constexpr std::int64_t kHeaderWaitUs = 10'000'000;
constexpr std::size_t kHeaderWaitBytes = std::size_t{32} << 20;

#ifndef EDQUOT
#define EDQUOT ENOSPC  // Windows' C runtime has no error number of its own for a full quota
#endif

bool IsWriteError(int err) {
    for (const int e : {EIO, ENOSPC, EDQUOT, EFBIG, EROFS, EACCES, EPERM, EBADF, EPIPE}) {
        if (err == AVERROR(e)) return true;
    }
    return false;
}

}  // namespace

WriteStage::WriteStage(const Options& opt, std::size_t streams, std::function<void()> beforeEnd)
    : opt_(opt),
      beforeEnd_(std::move(beforeEnd)),
      in_([this](EncodedPacket p) { Mux(std::move(p)); }, [this] { Finish(); }, static_cast<int>(streams)),
      streams_(streams) {
    if (!opt_.overwrite && platform::PathTaken(opt_.output)) {
        throw VvError("output " + opt_.output + " exists (use -y)", convert::ToolStatus::kOutput);
    }
    if (convert::SameFile(opt_.input, opt_.output)) throw VvError("the output would overwrite the input " + opt_.input, convert::ToolStatus::kOutput);
    AVFormatContext* raw = nullptr;
    if (avformat_alloc_output_context2(&raw, nullptr, nullptr, opt_.output.c_str()) < 0 || raw == nullptr) {
        throw VvError("no output format for the name " + opt_.output, convert::ToolStatus::kCommandLine);
    }
    output_.reset(raw);
    file_ = std::make_unique<OutputFile>(opt_.output);
    output_->pb = file_->Io();
    output_->flags |= AVFMT_FLAG_CUSTOM_IO;
}

void WriteStage::Mux(EncodedPacket p) {
    if (headerWritten_) {
        WritePacket(p);
        return;
    }
    // The header waits for every stream's first frame, within bounds.
    const std::int64_t ts = p.packet->dts != AV_NOPTS_VALUE ? p.packet->dts : p.packet->pts;
    if (ts != AV_NOPTS_VALUE) {
        const std::int64_t at = av_rescale_q(ts, p.timeBase, kMicro);
        queuedFrom_ = std::min(queuedFrom_, at);
        queuedTo_ = std::max(queuedTo_, at);
    }
    queuedBytes_ += static_cast<std::size_t>(p.packet->size);
    queued_.push_back(std::move(p));
    const bool waiting = queuedBytes_ <= kHeaderWaitBytes && queuedTo_ - queuedFrom_ <= kHeaderWaitUs;
    if (waiting && !start_->AllStarted()) return;
    AddOutputStreams(start_->StartEveryStream());
    WriteHeader();
}

// The output's streams: one for each stream converted.
void WriteStage::AddOutputStreams(const std::vector<StreamStart::Output>& running) {
    for (const StreamStart::Output& s : running) {
        AVStream* out = avformat_new_stream(output_.get(), nullptr);
        if (out == nullptr || avcodec_parameters_copy(out->codecpar, s.parameters) < 0) {
            throw VvError("out of memory");
        }
        out->time_base = s.timeBase;
        if (s.type == AVMEDIA_TYPE_VIDEO) out->sample_aspect_ratio = s.sar;
        streams_[s.stream].out = out;
    }
}

void WriteStage::Failure(int err) const {
    const std::string reason = LibraryReason(LibraryPart::kOutput, err);
    if (IsWriteError(err)) throw VvError("cannot write " + opt_.output + ": " + reason, WriteFailure(err));
    throw VvError("cannot make " + opt_.output + ": " + reason, WriteFailure(err));
}

void WriteStage::WriteHeader() {
    ClearLibraryMessage(LibraryPart::kOutput);
    const int ret = avformat_write_header(output_.get(), nullptr);
    if (ret < 0) Failure(ret);
    headerWritten_ = true;
    for (EncodedPacket& p : queued_) WritePacket(p);
    queued_.clear();
    queuedBytes_ = 0;
}

void WriteStage::WritePacket(EncodedPacket& p) {
    Writing& s = streams_[p.stream];
    if (s.out == nullptr) return;  // a stream left out of the output
    AVPacket* packet = p.packet.get();
    packet->stream_index = s.out->index;
    if (const std::int64_t at = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts; at != AV_NOPTS_VALUE) {
        s.from = std::min(s.from, av_rescale_q(at, p.timeBase, kMicro));
        s.to = std::max(s.to, av_rescale_q(at + std::max<std::int64_t>(packet->duration, 0), p.timeBase, kMicro));
    }
    av_packet_rescale_ts(packet, p.timeBase, s.out->time_base);
    // Decoding times only rise, whatever the input did.
    if (packet->dts != AV_NOPTS_VALUE && s.lastMuxDts != AV_NOPTS_VALUE) {
        const std::int64_t least = s.lastMuxDts + ((output_->oformat->flags & AVFMT_TS_NONSTRICT) ? 0 : 1);
        if (packet->dts < least) {
            if (packet->pts != AV_NOPTS_VALUE && packet->pts >= packet->dts) packet->pts = std::max(packet->pts, least);
            packet->dts = least;
        }
    }
    if (packet->pts != AV_NOPTS_VALUE && packet->dts != AV_NOPTS_VALUE && packet->pts < packet->dts)
        packet->pts = packet->dts;
    if (packet->dts != AV_NOPTS_VALUE) s.lastMuxDts = packet->dts;
    ClearLibraryMessage(LibraryPart::kOutput);
    const int ret = av_interleaved_write_frame(output_.get(), packet);
    if (ret < 0) Failure(ret);
}

std::int64_t WriteStage::Covered() const {
    std::int64_t from = INT64_MAX, to = INT64_MIN;
    for (const Writing& s : streams_) {
        if (s.out == nullptr || s.from > s.to) continue;
        from = std::min(from, s.from);
        to = std::max(to, s.to);
    }
    return from > to ? 0 : to - from;
}

// Every stream has ended (the input's end, or a stop): the output is finished.
void WriteStage::Finish() {
    beforeEnd_();
    if (!headerWritten_) {
        AddOutputStreams(start_->LeaveOutWaiting());
        WriteHeader();
    }
    ClearLibraryMessage(LibraryPart::kOutput);
    const int ret = av_write_trailer(output_.get());
    if (ret < 0) Failure(ret);
}

}  // namespace vv
