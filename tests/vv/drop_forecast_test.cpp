// Which pictures vv.exe leaves undecoded because the frame-rate conversion drops them.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "drop_forecast.h"

extern "C" {
#include <libavutil/mathematics.h>
}

namespace {

constexpr AVRational kTimeBase{1, 12800};  // MP4's usual for 25 pictures a second
constexpr std::int64_t kStep = 512;        // one picture at 25 a second

// The pictures (by place in showing order) the conversion to `rate` gives out, worked out
// step by step as the conversion does it: of the two pictures it holds, the older is
// given out for each output moment before the newer's; a picture never given out is dropped.
std::set<std::size_t> GivenOut(const std::vector<std::int64_t>& pts, AVRational rate) {
    std::vector<std::int64_t> moment;
    for (const std::int64_t p : pts) {
        moment.push_back(av_rescale_q_rnd(p, kTimeBase, av_inv_q(rate),
                                          static_cast<AVRounding>(AV_ROUND_NEAR_INF | AV_ROUND_PASS_MINMAX)));
    }
    std::set<std::size_t> out{pts.size() - 1};  // the last picture lasts to the end
    std::int64_t next = moment[0];
    for (std::size_t i = 0; i + 1 < moment.size(); ++i) {
        for (; moment[i + 1] > next; ++next) out.insert(i);
    }
    return out;
}

struct Packet {
    std::int64_t pts;
    bool key = false;
};

// Feeds the packets in the order given; returns the timestamps of those left out.
std::set<std::int64_t> LeftOut(const std::vector<Packet>& packets, AVRational rate, std::size_t stopAfter = SIZE_MAX) {
    vv::DropForecast forecast(kTimeBase, rate, 0);
    std::vector<vv::DropForecast::Decided> decided;
    std::set<std::int64_t> left;
    const auto take = [&] {
        for (const auto& d : decided) {
            if (d.leftOut) left.insert(d.packet->pts);
        }
        decided.clear();
    };
    for (std::size_t i = 0; i < packets.size(); ++i) {
        if (i == stopAfter) forecast.Stop();
        vv::PacketPtr p = vv::MakePacket();
        p->pts = packets[i].pts;
        if (packets[i].key) p->flags |= AV_PKT_FLAG_KEY;
        forecast.Push(std::move(p), decided);
        take();
    }
    forecast.Flush(decided);
    take();
    return left;
}

// 200 pictures at 25 a second, coded as an H.264 encoder orders them: a key picture every
// 50, and between references three pictures shown before the later reference.
std::vector<Packet> Reordered() {
    std::vector<Packet> packets;
    for (std::int64_t gop = 0; gop < 200; gop += 50) {
        packets.push_back({gop * kStep, true});
        for (std::int64_t p = gop + 4; p < gop + 50; p += 4) {
            for (const std::int64_t shown : {p, p - 2, p - 3, p - 1}) packets.push_back({shown * kStep});
        }
        packets.push_back({(gop + 49) * kStep});
    }
    return packets;
}

}  // namespace

TEST(VvDropForecast, LeavesOutExactlyThePicturesTheConversionDrops) {
    const std::vector<Packet> packets = Reordered();
    std::vector<std::int64_t> shown;
    std::set<std::int64_t> keys;
    for (const Packet& p : packets) {
        shown.push_back(p.pts);
        if (p.key) keys.insert(p.pts);
    }
    std::sort(shown.begin(), shown.end());
    ASSERT_EQ(shown.size(), 200u);
    for (const AVRational rate : {AVRational{2997, 200}, AVRational{2997, 125}, AVRational{25, 1}, AVRational{30, 1}}) {
        SCOPED_TRACE(std::to_string(rate.num) + "/" + std::to_string(rate.den));
        const std::set<std::size_t> given = GivenOut(shown, rate);
        std::set<std::int64_t> dropped;
        for (std::size_t i = 0; i < shown.size(); ++i) {
            if (!given.count(i) && !keys.count(shown[i])) dropped.insert(shown[i]);
        }
        EXPECT_EQ(LeftOut(packets, rate), dropped);
    }
    EXPECT_EQ(LeftOut(packets, {2997, 200}).size(), 80u);  // 14.985 a second from 25 drops two in five
}

TEST(VvDropForecast, DecodesWhereTheTimestampsLeaveItUncertain) {
    // At 10 a second from 25, most pictures are dropped: the cases below keep them.
    const AVRational rate{10, 1};
    std::vector<Packet> plain;
    for (std::int64_t i = 0; i < 40; ++i) plain.push_back({i * kStep, i == 0});
    ASSERT_GT(LeftOut(plain, rate).size(), 20u);

    // A packet without a timestamp: no picture within sight of it is left out.
    std::vector<Packet> missing = plain;
    missing[20].pts = AV_NOPTS_VALUE;
    for (const std::int64_t pts : LeftOut(missing, rate)) {
        EXPECT_TRUE(pts < 4 * kStep || pts > 36 * kStep) << pts;
    }
    // A repeated timestamp: neither picture is left out.
    std::vector<Packet> repeated = plain;
    repeated[21].pts = repeated[20].pts;
    EXPECT_FALSE(LeftOut(repeated, rate).count(20 * kStep));
    // Key pictures and the last picture (nothing after it in sight) are decoded.
    std::vector<Packet> keys = plain;
    for (Packet& p : keys) p.key = true;
    EXPECT_TRUE(LeftOut(keys, rate).empty());
    EXPECT_FALSE(LeftOut(plain, rate).count(39 * kStep));
    // Once stopped, nothing more is left out, also of the packets still waiting.
    const std::set<std::int64_t> beforeStop = LeftOut(plain, rate, 30);
    EXPECT_FALSE(beforeStop.empty());
    for (const std::int64_t pts : beforeStop) EXPECT_LT(pts, (30 - 16) * kStep);
}
