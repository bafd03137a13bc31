#include "profiles/presets.h"

#include "convert/contract.h"
#include "platform/app_path.h"
#include "platform/cmdline.h"

namespace profiles {
namespace {

using Seq = std::span<const char* const>;

// ---- entry sequences ----
constexpr const char* kVideoBitrates[] = {"80 kbps",  "120 kbps", "160 kbps", "192 kbps", "256 kbps",
                                          "320 kbps", "512 kbps", "768 kbps", "1.0 Mbps", "1.5 Mbps",
                                          "2.0 Mbps", "2.5 Mbps", "3.0 Mbps", "4.0 Mbps"};
constexpr const char* kFrameSizes[] = {"128x96",  "160x120", "176x120",     "176x144",     "192x144", "208x176",
                                       "220x176", "224x176", "240x180",     "320x220",     "320x240", "352x240",
                                       "352x288", "400x240", "480x272",     "480x360",     "640x360", "640x480",
                                       "720x480 DVD", "720x576 DVD", "848x480", "1280x720"};
constexpr const char* kFrameRates[] = {"5.0 fps",    "6.0 fps",  "8.0 fps",    "10.0 fps",
                                       "12.0 fps",   "14.985 fps", "15.0 fps", "20.0 fps",
                                       "23.976 fps", "25.0 fps", "29.976 fps", "30.0 fps"};
constexpr const char* kAspectRatios[] = {"Auto", "4:3", "16:9"};
constexpr const char* kAmrBitrates[] = {"4.75 kbps", "5.15 kbps", "5.90 kbps", "6.70 kbps",
                                        "7.40 kbps", "7.95 kbps", "10.2 kbps", "12.2 kbps"};
constexpr const char* kAudioBitrates[] = {"32 kbps",  "48 kbps",  "56 kbps",  "64 kbps",  "80 kbps",
                                          "96 kbps",  "112 kbps", "128 kbps", "160 kbps", "192 kbps",
                                          "224 kbps", "256 kbps", "320 kbps"};
constexpr const char* kSampleRates[] = {"8000 Hz", "16000 Hz", "22050 Hz", "32000 Hz", "44100 Hz", "48000 Hz"};
constexpr const char* kChannelChoices[] = {"1 Channel Mono", "2 Channels Stereo"};

// Lists of their own.
constexpr const char* k3gpFrameSizes[] = {"128x96", "176x144", "352x288"};
constexpr const char* kFlvSampleRates[] = {"22050 Hz", "44100 Hz"};
constexpr const char* k3gpVideoCodecs[] = {"H.263", "mpeg4"};
constexpr const char* k3gpp2VideoCodecs[] = {"H.264", "mpeg4"};
constexpr const char* kAviVideoCodecs[] = {"mpeg4", "H.264", "Xvid(mpeg4)"};
constexpr const char* kFlvVideoCodecs[] = {"FLV"};
constexpr const char* k3gpAudioCodecs[] = {"AMR_NB", "AAC"};
constexpr const char* k3gpp2AudioCodecs[] = {"AAC", "AMR_NB"};
constexpr const char* kMp4AudioCodecs[] = {"AAC"};
constexpr const char* kAviAudioCodecs[] = {"MP3", "MP2", "pcm_s16le"};
constexpr const char* kFlvAudioCodecs[] = {"MP3"};
constexpr const char* k8000Hz[] = {"8000 Hz"};
constexpr const char* kMono[] = {"1 Channel Mono"};

constexpr ListFill All(Seq seq, int sel) { return {seq, sel}; }
constexpr ListFill First(Seq seq, std::size_t n, int sel) { return {seq.first(n), sel}; }

// The AMR-NB and AAC audio lists, as the audio-codec rule fills them.
constexpr ListFill kAmrBitrateFill = All(kAmrBitrates, 7);
constexpr ListFill kAmrSampleFill = All(k8000Hz, 0);
constexpr ListFill kAmrChannelFill = All(kMono, 0);
constexpr ListFill kAacBitrateFill = First(kAudioBitrates, 9, 6);
constexpr ListFill kAacSampleFill = All(kSampleRates, 4);
constexpr ListFill kStereoFill = All(kChannelChoices, 1);
constexpr ListFill kAviBitrateFill = All(kAudioBitrates, 7);
constexpr ListFill kMp2BitrateFill = First(kAudioBitrates, 9, 7);

//                      video codec               video bitrate                 frame size
//                      frame rate                aspect ratio                  audio codec
//                      audio bitrate             sample rate                   channels
const FormatPreset kPresets[] = {
    {"3gp", {All(k3gpVideoCodecs, 0), First(kVideoBitrates, 7, 4), All(k3gpFrameSizes, 1),
             All(kFrameRates, 5), All(kAspectRatios, 0), All(k3gpAudioCodecs, 0),
             kAmrBitrateFill, kAmrSampleFill, kAmrChannelFill}},
    {"3gpp2", {All(k3gpp2VideoCodecs, 0), First(kVideoBitrates, 11, 6), All(kFrameSizes, 10),
               All(kFrameRates, 5), All(kAspectRatios, 0), All(k3gpp2AudioCodecs, 0),
               kAacBitrateFill, kAacSampleFill, kStereoFill}},
    {"mp4", {All(k3gpp2VideoCodecs, 1), All(kVideoBitrates, 6), All(kFrameSizes, 10),
             All(kFrameRates, 8), All(kAspectRatios, 0), All(kMp4AudioCodecs, 0),
             kAacBitrateFill, kAacSampleFill, kStereoFill}},
    {"avi", {All(kAviVideoCodecs, 0), All(kVideoBitrates, 6), All(kFrameSizes, 10),
             All(kFrameRates, 8), All(kAspectRatios, 0), All(kAviAudioCodecs, 1),
             First(kAudioBitrates, 9, 7), All(kSampleRates, 2), kStereoFill}},
    {"flv", {All(kFlvVideoCodecs, 0), First(kVideoBitrates, 7, 4), All(kFrameSizes, 10),
             All(kFrameRates, 5), All(kAspectRatios, 0), All(kFlvAudioCodecs, 0),
             All(kAudioBitrates, 7), All(kFlvSampleRates, 1), kStereoFill}},
};

// ---- label to option tables ----
struct Row {
    const char* label;
    const char* option;
};

constexpr const char* kH264Label = "H.264";

constexpr Row kVideoCodecRows[] = {{"mpeg4", "-vcodec  mpeg4"},
                                   {"Xvid(mpeg4)", "-vcodec libxvid -aspect 4:3"},
                                   {"H.263", "-vcodec h263"},
                                   {"FLV", "-vcodec flv"}};  // "H.264" is composed
constexpr Row kVideoBitrateRows[] = {
    {"80 kbps", "-b 80k"},     {"120 kbps", "-b 120k"},   {"160 kbps", "-b 160k"},   {"192 kbps", "-b 192k"},
    {"256 kbps", "-b 256k"},   {"320 kbps", "-b 320k"},   {"512 kbps", "-b 512k"},   {"768 kbps", "-b 768k"},
    {"1.0 Mbps", "-b 1000k"},  {"1.5 Mbps", "-b 1500k"},  {"2.0 Mbps", "-b 2000k"},  {"2.5 Mbps", "-b 2500k"},
    {"3.0 Mbps", "-b 3000k"},  {"4.0 Mbps", "-b 4000k"}};
constexpr Row kFrameSizeRows[] = {
    {"128x96", "-s 128x96"},     {"160x120", "-s 160x120"},   {"176x120", "-s 176x120 "},
    {"176x144", "-s 176x144 "},  {"192x144", "-s 192x144"},   {"208x176", "-s 208x176"},
    {"224x176", "-s 224x176"},   {"220x176", "-s 220x176"},   {"240x180", "-s 240x180"},
    {"320x220", "-s 320x220"},   {"320x240", "-s 320x240 "},  {"352x240", "-s 352x240"},
    {"352x288", "-s 352x288 "},  {"400x240", "-s 400x240"},   {"480x272", "-s 480x272"},
    {"480x360", "-s 480x360"},   {"640x360", "-s 640x360"},   {"640x480", "-s 640x480 "},
    {"720x480 DVD", "-s 720x480 "}, {"720x576 DVD", "-s 720x576 "}, {"848x480", "-s 848x480 "},
    {"1280x720", "-s 1280x720 "}};
constexpr Row kFrameRateRows[] = {
    {"5.0 fps", "-r 5"},          {"6.0 fps", "-r 6"},   {"8.0 fps", "-r 8"},
    {"10.0 fps", "-r 10"},        {"12.0 fps", "-r 12"}, {"14.985 fps", "-r 14.985"},
    {"15.0 fps", "-r 15"},        {"20.0 fps", "-r 20"}, {"23.976 fps", "-r 23.976"},
    {"25.0 fps", "-r 25"},        {"29.976 fps", "-r 29.976"}, {"30.0 fps", "-r 30"}};
constexpr Row kAudioCodecRows[] = {{"MP3", "-acodec libmp3lame"},
                                   {"MP2", "-acodec mp2"},
                                   {"pcm_s16le", "-acodec pcm_s16le"},
                                   {"AAC", "-strict experimental -acodec aac"},
                                   {"AMR_NB", "-acodec libopencore_amrnb"}};
constexpr Row kAudioBitrateRows[] = {
    {"4.75 kbps", "-ab 4.75k"}, {"5.15 kbps", "-ab 5.15k"}, {"5.90 kbps", "-ab 5.9k"},
    {"6.70 kbps", "-ab 6.7k"},  {"7.40 kbps", "-ab 7.4k"},  {"7.95 kbps", "-ab 7.95k"},
    {"10.2 kbps", "-ab 10.2k"}, {"12.2 kbps", "-ab 12.2k"}, {"32 kbps", "-ab 32k"},
    {"48 kbps", "-ab 48k"},     {"56 kbps", "-ab 56k"},     {"64 kbps", "-ab 64k"},
    {"80 kbps", "-ab 80k"},     {"96 kbps", "-ab 96k"},     {"112 kbps", "-ab 112k"},
    {"128 kbps", "-ab 128k"},   {"160 kbps", "-ab 160k"},   {"192 kbps", "-ab 192k"},
    {"224 kbps", "-ab 224k"},   {"256 kbps", "-ab 256k"},   {"320 kbps", "-ab 320k"}};
constexpr Row kSampleRateRows[] = {{"8000 Hz", "-ar 8000"},   {"16000 Hz", "-ar 16000"},
                                   {"22050 Hz", "-ar 22050"}, {"32000 Hz", "-ar 32000"},
                                   {"44100 Hz", "-ar 44100"}, {"48000 Hz", "-ar 48000"}};
constexpr Row kChannelRows[] = {{"1 Channel Mono", "-ac 1"}, {"2 Channels Stereo", "-ac 2"}};

// Table of each list, by ParamList; the aspect ratio has none.
constexpr std::array<std::span<const Row>, kParamListCount> kTables = {
    kVideoCodecRows, kVideoBitrateRows, kFrameSizeRows,   kFrameRateRows, std::span<const Row>{},
    kAudioCodecRows, kAudioBitrateRows, kSampleRateRows,  kChannelRows};

}  // namespace

const FormatPreset* FindPreset(std::string_view format) {
    for (const FormatPreset& p : kPresets) {
        if (p.format == format) return &p;
    }
    return nullptr;
}

AudioRuleFills AudioCodecRule(std::string_view format, std::string_view audioCodec) {
    AudioRuleFills fills;
    if (format == "avi") fills.audioBitrate = kAviBitrateFill;
    if (audioCodec == "AMR_NB") {
        fills.audioBitrate = kAmrBitrateFill;
        fills.sampleRate = kAmrSampleFill;
        fills.channels = kAmrChannelFill;
    } else if (audioCodec == "AAC") {
        fills.audioBitrate = kAacBitrateFill;
        fills.sampleRate = kAacSampleFill;
        fills.channels = kStereoFill;
    } else if (audioCodec == "MP2") {
        fills.audioBitrate = kMp2BitrateFill;
    }
    return fills;
}

std::string H264Option(std::string_view appDir) {
    return "-fpre " + platform::QuoteArgument(platform::JoinPath(appDir, convert::kH264PresetFileName)) +
           " -vcodec libx264";
}

std::optional<std::string> LookupOption(ParamList list, std::string_view label, std::string_view appDir) {
    if (list == kVideoCodec && label == kH264Label) return H264Option(appDir);
    for (const Row& row : kTables[static_cast<std::size_t>(list)]) {
        if (label == row.label) return std::string(row.option);
    }
    return std::nullopt;
}

}  // namespace profiles
