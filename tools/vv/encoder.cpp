#include "encoder.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstring>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

#include "convert/contract.h"
#include "platform/environment.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/cpu.h>
#include <opencore-amrnb/interf_enc.h>
}

namespace vv {
namespace {

constexpr std::size_t kParts = static_cast<std::size_t>(LibraryPart::kOther) + 1;
// Each part's last message by the media it was about: video, sound, or none in particular.
constexpr std::size_t kVideo = 0, kAudio = 1, kNoMedia = 2, kMediaSlots = 3;
// Kept in a fixed buffer: the log callback runs inside FFmpeg's C code, where nothing
// may allocate its way into an exception.
constexpr std::size_t kMessageBytes = 512;
struct Message {
    char text[kMessageBytes] = {};
    std::uint64_t order = 0;  // when it came, to tell the latest of a part's slots
};
std::mutex gLogMutex;
Message gLastMessage[kParts][kMediaSlots];
std::uint64_t gMessages = 0;

std::size_t SlotOf(AVMediaType media) noexcept {
    if (media == AVMEDIA_TYPE_VIDEO) return kVideo;
    if (media == AVMEDIA_TYPE_AUDIO) return kAudio;
    return kNoMedia;
}

LibraryPart PartOf(void* context) noexcept {
    if (context == nullptr) return LibraryPart::kOther;
    const AVClass* cls = *static_cast<AVClass**>(context);
    if (cls == nullptr) return LibraryPart::kOther;
    const AVClassCategory category = cls->get_category != nullptr ? cls->get_category(context) : cls->category;
    switch (category) {
        case AV_CLASS_CATEGORY_DEMUXER:
        case AV_CLASS_CATEGORY_INPUT: return LibraryPart::kInput;
        case AV_CLASS_CATEGORY_DECODER: return LibraryPart::kDecoder;
        case AV_CLASS_CATEGORY_ENCODER: return LibraryPart::kEncoder;
        case AV_CLASS_CATEGORY_MUXER:
        case AV_CLASS_CATEGORY_OUTPUT: return LibraryPart::kOutput;
        case AV_CLASS_CATEGORY_FILTER:
        case AV_CLASS_CATEGORY_SWSCALER:
        case AV_CLASS_CATEGORY_SWRESAMPLER: return LibraryPart::kFilter;
        default: return LibraryPart::kOther;
    }
}

// The media a logging context works on, where it tells.
AVMediaType MediaOf(void* context) noexcept {
    if (context == nullptr) return AVMEDIA_TYPE_UNKNOWN;
    const AVClass* cls = *static_cast<AVClass**>(context);
    if (cls == nullptr) return AVMEDIA_TYPE_UNKNOWN;
    if (cls == avcodec_get_class()) return static_cast<const AVCodecContext*>(context)->codec_type;
    if (cls == avfilter_get_class()) {
        const auto* filter = static_cast<const AVFilterContext*>(context);
        if (filter->nb_inputs > 0) return avfilter_pad_get_type(filter->input_pads, 0);
        if (filter->nb_outputs > 0) return avfilter_pad_get_type(filter->output_pads, 0);
        return AVMEDIA_TYPE_UNKNOWN;
    }
    const AVClassCategory category = cls->get_category != nullptr ? cls->get_category(context) : cls->category;
    if (category == AV_CLASS_CATEGORY_SWSCALER) return AVMEDIA_TYPE_VIDEO;
    if (category == AV_CLASS_CATEGORY_SWRESAMPLER) return AVMEDIA_TYPE_AUDIO;
    return AVMEDIA_TYPE_UNKNOWN;
}

// Called from FFmpeg's C code on any of its threads: nothing may throw out of it, so it
// copies into fixed buffers and swallows whatever the lock could throw.
void LogCallback(void* context, int level, const char* fmt, va_list args) noexcept {
    // Warnings too: some refusals (the FLV muxer's "not in the proper order") come as one.
    if (level > AV_LOG_WARNING) return;
    char line[kMessageBytes];
    if (std::vsnprintf(line, sizeof line, fmt, args) < 0) return;
    std::size_t length = std::strlen(line);
    while (length > 0 && (line[length - 1] == '\n' || line[length - 1] == ' ')) line[--length] = '\0';
    if (length == 0) return;
    const std::size_t part = static_cast<std::size_t>(PartOf(context));
    const std::size_t slot = SlotOf(MediaOf(context));
    try {
        std::lock_guard guard(gLogMutex);
        Message& m = gLastMessage[part][slot];
        std::memcpy(m.text, line, length + 1);
        m.order = ++gMessages;
    } catch (...) {
        // The message is lost; the call that failed still reports FFmpeg's error text.
    }
}

class LibavEncoder final : public Encoder {
public:
    explicit LibavEncoder(CodecContextPtr ctx) : ctx_(std::move(ctx)) {}

    void Send(const AVFrame* frame) override {
        const int ret = avcodec_send_frame(ctx_.get(), frame);
        if (ret < 0 && ret != AVERROR_EOF) {
            throw VvError("encoding with " + std::string(ctx_->codec->name) + " failed: " + ErrorText(ret));
        }
    }
    bool Receive(AVPacket* packet) override {
        const int ret = avcodec_receive_packet(ctx_.get(), packet);
        if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF) return false;
        if (ret < 0) throw VvError("encoding with " + std::string(ctx_->codec->name) + " failed: " + ErrorText(ret));
        return true;
    }
    AVRational TimeBase() const override { return ctx_->time_base; }
    void FillParameters(AVCodecParameters* par) const override { avcodec_parameters_from_context(par, ctx_.get()); }
    int FrameSize() const override {
        if (ctx_->codec_type != AVMEDIA_TYPE_AUDIO) return 0;
        return (ctx_->codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE) ? 0 : ctx_->frame_size;
    }

private:
    CodecContextPtr ctx_;
};

struct AmrMode {
    std::int64_t bitrate;
    Mode mode;
};
constexpr AmrMode kAmrModes[] = {{4750, MR475}, {5150, MR515}, {5900, MR59},   {6700, MR67},
                                 {7400, MR74},  {7950, MR795}, {10200, MR102}, {12200, MR122}};

class AmrNbEncoder final : public Encoder {
public:
    static constexpr int kSampleRate = 8000;
    static constexpr int kFrameSamples = 160;

    explicit AmrNbEncoder(std::int64_t bitrate) : bitrate_(bitrate) {
        const AmrMode* found = nullptr;
        for (const AmrMode& m : kAmrModes) {
            if (m.bitrate == bitrate) found = &m;
        }
        if (found == nullptr) {
            throw VvError("AMR-NB cannot encode at " + std::to_string(bitrate) + " bit/s", convert::ToolStatus::kSettings);
        }
        mode_ = found->mode;
        state_ = Encoder_Interface_init(0);
        if (state_ == nullptr) throw VvError("cannot start the AMR-NB encoder");
    }
    ~AmrNbEncoder() override { Encoder_Interface_exit(state_); }
    AmrNbEncoder(const AmrNbEncoder&) = delete;
    AmrNbEncoder& operator=(const AmrNbEncoder&) = delete;

    void Send(const AVFrame* frame) override {
        if (frame == nullptr) return;
        short speech[kFrameSamples] = {};
        const int n = std::min(frame->nb_samples, kFrameSamples);
        std::memcpy(speech, frame->data[0], static_cast<std::size_t>(n) * sizeof(short));
        unsigned char out[64];
        const int bytes = Encoder_Interface_Encode(state_, mode_, speech, out, 0);
        if (bytes <= 0) throw VvError("AMR-NB encoding failed");
        Pending p;
        p.data.assign(out, out + bytes);
        p.pts = frame->pts;
        pending_.push_back(std::move(p));
    }
    bool Receive(AVPacket* packet) override {
        if (pending_.empty()) return false;
        Pending& p = pending_.front();
        if (av_new_packet(packet, static_cast<int>(p.data.size())) < 0) throw VvError("out of memory");
        std::memcpy(packet->data, p.data.data(), p.data.size());
        packet->pts = packet->dts = p.pts;
        packet->duration = kFrameSamples;
        packet->flags |= AV_PKT_FLAG_KEY;
        pending_.pop_front();
        return true;
    }
    AVRational TimeBase() const override { return {1, kSampleRate}; }
    void FillParameters(AVCodecParameters* par) const override {
        par->codec_type = AVMEDIA_TYPE_AUDIO;
        par->codec_id = AV_CODEC_ID_AMR_NB;
        par->sample_rate = kSampleRate;
        av_channel_layout_default(&par->ch_layout, 1);
        par->format = AV_SAMPLE_FMT_S16;
        par->frame_size = kFrameSamples;
        par->bit_rate = bitrate_;
    }
    int FrameSize() const override { return kFrameSamples; }

private:
    struct Pending {
        std::vector<unsigned char> data;
        std::int64_t pts = 0;
    };
    std::int64_t bitrate_;
    Mode mode_ = MR122;
    void* state_ = nullptr;
    std::deque<Pending> pending_;
};

}  // namespace

std::string ErrorText(int err) {
    char buf[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(err, buf, sizeof buf);
    return buf;
}

namespace {
int MachineCores() { return std::max(av_cpu_count(), 1); }
}  // namespace

int Cores() {
    static const int cores = [] {
        const std::string share = platform::EnvironmentValue(convert::kCoresVariable);
        int n = 0;
        const auto [end, error] = std::from_chars(share.data(), share.data() + share.size(), n);
        if (error == std::errc() && end == share.data() + share.size() && n >= 1) return std::min(n, MachineCores());
        return MachineCores();
    }();
    return cores;
}

bool SharedCores() { return Cores() < MachineCores(); }

int SpareCores() { return std::max(Cores() - 2, 1); }

void CaptureLibraryMessages() { av_log_set_callback(LogCallback); }

void ClearLibraryMessage(LibraryPart part, AVMediaType media) {
    Message(&slots)[kMediaSlots] = gLastMessage[static_cast<std::size_t>(part)];
    std::lock_guard guard(gLogMutex);
    const std::size_t slot = SlotOf(media);
    for (std::size_t i = 0; i < kMediaSlots; ++i) {
        if (slot == kNoMedia || i == slot || i == kNoMedia) slots[i] = Message{};
    }
}

std::string LastLibraryMessage(LibraryPart part, AVMediaType media) {
    const Message(&slots)[kMediaSlots] = gLastMessage[static_cast<std::size_t>(part)];
    std::lock_guard guard(gLogMutex);
    const std::size_t slot = SlotOf(media);
    if (slot != kNoMedia) return slots[slot].text[0] != '\0' ? slots[slot].text : slots[kNoMedia].text;
    const Message* latest = &slots[0];
    for (const Message& m : slots) {
        if (m.order > latest->order) latest = &m;
    }
    return latest->text;
}

std::string LibraryReason(LibraryPart part, int err, AVMediaType media) {
    const std::string text = ErrorText(err);
    const std::string logged = LastLibraryMessage(part, media);
    if (logged.empty()) return text;
    if (logged.find(text) != std::string::npos) return logged;
    return logged + " (" + text + ")";
}

CodecContextPtr OpenCodecContext(const AVCodec* codec, const std::string& what,
                                 const std::function<void(AVCodecContext*)>& configure, AVDictionary** options) {
    CodecContextPtr ctx(avcodec_alloc_context3(codec));
    if (!ctx) throw VvError("out of memory");
    configure(ctx.get());
    const LibraryPart part = av_codec_is_encoder(codec) ? LibraryPart::kEncoder : LibraryPart::kDecoder;
    ClearLibraryMessage(part, codec->type);
    const int ret = avcodec_open2(ctx.get(), codec, options);
    if (ret < 0)
        throw VvError("cannot open " + what + " " + codec->name + ": " + LibraryReason(part, ret, codec->type),
                      part == LibraryPart::kEncoder ? convert::ToolStatus::kSettings : convert::ToolStatus::kInput);
    return ctx;
}

std::unique_ptr<Encoder> MakeLibavEncoder(CodecContextPtr context) {
    return std::make_unique<LibavEncoder>(std::move(context));
}

std::unique_ptr<Encoder> MakeAmrNbEncoder(std::int64_t bitrate) { return std::make_unique<AmrNbEncoder>(bitrate); }

}  // namespace vv
