#include "profiles/presets.h"

#include "convert/contract.h"
#include "platform/app_path.h"
#include "platform/cmdline.h"

namespace profiles {
namespace {

using Table = std::span<const Entry>;

// ---- the lists: each label written once, beside the option it stands for ----
constexpr Entry kVideoBitrates[] = {{"80 kbps", "-b 80k"},    {"120 kbps", "-b 120k"},  {"160 kbps", "-b 160k"},
                                    {"192 kbps", "-b 192k"},  {"256 kbps", "-b 256k"},  {"320 kbps", "-b 320k"},
                                    {"512 kbps", "-b 512k"},  {"768 kbps", "-b 768k"},  {"1.0 Mbps", "-b 1000k"},
                                    {"1.5 Mbps", "-b 1500k"}, {"2.0 Mbps", "-b 2000k"}, {"2.5 Mbps", "-b 2500k"},
                                    {"3.0 Mbps", "-b 3000k"}, {"4.0 Mbps", "-b 4000k"}};
constexpr Entry kFrameSizes[] = {
    {"128x96", "-s 128x96"},        {"160x120", "-s 160x120"},      {"176x120", "-s 176x120 "},
    {"176x144", "-s 176x144 "},     {"192x144", "-s 192x144"},      {"208x176", "-s 208x176"},
    {"220x176", "-s 220x176"},      {"224x176", "-s 224x176"},      {"240x180", "-s 240x180"},
    {"320x220", "-s 320x220"},      {"320x240", "-s 320x240 "},     {"352x240", "-s 352x240"},
    {"352x288", "-s 352x288 "},     {"400x240", "-s 400x240"},      {"480x272", "-s 480x272"},
    {"480x360", "-s 480x360"},      {"640x360", "-s 640x360"},      {"640x480", "-s 640x480 "},
    {"720x480 DVD", "-s 720x480 "}, {"720x576 DVD", "-s 720x576 "}, {"848x480", "-s 848x480 "},
    {"1280x720", "-s 1280x720 "}};
constexpr Entry kFrameRates[] = {{"5.0 fps", "-r 5"},   {"6.0 fps", "-r 6"},         {"8.0 fps", "-r 8"},
                                 {"10.0 fps", "-r 10"}, {"12.0 fps", "-r 12"},       {"14.985 fps", "-r 14.985"},
                                 {"15.0 fps", "-r 15"}, {"20.0 fps", "-r 20"},       {"23.976 fps", "-r 23.976"},
                                 {"25.0 fps", "-r 25"}, {"29.976 fps", "-r 29.976"}, {"30.0 fps", "-r 30"}};
constexpr Entry kAspectRatios[] = {{"Auto", ""}, {"4:3", ""}, {"16:9", ""}};  // feeds no option
constexpr Entry kAmrBitrates[] = {{"4.75 kbps", "-ab 4.75k"}, {"5.15 kbps", "-ab 5.15k"}, {"5.90 kbps", "-ab 5.9k"},
                                  {"6.70 kbps", "-ab 6.7k"},  {"7.40 kbps", "-ab 7.4k"},  {"7.95 kbps", "-ab 7.95k"},
                                  {"10.2 kbps", "-ab 10.2k"}, {"12.2 kbps", "-ab 12.2k"}};
constexpr Entry kAudioBitrates[] = {{"32 kbps", "-ab 32k"},   {"48 kbps", "-ab 48k"},   {"56 kbps", "-ab 56k"},
                                    {"64 kbps", "-ab 64k"},   {"80 kbps", "-ab 80k"},   {"96 kbps", "-ab 96k"},
                                    {"112 kbps", "-ab 112k"}, {"128 kbps", "-ab 128k"}, {"160 kbps", "-ab 160k"},
                                    {"192 kbps", "-ab 192k"}, {"224 kbps", "-ab 224k"}, {"256 kbps", "-ab 256k"},
                                    {"320 kbps", "-ab 320k"}};
constexpr Entry kSampleRates[] = {{"8000 Hz", "-ar 8000"},   {"16000 Hz", "-ar 16000"}, {"22050 Hz", "-ar 22050"},
                                  {"32000 Hz", "-ar 32000"}, {"44100 Hz", "-ar 44100"}, {"48000 Hz", "-ar 48000"}};
constexpr Entry kChannelChoices[] = {{"1 Channel Mono", "-ac 1"}, {"2 Channels Stereo", "-ac 2"}};

// Codecs, each entry written once and shared by the formats that offer it.
constexpr Entry kH263{"H.263", "-vcodec h263"};
constexpr Entry kMpeg4{"mpeg4", "-vcodec  mpeg4"};
constexpr Entry kH264{"H.264", nullptr};  // composed with the program directory
constexpr Entry kXvid{"Xvid(mpeg4)", "-vcodec libxvid -aspect 4:3"};
constexpr Entry kFlv{"FLV", "-vcodec flv"};
constexpr Entry kAmrNb{"AMR_NB", "-acodec libopencore_amrnb"};
constexpr Entry kAac{"AAC", "-strict experimental -acodec aac"};
constexpr Entry kMp3{"MP3", "-acodec libmp3lame"};
constexpr Entry kMp2{"MP2", "-acodec mp2"};
constexpr Entry kPcm{"pcm_s16le", "-acodec pcm_s16le"};

// Lists of their own.
constexpr Entry k3gpFrameSizes[] = {kFrameSizes[0], kFrameSizes[3], kFrameSizes[12]};
constexpr Entry kFlvSampleRates[] = {kSampleRates[2], kSampleRates[4]};
constexpr Entry k8000Hz[] = {kSampleRates[0]};
constexpr Entry kMono[] = {kChannelChoices[0]};
constexpr Entry k3gpVideoCodecs[] = {kH263, kMpeg4};
constexpr Entry k3gpp2VideoCodecs[] = {kH264, kMpeg4};
constexpr Entry kAviVideoCodecs[] = {kMpeg4, kH264, kXvid};
constexpr Entry kFlvVideoCodecs[] = {kFlv};
constexpr Entry k3gpAudioCodecs[] = {kAmrNb, kAac};
constexpr Entry k3gpp2AudioCodecs[] = {kAac, kAmrNb};
constexpr Entry kMp4AudioCodecs[] = {kAac};
constexpr Entry kAviAudioCodecs[] = {kMp3, kMp2, kPcm};
constexpr Entry kFlvAudioCodecs[] = {kMp3};

constexpr ListFill All(Table table, int sel) { return {table, sel}; }
constexpr ListFill First(Table table, std::size_t n, int sel) { return {table.first(n), sel}; }

// The AMR-NB and AAC audio lists, as the audio-codec rule fills them.
constexpr ListFill kAmrBitrateFill = All(kAmrBitrates, 7);
constexpr ListFill kAmrSampleFill = All(k8000Hz, 0);
constexpr ListFill kAmrChannelFill = All(kMono, 0);
constexpr ListFill kAacBitrateFill = First(kAudioBitrates, 9, 6);
constexpr ListFill kAacSampleFill = All(kSampleRates, 4);
constexpr ListFill kStereoFill = All(kChannelChoices, 1);
constexpr ListFill kAviBitrateFill = All(kAudioBitrates, 7);
constexpr ListFill kMp2BitrateFill = First(kAudioBitrates, 9, 7);

// clang-format off
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
// clang-format on

// Every table whose entries a list can show, by ParamList: where a label is looked up.
constexpr Table kVideoCodecTables[] = {k3gpVideoCodecs, k3gpp2VideoCodecs, kAviVideoCodecs, kFlvVideoCodecs};
constexpr Table kVideoBitrateTables[] = {kVideoBitrates};
constexpr Table kFrameSizeTables[] = {kFrameSizes};
constexpr Table kFrameRateTables[] = {kFrameRates};
constexpr Table kAudioCodecTables[] = {k3gpAudioCodecs, k3gpp2AudioCodecs, kAviAudioCodecs};
constexpr Table kAudioBitrateTables[] = {kAmrBitrates, kAudioBitrates};
constexpr Table kSampleRateTables[] = {kSampleRates};
constexpr Table kChannelTables[] = {kChannelChoices};
constexpr std::array<std::span<const Table>, kParamListCount> kTables = {
    kVideoCodecTables, kVideoBitrateTables, kFrameSizeTables,  kFrameRateTables, std::span<const Table>{},
    kAudioCodecTables, kAudioBitrateTables, kSampleRateTables, kChannelTables};

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
    for (const Table& table : kTables[static_cast<std::size_t>(list)]) {
        for (const Entry& entry : table) {
            if (label != entry.label) continue;
            return entry.option != nullptr ? std::string(entry.option) : H264Option(appDir);
        }
    }
    return std::nullopt;
}

}  // namespace profiles
