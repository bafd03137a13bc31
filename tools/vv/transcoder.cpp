#include "transcoder.h"

#include <algorithm>
#include <cstdio>
#include <deque>
#include <map>
#include <sys/stat.h>

#include "av_ptr.h"
#include "convert/run_naming.h"
#include "encoder.h"

extern "C" {
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
}

namespace vv {
namespace {

void Check(int ret, const std::string& what) {
    if (ret < 0) throw VvError(what + ": " + ErrorText(ret));
}

std::string RatioText(AVRational r) { return std::to_string(r.num) + "/" + std::to_string(r.den); }

// One converted stream: decoder, filter graph, encoder and output stream.
struct StreamContext {
    AVMediaType type = AVMEDIA_TYPE_UNKNOWN;
    AVStream* in = nullptr;
    CodecContextPtr decoder;
    FilterGraphPtr graph;
    AVFilterContext* source = nullptr;
    AVFilterContext* sink = nullptr;
    std::unique_ptr<Encoder> encoder;
    AVStream* out = nullptr;
    bool configured = false;  // filters and encoder set up (on the first decoded frame)
    std::int64_t frames = 0;  // frames encoded
};

class Transcoder {
public:
    Transcoder(const Options& options, ProgressWriter& progress) : opt_(options), progress_(progress) {}

    void Run() {
        OpenInput();
        OpenDecoders();
        CreateOutput();
        ReadAll();
        Flush();
        Finish();
    }

    // Removes an output that could not be completed.
    void DiscardOutput() {
        if (!outputOpened_) return;
        output_.reset();
        std::remove(opt_.output.c_str());
    }

private:
    // ---- input ----
    void OpenInput() {
        AVFormatContext* raw = nullptr;
        const int ret = avformat_open_input(&raw, opt_.input.c_str(), nullptr, nullptr);
        if (ret < 0) throw VvError("cannot open input " + opt_.input + ": " + ErrorText(ret));
        input_.reset(raw);
        if (avformat_find_stream_info(input_.get(), nullptr) < 0) {
            throw VvError("cannot read the streams of " + opt_.input);
        }
    }

    void OpenDecoders() {
        const int video = av_find_best_stream(input_.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
        if (video >= 0 && !(input_->streams[video]->disposition & AV_DISPOSITION_ATTACHED_PIC)) {
            AddStream(input_->streams[video]);
        }
        const int audio = av_find_best_stream(input_.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
        if (audio >= 0) AddStream(input_->streams[audio]);
        if (streams_.empty()) throw VvError("the input " + opt_.input + " holds no video or audio");
    }

    void AddStream(AVStream* in) {
        const AVCodec* codec = avcodec_find_decoder(in->codecpar->codec_id);
        if (codec == nullptr) return;  // a stream we cannot decode is left out
        StreamContext s;
        s.type = in->codecpar->codec_type;
        s.in = in;
        s.decoder = OpenCodecContext(codec, "decoder", [in](AVCodecContext* c) {
            avcodec_parameters_to_context(c, in->codecpar);
            c->pkt_timebase = in->time_base;
            c->thread_count = 0;  // as many threads as the machine has
        }, nullptr);
        streamOf_[in->index] = streams_.size();
        streams_.push_back(std::move(s));
    }

    // ---- output ----
    void CreateOutput() {
        if (!opt_.overwrite) {
            struct stat st {};
            if (::stat(opt_.output.c_str(), &st) == 0) throw VvError("output " + opt_.output + " exists (use -y)");
        }
        if (convert::SameFile(opt_.input, opt_.output)) throw VvError("the output would overwrite the input " + opt_.input);
        AVFormatContext* raw = nullptr;
        if (avformat_alloc_output_context2(&raw, nullptr, nullptr, opt_.output.c_str()) < 0 || raw == nullptr) {
            throw VvError("no output format for the name " + opt_.output);
        }
        output_.reset(raw);
        if (!(output_->oformat->flags & AVFMT_NOFILE)) {
            const int ret = avio_open(&output_->pb, opt_.output.c_str(), AVIO_FLAG_WRITE);
            if (ret < 0) throw VvError("cannot write " + opt_.output + ": " + ErrorText(ret));
            outputOpened_ = true;
        }
    }

    // ---- per-stream set-up, on its first decoded frame ----
    void Configure(StreamContext& s, const AVFrame* first) {
        if (s.type == AVMEDIA_TYPE_VIDEO) {
            ConfigureVideo(s, first);
        } else {
            ConfigureAudio(s, first);
        }
        s.configured = true;
    }

    const AVCodec* FindEncoder(const std::string& name, AVCodecID fallback, AVMediaType type) {
        const AVCodec* codec = name.empty() ? avcodec_find_encoder(fallback) : avcodec_find_encoder_by_name(name.c_str());
        if (codec == nullptr) throw VvError("unknown encoder " + (name.empty() ? std::string(avcodec_get_name(fallback)) : name));
        if (codec->type != type) throw VvError(name + " is not a " + av_get_media_type_string(type) + " encoder");
        CheckContainerTakes(codec->id);
        return codec;
    }

    void CheckContainerTakes(AVCodecID id) {
        if (avformat_query_codec(output_->oformat, id, opt_.strict.value_or(FF_COMPLIANCE_NORMAL)) == 0) {
            throw VvError(std::string("the ") + output_->oformat->name + " format cannot hold " + avcodec_get_name(id));
        }
    }

    void BuildGraph(StreamContext& s, const char* sourceName, const std::string& sourceArgs,
                    const char* sinkName, const std::string& chain) {
        s.graph.reset(avfilter_graph_alloc());
        if (!s.graph) throw VvError("out of memory");
        s.graph->nb_threads = 0;
        Check(avfilter_graph_create_filter(&s.source, avfilter_get_by_name(sourceName), "in", sourceArgs.c_str(),
                                           nullptr, s.graph.get()),
              "cannot set up the filters");
        Check(avfilter_graph_create_filter(&s.sink, avfilter_get_by_name(sinkName), "out", nullptr, nullptr,
                                           s.graph.get()),
              "cannot set up the filters");
        FilterInOutPtr outputs(avfilter_inout_alloc()), inputs(avfilter_inout_alloc());
        outputs->name = av_strdup("in");
        outputs->filter_ctx = s.source;
        inputs->name = av_strdup("out");
        inputs->filter_ctx = s.sink;
        AVFilterInOut* in = inputs.release();
        AVFilterInOut* out = outputs.release();
        const int ret = avfilter_graph_parse_ptr(s.graph.get(), chain.c_str(), &in, &out, nullptr);
        avfilter_inout_free(&in);
        avfilter_inout_free(&out);
        Check(ret, "cannot set up the filters " + chain);
        Check(avfilter_graph_config(s.graph.get(), nullptr), "cannot set up the filters " + chain);
    }

    void ConfigureVideo(StreamContext& s, const AVFrame* first) {
        const AVCodec* codec = FindEncoder(opt_.videoCodec, output_->oformat->video_codec, AVMEDIA_TYPE_VIDEO);

        AVRational rate = opt_.frameRate ? AVRational{opt_.frameRate->num, opt_.frameRate->den}
                                         : av_guess_frame_rate(input_.get(), s.in, nullptr);
        if (rate.num <= 0 || rate.den <= 0) rate = {25, 1};
        int width = opt_.frameSize ? opt_.frameSize->first : first->width;
        int height = opt_.frameSize ? opt_.frameSize->second : first->height;
        width += width & 1;  // 4:2:0 pictures need even sizes
        height += height & 1;
        AVPixelFormat pix = AV_PIX_FMT_YUV420P;
        if (codec->pix_fmts != nullptr) {
            pix = codec->pix_fmts[0];
            for (const AVPixelFormat* p = codec->pix_fmts; *p != AV_PIX_FMT_NONE; ++p) {
                if (*p == AV_PIX_FMT_YUV420P) pix = *p;
            }
        }
        AVRational sar = first->sample_aspect_ratio.num > 0 ? first->sample_aspect_ratio : AVRational{1, 1};

        const std::string args = "video_size=" + std::to_string(first->width) + "x" + std::to_string(first->height) +
                                 ":pix_fmt=" + std::to_string(first->format) + ":time_base=" +
                                 RatioText(s.in->time_base) + ":pixel_aspect=" + RatioText(sar);
        const std::string chain = "fps=fps=" + RatioText(rate) + ",scale=" + std::to_string(width) + ":" +
                                  std::to_string(height) + ",format=pix_fmts=" + av_get_pix_fmt_name(pix);
        BuildGraph(s, "buffer", args, "buffersink", chain);

        AVRational outSar = av_buffersink_get_sample_aspect_ratio(s.sink);
        if (opt_.aspect) {
            outSar = av_mul_q(AVRational{opt_.aspect->num, opt_.aspect->den}, AVRational{height, width});
        }
        if (outSar.num <= 0) outSar = {1, 1};
        // The -fpre settings go to the video encoder; one it does not know is an error.
        struct DictionaryHolder {
            AVDictionary* dict = nullptr;
            ~DictionaryHolder() { av_dict_free(&dict); }
        } preset;
        for (const auto& [key, value] : opt_.videoPreset) av_dict_set(&preset.dict, key.c_str(), value.c_str(), 0);
        CodecContextPtr ctx = OpenCodecContext(codec, "video encoder", [&](AVCodecContext* c) {
            c->width = av_buffersink_get_w(s.sink);
            c->height = av_buffersink_get_h(s.sink);
            c->pix_fmt = static_cast<AVPixelFormat>(av_buffersink_get_format(s.sink));
            c->time_base = av_buffersink_get_time_base(s.sink);
            c->framerate = rate;
            c->sample_aspect_ratio = outSar;
            if (opt_.videoBitrate) c->bit_rate = *opt_.videoBitrate;
            if (opt_.strict) c->strict_std_compliance = *opt_.strict;
            c->thread_count = 0;
            if (output_->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        }, &preset.dict);
        if (const AVDictionaryEntry* unused = av_dict_get(preset.dict, "", nullptr, AV_DICT_IGNORE_SUFFIX)) {
            throw VvError(std::string("the preset option ") + unused->key + " is unknown to " + codec->name);
        }
        videoSar_ = outSar;
        s.encoder = MakeLibavEncoder(std::move(ctx));
    }

    void ConfigureAudio(StreamContext& s, const AVFrame* first) {
        const std::string& name = opt_.audioCodec;
        const bool amr = name == kAmrNbName || (name.empty() && output_->oformat->audio_codec == AV_CODEC_ID_AMR_NB);
        const AVCodec* codec = nullptr;
        int sampleRate = opt_.sampleRate.value_or(first->sample_rate);
        int channels = opt_.channels.value_or(std::min(first->ch_layout.nb_channels, 2));
        AVSampleFormat format = AV_SAMPLE_FMT_S16;
        if (amr) {
            CheckContainerTakes(AV_CODEC_ID_AMR_NB);
            if (opt_.sampleRate && *opt_.sampleRate != 8000) throw VvError("AMR-NB is encoded at 8000 Hz only");
            if (opt_.channels && *opt_.channels != 1) throw VvError("AMR-NB is encoded in mono only");
            sampleRate = 8000;
            channels = 1;
        } else {
            codec = FindEncoder(name, output_->oformat->audio_codec, AVMEDIA_TYPE_AUDIO);
            sampleRate = PickSampleRate(codec, sampleRate, opt_.sampleRate.has_value());
            if (codec->sample_fmts != nullptr) format = codec->sample_fmts[0];
        }
        AVChannelLayout layout;
        av_channel_layout_default(&layout, channels);
        char layoutName[64] = {};
        av_channel_layout_describe(&layout, layoutName, sizeof layoutName);

        AVChannelLayout inLayout;
        if (first->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
            av_channel_layout_default(&inLayout, first->ch_layout.nb_channels);
        } else {
            av_channel_layout_copy(&inLayout, &first->ch_layout);
        }
        char inLayoutName[64] = {};
        av_channel_layout_describe(&inLayout, inLayoutName, sizeof inLayoutName);
        av_channel_layout_uninit(&inLayout);

        const std::string args = "time_base=" + RatioText(s.in->time_base) +
                                 ":sample_rate=" + std::to_string(first->sample_rate) +
                                 ":sample_fmt=" + av_get_sample_fmt_name(static_cast<AVSampleFormat>(first->format)) +
                                 ":channel_layout=" + inLayoutName;
        const std::string chain = "aresample=" + std::to_string(sampleRate) +
                                  ",aformat=sample_fmts=" + av_get_sample_fmt_name(format) +
                                  ":channel_layouts=" + layoutName;
        BuildGraph(s, "abuffer", args, "abuffersink", chain);

        if (amr) {
            s.encoder = MakeAmrNbEncoder(opt_.audioBitrate.value_or(12200));
        } else {
            CodecContextPtr ctx = OpenCodecContext(codec, "audio encoder", [&](AVCodecContext* c) {
                c->sample_rate = sampleRate;
                av_channel_layout_copy(&c->ch_layout, &layout);
                c->sample_fmt = format;
                c->time_base = {1, sampleRate};
                if (opt_.audioBitrate) c->bit_rate = *opt_.audioBitrate;
                if (opt_.strict) c->strict_std_compliance = *opt_.strict;
                c->thread_count = 0;
                if (output_->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
            }, nullptr);
            s.encoder = MakeLibavEncoder(std::move(ctx));
        }
        av_channel_layout_uninit(&layout);
        if (s.encoder->FrameSize() > 0) av_buffersink_set_frame_size(s.sink, static_cast<unsigned>(s.encoder->FrameSize()));
    }

    int PickSampleRate(const AVCodec* codec, int wanted, bool explicitly) {
        if (codec->supported_samplerates == nullptr) return wanted;
        int best = codec->supported_samplerates[0];
        for (const int* r = codec->supported_samplerates; *r != 0; ++r) {
            if (*r == wanted) return wanted;
            if (std::abs(*r - wanted) < std::abs(best - wanted)) best = *r;
        }
        if (explicitly) throw VvError(std::string(codec->name) + " cannot encode at " + std::to_string(wanted) + " Hz");
        return best;
    }

    // ---- the loop ----
    void ReadAll() {
        PacketPtr packet = MakePacket();
        for (;;) {
            const int ret = av_read_frame(input_.get(), packet.get());
            if (ret == AVERROR_EOF) break;
            if (ret < 0) {
                if (ret == AVERROR(EAGAIN)) continue;
                throw VvError("cannot read " + opt_.input + ": " + ErrorText(ret));
            }
            const auto it = streamOf_.find(packet->stream_index);
            if (it != streamOf_.end()) {
                ReportProgress(*packet);
                Decode(streams_[it->second], packet.get());
            }
            av_packet_unref(packet.get());
        }
    }

    void Decode(StreamContext& s, const AVPacket* packet) {
        int ret = avcodec_send_packet(s.decoder.get(), packet);
        if (ret < 0 && ret != AVERROR_EOF) {
            if (ret == AVERROR_INVALIDDATA) return;  // a damaged packet is skipped, as players do
            throw VvError("cannot decode " + opt_.input + ": " + ErrorText(ret));
        }
        FramePtr frame = MakeFrame();
        for (;;) {
            ret = avcodec_receive_frame(s.decoder.get(), frame.get());
            if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF) return;
            if (ret == AVERROR_INVALIDDATA) continue;
            Check(ret, "cannot decode " + opt_.input);
            // Timestamps start at the input's start, as the ffmpeg tool makes them.
            frame->pts = frame->best_effort_timestamp;
            if (frame->pts != AV_NOPTS_VALUE && input_->start_time != AV_NOPTS_VALUE) {
                frame->pts -= av_rescale_q(input_->start_time, AV_TIME_BASE_Q, s.in->time_base);
            }
            if (!s.configured) Configure(s, frame.get());
            Filter(s, frame.get());
            av_frame_unref(frame.get());
        }
    }

    void Filter(StreamContext& s, AVFrame* frame) {
        Check(av_buffersrc_add_frame_flags(s.source, frame, AV_BUFFERSRC_FLAG_KEEP_REF), "filtering failed");
        FramePtr filtered = MakeFrame();
        for (;;) {
            const int ret = av_buffersink_get_frame(s.sink, filtered.get());
            if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF) return;
            Check(ret, "filtering failed");
            if (s.type == AVMEDIA_TYPE_VIDEO) {
                filtered->sample_aspect_ratio = videoSar_;
                filtered->pict_type = AV_PICTURE_TYPE_NONE;
            }
            Encode(s, filtered.get());
            av_frame_unref(filtered.get());
        }
    }

    void Encode(StreamContext& s, const AVFrame* frame) {
        s.encoder->Send(frame);
        if (frame != nullptr) ++s.frames;
        PacketPtr packet = MakePacket();
        while (s.encoder->Receive(packet.get())) {
            Mux(s, packet.get());
            av_packet_unref(packet.get());
        }
    }

    void Mux(StreamContext& s, AVPacket* packet) {
        if (!headerWritten_) {
            if (AllConfigured()) {
                WriteHeader();
            } else {
                queued_.push_back({&s, PacketPtr(av_packet_clone(packet))});
                return;
            }
        }
        WritePacket(s, packet);
    }

    bool AllConfigured() const {
        return std::all_of(streams_.begin(), streams_.end(), [](const StreamContext& s) { return s.configured; });
    }

    void WriteHeader() {
        for (StreamContext& s : streams_) {
            if (!s.configured) continue;
            s.out = avformat_new_stream(output_.get(), nullptr);
            if (s.out == nullptr) throw VvError("out of memory");
            s.encoder->FillParameters(s.out->codecpar);
            s.out->time_base = s.encoder->TimeBase();
            if (s.type == AVMEDIA_TYPE_VIDEO) s.out->sample_aspect_ratio = videoSar_;
        }
        const int ret = avformat_write_header(output_.get(), nullptr);
        if (ret < 0) {
            const std::string reason = LastLibraryMessage();
            throw VvError("cannot write " + opt_.output + ": " + (reason.empty() ? ErrorText(ret) : reason));
        }
        headerWritten_ = true;
        for (auto& [stream, packet] : queued_) WritePacket(*stream, packet.get());
        queued_.clear();
    }

    void WritePacket(StreamContext& s, AVPacket* packet) {
        if (s.out == nullptr) return;  // a stream that never produced a frame
        packet->stream_index = s.out->index;
        av_packet_rescale_ts(packet, s.encoder->TimeBase(), s.out->time_base);
        const int ret = av_interleaved_write_frame(output_.get(), packet);
        if (ret < 0) throw VvError("cannot write " + opt_.output + ": " + ErrorText(ret));
    }

    void Flush() {
        for (StreamContext& s : streams_) Decode(s, nullptr);
        for (StreamContext& s : streams_) {
            if (!s.configured) continue;
            Filter(s, nullptr);
            Encode(s, nullptr);
        }
        if (std::none_of(streams_.begin(), streams_.end(), [](const StreamContext& s) { return s.frames > 0; })) {
            throw VvError("no picture or sound could be decoded from " + opt_.input);
        }
        if (!headerWritten_) WriteHeader();
    }

    void Finish() {
        Check(av_write_trailer(output_.get()), "cannot finish " + opt_.output);
        if (output_->pb != nullptr) {
            avio_flush(output_->pb);
            const int err = output_->pb->error;
            Check(avio_closep(&output_->pb), "cannot finish " + opt_.output);
            Check(err, "cannot finish " + opt_.output);
        }
        progress_.Finish();
    }

    // Progress from the position in the input: by time when its duration is known,
    // else by the bytes read.
    void ReportProgress(const AVPacket& packet) {
        const std::int64_t duration = input_->duration;
        const AVStream* st = input_->streams[packet.stream_index];
        const std::int64_t ts = packet.dts != AV_NOPTS_VALUE ? packet.dts : packet.pts;
        if (duration > 0 && ts != AV_NOPTS_VALUE) {
            std::int64_t pos = av_rescale_q(ts, st->time_base, AV_TIME_BASE_Q);
            if (input_->start_time != AV_NOPTS_VALUE) pos -= input_->start_time;
            progress_.Update(static_cast<int>(std::clamp<std::int64_t>(pos * 1000 / duration, 0, 999)));
            return;
        }
        const std::int64_t size = input_->pb != nullptr ? avio_size(input_->pb) : -1;
        if (size > 0) progress_.Update(static_cast<int>(avio_tell(input_->pb) * 1000 / size));
    }

    const Options& opt_;
    ProgressWriter& progress_;
    InputFormatPtr input_;
    OutputFormatPtr output_;
    bool outputOpened_ = false;
    bool headerWritten_ = false;
    std::vector<StreamContext> streams_;
    std::map<int, std::size_t> streamOf_;  // input stream index -> streams_
    std::deque<std::pair<StreamContext*, PacketPtr>> queued_;  // packets before the header
    AVRational videoSar_{1, 1};
};

}  // namespace

void Transcode(const Options& options, ProgressWriter& progress) {
    Transcoder t(options, progress);
    try {
        t.Run();
    } catch (...) {
        t.DiscardOutput();
        throw;
    }
}

}  // namespace vv
