#include "stream_start.h"

namespace vv {

StreamStart::StreamStart(const Options& opt, const AVOutputFormat* format, const std::vector<StreamInfo>& streams)
    : opt_(opt), format_(format) {
    for (const StreamInfo& info : streams) slots_.push_back(std::make_unique<Slot>(info));
}

bool StreamStart::Dropped(std::size_t stream) const { return slots_[stream]->state == State::kDropped; }

bool StreamStart::Waiting(std::size_t stream) const { return slots_[stream]->state == State::kWaiting; }

void StreamStart::Declare(std::size_t stream, const Shape& shape) {
    std::lock_guard lock(mutex_);
    slots_[stream]->declared = shape;
}

// Opens the encoder and builds the filters for frames of this shape (under the lock).
// Settings the encoder refuses throw; filters that cannot take the shape leave the
// stream out.
void StreamStart::Start(Slot& s, const Shape& shape) {
    s.encoding = OpenEncoding(opt_, format_, s.info, shape);
    if (!s.filters.Build(s.info.type, s.info.in->time_base, shape, s.encoding.chain, s.encoding.encoder->FrameSize(),
                         s.setupError)) {
        s.state = State::kDropped;
        s.encoding.encoder.reset();
        return;
    }
    s.state = State::kRunning;
}

std::optional<StreamStart::Handover> StreamStart::TakeOver(std::size_t stream, const Shape* shape) {
    std::lock_guard lock(mutex_);
    Slot& s = *slots_[stream];
    if (shape != nullptr && s.state == State::kWaiting) Start(s, *shape);
    if (s.state != State::kRunning || s.filtersTaken) return std::nullopt;
    s.filtersTaken = true;
    return Handover{std::move(s.filters), s.encoding.chain, s.encoding.encoder->FrameSize()};
}

StreamStart::EncoderHandover StreamStart::TakeEncoder(std::size_t stream) {
    std::lock_guard lock(mutex_);
    Slot& s = *slots_[stream];
    if (s.state != State::kRunning) return {};
    return {std::move(s.encoding.encoder), s.encoding.timeBase, s.encoding.sar};
}

bool StreamStart::AllStarted() const {
    std::lock_guard lock(mutex_);
    for (const auto& s : slots_) {
        if (s->state == State::kWaiting) return false;
    }
    return true;
}

std::vector<StreamStart::Output> StreamStart::StartEveryStream() {
    std::lock_guard lock(mutex_);
    for (const auto& slot : slots_) {
        Slot& s = *slot;
        if (s.state != State::kWaiting) continue;
        const Shape shape = s.declared;
        s.state = State::kDropped;
        if (!shape.Usable(s.info.type)) continue;
        try {
            Start(s, shape);
        } catch (const VvError&) {
            s.state = State::kDropped;
            s.encoding.encoder.reset();
        }
    }
    return Running();
}

std::vector<StreamStart::Output> StreamStart::LeaveOutWaiting() {
    std::lock_guard lock(mutex_);
    for (const auto& s : slots_) {
        if (s->state == State::kWaiting) s->state = State::kDropped;
    }
    return Running();
}

// Under the lock. What a running stream's start made stays as it is from then on.
std::vector<StreamStart::Output> StreamStart::Running() const {
    std::vector<Output> running;
    for (const auto& s : slots_) {
        if (s->state != State::kRunning) continue;
        running.push_back(
            {s->info.index, s->info.type, s->encoding.parameters.get(), s->encoding.timeBase, s->encoding.sar});
    }
    return running;
}

std::string StreamStart::SetupError(std::size_t stream) const {
    std::lock_guard lock(mutex_);
    return slots_[stream]->setupError;
}

}  // namespace vv
