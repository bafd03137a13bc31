#pragma once
// The writing stage: encoded packets from every stream, in any order between streams,
// interleaved by time into the output's container. The header waits for every stream's
// start (see stream_start.h), within bounds; the output appears at its name only once
// Commit() is called (output_file.h).
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "output_file.h"
#include "pipeline.h"
#include "stage_items.h"
#include "stream_start.h"

namespace vv {

class WriteStage {
public:
    // Makes the output (a temporary file); throws VvError when the name is taken without
    // -y, names the input, or names no container. `beforeEnd` runs when every stream has
    // ended, before the output is finished (it throws when there is nothing to finish).
    WriteStage(const Options& opt, std::size_t streams, std::function<void()> beforeEnd);
    WriteStage(const WriteStage&) = delete;
    WriteStage& operator=(const WriteStage&) = delete;

    const AVOutputFormat* Format() const { return output_->oformat; }
    void Connect(StreamStart& start) { start_ = &start; }
    Inlet<EncodedPacket>& In() { return in_; }

    // Puts the finished output at its name, or beside it under a free name when a file
    // took the name meanwhile (see output_file.h). Throws VvError.
    void Commit() { file_->Commit(); }
    // Whether a file stood at the output's name when the conversion began.
    bool ReplacesExisting() const { return file_->ReplacesExisting(); }
    bool Committed() const { return file_->Committed(); }
    const std::string& CommittedPath() const { return file_->CommittedPath(); }
    // The span of time the written packets cover (µs); 0 or less when nothing was written.
    std::int64_t Covered() const;

private:
    void Mux(EncodedPacket p);
    void AddOutputStreams(const std::vector<StreamStart::Output>& running);
    [[noreturn]] void Failure(int err) const;
    void WriteHeader();
    void WritePacket(EncodedPacket& p);
    void Finish();

    const Options& opt_;
    std::function<void()> beforeEnd_;
    std::unique_ptr<OutputFile> file_;  // outlives output_, which writes into it
    OutputFormatPtr output_;
    StreamStart* start_ = nullptr;
    Inlet<EncodedPacket> in_;
    struct Writing {
        AVStream* out = nullptr;  // null: the stream is left out of the output
        std::int64_t lastMuxDts = AV_NOPTS_VALUE;
        std::int64_t from = INT64_MAX, to = INT64_MIN;  // the span of the packets written (µs)
    };
    std::vector<Writing> streams_;
    bool headerWritten_ = false;
    std::deque<EncodedPacket> queued_;  // packets before the header
    std::size_t queuedBytes_ = 0;
    std::int64_t queuedFrom_ = INT64_MAX, queuedTo_ = INT64_MIN;
};

}  // namespace vv
