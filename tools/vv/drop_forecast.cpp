#include "drop_forecast.h"

#include <climits>
#include <optional>

extern "C" {
#include <libavutil/mathematics.h>
}

namespace vv {

DropForecast::DropForecast(AVRational timeBase, AVRational outputRate, std::int64_t start)
    : timeBase_(timeBase), start_(start) {
    // The conversion reads its rate as a number and takes the closest fraction, as here.
    momentBase_ = av_inv_q(av_d2q(static_cast<double>(outputRate.num) / outputRate.den, INT_MAX));
}

void DropForecast::Push(PacketPtr packet, std::vector<Decided>& decided) {
    ahead_.push_back(std::move(packet));
    while (ahead_.size() > kLookahead) decided.push_back(DecideOldest());
}

void DropForecast::Flush(std::vector<Decided>& decided) {
    while (!ahead_.empty()) decided.push_back(DecideOldest());
}

void DropForecast::Decoded(std::int64_t given, std::int64_t shown) {
    if (given == AV_NOPTS_VALUE || shown != given || (lastShown_ != AV_NOPTS_VALUE && given <= lastShown_)) Stop();
    lastShown_ = given;
}

std::int64_t DropForecast::Moment(std::int64_t pts) const {
    return av_rescale_q_rnd(pts - start_, timeBase_, momentBase_,
                            static_cast<AVRounding>(AV_ROUND_NEAR_INF | AV_ROUND_PASS_MINMAX));
}

DropForecast::Decided DropForecast::DecideOldest() {
    Decided d{std::move(ahead_.front()), false};
    ahead_.pop_front();
    const std::int64_t pts = d.packet->pts;
    if (!stopped_ && pts != AV_NOPTS_VALUE && !(d.packet->flags & AV_PKT_FLAG_KEY)) {
        // The next picture in showing order: the least later timestamp in sight.
        std::optional<std::int64_t> next;
        bool sure = true;
        const auto look = [&](std::int64_t t) {
            if (t == AV_NOPTS_VALUE || t == pts) {
                sure = false;
            } else if (t > pts && (!next || t < *next)) {
                next = t;
            }
        };
        for (const std::int64_t t : behind_) look(t);
        for (const PacketPtr& p : ahead_) look(p->pts);
        d.leftOut = sure && next && Moment(*next) <= Moment(pts);
    }
    behind_.push_back(pts);
    if (behind_.size() > kLookahead) behind_.pop_front();
    return d;
}

bool SkipsUnreferencedPictures(AVCodecID codec) {
    switch (codec) {
        case AV_CODEC_ID_H264:
        case AV_CODEC_ID_HEVC:
        case AV_CODEC_ID_MPEG4:
        case AV_CODEC_ID_MPEG1VIDEO:
        case AV_CODEC_ID_MPEG2VIDEO: return true;
        default: return false;
    }
}

}  // namespace vv
