#pragma once
// Tells, before a picture is decoded, whether the frame-rate conversion will leave it out,
// so that a picture no other picture is predicted from need not be decoded at all. On two
// cores decoding is most of a conversion's work, and going from 25 to 14.985 pictures a
// second leaves out two pictures in five.
//
// The conversion gives each moment of the output the last picture (in showing order) whose
// timestamp, rounded to the nearest moment, falls on or before it. With timestamps that
// rise in showing order, a picture is therefore left out exactly when the next picture in
// showing order rounds to the same moment; leaving it out before the conversion changes
// nothing the conversion gives out. That next picture may come later in decoding order
// (pictures are reordered), so packets wait in a short lookahead until the ones that may
// follow them in showing order are known. Wherever the timestamps give no certain answer
// (a missing or repeated timestamp, no later picture in sight, a key picture), the picture
// is decoded.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "av_ptr.h"

namespace vv {

class DropForecast {
public:
    // Pictures are reordered by at most 16 places (the most H.264 allows).
    static constexpr std::size_t kLookahead = 16;

    struct Decided {
        PacketPtr packet;
        bool leftOut = false;  // the conversion will leave its picture out
    };

    // `timeBase`: the packets'; `outputRate`: the pictures per second the conversion makes;
    // `start`: subtracted from a packet's timestamp to give its picture's (time base units).
    DropForecast(AVRational timeBase, AVRational outputRate, std::int64_t start);

    // Takes the stream's next packet, in decoding order; appends those now decided, in the
    // order they came.
    void Push(PacketPtr packet, std::vector<Decided>& decided);
    // The stream has ended: decides the packets still waiting.
    void Flush(std::vector<Decided>& decided);
    // A picture came out of the decoder with its packet's timestamp `given` and the one it
    // is shown at. The forecast reads the packets' timestamps, so it holds only while the
    // pictures are shown at those, rising; otherwise it stops.
    void Decoded(std::int64_t given, std::int64_t shown);
    // From now on no picture is foretold left out.
    void Stop() { stopped_ = true; }

private:
    Decided DecideOldest();
    std::int64_t Moment(std::int64_t pts) const;

    AVRational timeBase_;
    AVRational momentBase_;  // the conversion's output time base
    std::int64_t start_;
    bool stopped_ = false;
    std::int64_t lastShown_ = AV_NOPTS_VALUE;  // the last decoded picture's timestamp
    std::deque<PacketPtr> ahead_;              // waiting, in decoding order
    std::deque<std::int64_t> behind_;          // timestamps of the last packets decided
};

// The decoders known to skip only pictures no other picture is predicted from when asked
// to skip non-reference pictures, and to give nothing out for them.
bool SkipsUnreferencedPictures(AVCodecID codec);

}  // namespace vv
