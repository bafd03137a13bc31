#pragma once
// Keeps the timestamps of each input stream on one continuous course before decoding.
// A damaged or spliced input can make a stream's timestamps jump far ahead (a byte
// flipped in an FLV tag: 24 days), go back (two MPEG-PS files joined), or run ahead of
// the other streams (a broken time scale); left alone, the frame-rate conversion fills
// such a gap with copies of one picture, without end. Here a packet whose timestamp
// leaves the course is held until the stream's next packet tells which it is:
//  - a single bad timestamp (the next packet continues the old course): the held packet
//    takes the place the course expected;
//  - a new course (the next packet follows the held one): the stream's timestamps are
//    moved from there on so that they continue where the old course ended.
// Gaps the other streams share are kept, and, in an input with one stream, gaps up to
// kForwardGap.
#include <cstdint>
#include <utility>
#include <vector>

#include "av_ptr.h"

namespace vv {

class Timelines {
public:
    // Tolerances, in microseconds.
    static constexpr std::int64_t kForwardGap = 5'000'000;  // a stream alone may leap ahead of its course
    static constexpr std::int64_t kInterleave = 2'000'000;  // a stream may lead the others' furthest point
    static constexpr std::int64_t kBackStep = 1'000'000;    // a timestamp may fall behind (reordering)
    static constexpr std::int64_t kAhead = 5'000'000;       // a stream may run ahead of all others
    static constexpr std::int64_t kLateStart = 30'000'000;  // a stream may start after the others
    static constexpr std::int64_t kMaxStep = 1'000'000;     // longest believable packet duration

    using Ready = std::vector<std::pair<int, PacketPtr>>;  // (stream id, packet), in decoding order

    // Adds a stream; `frameRate` ({0, 1} when unknown) estimates packet durations the input
    // does not give. Returns the id Push takes.
    int AddStream(AVRational timeBase, AVRational frameRate);
    // The input's start (µs; AV_NOPTS_VALUE when unknown), where a stream's first packet
    // is expected while no other stream has begun.
    void SetStart(std::int64_t startUs) { start_ = startUs; }

    // Takes the stream's next packet; appends the packets ready to decode (0 to 2).
    void Push(int id, PacketPtr packet, Ready& ready);
    // The input has ended: releases every held packet.
    void Flush(Ready& ready);

    // The furthest position (µs) any stream has reached; AV_NOPTS_VALUE before any.
    std::int64_t Clock() const;
    // True once any timestamp was moved.
    bool Moved() const { return moved_; }

private:
    struct Lane {
        AVRational timeBase{1, 1};
        std::int64_t rateStep = 0;             // µs per frame from the frame rate; 0 unknown
        std::int64_t offset = 0;               // added to the stream's timestamps (time base units)
        std::int64_t last = AV_NOPTS_VALUE;    // µs, the last packet given out
        std::int64_t next = AV_NOPTS_VALUE;    // µs, where the next packet is expected
        std::int64_t before = AV_NOPTS_VALUE;  // µs, where the last packet was expected
        std::int64_t lastDuration = 0;         // µs
        std::int64_t reach = AV_NOPTS_VALUE;   // µs, the furthest timestamp given out
        PacketPtr held;
    };

    static std::int64_t RawTs(const AVPacket& p) { return p.dts != AV_NOPTS_VALUE ? p.dts : p.pts; }
    std::int64_t Mapped(const Lane& lane, std::int64_t raw) const;
    std::int64_t Duration(const Lane& lane, const AVPacket& p) const;
    std::int64_t Reference() const;
    std::int64_t OthersReach(const Lane& lane) const;
    bool InCourse(const Lane& lane, std::int64_t mapped, std::int64_t expected) const;
    void Give(int id, Lane& lane, PacketPtr packet, Ready& ready);
    void Place(int id, Lane& lane, PacketPtr packet, std::int64_t atUs, Ready& ready);

    std::vector<Lane> lanes_;
    std::int64_t start_ = AV_NOPTS_VALUE;
    bool moved_ = false;
};

}  // namespace vv
