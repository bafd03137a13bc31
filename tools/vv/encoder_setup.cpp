#include "encoder_setup.h"

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "audio_settings.h"
#include "av_compat.h"
#include "note.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/pixdesc.h>
}

namespace vv {
namespace {

void CheckContainerTakes(const Options& opt, const AVOutputFormat* format, AVCodecID id) {
    if (avformat_query_codec(format, id, opt.strict.value_or(FF_COMPLIANCE_NORMAL)) == 0) {
        throw VvError(std::string("the ") + format->name + " format cannot hold " + avcodec_get_name(id),
                      convert::ToolStatus::kSettings);
    }
}

const AVCodec* FindEncoder(const Options& opt, const AVOutputFormat* format, const std::string& name,
                           AVCodecID fallback, AVMediaType type) {
    const AVCodec* codec = name.empty() ? avcodec_find_encoder(fallback) : avcodec_find_encoder_by_name(name.c_str());
    if (codec == nullptr)
        throw VvError("unknown encoder " + (name.empty() ? std::string(avcodec_get_name(fallback)) : name),
                      convert::ToolStatus::kSettings);
    if (codec->type != type) {
        throw VvError(name + " is not a " + av_get_media_type_string(type) + " encoder", convert::ToolStatus::kSettings);
    }
    CheckContainerTakes(opt, format, codec->id);
    return codec;
}

// The encoder's pixel format: 4:2:0 where it takes that, else its first.
AVPixelFormat PixelFormatFor(const AVCodec* codec) {
    AVPixelFormat pix = AV_PIX_FMT_YUV420P;
    if (const AVPixelFormat* formats = av::PixelFormats(codec); formats != nullptr) {
        pix = formats[0];
        for (const AVPixelFormat* p = formats; *p != AV_PIX_FMT_NONE; ++p) {
            if (*p == AV_PIX_FMT_YUV420P) pix = *p;
        }
    }
    return pix;
}

// Threads for the video encoder, which already runs on a thread of its own beside the
// decoder and the filters. An encoder that cuts each picture into slices for threads of
// its own hands the work out and back several times a picture; on two cores that costs
// more than it saves (the avi default on a 640x480 MPEG-4 input: about 18 % slower), and
// one slice also spends the bitrate a little better. Such an encoder gets only the cores
// beyond the two the stages keep busy. An encoder with threads of another kind (x264's
// pictures in flight and look-ahead) keeps its own choice, unless the conversion has only
// a share of the machine: then its threads are that share.
int VideoEncoderThreads(const AVCodec* codec) {
    if ((codec->capabilities & AV_CODEC_CAP_SLICE_THREADS) == 0 ||
        (codec->capabilities & (AV_CODEC_CAP_FRAME_THREADS | AV_CODEC_CAP_OTHER_THREADS)) != 0) {
        return SharedCores() ? Cores() : 0;
    }
    return SpareCores();
}

struct DictionaryHolder {
    AVDictionary* dict = nullptr;
    ~DictionaryHolder() { av_dict_free(&dict); }
};

// The codecs whose pictures carry their pixel aspect in 8-bit fields (H.263, MPEG-4
// Part 2, and Sorenson's H.263 in FLV): at most 255:255.
bool ByteAspect(AVCodecID id) {
    return id == AV_CODEC_ID_H263 || id == AV_CODEC_ID_H263P || id == AV_CODEC_ID_MPEG4 || id == AV_CODEC_ID_FLV1;
}

// The pixel aspect that shows a picture of `shape` (as it stands upright) at width x
// height with its shape on screen, or the display aspect asked; reduced to what the codec
// can store, never zero or negative.
AVRational PixelAspect(const Options& opt, const Shape& upright, int width, int height, AVCodecID codec) {
    AVRational sar{0, 1};
    if (opt.aspect) {
        sar = av_mul_q(AVRational{opt.aspect->num, opt.aspect->den}, AVRational{height, width});
    } else {
        // In 64 bits: the product of two sides overflows an int for big pictures.
        const std::int64_t num = std::int64_t{upright.width} * height * upright.sar.num;
        const std::int64_t den = std::int64_t{upright.height} * width * upright.sar.den;
        av_reduce(&sar.num, &sar.den, num, den, 1 << 16);
    }
    if (sar.num <= 0 || sar.den <= 0) return {1, 1};
    const int limit = ByteAspect(codec) ? 255 : 1 << 16;
    // The MP4 family's track header holds the width on screen as a signed 16.16 number.
    const int widest = std::max(1, std::min(limit, 32767 / std::max(width, 1)));
    const double value = av_q2d(sar);
    if (value >= widest) return {widest, 1};
    if (value <= 1.0 / limit) return {1, limit};
    if (sar.num > limit || sar.den > limit) av_reduce(&sar.num, &sar.den, sar.num, sar.den, limit);
    return sar.num > 0 && sar.den > 0 ? sar : AVRational{1, 1};
}

void OpenVideo(const Options& opt, const AVOutputFormat* format, const StreamInfo& stream, const Shape& shape,
               StreamEncoding& e) {
    const AVCodec* codec = FindEncoder(opt, format, opt.videoCodec, format->video_codec, AVMEDIA_TYPE_VIDEO);
    const AVRational rate = OutputRate(opt, stream);
    // The picture as it is seen: a quarter turn swaps its sides and its pixel aspect.
    Shape upright = shape;
    if (stream.look.swapsSides) {
        std::swap(upright.width, upright.height);
        upright.sar = av_inv_q(upright.sar);
    }
    int width = opt.frameSize ? opt.frameSize->first : upright.width;
    int height = opt.frameSize ? opt.frameSize->second : upright.height;
    width += width & 1;  // 4:2:0 pictures need even sizes
    height += height & 1;
    const AVPixelFormat pix = PixelFormatFor(codec);
    const AVRational sar = PixelAspect(opt, upright, width, height, codec->id);
    e.chain = PictureChain(stream.look, rate, width, height, pix);

    // The -fpre settings go to the video encoder; one it does not know is an error.
    DictionaryHolder preset;
    for (const auto& [key, value] : opt.videoPreset) av_dict_set(&preset.dict, key.c_str(), value.c_str(), 0);
    CodecContextPtr ctx = OpenCodecContext(
        codec, "video encoder",
        [&](AVCodecContext* c) {
            c->width = width;
            c->height = height;
            c->pix_fmt = pix;
            c->time_base = av_inv_q(rate);
            c->framerate = rate;
            c->sample_aspect_ratio = sar;
            TagColours(stream.look, c);
            if (opt.videoBitrate) c->bit_rate = *opt.videoBitrate;
            if (opt.strict) c->strict_std_compliance = *opt.strict;
            c->thread_count = VideoEncoderThreads(codec);
            if (format->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        },
        &preset.dict);
    if (const AVDictionaryEntry* unused = av_dict_get(preset.dict, "", nullptr, AV_DICT_IGNORE_SUFFIX)) {
        throw VvError(std::string("the preset option ") + unused->key + " is unknown to " + codec->name,
                      convert::ToolStatus::kSettings);
    }
    e.sar = sar;
    e.encoder = MakeLibavEncoder(std::move(ctx));
}

// The sound's rate, channels and bitrate: as asked, else the input's, fitted to what the
// encoder takes (with a note for each change of what was asked).
AudioSettings FitAudio(const Options& opt, const AVCodec* codec, bool amr, const Shape& shape) {
    AudioSettings wanted;
    wanted.sampleRate = opt.sampleRate.value_or(shape.sampleRate);
    wanted.channels = opt.channels.value_or(std::min(shape.channels, 2));
    wanted.bitrate = opt.audioBitrate.value_or(amr ? 12200 : 0);
    std::vector<std::string> changes;
    const AudioSettings got =
        FitAudioSettings(amr ? kAmrNbName : codec->name, amr ? nullptr : av::SampleRates(codec), wanted,
                         opt.sampleRate.has_value(), opt.audioBitrate.has_value(), opt.channels.has_value(), changes);
    if (!changes.empty()) {
        std::string text;
        for (const std::string& c : changes) text += (text.empty() ? "" : "; ") + c;
        PrintNote(text);
    }
    return got;
}

std::unique_ptr<Encoder> OpenLibavAudio(const Options& opt, const AVOutputFormat* format, const AVCodec* codec,
                                        const AudioSettings& got, AVSampleFormat sampleFormat,
                                        const AVChannelLayout& layout) {
    CodecContextPtr ctx = OpenCodecContext(
        codec, "audio encoder",
        [&](AVCodecContext* c) {
            c->sample_rate = got.sampleRate;
            av_channel_layout_copy(&c->ch_layout, &layout);
            c->sample_fmt = sampleFormat;
            c->time_base = {1, got.sampleRate};
            if (got.bitrate > 0) c->bit_rate = got.bitrate;
            if (opt.strict) c->strict_std_compliance = *opt.strict;
            c->thread_count = 0;
            if (format->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        },
        nullptr);
    return MakeLibavEncoder(std::move(ctx));
}

void OpenAudio(const Options& opt, const AVOutputFormat* format, const Shape& shape, StreamEncoding& e) {
    const std::string& name = opt.audioCodec;
    const bool amr = name == kAmrNbName || (name.empty() && format->audio_codec == AV_CODEC_ID_AMR_NB);
    const AVCodec* codec = nullptr;
    if (amr) {
        CheckContainerTakes(opt, format, AV_CODEC_ID_AMR_NB);
    } else {
        codec = FindEncoder(opt, format, name, format->audio_codec, AVMEDIA_TYPE_AUDIO);
    }
    const AudioSettings got = FitAudio(opt, codec, amr, shape);
    const AVSampleFormat* formats = amr ? nullptr : av::SampleFormats(codec);
    const AVSampleFormat sampleFormat = formats != nullptr ? formats[0] : AV_SAMPLE_FMT_S16;
    AVChannelLayout layout{};
    av_channel_layout_default(&layout, got.channels);
    // A downmix never clips: each output channel's share of the input channels adds up
    // to at most one, so it is never louder than the loudest of them (swresample keeps
    // that only for integer samples by itself; AAC takes floating point).
    e.chain = "aresample=" + std::to_string(got.sampleRate) + ":rematrix_maxval=1" +
              ",aformat=sample_fmts=" + av_get_sample_fmt_name(sampleFormat) + ":channel_layouts=" + LayoutName(layout);
    try {
        e.encoder = amr ? MakeAmrNbEncoder(got.bitrate) : OpenLibavAudio(opt, format, codec, got, sampleFormat, layout);
    } catch (...) {
        av_channel_layout_uninit(&layout);
        throw;
    }
    av_channel_layout_uninit(&layout);
}

}  // namespace

StreamEncoding OpenEncoding(const Options& opt, const AVOutputFormat* format, const StreamInfo& stream,
                            const Shape& shape) {
    StreamEncoding e;
    if (stream.type == AVMEDIA_TYPE_VIDEO) {
        OpenVideo(opt, format, stream, shape, e);
    } else {
        OpenAudio(opt, format, shape, e);
    }
    // What the output's header says of the stream, taken now: the encoder is busy on its
    // own thread by the time the header is written.
    e.parameters.reset(avcodec_parameters_alloc());
    if (!e.parameters) throw VvError("out of memory");
    e.encoder->FillParameters(e.parameters.get());
    e.timeBase = e.encoder->TimeBase();
    return e;
}

}  // namespace vv
