#include "timeline.h"

#include <algorithm>

namespace vv {
namespace {

constexpr AVRational kMicro{1, AV_TIME_BASE};

}  // namespace

int Timelines::AddStream(AVRational timeBase, AVRational frameRate) {
    Lane lane;
    lane.timeBase = timeBase;
    if (frameRate.num > 0 && frameRate.den > 0) {
        lane.rateStep = std::clamp<std::int64_t>(av_rescale_q(1, av_inv_q(frameRate), kMicro), 1000, kMaxStep);
    }
    lanes_.push_back(std::move(lane));
    return static_cast<int>(lanes_.size() - 1);
}

std::int64_t Timelines::Mapped(const Lane& lane, std::int64_t raw) const {
    return av_rescale_q(raw + lane.offset, lane.timeBase, kMicro);
}

std::int64_t Timelines::Duration(const Lane& lane, const AVPacket& p) const {
    const std::int64_t d = p.duration > 0 ? av_rescale_q(p.duration, lane.timeBase, kMicro) : 0;
    return d > 0 && d <= kMaxStep ? d : lane.rateStep;
}

std::int64_t Timelines::Clock() const {
    std::int64_t clock = AV_NOPTS_VALUE;
    for (const Lane& l : lanes_) {
        if (l.reach != AV_NOPTS_VALUE && (clock == AV_NOPTS_VALUE || l.reach > clock)) clock = l.reach;
    }
    return clock;
}

std::int64_t Timelines::Reference() const {
    const std::int64_t clock = Clock();
    return clock != AV_NOPTS_VALUE ? clock : start_;
}

std::int64_t Timelines::OthersReach(const Lane& lane) const {
    std::int64_t reach = AV_NOPTS_VALUE;
    for (const Lane& l : lanes_) {
        if (&l == &lane || l.reach == AV_NOPTS_VALUE) continue;
        if (reach == AV_NOPTS_VALUE || l.reach > reach) reach = l.reach;
    }
    return reach;
}

// Whether a timestamp (µs) fits the stream's course, `expected` being where its next
// packet should be (AV_NOPTS_VALUE for the stream's first packet).
bool Timelines::InCourse(const Lane& lane, std::int64_t mapped, std::int64_t expected) const {
    if (expected == AV_NOPTS_VALUE) {
        // A first packet: from the input's start (another stream may have run ahead in
        // the file) to a while after the furthest point any stream has reached.
        const std::int64_t clock = Clock();
        const std::int64_t low = start_ != AV_NOPTS_VALUE ? start_ : clock;
        if (low == AV_NOPTS_VALUE) return true;
        const std::int64_t high = clock != AV_NOPTS_VALUE ? std::max(clock, low) : low;
        return mapped >= low - kBackStep && mapped <= high + kLateStart;
    }
    if (mapped < expected - kBackStep) return false;
    const std::int64_t others = OthersReach(lane);
    if (others == AV_NOPTS_VALUE) return mapped <= expected + kForwardGap;
    // With other streams, a real gap is one they share.
    if (mapped > std::max(expected, others) + kInterleave) return false;
    if (mapped <= others + kAhead) return true;
    // Ahead of every other stream (which may have ended): only at the stream's own pace.
    const std::int64_t pace = lane.rateStep > 0 ? lane.rateStep + lane.rateStep / 2 : kMaxStep;
    return lane.last != AV_NOPTS_VALUE && mapped - lane.last <= pace;
}

// Hands a packet on with the stream's offset applied.
void Timelines::Give(int id, Lane& lane, PacketPtr packet, Ready& ready) {
    const std::int64_t raw = RawTs(*packet);
    if (raw != AV_NOPTS_VALUE) {
        if (packet->dts != AV_NOPTS_VALUE) packet->dts += lane.offset;
        if (packet->pts != AV_NOPTS_VALUE) packet->pts += lane.offset;
        // A presentation time far from the decoding time is damage: the decoder guesses one.
        if (packet->pts != AV_NOPTS_VALUE && packet->dts != AV_NOPTS_VALUE &&
            std::abs(av_rescale_q(packet->pts - packet->dts, lane.timeBase, kMicro)) > kForwardGap) {
            packet->pts = AV_NOPTS_VALUE;
        }
        const std::int64_t at = Mapped(lane, raw);
        const std::int64_t end = at + Duration(lane, *packet);
        lane.before = lane.next;
        lane.lastDuration = end - at;
        lane.last = at;
        lane.next = lane.next == AV_NOPTS_VALUE ? end : std::max(end, std::min(lane.next, at + kMaxStep));
        lane.reach = lane.reach == AV_NOPTS_VALUE ? at : std::max(lane.reach, at);
    }
    ready.emplace_back(id, std::move(packet));
}

// Hands a packet on at a given position (µs), its own timestamps being wrong.
void Timelines::Place(int id, Lane& lane, PacketPtr packet, std::int64_t atUs, Ready& ready) {
    const std::int64_t raw = RawTs(*packet);
    const std::int64_t shift = av_rescale_q(atUs, kMicro, lane.timeBase) - (raw + lane.offset);
    if (packet->dts != AV_NOPTS_VALUE) packet->dts += shift;
    if (packet->pts != AV_NOPTS_VALUE) packet->pts += shift;
    moved_ = true;
    Give(id, lane, std::move(packet), ready);
}

void Timelines::Push(int id, PacketPtr packet, Ready& ready) {
    Lane& lane = lanes_[static_cast<std::size_t>(id)];
    const std::int64_t raw = RawTs(*packet);
    if (raw == AV_NOPTS_VALUE) {
        // Nothing to check; a held packet is then taken as a single bad timestamp.
        if (lane.held && lane.next != AV_NOPTS_VALUE)
            Place(id, lane, std::move(lane.held), lane.next, ready);
        else if (lane.held)
            Give(id, lane, std::move(lane.held), ready);
        Give(id, lane, std::move(packet), ready);
        return;
    }
    const std::int64_t mapped = Mapped(lane, raw);
    if (!lane.held) {
        if (InCourse(lane, mapped, lane.next)) {
            Give(id, lane, std::move(packet), ready);
        } else if (lane.before != AV_NOPTS_VALUE && mapped < lane.next &&
                   InCourse(lane, mapped, lane.before + lane.lastDuration)) {
            // Back on the course the packet before left: that one came too early, which
            // cannot be undone, but the stream keeps its course.
            lane.next = mapped;
            Give(id, lane, std::move(packet), ready);
        } else {
            lane.held = std::move(packet);
        }
        return;
    }

    // A packet is held: does this one continue the course from before it?
    const std::int64_t heldDuration = Duration(lane, *lane.held);
    const std::int64_t expected = lane.next == AV_NOPTS_VALUE ? AV_NOPTS_VALUE : lane.next + heldDuration;
    if (InCourse(lane, mapped, expected)) {
        const std::int64_t at = lane.next != AV_NOPTS_VALUE ? lane.next : mapped - heldDuration;
        Place(id, lane, std::move(lane.held), at, ready);
        Give(id, lane, std::move(packet), ready);
        return;
    }
    // No: the held packet begins a new course, which continues where the old one ended.
    const std::int64_t heldRaw = RawTs(*lane.held);
    const std::int64_t target = lane.next != AV_NOPTS_VALUE ? lane.next : Reference();
    if (target != AV_NOPTS_VALUE) {
        lane.offset = av_rescale_q(target, kMicro, lane.timeBase) - heldRaw;
        moved_ = true;
    }
    Give(id, lane, std::move(lane.held), ready);
    const std::int64_t now = Mapped(lane, raw);
    if (InCourse(lane, now, lane.next)) {
        Give(id, lane, std::move(packet), ready);
    } else {
        lane.held = std::move(packet);
    }
}

void Timelines::Flush(Ready& ready) {
    for (std::size_t i = 0; i < lanes_.size(); ++i) {
        Lane& lane = lanes_[i];
        if (!lane.held) continue;
        // Nothing came after it to confirm its course: it takes the expected place.
        if (lane.next != AV_NOPTS_VALUE)
            Place(static_cast<int>(i), lane, std::move(lane.held), lane.next, ready);
        else
            Give(static_cast<int>(i), lane, std::move(lane.held), ready);
    }
}

}  // namespace vv
