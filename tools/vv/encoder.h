#pragma once
// An output stream's encoder: FFmpeg's own encoders, and AMR-NB through
// libopencore-amrnb (which FFmpeg's Debian build does not offer).
#include <functional>
#include <memory>
#include <string>

#include "av_ptr.h"
#include "vv_options.h"

namespace vv {

class Encoder {
public:
    virtual ~Encoder() = default;

    // Sends one frame; null flushes.
    virtual void Send(const AVFrame* frame) = 0;
    // Takes the next encoded packet; false when none is ready.
    virtual bool Receive(AVPacket* packet) = 0;
    // The time base of packet timestamps.
    virtual AVRational TimeBase() const = 0;
    // Describes the encoded stream to the muxer.
    virtual void FillParameters(AVCodecParameters* par) const = 0;
    // Samples per audio frame the encoder needs (0: any).
    virtual int FrameSize() const = 0;
};

// Opens an FFmpeg encoder context; `configure` sets its parameters before opening.
// Throws VvError with the library's reason when it cannot.
CodecContextPtr OpenCodecContext(const AVCodec* codec, const std::string& what,
                                 const std::function<void(AVCodecContext*)>& configure,
                                 AVDictionary** options);

// Wraps an opened FFmpeg encoder context.
std::unique_ptr<Encoder> MakeLibavEncoder(CodecContextPtr context);

// The AMR-NB encoder: 8000 Hz mono signed 16-bit, frames of 160 samples; the bitrate
// picks the AMR mode (4.75k to 12.2k).
std::unique_ptr<Encoder> MakeAmrNbEncoder(std::int64_t bitrate);
inline constexpr const char* kAmrNbName = "libopencore_amrnb";

// FFmpeg's text for an error number.
std::string ErrorText(int err);

// The last error message FFmpeg logged, for a one-line reason.
std::string LastLibraryMessage();
void CaptureLibraryMessages();

}  // namespace vv
