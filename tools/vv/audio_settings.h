#pragma once
// The audio settings an encoder can take. The window offers some combinations an encoder
// cannot do (MP2 at 8000 Hz, MP3 at 8000 Hz with 320 kbit/s); such a setting is replaced
// by the nearest one the encoder supports, and the change is described for a note line.
#include <cstdint>
#include <string>
#include <vector>

namespace vv {

struct AudioSettings {
    int sampleRate = 0;
    int channels = 0;
    std::int64_t bitrate = 0;  // 0: the encoder's default
};

// `encoder` is the encoder's name, `rates` the sample rates it supports (0-terminated;
// null: any). Settings the user chose (rateChosen, bitrateChosen, channelsChosen) are
// changed with a description appended to `changes`; values taken from the input are
// changed silently.
AudioSettings FitAudioSettings(const std::string& encoder, const int* rates, AudioSettings wanted, bool rateChosen,
                               bool bitrateChosen, bool channelsChosen, std::vector<std::string>& changes);

}  // namespace vv
