#pragma once
// The one step the stages share: a stream's start. A stream waits until its first
// decoded frame gives its shape; then the filter stage starts it (the encoder opened,
// the filters built) and takes it over. The output's header waits for every stream to
// start, within bounds; when they run out, the output starts the streams still waiting
// from what the input declares, or leaves them out. Whichever comes first starts the
// stream; the stages then take what the start made (filters, encoder) for their own.
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "encoder_setup.h"
#include "filters.h"

namespace vv {

class StreamStart {
public:
    StreamStart(const Options& opt, const AVOutputFormat* format, const std::vector<StreamInfo>& streams);

    // A stream left out: its packets need not be read or decoded (a late view does no
    // harm: the packets of a stream just left out are still decoded).
    bool Dropped(std::size_t stream) const;
    bool Waiting(std::size_t stream) const;
    // What the decoder has learnt of a waiting stream, should the output start it unseen.
    void Declare(std::size_t stream, const Shape& shape);

    // The filter stage's, on its first frame (with that frame's shape) or at its end
    // (without): a stream still waiting starts from the shape. Once, for a running
    // stream: its filters (built for the shape it started from), the chain to rebuild
    // them from and the encoder's frame size; nothing for a stream left out.
    struct Handover {
        Filters filters;
        std::string chain;
        int frameSize = 0;
    };
    std::optional<Handover> TakeOver(std::size_t stream, const Shape* shape);
    // The encoder stage's, once: a running stream's encoder, the time base of its packets
    // and the pixel aspect of its pictures; no encoder for a stream left out.
    struct EncoderHandover {
        std::unique_ptr<Encoder> encoder;
        AVRational timeBase{1, 1};
        AVRational sar{1, 1};
    };
    EncoderHandover TakeEncoder(std::size_t stream);

    // The output's view of a running stream, for its header.
    struct Output {
        std::size_t stream = 0;
        AVMediaType type = AVMEDIA_TYPE_UNKNOWN;
        const AVCodecParameters* parameters = nullptr;
        AVRational timeBase{1, 1};
        AVRational sar{1, 1};
    };
    bool AllStarted() const;
    // Starts the streams still waiting from what the input declares (those that cannot
    // start are left out) and gives the running ones.
    std::vector<Output> StartEveryStream();
    // Leaves out the streams still waiting and gives the running ones.
    std::vector<Output> LeaveOutWaiting();

    // Why the stream's filters could not be set up when it started; empty when they could.
    std::string SetupError(std::size_t stream) const;

private:
    enum class State { kWaiting, kRunning, kDropped };
    struct Slot {
        explicit Slot(const StreamInfo& i) : info(i) {}
        const StreamInfo info;
        std::atomic<State> state{State::kWaiting};
        Shape declared;
        StreamEncoding encoding;
        Filters filters;
        std::string setupError;
        bool filtersTaken = false;
    };
    void Start(Slot& s, const Shape& shape);
    std::vector<Output> Running() const;

    const Options& opt_;
    const AVOutputFormat* format_;
    mutable std::mutex mutex_;  // everything in the slots but their state's plain reads
    std::vector<std::unique_ptr<Slot>> slots_;
};

}  // namespace vv
