#pragma once
// Output profiles: what each output format offers in the nine parameter lists and
// selects by default, the audio-codec rule that refills the audio lists, and the
// tables that turn a displayed label into a converter option string. Pure data and
// lookups; the window only reads selections and stores results.
#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace profiles {

// The nine parameter lists, in control order (1010..1018).
enum ParamList : int {
    kVideoCodec,
    kVideoBitrate,
    kFrameSize,
    kFrameRate,
    kAspectRatio,
    kAudioCodec,
    kAudioBitrate,
    kSampleRate,
    kChannels,
    kParamListCount
};

// The output formats, in the order of the format list; "3gp" first.
inline constexpr std::array<std::string_view, 5> kFormats = {"3gp", "3gpp2", "mp4", "avi", "flv"};

// One entry of a parameter list: the label it shows and the converter option it stands
// for. The H.264 entry has no fixed option (null): it names the program directory.
struct Entry {
    const char* label;
    const char* option;
};

// One list's contents: its entries in display order and the default selection.
struct ListFill {
    std::span<const Entry> entries;
    int selection = 0;

    const char* SelectedLabel() const { return entries[static_cast<std::size_t>(selection)].label; }
};

struct FormatPreset {
    std::string_view format;
    std::array<ListFill, kParamListCount> lists;
};

// The preset of a format label (exact, case-sensitive), or null for an unknown label.
const FormatPreset* FindPreset(std::string_view format);

// What the audio-codec rule puts into the three audio lists; lists it leaves alone are
// empty optionals.
struct AudioRuleFills {
    std::optional<ListFill> audioBitrate;
    std::optional<ListFill> sampleRate;
    std::optional<ListFill> channels;
};
AudioRuleFills AudioCodecRule(std::string_view format, std::string_view audioCodec);

// The option lists that feed the command line, in the order the window derives them.
inline constexpr std::array<ParamList, 8> kOptionLists = {kVideoCodec, kVideoBitrate, kFrameSize,  kFrameRate,
                                                          kAudioCodec, kAudioBitrate, kSampleRate, kChannels};

// The command-line slot order of the eight option strings.
inline constexpr std::array<ParamList, 8> kSlotOrder = {kVideoCodec, kVideoBitrate, kFrameSize,    kFrameRate,
                                                        kAudioCodec, kSampleRate,   kAudioBitrate, kChannels};

// The option string for a label of a list, or nothing when the list has no such row
// (the aspect-ratio list has none at all). The H.264 row is composed with the program
// directory: -fpre "DIR/h264.dat" -vcodec libx264.
std::optional<std::string> LookupOption(ParamList list, std::string_view label, std::string_view appDir);

// The H.264 video codec option for a program directory.
std::string H264Option(std::string_view appDir);

}  // namespace profiles
