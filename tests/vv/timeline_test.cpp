// The timestamps vv.exe hands its decoders, for inputs whose timestamps jump.
#include <gtest/gtest.h>

#include "timeline.h"

namespace {

constexpr AVRational kMs{1, 1000};

// Feeds packets (stream, dts in ms, 40 ms long) and returns the dts each came out with, in order.
std::vector<std::pair<int, std::int64_t>> Feed(vv::Timelines& t, const std::vector<std::pair<int, std::int64_t>>& in) {
    std::vector<std::pair<int, std::int64_t>> out;
    vv::Timelines::Ready ready;
    const auto take = [&] {
        for (auto& [id, p] : ready) out.emplace_back(id, p->dts);
        ready.clear();
    };
    for (const auto& [id, dts] : in) {
        vv::PacketPtr p = vv::MakePacket();
        p->dts = p->pts = dts;
        p->duration = 40;
        t.Push(id, std::move(p), ready);
        take();
    }
    t.Flush(ready);
    take();
    return out;
}

std::vector<std::int64_t> Of(const std::vector<std::pair<int, std::int64_t>>& packets, int id) {
    std::vector<std::int64_t> dts;
    for (const auto& [i, d] : packets) {
        if (i == id) dts.push_back(d);
    }
    return dts;
}

}  // namespace

TEST(VvTimelines, JumpsAreTakenOutAndTheCourseKept) {
    using V = std::vector<std::int64_t>;
    {
        // One packet at 24 days, then back on course: it takes the place expected of it.
        vv::Timelines t;
        t.AddStream(kMs, {25, 1});
        EXPECT_EQ(Of(Feed(t, {{0, 0}, {0, 40}, {0, 2147483648}, {0, 120}, {0, 160}}), 0), (V{0, 40, 80, 120, 160}));
        EXPECT_TRUE(t.Moved());
    }
    {
        // Two files joined: the second continues where the first ended.
        vv::Timelines t;
        t.AddStream(kMs, {25, 1});
        EXPECT_EQ(Of(Feed(t, {{0, 5000}, {0, 5040}, {0, 5080}, {0, 1000}, {0, 1040}, {0, 1080}}), 0),
                  (V{5000, 5040, 5080, 5120, 5160, 5200}));
    }
    {
        // A video tag 3 s early beside steady sound: put back in place, the sound untouched.
        vv::Timelines t;
        t.AddStream(kMs, {25, 1});
        t.AddStream(kMs, {0, 1});
        const auto out = Feed(t, {{0, 0}, {1, 0}, {0, 40}, {1, 40}, {0, 3080}, {1, 80}, {0, 120}, {1, 120}});
        EXPECT_EQ(Of(out, 0), (V{0, 40, 80, 120}));
        EXPECT_EQ(Of(out, 1), (V{0, 40, 80, 120}));
    }
    {
        // Sound 3 s ahead in the file before the first picture: the picture keeps its time.
        vv::Timelines t;
        t.SetStart(0);
        t.AddStream(kMs, {25, 1});
        t.AddStream(kMs, {0, 1});
        const auto out = Feed(t, {{1, 0}, {1, 1500}, {1, 3000}, {0, 0}, {0, 40}, {1, 3040}, {0, 80}});
        EXPECT_EQ(Of(out, 0), (V{0, 40, 80}));
        EXPECT_FALSE(t.Moved());
    }
    {
        // A gap every stream shares is real and kept; the last packet, with nothing after it, too.
        vv::Timelines t;
        t.AddStream(kMs, {25, 1});
        t.AddStream(kMs, {0, 1});
        const auto out = Feed(t, {{0, 0}, {1, 0}, {1, 1500}, {0, 1520}, {1, 1540}, {0, 1560}});
        EXPECT_EQ(Of(out, 0), (V{0, 1520, 1560}));
        EXPECT_EQ(Of(out, 1), (V{0, 1500, 1540}));
        EXPECT_FALSE(t.Moved());
    }
}
