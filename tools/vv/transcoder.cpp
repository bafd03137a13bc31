#include "transcoder.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <map>
#include <mutex>

#include "audio_settings.h"
#include "av_compat.h"
#include "av_ptr.h"
#include "convert/run_naming.h"
#include "drop_forecast.h"
#include "encoder.h"
#include "output_file.h"
#include "pipeline.h"
#include "platform/threads.h"
#include "platform/files.h"
#include "stop.h"
#include "timeline.h"

extern "C" {
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/channel_layout.h>
#include <libavutil/cpu.h>
#include <libavutil/pixdesc.h>
}

namespace vv {
namespace {

constexpr AVRational kMicro{1, AV_TIME_BASE};
// How long the output waits for every stream's first packet before it starts without
// the streams still silent (in output time, and in encoded bytes held meanwhile).
constexpr std::int64_t kHeaderWaitUs = 10'000'000;
constexpr std::size_t kHeaderWaitBytes = std::size_t{32} << 20;
// Decoding errors in a row after which the rest of a packet is given up.
constexpr int kErrorsInARow = 64;
// The queues between stages running side by side: deep enough for the input's
// interleaving (a second or so of one stream before the other's next packet) and the
// encoders' bursts, shallow enough that memory stays flat and a stop ends quickly.
constexpr std::size_t kVideoPackets = 64, kAudioPackets = 256, kOutputPackets = 128;
constexpr std::size_t kPacketBytes = std::size_t{16} << 20;  // per packet queue
constexpr std::size_t kFrames = 8;                           // pictures between decoder, filters and encoder
constexpr std::size_t kAnyBytes = SIZE_MAX;

// Threads for a decoder: two pictures in flight beyond one per core. Such a decoder gives
// its pictures back in order, and a picture waits for the rows of those it is predicted
// from; a skipped picture holds its place only briefly. With pictures to spare, a waiting
// one does not leave a core idle (720p H.264 on two cores: 2-8 % less time than one per
// core; 480p MPEG-4 the same).
int DecoderThreads() { return std::max(av_cpu_count(), 1) + 2; }
// Threads for the filters' scaling, which runs beside the decoder and the rest: the
// cores beyond the two those keep busy. Slices of a picture scaled on threads come out
// the same as scaled on one.
int FilterThreads() { return std::max(av_cpu_count() - 2, 1); }

std::string RatioText(AVRational r) { return std::to_string(r.num) + "/" + std::to_string(r.den); }

#ifndef EDQUOT
#define EDQUOT ENOSPC  // Windows' C runtime has no error number of its own for a full quota
#endif

bool IsWriteError(int err) {
    for (const int e : {EIO, ENOSPC, EDQUOT, EFBIG, EROFS, EACCES, EPERM, EBADF, EPIPE}) {
        if (err == AVERROR(e)) return true;
    }
    return false;
}

// The channel layout as the filters name it; an unordered one becomes the usual layout
// for its channel count.
std::string LayoutName(const AVChannelLayout& layout) {
    AVChannelLayout named{};
    if (layout.order == AV_CHANNEL_ORDER_UNSPEC || !av_channel_layout_check(&layout)) {
        av_channel_layout_default(&named, layout.nb_channels);
    } else if (av_channel_layout_copy(&named, &layout) < 0) {
        return {};
    }
    char text[128] = {};
    av_channel_layout_describe(&named, text, sizeof text);
    av_channel_layout_uninit(&named);
    return text;
}

// What a stream's frames look like, as far as its filters care: a change rebuilds them.
struct Shape {
    int width = 0, height = 0;
    int format = -1;
    AVRational sar{0, 1};
    int sampleRate = 0;
    int channels = 0;
    std::string layout;

    bool operator==(const Shape& o) const {
        return width == o.width && height == o.height && format == o.format && av_cmp_q(sar, o.sar) == 0 &&
               sampleRate == o.sampleRate && channels == o.channels && layout == o.layout;
    }
    bool Usable(AVMediaType type) const {
        if (type == AVMEDIA_TYPE_VIDEO) return width > 0 && height > 0 && format >= 0;
        return sampleRate > 0 && channels > 0 && format >= 0 && !layout.empty();
    }
};

// The shape of frames of this media: video's format, size and pixel aspect (square
// when unknown), or sound's format, rate and channel layout.
Shape ShapeOf(AVMediaType type, int format, int width, int height, AVRational sar, int sampleRate,
              const AVChannelLayout& layout) {
    Shape s;
    s.format = format;
    if (type == AVMEDIA_TYPE_VIDEO) {
        s.width = width;
        s.height = height;
        s.sar = sar.num > 0 && sar.den > 0 ? sar : AVRational{1, 1};
    } else {
        s.sampleRate = sampleRate;
        s.channels = layout.nb_channels;
        if (s.channels > 0) s.layout = LayoutName(layout);
    }
    return s;
}

Shape ShapeOfFrame(AVMediaType type, const AVFrame* f) {
    return ShapeOf(type, f->format, f->width, f->height, f->sample_aspect_ratio, f->sample_rate, f->ch_layout);
}

// The shape the input declares, for a stream started before its first frame.
Shape ShapeOfDecoder(AVMediaType type, const AVCodecContext* c) {
    return ShapeOf(type, type == AVMEDIA_TYPE_VIDEO ? int{c->pix_fmt} : int{c->sample_fmt}, c->width, c->height,
                   c->sample_aspect_ratio, c->sample_rate, c->ch_layout);
}

struct StreamContext;

// A decoded frame on its way to the filters, with the time its picture or sound ends
// (input time base).
struct DecodedFrame {
    FramePtr frame;
    std::int64_t end = 0;
};

// An encoded packet on its way to the output.
struct EncodedPacket {
    StreamContext* stream = nullptr;
    PacketPtr packet;
};

// One converted stream: decoder, filter graph, encoder and output stream, and the inlets
// of its stages. Each stage's fields are touched by that stage alone; what a stream's
// start sets up is guarded by the transcoder's setup lock (the output may start a stream
// still waiting for its first frame, see Transcoder::Mux).
struct StreamContext {
    enum class State { kWaiting, kRunning, kDropped };

    AVMediaType type = AVMEDIA_TYPE_UNKNOWN;
    AVStream* in = nullptr;
    int lane = -1;  // in the timelines
    CodecContextPtr decoder;
    AVRational frameRate{0, 1};  // the input's, for frames without a duration

    // Changed under the setup lock; read without it where a late view does no harm (the
    // packets of a stream just left out are still decoded).
    std::atomic<State> state{State::kWaiting};  // waiting: no frame yet, so no filters and encoder
    Shape declared;                             // what the decoder declares (setup lock)

    // Set up when the stream starts, then owned by the filter and encoder stages.
    FilterGraphPtr graph;
    AVFilterContext* source = nullptr;
    AVFilterContext* sink = nullptr;
    Shape graphShape;   // what the graph's source takes
    std::string chain;  // the filters after the source
    std::unique_ptr<Encoder> encoder;
    ParametersPtr parameters;   // the encoder's, for the output's header
    AVRational timeBase{1, 1};  // the encoder's, of its packets
    AVRational sar{1, 1};       // of the encoded pictures

    // The stages' inlets: packets to decode, frames to filter, frames to encode.
    std::unique_ptr<Inlet<PacketPtr>> packets;
    std::unique_ptr<Inlet<DecodedFrame>> decoded;
    std::unique_ptr<Inlet<FramePtr>> filtered;

    // The decoder stage.
    std::unique_ptr<DropForecast> forecast;  // pictures the frame rate leaves out, skipped undecoded
    std::int64_t nextPts = AV_NOPTS_VALUE;   // where the next decoded frame is expected (input time base)
    std::int64_t decodeErrors = 0;
    std::string decodeError;  // the last decoder error
    // The filter stage.
    bool looked = false;                   // it has taken over the stream (or found it left out)
    std::int64_t endPts = AV_NOPTS_VALUE;  // end of the frames given to the filters
    std::string setupError;                // why the filters could not take the frames
    // The encoder stage.
    std::int64_t lastPicture = AV_NOPTS_VALUE;  // the last picture encoded (encoder time base)
    std::int64_t nextSound = AV_NOPTS_VALUE;    // where the next sound frame goes (encoder time base)
    std::int64_t frames = 0;                    // frames encoded
    // The output stage.
    AVStream* out = nullptr;
    std::int64_t lastMuxDts = AV_NOPTS_VALUE;
};

class Transcoder {
public:
    Transcoder(const Options& options, ProgressWriter& progress, Tuning tuning)
        : opt_(options), progress_(progress), tuning_(tuning) {}
    // The threads end before anything they use is gone; workers_ itself outlives the
    // input, whose interrupt callback asks it whether the run was aborted.
    ~Transcoder() { workers_.Stop(); }
    Transcoder(const Transcoder&) = delete;
    Transcoder& operator=(const Transcoder&) = delete;

    int Run() {
        OpenInput();
        SelectStreams();
        CreateOutput();
        Connect();
        if (tuning_.threads == StageThreads::kEach) {
            RunSideBySide();
        } else {
            ReadInput();  // each packet goes through every stage before the next is read
        }
        // Asked to discard: the output is never put in place; what stood there stays.
        if (DiscardRequested()) return StopSignal();
        file_->Commit();
        const int stop = StopSignal();
        if (stop == 0) progress_.Finish();
        return stop;
    }

private:
    // ---- input ----
    // Reading gives up at once on a stop, or when another stage has failed.
    static int Interrupt(void* self) {
        return StopSignal() != 0 || static_cast<const Transcoder*>(self)->workers_.Aborted() ? 1 : 0;
    }

    void OpenInput() {
        AVFormatContext* raw = avformat_alloc_context();
        if (raw == nullptr) throw VvError("out of memory");
        raw->interrupt_callback.callback = Interrupt;
        raw->interrupt_callback.opaque = this;
        ClearLibraryMessage(LibraryPart::kInput);
        // Always a file name, never a protocol ("a:b.avi" is a file in the current folder).
        const int ret = avformat_open_input(&raw, ("file:" + opt_.input).c_str(), nullptr, nullptr);
        if (ret < 0) throw VvError("cannot open input " + opt_.input + ": " + LibraryReason(LibraryPart::kInput, ret));
        input_.reset(raw);
        // Parameters it could not find are looked for again in the frames, as the ffmpeg tool does.
        if (avformat_find_stream_info(input_.get(), nullptr) < 0 && input_->nb_streams == 0) {
            throw VvError("cannot read the streams of " + opt_.input);
        }
        inputStart_ = input_->start_time;
        timelines_.SetStart(inputStart_);
    }

    void SelectStreams() {
        std::string reason;
        const int video = av_find_best_stream(input_.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
        if (video >= 0 && !(input_->streams[video]->disposition & AV_DISPOSITION_ATTACHED_PIC)) {
            AddStream(input_->streams[video], reason);
        }
        const int audio = av_find_best_stream(input_.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
        if (audio >= 0) AddStream(input_->streams[audio], reason);
        if (streams_.empty()) {
            throw VvError("the input " + opt_.input + " holds no video or audio" +
                          (reason.empty() ? "" : ": " + reason));
        }
    }

    void AddStream(AVStream* in, std::string& reason) {
        const AVCodec* codec = avcodec_find_decoder(in->codecpar->codec_id);
        if (codec == nullptr) {  // a stream we cannot decode is left out
            reason = std::string("no decoder for ") + avcodec_get_name(in->codecpar->codec_id);
            return;
        }
        auto s = std::make_unique<StreamContext>();
        s->type = in->codecpar->codec_type;
        s->in = in;
        try {
            s->decoder = OpenCodecContext(
                codec, "decoder",
                [in](AVCodecContext* c) {
                    avcodec_parameters_to_context(c, in->codecpar);
                    c->pkt_timebase = in->time_base;
                    c->thread_count = DecoderThreads();
                },
                nullptr);
        } catch (const VvError& e) {
            reason = e.what();  // damaged parameters: the other stream may still be converted
            return;
        }
        if (s->type == AVMEDIA_TYPE_VIDEO) {
            s->frameRate = av_guess_frame_rate(input_.get(), in, nullptr);
            if (!tuning_.decodeEveryPicture && SkipsUnreferencedPictures(codec->id)) {
                s->forecast = std::make_unique<DropForecast>(in->time_base, OutputRate(*s), StartIn(*s));
            }
        }
        s->declared = ShapeOfDecoder(s->type, s->decoder.get());
        s->lane = timelines_.AddStream(in->time_base, s->frameRate);
        streamOf_[static_cast<std::size_t>(in->index)] = s.get();
        streams_.push_back(std::move(s));
    }

    // ---- output ----
    void CreateOutput() {
        if (!opt_.overwrite && platform::PathTaken(opt_.output)) {
            throw VvError("output " + opt_.output + " exists (use -y)");
        }
        if (convert::SameFile(opt_.input, opt_.output))
            throw VvError("the output would overwrite the input " + opt_.input);
        AVFormatContext* raw = nullptr;
        if (avformat_alloc_output_context2(&raw, nullptr, nullptr, opt_.output.c_str()) < 0 || raw == nullptr) {
            throw VvError("no output format for the name " + opt_.output);
        }
        output_.reset(raw);
        file_ = std::make_unique<OutputFile>(opt_.output);
        output_->pb = file_->Io();
        output_->flags |= AVFMT_FLAG_CUSTOM_IO;
    }

    // ---- encoders and filters, when a stream starts (under the setup lock) ----
    const AVCodec* FindEncoder(const std::string& name, AVCodecID fallback, AVMediaType type) {
        const AVCodec* codec =
            name.empty() ? avcodec_find_encoder(fallback) : avcodec_find_encoder_by_name(name.c_str());
        if (codec == nullptr)
            throw VvError("unknown encoder " + (name.empty() ? std::string(avcodec_get_name(fallback)) : name));
        if (codec->type != type) throw VvError(name + " is not a " + av_get_media_type_string(type) + " encoder");
        CheckContainerTakes(codec->id);
        return codec;
    }

    void CheckContainerTakes(AVCodecID id) {
        if (avformat_query_codec(output_->oformat, id, opt_.strict.value_or(FF_COMPLIANCE_NORMAL)) == 0) {
            throw VvError(std::string("the ") + output_->oformat->name + " format cannot hold " + avcodec_get_name(id));
        }
    }

    // Sets up the stream's encoder and filters for frames of this shape. Settings the
    // encoder refuses throw; filters that cannot take the shape leave the stream out.
    void StartStream(StreamContext& s, const Shape& shape) {
        if (s.type == AVMEDIA_TYPE_VIDEO) {
            OpenVideoEncoder(s, shape);
        } else {
            OpenAudioEncoder(s, shape);
        }
        // What the output's header says of the stream, taken now: the encoder is busy on
        // its own thread by the time the header is written.
        s.parameters.reset(avcodec_parameters_alloc());
        if (!s.parameters) throw VvError("out of memory");
        s.encoder->FillParameters(s.parameters.get());
        s.timeBase = s.encoder->TimeBase();
        if (!BuildGraph(s, shape)) {
            s.state = StreamContext::State::kDropped;
            s.encoder.reset();
            return;
        }
        s.state = StreamContext::State::kRunning;
    }

    // The pictures per second of the output: as asked, else the input's.
    AVRational OutputRate(const StreamContext& s) const {
        const AVRational rate = opt_.frameRate ? AVRational{opt_.frameRate->num, opt_.frameRate->den} : s.frameRate;
        return rate.num > 0 && rate.den > 0 ? rate : AVRational{25, 1};
    }

    // The input's start in the stream's time base: the output's timestamps start there.
    std::int64_t StartIn(const StreamContext& s) const {
        return inputStart_ != AV_NOPTS_VALUE ? av_rescale_q(inputStart_, AV_TIME_BASE_Q, s.in->time_base) : 0;
    }

    void OpenVideoEncoder(StreamContext& s, const Shape& shape) {
        const AVCodec* codec = FindEncoder(opt_.videoCodec, output_->oformat->video_codec, AVMEDIA_TYPE_VIDEO);
        const AVRational rate = OutputRate(s);
        int width = opt_.frameSize ? opt_.frameSize->first : shape.width;
        int height = opt_.frameSize ? opt_.frameSize->second : shape.height;
        width += width & 1;  // 4:2:0 pictures need even sizes
        height += height & 1;
        AVPixelFormat pix = AV_PIX_FMT_YUV420P;
        if (const AVPixelFormat* formats = av::PixelFormats(codec); formats != nullptr) {
            pix = formats[0];
            for (const AVPixelFormat* p = formats; *p != AV_PIX_FMT_NONE; ++p) {
                if (*p == AV_PIX_FMT_YUV420P) pix = *p;
            }
        }
        // The picture keeps its shape on screen: the input's pixel aspect, scaled.
        AVRational sar = av_mul_q(shape.sar, AVRational{shape.width * height, shape.height * width});
        av_reduce(&sar.num, &sar.den, sar.num, sar.den, 1 << 16);
        if (opt_.aspect) sar = av_mul_q(AVRational{opt_.aspect->num, opt_.aspect->den}, AVRational{height, width});
        if (sar.num <= 0 || sar.den <= 0) sar = {1, 1};
        s.chain = "fps=fps=" + RatioText(rate) + ",scale=" + std::to_string(width) + ":" + std::to_string(height) +
                  ",format=pix_fmts=" + av_get_pix_fmt_name(pix);

        // The -fpre settings go to the video encoder; one it does not know is an error.
        struct DictionaryHolder {
            AVDictionary* dict = nullptr;
            ~DictionaryHolder() { av_dict_free(&dict); }
        } preset;
        for (const auto& [key, value] : opt_.videoPreset) av_dict_set(&preset.dict, key.c_str(), value.c_str(), 0);
        CodecContextPtr ctx = OpenCodecContext(
            codec, "video encoder",
            [&](AVCodecContext* c) {
                c->width = width;
                c->height = height;
                c->pix_fmt = pix;
                c->time_base = av_inv_q(rate);
                c->framerate = rate;
                c->sample_aspect_ratio = sar;
                if (opt_.videoBitrate) c->bit_rate = *opt_.videoBitrate;
                if (opt_.strict) c->strict_std_compliance = *opt_.strict;
                c->thread_count = 0;
                if (output_->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
            },
            &preset.dict);
        if (const AVDictionaryEntry* unused = av_dict_get(preset.dict, "", nullptr, AV_DICT_IGNORE_SUFFIX)) {
            throw VvError(std::string("the preset option ") + unused->key + " is unknown to " + codec->name);
        }
        s.sar = sar;
        s.encoder = MakeLibavEncoder(std::move(ctx));
    }

    void OpenAudioEncoder(StreamContext& s, const Shape& shape) {
        const std::string& name = opt_.audioCodec;
        const bool amr = name == kAmrNbName || (name.empty() && output_->oformat->audio_codec == AV_CODEC_ID_AMR_NB);
        const AVCodec* codec = nullptr;
        if (amr) {
            CheckContainerTakes(AV_CODEC_ID_AMR_NB);
        } else {
            codec = FindEncoder(name, output_->oformat->audio_codec, AVMEDIA_TYPE_AUDIO);
        }
        AudioSettings wanted;
        wanted.sampleRate = opt_.sampleRate.value_or(shape.sampleRate);
        wanted.channels = opt_.channels.value_or(std::min(shape.channels, 2));
        wanted.bitrate = opt_.audioBitrate.value_or(amr ? 12200 : 0);
        std::vector<std::string> changes;
        const AudioSettings got = FitAudioSettings(
            amr ? kAmrNbName : codec->name, amr ? nullptr : av::SampleRates(codec), wanted,
            opt_.sampleRate.has_value(), opt_.audioBitrate.has_value(), opt_.channels.has_value(), changes);
        if (!changes.empty()) {
            std::string text;
            for (const std::string& c : changes) text += (text.empty() ? "" : "; ") + c;
            PrintNote(text);
        }
        const AVSampleFormat* formats = amr ? nullptr : av::SampleFormats(codec);
        const AVSampleFormat format = formats != nullptr ? formats[0] : AV_SAMPLE_FMT_S16;
        AVChannelLayout layout{};
        av_channel_layout_default(&layout, got.channels);
        s.chain = "aresample=" + std::to_string(got.sampleRate) +
                  ",aformat=sample_fmts=" + av_get_sample_fmt_name(format) + ":channel_layouts=" + LayoutName(layout);

        if (amr) {
            s.encoder = MakeAmrNbEncoder(got.bitrate);
        } else {
            try {
                CodecContextPtr ctx = OpenCodecContext(
                    codec, "audio encoder",
                    [&](AVCodecContext* c) {
                        c->sample_rate = got.sampleRate;
                        av_channel_layout_copy(&c->ch_layout, &layout);
                        c->sample_fmt = format;
                        c->time_base = {1, got.sampleRate};
                        if (got.bitrate > 0) c->bit_rate = got.bitrate;
                        if (opt_.strict) c->strict_std_compliance = *opt_.strict;
                        c->thread_count = 0;
                        if (output_->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
                    },
                    nullptr);
                s.encoder = MakeLibavEncoder(std::move(ctx));
            } catch (...) {
                av_channel_layout_uninit(&layout);
                throw;
            }
        }
        av_channel_layout_uninit(&layout);
    }

    // Builds the stream's filters for frames of this shape; false when they cannot take it.
    bool BuildGraph(StreamContext& s, const Shape& shape) {
        s.graph.reset();
        s.source = s.sink = nullptr;
        s.graphShape = shape;
        if (!shape.Usable(s.type)) return false;
        std::string args;
        const char* sourceName = nullptr;
        const char* sinkName = nullptr;
        if (s.type == AVMEDIA_TYPE_VIDEO) {
            sourceName = "buffer";
            sinkName = "buffersink";
            args = "video_size=" + std::to_string(shape.width) + "x" + std::to_string(shape.height) +
                   ":pix_fmt=" + std::to_string(shape.format) + ":time_base=" + RatioText(s.in->time_base) +
                   ":pixel_aspect=" + RatioText(shape.sar);
        } else {
            const char* format = av_get_sample_fmt_name(static_cast<AVSampleFormat>(shape.format));
            if (format == nullptr) return false;
            sourceName = "abuffer";
            sinkName = "abuffersink";
            args = "time_base=" + RatioText(s.in->time_base) + ":sample_rate=" + std::to_string(shape.sampleRate) +
                   ":sample_fmt=" + format + ":channel_layout=" + shape.layout;
        }
        FilterGraphPtr graph(avfilter_graph_alloc());
        if (!graph) throw VvError("out of memory");
        graph->nb_threads = FilterThreads();
        AVFilterContext* source = nullptr;
        AVFilterContext* sink = nullptr;
        ClearLibraryMessage(LibraryPart::kFilter, s.type);
        int ret = avfilter_graph_create_filter(&source, avfilter_get_by_name(sourceName), "in", args.c_str(), nullptr,
                                               graph.get());
        if (ret >= 0)
            ret = avfilter_graph_create_filter(&sink, avfilter_get_by_name(sinkName), "out", nullptr, nullptr,
                                               graph.get());
        if (ret >= 0) {
            FilterInOutPtr outputs(avfilter_inout_alloc()), inputs(avfilter_inout_alloc());
            if (!outputs || !inputs) throw VvError("out of memory");
            outputs->name = av_strdup("in");
            outputs->filter_ctx = source;
            inputs->name = av_strdup("out");
            inputs->filter_ctx = sink;
            AVFilterInOut* in = inputs.release();
            AVFilterInOut* out = outputs.release();
            ret = avfilter_graph_parse_ptr(graph.get(), s.chain.c_str(), &in, &out, nullptr);
            avfilter_inout_free(&in);
            avfilter_inout_free(&out);
        }
        if (ret >= 0) ret = avfilter_graph_config(graph.get(), nullptr);
        if (ret < 0) {
            s.setupError = "cannot set up the filters: " + LibraryReason(LibraryPart::kFilter, ret, s.type);
            return false;
        }
        if (s.encoder->FrameSize() > 0)
            av_buffersink_set_frame_size(sink, static_cast<unsigned>(s.encoder->FrameSize()));
        s.graph = std::move(graph);
        s.source = source;
        s.sink = sink;
        return true;
    }

    // ---- the stages: read, decode, filter, encode, write ----
    // Joins the stages with direct calls; RunSideBySide puts queues between them.
    void Connect() {
        toOutput_ =
            std::make_unique<Inlet<EncodedPacket>>([this](EncodedPacket p) { Mux(*p.stream, std::move(p.packet)); },
                                                   [this] { FinishOutput(); }, static_cast<int>(streams_.size()));
        for (const auto& stream : streams_) {
            StreamContext& s = *stream;
            s.packets = std::make_unique<Inlet<PacketPtr>>([this, &s](PacketPtr p) { Decode(s, std::move(p)); },
                                                           [this, &s] { FinishDecoder(s); });
            s.decoded = std::make_unique<Inlet<DecodedFrame>>([this, &s](DecodedFrame f) { Filter(s, std::move(f)); },
                                                              [this, &s] { FinishFilter(s); });
            s.filtered = std::make_unique<Inlet<FramePtr>>([this, &s](FramePtr f) { Encode(s, std::move(f)); },
                                                           [this, &s] { FinishEncoder(s); });
        }
    }

    // Every stage on a thread of its own: reading; the video's decoder, filters and
    // encoder; the sound's whole path (decoding, resampling and encoding sound is light
    // work); writing. The codecs add their own threads where they have them.
    void RunSideBySide() {
        std::vector<std::function<void()>> bodies;
        // The video decoder is the critical path: the stages after it, and the sound's,
        // step back a little so that on two cores its threads are never kept waiting.
        const auto queue = [&](auto& inlet, std::size_t items, std::size_t bytes, bool yields) {
            workers_.Watch(inlet.Queue(items, bytes));
            bodies.emplace_back([&inlet, yields] {
                if (yields) platform::YieldToOtherThreads();
                inlet.Drain();
            });
        };
        queue(*toOutput_, kOutputPackets, kPacketBytes, true);
        for (const auto& stream : streams_) {
            StreamContext& s = *stream;
            if (s.type == AVMEDIA_TYPE_VIDEO) {
                queue(*s.packets, kVideoPackets, kPacketBytes, false);
                queue(*s.decoded, kFrames, kAnyBytes, true);
                queue(*s.filtered, kFrames, kAnyBytes, true);
            } else {
                queue(*s.packets, kAudioPackets, kPacketBytes, true);
            }
        }
        bodies.emplace_back([this] { ReadInput(); });
        for (auto& body : bodies) workers_.Start(std::move(body));
        workers_.Join();
    }

    // Reading: packets in the input's order, their timestamps kept on one course.
    void ReadInput() {
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
                throw VvError("cannot read " + opt_.input + ": " + ErrorText(readError));
            }
            // The end, or damage the reader cannot get past: what was read is converted,
            // as the ffmpeg tool does.
            if (ret < 0) break;
            const auto it = streamOf_.find(static_cast<std::size_t>(packet->stream_index));
            if (it == streamOf_.end() || it->second->state == StreamContext::State::kDropped) {
                av_packet_unref(packet.get());
                continue;
            }
            PacketPtr taken = MakePacket();
            if (!taken) throw VvError("out of memory");
            av_packet_move_ref(taken.get(), packet.get());
            timelines_.Push(it->second->lane, std::move(taken), ready);
            PassOn(ready);
            ReportProgress();
        }
        timelines_.Flush(ready);
        PassOn(ready);
        for (const auto& s : streams_) s->packets->End();
    }

    void PassOn(Timelines::Ready& ready) {
        for (auto& [lane, packet] : ready) {
            for (const auto& s : streams_) {
                if (s->lane != lane) continue;
                const auto bytes = static_cast<std::size_t>(packet->size);
                s->packets->Put(std::move(packet), bytes);
                break;
            }
        }
        ready.clear();
    }

    // Decoding. A packet the decoder refuses is skipped, whatever the reason: what it did
    // decode counts. A picture the frame rate will leave out is not decoded when no other
    // picture is predicted from it.
    void Decode(StreamContext& s, PacketPtr packet) {
        if (!s.forecast) {
            DecodePacket(s, packet.get(), false);
            return;
        }
        std::vector<DropForecast::Decided> decided;
        s.forecast->Push(std::move(packet), decided);
        for (const auto& d : decided) DecodePacket(s, d.packet.get(), d.leftOut);
    }

    void DecodePacket(StreamContext& s, const AVPacket* packet, bool leftOut) {
        if (s.state == StreamContext::State::kDropped) return;
        // After a stop, packets still on their way are not decoded: the output ends about
        // where the reading stopped.
        if (packet != nullptr && StopSignal() != 0) return;
        ClearLibraryMessage(LibraryPart::kDecoder, s.type);
        // The decoder takes the setting with the packet (a decoding thread copies it then);
        // every packet before this one was taken by the last ReceiveFrames.
        AVCodecContext* decoder = s.decoder.get();
        const AVDiscard skip = leftOut ? AVDISCARD_NONREF : AVDISCARD_DEFAULT;
        decoder->skip_frame = skip;
        int ret = avcodec_send_packet(decoder, packet);
        if (ret == AVERROR(EAGAIN)) {
            decoder->skip_frame = AVDISCARD_DEFAULT;  // for a packet still held from before
            ReceiveFrames(s);
            decoder->skip_frame = skip;
            ret = avcodec_send_packet(decoder, packet);
        }
        if (ret < 0 && ret != AVERROR_EOF) NoteDecodeError(s, ret);
        ReceiveFrames(s);
        decoder->skip_frame = AVDISCARD_DEFAULT;
        if (s.state == StreamContext::State::kWaiting) {
            // What the decoder has learnt of the stream, should the output start it unseen.
            std::lock_guard lock(setupMutex_);
            s.declared = ShapeOfDecoder(s.type, s.decoder.get());
        }
    }

    void FinishDecoder(StreamContext& s) {
        if (s.forecast) {
            std::vector<DropForecast::Decided> decided;
            s.forecast->Flush(decided);
            for (const auto& d : decided) DecodePacket(s, d.packet.get(), d.leftOut);
        }
        DecodePacket(s, nullptr, false);
        s.decoded->End();
    }

    void NoteDecodeError(StreamContext& s, int err) {
        ++s.decodeErrors;
        s.decodeError = LibraryReason(LibraryPart::kDecoder, err, s.type);
    }

    void ReceiveFrames(StreamContext& s) {
        FramePtr frame;
        int errors = 0;
        for (;;) {
            if (!frame) frame = MakeFrame();
            if (!frame) throw VvError("out of memory");
            const int ret = avcodec_receive_frame(s.decoder.get(), frame.get());
            if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF) return;
            if (ret < 0) {
                NoteDecodeError(s, ret);
                if (++errors > kErrorsInARow) return;
                continue;
            }
            errors = 0;
            OnFrame(s, std::move(frame));
        }
    }

    std::int64_t FrameDuration(const StreamContext& s, const AVFrame* f) const {
        if (s.type == AVMEDIA_TYPE_AUDIO) {
            return f->sample_rate > 0 ? av_rescale_q(f->nb_samples, AVRational{1, f->sample_rate}, s.in->time_base) : 0;
        }
        if (const std::int64_t d = av::FrameDuration(f); d > 0 && av_rescale_q(d, s.in->time_base, kMicro) <= Timelines::kMaxStep) {
            return d;
        }
        // From the frame rate, within what a frame can believably last.
        const AVRational rate = s.frameRate.num > 0 && s.frameRate.den > 0 ? s.frameRate : AVRational{25, 1};
        const std::int64_t us = std::min(av_rescale_q(1, av_inv_q(rate), kMicro), Timelines::kMaxStep);
        return std::max<std::int64_t>(av_rescale_q(us, kMicro, s.in->time_base), 1);
    }

    void OnFrame(StreamContext& s, FramePtr frame) {
        if (s.forecast) s.forecast->Decoded(frame->pts, frame->best_effort_timestamp);
        // Timestamps start at the input's start, as the ffmpeg tool makes them; a frame
        // without one follows the one before.
        std::int64_t pts = frame->best_effort_timestamp;
        if (pts != AV_NOPTS_VALUE) {
            pts -= StartIn(s);
        } else {
            pts = s.nextPts != AV_NOPTS_VALUE ? s.nextPts : 0;
        }
        frame->pts = pts;
        const std::int64_t end = pts + FrameDuration(s, frame.get());
        s.nextPts = end;
        s.decoded->Put({std::move(frame), end});
    }

    // Filtering: frame rate, size and pixel format, or sample rate, channels and format.
    // On its first frame the stage takes the stream over: a stream still waiting starts
    // from that frame's shape, unless the output started it already from the declared
    // one. From then on the filters and the encoder belong to the filter and encoder
    // stages. False when the stream is not (or no longer) converted.
    bool TakeOver(StreamContext& s, const Shape* shape) {
        if (s.looked) return s.state == StreamContext::State::kRunning;
        std::lock_guard lock(setupMutex_);
        if (shape != nullptr && s.state == StreamContext::State::kWaiting) StartStream(s, *shape);
        s.looked = true;
        return s.state == StreamContext::State::kRunning;
    }

    void Filter(StreamContext& s, DecodedFrame decoded) {
        AVFrame* frame = decoded.frame.get();
        s.endPts = s.endPts == AV_NOPTS_VALUE ? decoded.end : std::max(s.endPts, decoded.end);
        const Shape shape = ShapeOfFrame(s.type, frame);
        if (!TakeOver(s, &shape)) return;
        if (!(shape == s.graphShape)) {
            // The frames changed size or layout: what the old filters hold goes first.
            if (s.graph) DrainFilter(s);
            if (!BuildGraph(s, shape)) return;
        }
        if (!s.graph) return;
        if (av_buffersrc_add_frame_flags(s.source, frame, 0) < 0) return;
        DrainFilter(s);
    }

    void DrainFilter(StreamContext& s) {
        for (;;) {
            FramePtr filtered = MakeFrame();
            if (!filtered) throw VvError("out of memory");
            // EAGAIN, the end, or a frame the filters could not make.
            if (av_buffersink_get_frame(s.sink, filtered.get()) < 0) return;
            s.filtered->Put(std::move(filtered));
        }
    }

    void FinishFilter(StreamContext& s) {
        if (TakeOver(s, nullptr) && s.graph) {
            // The filters end where the last frame ends, so that it is not lost.
            av_buffersrc_close(s.source, s.endPts != AV_NOPTS_VALUE ? s.endPts : 0, AV_BUFFERSRC_FLAG_PUSH);
            DrainFilter(s);
        }
        s.filtered->End();
    }

    // Encoding.
    void Encode(StreamContext& s, FramePtr filtered) {
        AVFrame* frame = filtered.get();
        if (s.type == AVMEDIA_TYPE_VIDEO) {
            // Each moment of the output gets one picture.
            if (frame->pts != AV_NOPTS_VALUE && s.lastPicture != AV_NOPTS_VALUE && frame->pts <= s.lastPicture) return;
            s.lastPicture = frame->pts;
            frame->sample_aspect_ratio = s.sar;
            frame->pict_type = AV_PICTURE_TYPE_NONE;
        } else {
            // Sound follows on without overlaps.
            if (frame->pts == AV_NOPTS_VALUE || (s.nextSound != AV_NOPTS_VALUE && frame->pts < s.nextSound)) {
                frame->pts = s.nextSound != AV_NOPTS_VALUE ? s.nextSound : 0;
            }
            s.nextSound = frame->pts + frame->nb_samples;
        }
        s.encoder->Send(frame);
        ++s.frames;
        TakePackets(s);
    }

    void FinishEncoder(StreamContext& s) {
        Encoder* encoder = nullptr;
        {
            std::lock_guard lock(setupMutex_);
            if (s.state == StreamContext::State::kRunning) encoder = s.encoder.get();
        }
        if (encoder != nullptr) {
            encoder->Send(nullptr);
            TakePackets(s);
        }
        toOutput_->End();
    }

    void TakePackets(StreamContext& s) {
        for (;;) {
            PacketPtr packet = MakePacket();
            if (!packet) throw VvError("out of memory");
            if (!s.encoder->Receive(packet.get())) return;
            const auto bytes = static_cast<std::size_t>(packet->size);
            toOutput_->Put({&s, std::move(packet)}, bytes);
        }
    }

    // Writing. Packets come from the streams' encoders in any order between streams; the
    // muxer interleaves them by time.
    void Mux(StreamContext& s, PacketPtr packet) {
        if (headerWritten_) {
            WritePacket(s, packet.get());
            return;
        }
        // The header waits for every stream's first frame, within bounds.
        const std::int64_t ts = packet->dts != AV_NOPTS_VALUE ? packet->dts : packet->pts;
        if (ts != AV_NOPTS_VALUE) {
            const std::int64_t at = av_rescale_q(ts, s.timeBase, kMicro);
            queuedFrom_ = std::min(queuedFrom_, at);
            queuedTo_ = std::max(queuedTo_, at);
        }
        queuedBytes_ += static_cast<std::size_t>(packet->size);
        queued_.push_back({&s, std::move(packet)});
        {
            std::lock_guard lock(setupMutex_);
            const bool allStarted = std::none_of(streams_.begin(), streams_.end(), [](const auto& c) {
                return c->state == StreamContext::State::kWaiting;
            });
            if (!allStarted && queuedBytes_ <= kHeaderWaitBytes && queuedTo_ - queuedFrom_ <= kHeaderWaitUs) return;
            StartWaitingStreams();
            AddOutputStreams();
        }
        WriteHeader();
    }

    // Streams still without a frame start from what the input declares, or are left out
    // (under the setup lock).
    void StartWaitingStreams() {
        for (const auto& stream : streams_) {
            StreamContext& s = *stream;
            if (s.state != StreamContext::State::kWaiting) continue;
            const Shape shape = s.declared;
            s.state = StreamContext::State::kDropped;
            if (!shape.Usable(s.type)) continue;
            try {
                StartStream(s, shape);
            } catch (const VvError&) {
                s.state = StreamContext::State::kDropped;
                s.encoder.reset();
            }
        }
    }

    // The output's streams: one for each stream converted (under the setup lock).
    void AddOutputStreams() {
        for (const auto& stream : streams_) {
            StreamContext& s = *stream;
            if (s.state != StreamContext::State::kRunning) continue;
            s.out = avformat_new_stream(output_.get(), nullptr);
            if (s.out == nullptr || avcodec_parameters_copy(s.out->codecpar, s.parameters.get()) < 0) {
                throw VvError("out of memory");
            }
            s.out->time_base = s.timeBase;
            if (s.type == AVMEDIA_TYPE_VIDEO) s.out->sample_aspect_ratio = s.sar;
        }
    }

    [[noreturn]] void OutputFailure(int err) const {
        const std::string reason = LibraryReason(LibraryPart::kOutput, err);
        if (IsWriteError(err)) throw VvError("cannot write " + opt_.output + ": " + reason);
        throw VvError("cannot make " + opt_.output + ": " + reason);
    }

    void WriteHeader() {
        ClearLibraryMessage(LibraryPart::kOutput);
        const int ret = avformat_write_header(output_.get(), nullptr);
        if (ret < 0) OutputFailure(ret);
        headerWritten_ = true;
        for (EncodedPacket& p : queued_) WritePacket(*p.stream, p.packet.get());
        queued_.clear();
        queuedBytes_ = 0;
    }

    void WritePacket(StreamContext& s, AVPacket* packet) {
        if (s.out == nullptr) return;  // a stream left out of the output
        packet->stream_index = s.out->index;
        av_packet_rescale_ts(packet, s.timeBase, s.out->time_base);
        // Decoding times only rise, whatever the input did.
        if (packet->dts != AV_NOPTS_VALUE && s.lastMuxDts != AV_NOPTS_VALUE) {
            const std::int64_t least = s.lastMuxDts + ((output_->oformat->flags & AVFMT_TS_NONSTRICT) ? 0 : 1);
            if (packet->dts < least) {
                if (packet->pts != AV_NOPTS_VALUE && packet->pts >= packet->dts)
                    packet->pts = std::max(packet->pts, least);
                packet->dts = least;
            }
        }
        if (packet->pts != AV_NOPTS_VALUE && packet->dts != AV_NOPTS_VALUE && packet->pts < packet->dts)
            packet->pts = packet->dts;
        if (packet->dts != AV_NOPTS_VALUE) s.lastMuxDts = packet->dts;
        ClearLibraryMessage(LibraryPart::kOutput);
        const int ret = av_interleaved_write_frame(output_.get(), packet);
        if (ret < 0) OutputFailure(ret);
    }

    // Every stream has ended (the input's end, or a stop): the output is finished.
    void FinishOutput() {
        if (std::none_of(streams_.begin(), streams_.end(), [](const auto& s) { return s->frames > 0; })) {
            std::string why;
            for (const auto& s : streams_) {
                if (!s->setupError.empty()) {
                    why = s->setupError;
                } else if (!s->decodeError.empty()) {
                    why = s->decodeError;
                }
            }
            if (StopSignal() != 0) throw VvError("stopped before anything was converted");
            throw VvError("no picture or sound could be decoded from " + opt_.input + (why.empty() ? "" : ": " + why));
        }
        if (!headerWritten_) {
            {
                std::lock_guard lock(setupMutex_);
                for (const auto& s : streams_) {
                    if (s->state == StreamContext::State::kWaiting) s->state = StreamContext::State::kDropped;
                }
                AddOutputStreams();
            }
            WriteHeader();
        }
        ClearLibraryMessage(LibraryPart::kOutput);
        const int ret = av_write_trailer(output_.get());
        if (ret < 0) OutputFailure(ret);
    }

    // Progress from the position in the input: by time while the timestamps run on one
    // course and the duration is known, else by the bytes read.
    void ReportProgress() {
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

    const Options& opt_;
    ProgressWriter& progress_;
    const Tuning tuning_;
    Workers workers_;
    InputFormatPtr input_;
    std::int64_t inputStart_ = AV_NOPTS_VALUE;
    std::unique_ptr<OutputFile> file_;  // outlives output_, which writes into it
    OutputFormatPtr output_;
    Timelines timelines_;
    std::vector<std::unique_ptr<StreamContext>> streams_;
    std::map<std::size_t, StreamContext*> streamOf_;  // input stream index -> stream
    std::mutex setupMutex_;                           // a stream's start: see StreamContext
    std::unique_ptr<Inlet<EncodedPacket>> toOutput_;
    // The output stage's.
    bool headerWritten_ = false;
    std::deque<EncodedPacket> queued_;  // packets before the header
    std::size_t queuedBytes_ = 0;
    std::int64_t queuedFrom_ = INT64_MAX, queuedTo_ = INT64_MIN;
};

}  // namespace

int Transcode(const Options& options, ProgressWriter& progress, Tuning tuning) {
    Transcoder t(options, progress, tuning);
    return t.Run();
}

void PrintNote(const std::string& text) {
    std::string line = text;
    for (char& c : line) {
        if (c == '\n' || c == '\r') c = ' ';
    }
    std::fprintf(stderr, "vv.exe: note: %s\n", line.c_str());
    std::fflush(stderr);
}

}  // namespace vv
