// Output profiles as data: what each format offers, the audio-codec rule and the
// option strings that the labels stand for.
#include <gtest/gtest.h>
#include <set>

#include "platform/cmdline.h"
#include "profiles/presets.h"

using namespace profiles;

namespace {

std::string Selected(const ListFill& fill) { return fill.entries[static_cast<std::size_t>(fill.selection)]; }

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

std::vector<std::string> SlotsAfterFormatChange(std::string_view format, std::string_view appDir) {
    const auto lists = AfterFormatChange(format);
    std::vector<std::string> slots;
    for (ParamList l : kSlotOrder) slots.push_back(LookupOption(l, Selected(lists[l]), appDir).value_or("<none>"));
    return slots;
}

}  // namespace

TEST(Presets, EachFormatGivesItsEightOptionStringsInSlotOrder) {
    const std::string h264 = "-fpre \"/opt/tolvani/h264.dat\" -vcodec libx264";
    const std::vector<std::pair<std::string, std::vector<std::string>>> expected = {
        {"3gp", {"-vcodec h263", "-b 256k", "-s 176x144 ", "-r 14.985", "-acodec libopencore_amrnb",
                 "-ar 8000", "-ab 12.2k", "-ac 1"}},
        {"3gpp2", {h264, "-b 512k", "-s 320x240 ", "-r 14.985", "-strict experimental -acodec aac",
                   "-ar 44100", "-ab 112k", "-ac 2"}},
        {"mp4", {"-vcodec  mpeg4", "-b 512k", "-s 320x240 ", "-r 23.976", "-strict experimental -acodec aac",
                 "-ar 44100", "-ab 112k", "-ac 2"}},
        {"avi", {"-vcodec  mpeg4", "-b 512k", "-s 320x240 ", "-r 23.976", "-acodec mp2", "-ar 22050",
                 "-ab 128k", "-ac 2"}},
        {"flv", {"-vcodec flv", "-b 256k", "-s 320x240 ", "-r 14.985", "-acodec libmp3lame", "-ar 44100",
                 "-ab 128k", "-ac 2"}},
    };
    for (const auto& [format, slots] : expected) {
        EXPECT_EQ(SlotsAfterFormatChange(format, "/opt/tolvani"), slots) << format;
        // The preset table already shows what the rule would make of its audio lists.
        const auto lists = AfterFormatChange(format);
        for (ParamList l : {kAudioBitrate, kSampleRate, kChannels}) {
            const ListFill& preset = FindPreset(format)->lists[l];
            EXPECT_EQ(std::vector<std::string>(preset.entries.begin(), preset.entries.end()),
                      std::vector<std::string>(lists[l].entries.begin(), lists[l].entries.end()))
                << format << " list " << l;
            EXPECT_EQ(preset.selection, lists[l].selection) << format << " list " << l;
        }
    }
    EXPECT_EQ(FindPreset("3GP"), nullptr);
    EXPECT_EQ(FindPreset("mkv"), nullptr);
}

TEST(Presets, EveryOfferedLabelHasAnOptionRow) {
    std::vector<ListFill> fills;
    for (std::string_view format : kFormats) {
        const FormatPreset* preset = FindPreset(format);
        ASSERT_NE(preset, nullptr) << format;
        for (const ListFill& f : preset->lists) fills.push_back(f);
        for (const char* codec : preset->lists[kAudioCodec].entries) {
            const AudioRuleFills rule = AudioCodecRule(format, codec);
            for (const auto& f : {rule.audioBitrate, rule.sampleRate, rule.channels}) {
                if (f) fills.push_back(*f);
            }
        }
    }
    for (std::string_view format : kFormats) {
        for (std::size_t l = 0; l < kParamListCount; ++l) {
            const ListFill& f = FindPreset(format)->lists[l];
            ASSERT_GE(f.selection, 0);
            ASSERT_LT(static_cast<std::size_t>(f.selection), f.entries.size()) << format << " " << l;
            if (l == kAspectRatio) continue;
            for (const char* label : f.entries) {
                EXPECT_TRUE(LookupOption(static_cast<ParamList>(l), label, "/d")) << format << ": " << label;
            }
        }
    }
    for (std::string_view format : kFormats) {
        for (const char* codec : FindPreset(format)->lists[kAudioCodec].entries) {
            const AudioRuleFills rule = AudioCodecRule(format, codec);
            const std::pair<ParamList, std::optional<ListFill>> parts[] = {
                {kAudioBitrate, rule.audioBitrate}, {kSampleRate, rule.sampleRate}, {kChannels, rule.channels}};
            for (const auto& [list, fill] : parts) {
                if (!fill) continue;
                ASSERT_LT(static_cast<std::size_t>(fill->selection), fill->entries.size());
                for (const char* label : fill->entries) EXPECT_TRUE(LookupOption(list, label, "/d")) << label;
            }
        }
    }
}

TEST(Presets, AudioCodecRuleTiesTheAudioListsToTheCodec) {
    // AMR-NB: eight AMR bitrates, 8000 Hz, mono, in any format that offers it.
    for (std::string_view format : {"3gp", "3gpp2"}) {
        const AudioRuleFills amr = AudioCodecRule(format, "AMR_NB");
        ASSERT_TRUE(amr.audioBitrate && amr.sampleRate && amr.channels);
        EXPECT_EQ(amr.audioBitrate->entries.size(), 8u);
        EXPECT_EQ(Selected(*amr.audioBitrate), "12.2 kbps");
        EXPECT_EQ(Selected(*amr.sampleRate), "8000 Hz");
        EXPECT_EQ(amr.sampleRate->entries.size(), 1u);
        EXPECT_EQ(Selected(*amr.channels), "1 Channel Mono");
        EXPECT_EQ(amr.channels->entries.size(), 1u);

        const AudioRuleFills aac = AudioCodecRule(format, "AAC");
        ASSERT_TRUE(aac.audioBitrate && aac.sampleRate && aac.channels);
        EXPECT_EQ(aac.audioBitrate->entries.size(), 9u);
        EXPECT_EQ(Selected(*aac.audioBitrate), "112 kbps");
        EXPECT_EQ(aac.sampleRate->entries.size(), 6u);
        EXPECT_EQ(Selected(*aac.sampleRate), "44100 Hz");
        EXPECT_EQ(Selected(*aac.channels), "2 Channels Stereo");
    }
    // avi: MP3 and pcm_s16le get all thirteen bitrates and leave the other lists alone.
    for (std::string_view codec : {"MP3", "pcm_s16le"}) {
        const AudioRuleFills r = AudioCodecRule("avi", codec);
        ASSERT_TRUE(r.audioBitrate);
        EXPECT_EQ(r.audioBitrate->entries.size(), 13u);
        EXPECT_EQ(Selected(*r.audioBitrate), "128 kbps");
        EXPECT_FALSE(r.sampleRate);
        EXPECT_FALSE(r.channels);
    }
    const AudioRuleFills mp2 = AudioCodecRule("avi", "MP2");
    ASSERT_TRUE(mp2.audioBitrate);
    EXPECT_EQ(mp2.audioBitrate->entries.size(), 9u);
    EXPECT_EQ(Selected(*mp2.audioBitrate), "128 kbps");
    // flv's only codec leaves everything alone.
    const AudioRuleFills flv = AudioCodecRule("flv", "MP3");
    EXPECT_FALSE(flv.audioBitrate || flv.sampleRate || flv.channels);
}

TEST(Options, LabelsTurnIntoTheirExactOptionStrings) {
    EXPECT_EQ(LookupOption(kVideoBitrate, "80 kbps", ""), "-b 80k");
    EXPECT_EQ(LookupOption(kAudioBitrate, "80 kbps", ""), "-ab 80k");
    EXPECT_EQ(LookupOption(kVideoBitrate, "1.5 Mbps", ""), "-b 1500k");
    EXPECT_EQ(LookupOption(kAudioBitrate, "5.90 kbps", ""), "-ab 5.9k");
    EXPECT_EQ(LookupOption(kFrameSize, "720x480 DVD", ""), "-s 720x480 ");
    EXPECT_EQ(LookupOption(kFrameSize, "128x96", ""), "-s 128x96");
    EXPECT_EQ(LookupOption(kFrameRate, "29.976 fps", ""), "-r 29.976");
    EXPECT_EQ(LookupOption(kVideoCodec, "mpeg4", ""), "-vcodec  mpeg4");
    EXPECT_EQ(LookupOption(kVideoCodec, "Xvid(mpeg4)", ""), "-vcodec libxvid -aspect 4:3");
    EXPECT_FALSE(LookupOption(kAspectRatio, "4:3", ""));
    EXPECT_FALSE(LookupOption(kVideoBitrate, "256 KBPS", ""));  // exact, case-sensitive

    // Nine frame sizes keep a trailing blank.
    int trailing = 0;
    for (const char* size : FindPreset("mp4")->lists[kFrameSize].entries) {
        trailing += LookupOption(kFrameSize, size, "")->ends_with(' ');
    }
    EXPECT_EQ(trailing, 9);
}

TEST(Options, H264PresetPathStaysOneArgumentWhateverTheProgramDirectory) {
    EXPECT_EQ(H264Option(""), "-fpre \"/h264.dat\" -vcodec libx264");
    for (const std::string dir : {"/opt/my tools/Tolvani 10", "/视频 工具", "/odd\"dir"}) {
        const auto args = platform::SplitCommandLine("vv.exe " + *LookupOption(kVideoCodec, "H.264", dir));
        ASSERT_EQ(args.size(), 5u) << dir;
        EXPECT_EQ(args[1], "-fpre");
        EXPECT_EQ(args[2], dir + "/h264.dat");
        EXPECT_EQ(args[3], "-vcodec");
        EXPECT_EQ(args[4], "libx264");
    }
}

TEST(Presets, ListsKeepTheirInsertionOrder) {
    const ListFill& rates = FindPreset("3gp")->lists[kFrameRate];
    EXPECT_EQ(std::string(rates.entries.front()), "5.0 fps");
    EXPECT_EQ(std::string(rates.entries.back()), "30.0 fps");
    // Codecs offered only where they belong.
    std::set<std::string> xvid, h263, flv;
    for (std::string_view f : kFormats) {
        for (const char* c : FindPreset(f)->lists[kVideoCodec].entries) {
            if (std::string(c) == "Xvid(mpeg4)") xvid.insert(std::string(f));
            if (std::string(c) == "H.263") h263.insert(std::string(f));
            if (std::string(c) == "FLV") flv.insert(std::string(f));
        }
    }
    EXPECT_EQ(xvid, std::set<std::string>{"avi"});
    EXPECT_EQ(h263, std::set<std::string>{"3gp"});
    EXPECT_EQ(flv, std::set<std::string>{"flv"});
}
