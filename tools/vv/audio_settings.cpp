#include "audio_settings.h"

#include <cstdlib>
#include <span>

#include "encoder.h"

namespace vv {
namespace {

// Bitrates of the MPEG audio layers, in kbit/s, by sample-rate family.
constexpr std::int64_t kMpeg1Layer2[] = {32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384};
constexpr std::int64_t kMpeg1Layer3[] = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
constexpr std::int64_t kMpeg2Low[] = {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
constexpr std::int64_t kMpeg25Layer3[] = {8, 16, 24, 32, 40, 48, 56, 64};
constexpr int kAmrRates[] = {8000, 0};
// The AAC encoder's ceiling: 6144 bits per channel for each frame of 1024 samples.
constexpr std::int64_t kAacBitsPerChannelFrame = 6144;

template <typename T>
T Nearest(std::span<const T> values, T wanted) {
    T best = values.front();
    for (const T v : values) {
        if (std::llabs(static_cast<long long>(v) - wanted) < std::llabs(static_cast<long long>(best) - wanted) ||
            (std::llabs(static_cast<long long>(v) - wanted) == std::llabs(static_cast<long long>(best) - wanted) &&
             v > best)) {
            best = v;
        }
    }
    return best;
}

// 12200 -> "12.2 kbit/s", 64000 -> "64 kbit/s".
std::string Kbps(std::int64_t bitrate) {
    std::string text = std::to_string(bitrate / 1000);
    if (bitrate % 1000 != 0) {
        std::string fraction = std::to_string(1000 + bitrate % 1000).substr(1);
        while (fraction.back() == '0') fraction.pop_back();
        text += "." + fraction;
    }
    return text + " kbit/s";
}

// The bitrates an MPEG audio encoder allows at a sample rate, in kbit/s; empty: any.
std::span<const std::int64_t> MpegBitrates(const std::string& encoder, int rate) {
    if (encoder == "mp2" || encoder == "mp2fixed") {
        return rate >= 32000 ? std::span<const std::int64_t>(kMpeg1Layer2) : std::span<const std::int64_t>(kMpeg2Low);
    }
    if (encoder == "libmp3lame") {
        if (rate >= 32000) return kMpeg1Layer3;
        if (rate >= 16000) return kMpeg2Low;
        return kMpeg25Layer3;
    }
    return {};
}

}  // namespace

AudioSettings FitAudioSettings(const std::string& encoder, const int* rates, AudioSettings wanted, bool rateChosen,
                               bool bitrateChosen, bool channelsChosen, std::vector<std::string>& changes) {
    AudioSettings got = wanted;
    const bool amr = encoder == kAmrNbName;
    if (amr) rates = kAmrRates;

    if (rates != nullptr && rates[0] != 0) {
        std::size_t n = 0;
        while (rates[n] != 0) ++n;
        got.sampleRate = Nearest(std::span<const int>(rates, n), wanted.sampleRate);
        if (got.sampleRate != wanted.sampleRate && rateChosen) {
            changes.push_back(encoder + " cannot encode " + std::to_string(wanted.sampleRate) + " Hz, " +
                              std::to_string(got.sampleRate) + " Hz used");
        }
    }

    const int maxChannels = amr ? 1 : (encoder == "mp2" || encoder == "libmp3lame") ? 2 : 0;
    if (maxChannels > 0 && got.channels > maxChannels) {
        got.channels = maxChannels;
        if (channelsChosen) {
            changes.push_back(encoder + " cannot encode " + std::to_string(wanted.channels) + " channels, " +
                              std::to_string(got.channels) + " used");
        }
    }

    if (got.bitrate > 0) {
        std::int64_t fitted = got.bitrate;
        if (amr) {
            fitted = Nearest(std::span<const std::int64_t>(kAmrNbBitrates), got.bitrate);
        } else if (const auto table = MpegBitrates(encoder, got.sampleRate); !table.empty()) {
            fitted = Nearest(table, (got.bitrate + 500) / 1000) * 1000;
        } else if (encoder == "aac") {
            const std::int64_t ceiling = kAacBitsPerChannelFrame * got.channels * got.sampleRate / 1024 / 1000 * 1000;
            if (got.bitrate > ceiling) fitted = ceiling;
        }
        if (fitted != got.bitrate && bitrateChosen) {
            changes.push_back(encoder + " at " + std::to_string(got.sampleRate) + " Hz cannot encode " +
                              Kbps(got.bitrate) + ", " + Kbps(fitted) + " used");
        }
        got.bitrate = fitted;
    }
    return got;
}

}  // namespace vv
