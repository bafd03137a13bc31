// The queues and threads between vv.exe's stages: a failure anywhere ends every thread,
// whatever it waits on, and a stage finishes once, after its last producer.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "pipeline.h"

namespace {

struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

}  // namespace

TEST(VvPipeline, AFailureWakesEveryWaitingThreadAndIsTheRunsOnlyReason) {
    // A writer that fails while an encoder pushes into its full queue, a decoder waits on
    // an empty one, and a reader pushes into a full one: nobody is left waiting, and the
    // run's reason is the writer's.
    vv::BoundedQueue<int> toWriter(2, 1000, 1), toDecoder(4, 1000, 1), fromReader(1, 1000, 1);
    std::vector<int> written;
    vv::Workers workers;
    workers.Watch(toWriter);
    workers.Watch(toDecoder);
    workers.Watch(fromReader);
    workers.Start([&] {
        for (int i = 0;; ++i) toWriter.Push(i, 1);  // ends only when aborted
    });
    workers.Start([&] {
        while (toDecoder.Pop()) {
        }
        throw Failure("the decoder ended, which it must not");
    });
    workers.Start([&] {
        for (;;) fromReader.Push(0, 1);
    });
    workers.Start([&] {
        for (int n = 0; n < 3; ++n) written.push_back(*toWriter.Pop());
        throw Failure("cannot write out.mp4: No space left on device");
    });
    try {
        workers.Join();
        FAIL() << "the failure was lost";
    } catch (const Failure& e) {
        EXPECT_STREQ(e.what(), "cannot write out.mp4: No space left on device");
    }
    EXPECT_TRUE(workers.Aborted());
    EXPECT_EQ(written, (std::vector<int>{0, 1, 2}));
    EXPECT_THROW(toDecoder.Push(1, 1), vv::PipelineAborted);
    EXPECT_THROW(toWriter.Pop(), vv::PipelineAborted);
}

TEST(VvPipeline, AStageGetsEveryItemInOrderAndFinishesOnceAfterItsLastProducer) {
    for (const bool queued : {false, true}) {
        SCOPED_TRACE(queued ? "queued" : "direct");
        std::vector<std::string> seen;
        int finished = 0;
        vv::Inlet<std::string> inlet([&](std::string s) { seen.push_back(std::move(s)); }, [&] { ++finished; }, 2);
        vv::Workers workers;
        if (queued) {
            // Smaller than what passes through, and an item bigger than the byte budget.
            workers.Watch(inlet.Queue(2, 8));
            workers.Start([&] { inlet.Drain(); });
        }
        inlet.Put("video 1", 7);
        inlet.Put("a picture larger than the queue", 31);
        inlet.End();  // one producer done: the stage goes on
        inlet.Put("sound 1", 7);
        inlet.Put("sound 2", 7);
        inlet.End();
        workers.Join();
        EXPECT_EQ(seen, (std::vector<std::string>{"video 1", "a picture larger than the queue", "sound 1", "sound 2"}));
        EXPECT_EQ(finished, 1);
    }
}

// Thousands of items through a small queue, from two producers at different paces into a
// consumer that wakes for a stretch: each producer's items all arrive, in its order, and
// the stage finishes once, after both (a consumer woken while a producer still waits for
// room must not take the empty queue for the end and leave the producers hanging).
using CapacityAndBatch = std::pair<std::size_t, std::size_t>;
class VvPipelineStretch : public testing::TestWithParam<CapacityAndBatch> {};

TEST_P(VvPipelineStretch, EveryItemArrivesInOrderHoweverTheSidesSleep) {
    const auto [capacity, batch] = GetParam();
    constexpr int kItems = 10000;
    std::vector<int> seen[2];
    int finished = 0;
    vv::Inlet<int> inlet([&](int v) { seen[v % 2].push_back(v / 2); }, [&] { ++finished; }, 2);
    vv::Workers workers;
    workers.Watch(inlet.Queue(capacity, 1000, batch));
    workers.Start([&] { inlet.Drain(); });
    for (int p = 0; p < 2; ++p) {
        workers.Start([&inlet, p] {
            for (int i = 0; i < kItems; ++i) {
                inlet.Put(2 * i + p, 1);
                if (p == 1 && i % 64 == 0) std::this_thread::yield();
            }
            inlet.End();
        });
    }
    // A stage that ended early leaves its producers waiting for good: after a minute the
    // run is failed, so that the fault shows as a failure rather than a hung test.
    auto joined = std::async(std::launch::async, [&] { workers.Join(); });
    if (joined.wait_for(std::chrono::minutes(1)) == std::future_status::timeout) {
        workers.Fail(std::make_exception_ptr(Failure("the producers were left waiting")));
    }
    EXPECT_NO_THROW(joined.get());
    EXPECT_EQ(finished, 1);
    for (const auto& s : seen) {
        ASSERT_EQ(s.size(), static_cast<std::size_t>(kItems));
        for (int i = 0; i < kItems; ++i) ASSERT_EQ(s[static_cast<std::size_t>(i)], i);
    }
}

INSTANTIATE_TEST_SUITE_P(Queues, VvPipelineStretch,
                         testing::Values(CapacityAndBatch{1, 1}, CapacityAndBatch{2, 1}, CapacityAndBatch{8, 1},
                                         CapacityAndBatch{8, 4}, CapacityAndBatch{64, 16}));
