#pragma once
// What differs between the FFmpeg releases vv.exe builds on (5.1 on Debian 12 and in the
// Windows libraries, 7.1 on Debian 13): the one place that tests FFmpeg's versions. The
// rest of vv.exe calls these and uses no interface that either release has removed or
// marked as deprecated.
#include <cstddef>
#include <cstdint>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavformat/version.h>
#include <libavutil/frame.h>
#include <libavutil/version.h>
}

namespace vv::av {

// The bytes libavformat hands to an output's write callback: read-only from libavformat 61 on.
#if LIBAVFORMAT_VERSION_MAJOR >= 61
using WriteBuffer = const std::uint8_t*;
#else
using WriteBuffer = std::uint8_t*;
#endif

// How long a decoded frame lasts, in its stream's time base (0 when unknown): the frame's
// duration from libavutil 57.30 on, its packet's duration before.
inline std::int64_t FrameDuration(const AVFrame* frame) {
#if LIBAVUTIL_VERSION_INT >= AV_VERSION_INT(57, 30, 100)
    return frame->duration;
#else
    return frame->pkt_duration;
#endif
}

// A stream's display matrix (nine 32-bit values), or null when it has none: in the
// stream's parameters from libavformat 60.15 on, in the stream's own side data before.
inline const std::int32_t* DisplayMatrix(const AVStream* stream) {
    constexpr std::size_t kBytes = 9 * sizeof(std::int32_t);
#if LIBAVFORMAT_VERSION_INT >= AV_VERSION_INT(60, 15, 100)
    const AVPacketSideData* side = av_packet_side_data_get(
        stream->codecpar->coded_side_data, stream->codecpar->nb_coded_side_data, AV_PKT_DATA_DISPLAYMATRIX);
    if (side == nullptr || side->size < kBytes) return nullptr;
    return reinterpret_cast<const std::int32_t*>(side->data);
#else
    std::size_t size = 0;
    const std::uint8_t* data = av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, &size);
    if (data == nullptr || size < kBytes) return nullptr;
    return reinterpret_cast<const std::int32_t*>(data);
#endif
}

// What an encoder accepts, each list ended as FFmpeg ends it (AV_PIX_FMT_NONE,
// AV_SAMPLE_FMT_NONE, 0), or null when it accepts anything: asked through
// avcodec_get_supported_config from libavcodec 61.13 on, read off the encoder before.
#if LIBAVCODEC_VERSION_INT >= AV_VERSION_INT(61, 13, 100)
namespace detail {
inline const void* Supported(const AVCodec* codec, AVCodecConfig what) {
    const void* list = nullptr;
    if (avcodec_get_supported_config(nullptr, codec, what, 0, &list, nullptr) < 0) return nullptr;
    return list;
}
}  // namespace detail

inline const AVPixelFormat* PixelFormats(const AVCodec* codec) {
    return static_cast<const AVPixelFormat*>(detail::Supported(codec, AV_CODEC_CONFIG_PIX_FORMAT));
}
inline const AVSampleFormat* SampleFormats(const AVCodec* codec) {
    return static_cast<const AVSampleFormat*>(detail::Supported(codec, AV_CODEC_CONFIG_SAMPLE_FORMAT));
}
inline const int* SampleRates(const AVCodec* codec) {
    return static_cast<const int*>(detail::Supported(codec, AV_CODEC_CONFIG_SAMPLE_RATE));
}
#else
inline const AVPixelFormat* PixelFormats(const AVCodec* codec) { return codec->pix_fmts; }
inline const AVSampleFormat* SampleFormats(const AVCodec* codec) { return codec->sample_fmts; }
inline const int* SampleRates(const AVCodec* codec) { return codec->supported_samplerates; }
#endif

}  // namespace vv::av
