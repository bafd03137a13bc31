// Output profiles as data: what each format offers, the audio-codec rule and the
// option strings that the labels stand for.
#include <gtest/gtest.h>
#include <set>

#include "../helpers/format_defaults.h"
#include "platform/app_path.h"
#include "platform/cmdline.h"
#include "profiles/presets.h"

using namespace profiles;

namespace {

std::string Selected(const ListFill& fill) { return fill.SelectedLabel(); }

// What a format change leaves in the lists: the preset, then the audio-codec rule for
// the default audio codec.
std::array<ListFill, kParamListCount> AfterFormatChange(std::string_view format) {
    std::array<ListFill, kParamListCount> lists = FindPreset(format)->lists;
    const AudioRuleFills rule = AudioCodecRule(format, Selected(lists[kAudioCodec]));
    if (rule.audioBitrate) lists[kAudioBitrate] = *rule.audioBitrate;
    if (rule.sampleRate) lists[kSampleRate] = *rule.sampleRate;
    if (rule.channels) lists[kChannels] = *rule.channels;
    return lists;
}

convert::OptionSlots SlotsAfterFormatChange(std::string_view format, std::string_view appDir) {
    const auto lists = AfterFormatChange(format);
    convert::OptionSlots slots;
    for (std::size_t i = 0; i < slots.size(); ++i) {
        slots[i] = LookupOption(kSlotOrder[i], Selected(lists[kSlotOrder[i]]), appDir).value_or("<none>");
    }
    return slots;
}

std::vector<std::string> Labels(const ListFill& fill) {
    std::vector<std::string> out;
    for (const Entry& e : fill.entries) out.push_back(e.label);
    return out;
}

}  // namespace

TEST(Presets, EachFormatGivesItsEightOptionStringsInSlotOrder) {
    for (const auto& [format, extension, slots] : testdata::FormatDefaults("/opt/tolvani")) {
        EXPECT_EQ(SlotsAfterFormatChange(format, "/opt/tolvani"), slots) << format;
        // The preset table already shows what the rule would make of its audio lists.
        const auto lists = AfterFormatChange(format);
        for (ParamList l : {kAudioBitrate, kSampleRate, kChannels}) {
            const ListFill& preset = FindPreset(format)->lists[l];
            EXPECT_EQ(Labels(preset), Labels(lists[l])) << format << " list " << l;
            EXPECT_EQ(preset.selection, lists[l].selection) << format << " list " << l;
        }
    }
    EXPECT_EQ(FindPreset("3GP"), nullptr);
    EXPECT_EQ(FindPreset("mkv"), nullptr);
}

TEST(Presets, EveryOfferedLabelFindsItsOwnOption) {
    // Whatever a format or the audio-codec rule puts into a list, the derivation finds the
    // option written beside that label.
    for (std::string_view format : kFormats) {
        const FormatPreset* preset = FindPreset(format);
        ASSERT_NE(preset, nullptr) << format;
        std::vector<std::pair<ParamList, ListFill>> fills;
        for (int l = 0; l < kParamListCount; ++l) fills.emplace_back(static_cast<ParamList>(l), preset->lists[l]);
        for (const Entry& codec : preset->lists[kAudioCodec].entries) {
            const AudioRuleFills rule = AudioCodecRule(format, codec.label);
            if (rule.audioBitrate) fills.emplace_back(kAudioBitrate, *rule.audioBitrate);
            if (rule.sampleRate) fills.emplace_back(kSampleRate, *rule.sampleRate);
            if (rule.channels) fills.emplace_back(kChannels, *rule.channels);
        }
        for (const auto& [list, fill] : fills) {
            ASSERT_LT(static_cast<std::size_t>(fill.selection), fill.entries.size()) << format << " list " << list;
            for (const Entry& e : fill.entries) {
                const auto option = LookupOption(list, e.label, "/d");
                if (list == kAspectRatio) {
                    EXPECT_FALSE(option) << e.label;  // the aspect ratio feeds nothing
                } else {
                    EXPECT_EQ(option, e.option ? e.option : H264Option("/d")) << format << ": " << e.label;
                }
            }
        }
    }
    EXPECT_FALSE(LookupOption(kVideoBitrate, "256 KBPS", ""));  // labels are exact
}

TEST(Options, H264PresetPathStaysOneArgumentWhateverTheProgramDirectory) {
    EXPECT_EQ(H264Option(""), "-fpre \"" + platform::JoinPath("", "h264.dat") + "\" -vcodec libx264");
    for (const std::string dir : {"/opt/my tools/Tolvani 10", "/视频 工具", "/odd\"dir"}) {
        const auto args = platform::SplitCommandLine("vv.exe " + *LookupOption(kVideoCodec, "H.264", dir));
        ASSERT_EQ(args.size(), 5u) << dir;
        EXPECT_EQ(args[1], "-fpre");
        EXPECT_EQ(args[2], platform::JoinPath(dir, "h264.dat"));
        EXPECT_EQ(args[3], "-vcodec");
        EXPECT_EQ(args[4], "libx264");
    }
}
