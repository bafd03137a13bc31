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
                                 const std::function<void(AVCodecContext*)>& configure, AVDictionary** options);

// Wraps an opened FFmpeg encoder context.
std::unique_ptr<Encoder> MakeLibavEncoder(CodecContextPtr context);

// The AMR-NB encoder: 8000 Hz mono signed 16-bit, frames of 160 samples; the bitrate
// picks the AMR mode and must be one of kAmrNbBitrates.
std::unique_ptr<Encoder> MakeAmrNbEncoder(std::int64_t bitrate);
inline constexpr const char* kAmrNbName = "libopencore_amrnb";
inline constexpr std::int64_t kAmrNbBitrates[] = {4750, 5150, 5900, 6700, 7400, 7950, 10200, 12200};

// FFmpeg's text for an error number.
std::string ErrorText(int err);

// The cores this conversion may keep busy: the machine's, or the share the run that
// started vv.exe gives it in TOLVANI_CORES, where several rows convert at once.
int Cores();
// Whether that share is less than the machine has.
bool SharedCores();
// Threads for library work that runs beside the stages (slices of a picture scaled or
// encoded): the cores beyond the two the video decoder and the rest keep busy, at least one.
int SpareCores();

// Which part of the library logged a message.
enum class LibraryPart { kInput, kDecoder, kFilter, kEncoder, kOutput, kOther };

// Keeps the last error message each part of FFmpeg logs (nothing is printed). Decoders,
// encoders and filters run for video and sound at the same time: their messages are kept
// apart by the media they work on, so that one stream's reason is not the other's.
void CaptureLibraryMessages();
// Forgets the part's last message, before a call whose failure is to be explained.
void ClearLibraryMessage(LibraryPart part, AVMediaType media = AVMEDIA_TYPE_UNKNOWN);
// The part's last error message; empty when it logged none since it was cleared. With a
// media, a message about that media (or, failing that, about none in particular).
std::string LastLibraryMessage(LibraryPart part, AVMediaType media = AVMEDIA_TYPE_UNKNOWN);
// The reason for a failed call: the message the part logged, with FFmpeg's text for the
// error number (kept whole, e.g. "No space left on device").
std::string LibraryReason(LibraryPart part, int err, AVMediaType media = AVMEDIA_TYPE_UNKNOWN);

}  // namespace vv
