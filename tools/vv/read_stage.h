#pragma once
// The reading stage: the input's packets in its order, their timestamps kept on one
// course (timeline.h), handed to each converted stream's decoding; and the progress,
// from the position in the input.
#include <cstdint>
#include <map>
#include <vector>

#include "pipeline.h"
#include "progress.h"
#include "stage_items.h"
#include "stream_start.h"
#include "timeline.h"

namespace vv {

class ReadStage {
public:
    // Opens the input; throws VvError when it cannot be read. Reading gives up at once on
    // a stop, or when `workers` says another stage has failed.
    ReadStage(const Options& opt, ProgressWriter& progress, const Workers& workers);
    ReadStage(const ReadStage&) = delete;
    ReadStage& operator=(const ReadStage&) = delete;

    // The stream of this media to convert; null when there is none (a video stream that
    // is only an attached picture is none).
    AVStream* BestStream(AVMediaType type) const;
    // Whether the input's only picture is a cover (an attached picture of a sound file).
    bool OnlyACover() const;
    // What a converted stream looks like to every stage, from the input.
    StreamInfo Describe(AVStream* in, std::size_t index) const;
    // Reads the stream from now on, handing its packets to `packets`.
    void AddStream(const StreamInfo& stream, Inlet<PacketPtr>& packets);
    void Connect(const StreamStart& start) { start_ = &start; }

    // Reads to the input's end (or a stop), then ends every stream's packets.
    void Run();
    // The length the input declares (µs); 0 or less when it declares none.
    std::int64_t DeclaredDuration() const { return input_->duration; }

private:
    static int Interrupt(void* self);
    void PassOn(Timelines::Ready& ready);
    void ReportProgress();

    const Options& opt_;
    ProgressWriter& progress_;
    const Workers& workers_;
    InputFormatPtr input_;
    std::int64_t inputStart_ = AV_NOPTS_VALUE;
    Timelines timelines_;
    const StreamStart* start_ = nullptr;
    struct Reading {
        std::size_t stream = 0;
        int lane = -1;  // in the timelines
        Inlet<PacketPtr>* packets = nullptr;
    };
    std::vector<Reading> streams_;
    std::map<std::size_t, std::size_t> readingOf_;  // input stream index -> streams_ index
};

}  // namespace vv
