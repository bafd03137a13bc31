#include "transcoder.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include "decode_stage.h"
#include "encode_stage.h"
#include "filter_stage.h"
#include "pipeline.h"
#include "platform/threads.h"
#include "read_stage.h"
#include "stop.h"
#include "stream_start.h"
#include "write_stage.h"

namespace vv {
namespace {

// The queues between stages running side by side: deep enough for the input's
// interleaving (a second or so of one stream before the other's next packet) and the
// encoders' bursts, shallow enough that memory stays flat and a stop ends quickly.
constexpr std::size_t kVideoPackets = 64, kAudioPackets = 256, kOutputPackets = 128;
constexpr std::size_t kPacketBytes = std::size_t{16} << 20;  // per packet queue
constexpr std::size_t kFrames = 8;                           // pictures between decoder, filters and encoder
constexpr std::size_t kSoundFrames = 64;                     // sound frames between resampling and encoder
constexpr std::size_t kAnyBytes = SIZE_MAX;
// How many items a stage's thread waits for once it ran out: the light stages (the
// writing, the sound's) wake for a stretch of work, not for every packet (a wake-up
// costs more than writing one). The video's stages take each picture as it comes: made
// to wait for four, they kept the decoder's threads from the cores (3-7 % slower).
constexpr std::size_t kWriteBatch = 16, kSoundPacketBatch = 16, kSoundFrameBatch = 8;

// The conversion as a graph of stages joined by inlets: reading; for each stream,
// decoding, filtering and encoding; writing. Built first, then run: each stage on a
// thread of its own with bounded queues between them, or all on the calling thread with
// direct calls. The stages meet only through their inlets and the streams' start.
class Transcoder {
public:
    Transcoder(const Options& options, ProgressWriter& progress, Tuning tuning)
        : opt_(options), tuning_(tuning), reader_(options, progress, workers_) {}
    // The threads end before anything they use is gone; workers_ itself outlives the
    // reader, whose interrupt callback asks it whether the run was aborted.
    ~Transcoder() { workers_.Stop(); }
    Transcoder(const Transcoder&) = delete;
    Transcoder& operator=(const Transcoder&) = delete;

    int Run(ProgressWriter& progress) {
        SelectStreams();
        Build();
        const auto from = std::chrono::steady_clock::now();
        const platform::ThreadUsage before = platform::ProcessUsage();
        if (tuning_.threads == StageThreads::kEach) {
            RunSideBySide();
        } else {
            reader_.Run();  // each packet goes through every stage before the next is read
        }
        if (tuning_.account) PrintAccount(std::chrono::steady_clock::now() - from, before);
        const int stop = StopSignal();
        // Asked to discard, the output is never put in place; and a stop never replaces the
        // file the user had: the unfinished output goes instead.
        if (stop != 0 && (DiscardRequested() || writer_->ReplacesExisting())) return stop;
        writer_->Commit();
        if (writer_->CommittedPath() != opt_.output) {
            PrintNote("a file took the name " + opt_.output + " during the conversion; the output was kept as " +
                      writer_->CommittedPath());
        }
        if (stop == 0) {
            NoteEmptyStreams();
            NoteShortOutput();
            progress.Finish();
        }
        return stop;
    }

    bool Discarded() const { return writer_ == nullptr || !writer_->Committed(); }

private:
    // A converted stream's stages, destroyed from the first to the last.
    struct Stream {
        StreamInfo info;
        CodecContextPtr decoder;  // opened when the stream is chosen, then the decoding stage's
        std::unique_ptr<EncodeStage> encode;
        std::unique_ptr<FilterStage> filter;
        std::unique_ptr<DecodeStage> decode;
    };

    // One video and one audio stream at most. A picture or sound the input has is never
    // left out unsaid: one no decoder can be opened for fails the conversion, as the
    // output would lack it; a cover picture is no video, and the note says so.
    void SelectStreams() {
        for (const AVMediaType type : {AVMEDIA_TYPE_VIDEO, AVMEDIA_TYPE_AUDIO}) {
            AVStream* in = reader_.BestStream(type);
            if (in == nullptr) continue;
            std::string reason;
            CodecContextPtr decoder = OpenDecoder(in, reason);
            if (!decoder) throw VvError(reason + " in " + opt_.input, convert::ToolStatus::kInput);
            auto s = std::make_unique<Stream>();
            s->info = reader_.Describe(in, streams_.size());
            s->decoder = std::move(decoder);
            streams_.push_back(std::move(s));
        }
        if (streams_.empty()) throw VvError("the input " + opt_.input + " holds no video or audio", convert::ToolStatus::kInput);
        if (streams_.size() == 1 && streams_[0]->info.type == AVMEDIA_TYPE_AUDIO && reader_.OnlyACover()) {
            PrintNote("the input's picture is a cover image, not a video: the output holds the sound alone");
        }
    }

    // A stream of which not one frame could be decoded, beside one that converted: the
    // output holds what could be saved, and the note says what it lacks and why.
    void NoteEmptyStreams() const {
        for (const auto& s : streams_) {
            if (s->encode->Frames() > 0) continue;
            std::string why = s->filter->SetupError();
            if (why.empty()) why = s->decode->Error();
            const bool video = s->info.type == AVMEDIA_TYPE_VIDEO;
            PrintNote(std::string(video ? "no picture" : "no sound") + " could be decoded from the input" +
                      (why.empty() ? "" : " (" + why + ")") + ": the output holds the " +
                      (video ? "sound" : "picture") + " alone");
        }
    }

    // The stages, from the output back to the input, each joined to the next one's inlet.
    void Build() {
        writer_ = std::make_unique<WriteStage>(opt_, streams_.size(), [this] { CheckSomethingConverted(); });
        std::vector<StreamInfo> infos;
        for (const auto& s : streams_) infos.push_back(s->info);
        start_ = std::make_unique<StreamStart>(opt_, writer_->Format(), infos);
        writer_->Connect(*start_);
        reader_.Connect(*start_);
        for (const auto& stream : streams_) {
            Stream& s = *stream;
            s.encode = std::make_unique<EncodeStage>(s.info, *start_, writer_->In());
            s.filter = std::make_unique<FilterStage>(s.info, *start_, s.encode->In());
            std::unique_ptr<DropForecast> forecast = Forecast(s);
            s.decode = std::make_unique<DecodeStage>(s.info, std::move(s.decoder), std::move(forecast), *start_,
                                                     s.filter->In());
            reader_.AddStream(s.info, s.decode->In());
        }
    }

    // An output that ends clearly before the length the input declares says so: the input
    // was cut short (perhaps while it was read), or its header claims more than it holds.
    void NoteShortOutput() const {
        const std::int64_t declared = reader_.DeclaredDuration();
        const std::int64_t covered = writer_->Covered();
        if (declared <= 0 || covered <= 0) return;
        if (declared - covered <= std::max<std::int64_t>(2 * AV_TIME_BASE, declared / 10)) return;
        char text[160];
        std::snprintf(text, sizeof text, "the output covers %.1f s of the %.1f s the input declares",
                      static_cast<double>(covered) / AV_TIME_BASE, static_cast<double>(declared) / AV_TIME_BASE);
        PrintNote(std::string(text) + ": the input ended early");
    }

    // The pictures the frame rate will leave out, for a video decoder that can skip them.
    std::unique_ptr<DropForecast> Forecast(const Stream& s) const {
        if (s.info.type != AVMEDIA_TYPE_VIDEO || tuning_.decodeEveryPicture) return nullptr;
        if (!SkipsUnreferencedPictures(s.decoder->codec_id)) return nullptr;
        return std::make_unique<DropForecast>(s.info.in->time_base, OutputRate(opt_, s.info), s.info.startIn);
    }

    // Every stream has ended: the run fails when not one frame was encoded.
    void CheckSomethingConverted() const {
        std::string why;
        for (const auto& s : streams_) {
            if (s->encode->Frames() > 0) return;
            if (const std::string setup = s->filter->SetupError(); !setup.empty()) {
                why = setup;
            } else if (!s->decode->Error().empty()) {
                why = s->decode->Error();
            }
        }
        if (StopSignal() != 0) throw VvError("stopped before anything was converted");
        throw VvError("no picture or sound could be decoded from " + opt_.input + (why.empty() ? "" : ": " + why),
                      convert::ToolStatus::kInput);
    }

    // Every stage on a thread of its own: reading; the video's decoder, filters and
    // encoder; the sound's decoding with its resampling, and its encoding (AAC's encoder
    // is not light: beside the resampling it was the mp4 default's slowest path);
    // writing. The codecs add their own threads where they have them.
    void RunSideBySide() {
        std::vector<std::pair<std::function<void()>, const char*>> bodies;
        // The video decoder is on the critical path, and so is AAC's encoder, whose work on
        // SD clips is as long as the video's decoding: the other stages step back a little,
        // so that on two cores their threads are never kept waiting. (With AAC's
        // encoder stepping back too, the mp4 default took 8 % longer on Debian 13.)
        const auto queue = [&](auto& inlet, std::size_t items, std::size_t bytes, std::size_t batch, bool yields,
                               const char* name) {
            workers_.Watch(inlet.Queue(items, bytes, batch));
            bodies.emplace_back(
                [&inlet, yields] {
                    if (yields) platform::YieldToOtherThreads();
                    inlet.Drain();
                },
                name);
        };
        queue(writer_->In(), kOutputPackets, kPacketBytes, kWriteBatch, true, "write");
        for (const auto& stream : streams_) {
            Stream& s = *stream;
            if (s.info.type == AVMEDIA_TYPE_VIDEO) {
                queue(s.decode->In(), kVideoPackets, kPacketBytes, 1, false, "video decoding");
                queue(s.filter->In(), kFrames, kAnyBytes, 1, true, "video filters");
                queue(s.encode->In(), kFrames, kAnyBytes, 1, true, "video encoding");
            } else {
                queue(s.decode->In(), kAudioPackets, kPacketBytes, kSoundPacketBatch, true, "sound decoding");
                queue(s.encode->In(), kSoundFrames, kAnyBytes, kSoundFrameBatch, !HeavySoundEncoder(), "sound encoding");
            }
        }
        bodies.emplace_back([this] { reader_.Run(); }, "read");
        if (tuning_.account) workers_.KeepAccounts();
        for (auto& [body, name] : bodies) workers_.Start(std::move(body), name);
        workers_.Join();
    }

    // Whether the sound's encoder is AAC's, the heavy one.
    bool HeavySoundEncoder() const {
        if (!opt_.audioCodec.empty()) return opt_.audioCodec == "aac";
        return writer_->Format()->audio_codec == AV_CODEC_ID_AAC;
    }

    // Where the run's time went: each stage's thread, and the codecs' own threads (the
    // process's time beyond the stages', start-up excluded).
    void PrintAccount(std::chrono::steady_clock::duration elapsed, const platform::ThreadUsage& before) const {
        const double wall = std::chrono::duration<double>(elapsed).count();
        const platform::ThreadUsage all = platform::ProcessUsage();
        std::int64_t pictures = 0;
        for (const auto& s : streams_) {
            if (s->info.type == AVMEDIA_TYPE_VIDEO) pictures = s->encode->Frames();
        }
        const double cpu = all.cpuSeconds - before.cpuSeconds;
        std::fprintf(stderr, "stage account: %.3f s, %.3f s of processor time (%.2f cores), %lld pictures encoded\n",
                     wall, cpu, wall > 0 ? cpu / wall : 0.0, static_cast<long long>(pictures));
        std::fprintf(stderr, "%-16s %7s %6s %9s %9s %7s %9s\n", "thread", "cpu s", "busy", "input s", "room s",
                     "waits", "preempted");
        platform::ThreadUsage stages;
        const auto line = [&](const std::string& name, const platform::ThreadUsage& u, double input, double room) {
            std::fprintf(stderr, "%-16s %7.3f %5.0f%% %9.3f %9.3f %7ld %9ld\n", name.c_str(), u.cpuSeconds,
                         wall > 0 ? 100 * u.cpuSeconds / wall : 0.0, input, room, u.waits, u.preempted);
        };
        for (const StageAccount& a : workers_.Accounts()) {
            line(a.name, a.usage, static_cast<double>(a.waitingForInputNs) / 1e9, static_cast<double>(a.waitingForRoomNs) / 1e9);
            stages.cpuSeconds += a.usage.cpuSeconds;
            stages.waits += a.usage.waits;
            stages.preempted += a.usage.preempted;
        }
        const platform::ThreadUsage rest{cpu - stages.cpuSeconds, all.waits - before.waits - stages.waits,
                                         all.preempted - before.preempted - stages.preempted};
        line(workers_.Accounts().empty() ? "all (one thread)" : "codec threads", rest, 0, 0);
        if (pictures > 0) {
            std::fprintf(stderr, "thread switches per picture: %.1f\n",
                         static_cast<double>(all.waits - before.waits + all.preempted - before.preempted) /
                             static_cast<double>(pictures));
        }
    }

    const Options& opt_;
    const Tuning tuning_;
    Workers workers_;
    ReadStage reader_;
    std::unique_ptr<WriteStage> writer_;
    std::unique_ptr<StreamStart> start_;
    std::vector<std::unique_ptr<Stream>> streams_;
};

}  // namespace

Ending Transcode(const Options& options, ProgressWriter& progress, Tuning tuning) {
    Transcoder t(options, progress, tuning);
    Ending end;
    end.stop = t.Run(progress);
    end.discarded = t.Discarded();
    return end;
}

}  // namespace vv
