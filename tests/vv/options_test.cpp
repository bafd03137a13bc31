// What vv.exe reads from its command line.
#include <fstream>
#include <gtest/gtest.h>

#include "audio_settings.h"
#include "encoder.h"
#include "platform/cmdline.h"
#include "vv_options.h"

using vv::ParseArguments;
using vv::Ratio;
using vv::VvError;

namespace {

vv::Options Parse(const std::string& line) {
    auto args = platform::SplitCommandLine(line);
    args.erase(args.begin());
    return ParseArguments(args);
}

}  // namespace

TEST(VvOptions, ReadsEveryOptionTheProfilesProduce) {
    const vv::Options o = Parse(
        "vv.exe -i \"/v/in clip.rmvb\" -y -vcodec libxvid -aspect 4:3 -b 1500k -s 720x480  -r 29.976 "
        "-strict experimental -acodec aac -ar 44100 -ab 5.9k -ac 2 \"/out/新 clip.avi\"");
    EXPECT_EQ(o.input, "/v/in clip.rmvb");
    EXPECT_EQ(o.output, "/out/新 clip.avi");
    EXPECT_TRUE(o.overwrite);
    EXPECT_EQ(o.videoCodec, "libxvid");
    EXPECT_EQ(o.aspect, (Ratio{4, 3}));
    EXPECT_EQ(o.videoBitrate, 1500000);
    EXPECT_EQ(o.frameSize, std::make_pair(720, 480));
    EXPECT_EQ(o.frameRate, (Ratio{3747, 125}));  // 29.976 exactly
    EXPECT_EQ(o.strict, -2);
    EXPECT_EQ(o.audioCodec, "aac");
    EXPECT_EQ(o.sampleRate, 44100);
    EXPECT_EQ(o.audioBitrate, 5900);
    EXPECT_EQ(o.channels, 2);

    EXPECT_EQ(vv::ParseRate("14.985"), (Ratio{2997, 200}));
    EXPECT_EQ(vv::ParseRate("23.976"), (Ratio{2997, 125}));
    EXPECT_EQ(vv::ParseRate("30000/1001"), (Ratio{30000, 1001}));
    EXPECT_EQ(vv::ParseBitrate("12.2k"), 12200);
    EXPECT_EQ(vv::ParseBitrate("4.75k"), 4750);
    EXPECT_EQ(vv::ParseBitrate("2M"), 2000000);
    EXPECT_EQ(vv::ParseBitrate("256K"), 256000);
    EXPECT_EQ(vv::ParseRate("25"), (Ratio{25, 1}));
    EXPECT_EQ(vv::ParseAspect("16/9"), (Ratio{16, 9}));
    EXPECT_EQ(vv::ParseAspect("1.777"), (Ratio{1777, 1000}));
    EXPECT_EQ(Parse("vv.exe -i a.avi -s 720.0x480 -ar 44100.0 b.avi").frameSize, std::make_pair(720, 480));
}

TEST(VvOptions, RefusesWhatItCannotUnderstand) {
    EXPECT_THROW(Parse("vv.exe -i in.avi -y -foo 1 out.avi"), VvError);
    EXPECT_THROW(Parse("vv.exe -i in.avi -y -b"), VvError);
    EXPECT_THROW(Parse("vv.exe -i in.avi -y -b fast out.avi"), VvError);
    EXPECT_THROW(Parse("vv.exe -i in.avi -y -s 320 out.avi"), VvError);
    EXPECT_THROW(Parse("vv.exe -i in.avi -y -r 0 out.avi"), VvError);
    EXPECT_THROW(Parse("vv.exe -i in.avi -y -r 30000/0 out.avi"), VvError);
    EXPECT_THROW(Parse("vv.exe -i in.avi -y -aspect 4:0 out.avi"), VvError);
    EXPECT_THROW(Parse("vv.exe -i in.avi -y -ac 1.5 out.avi"), VvError);
    EXPECT_THROW(Parse("vv.exe -i in.avi -y -strict lax out.avi"), VvError);
    EXPECT_THROW(Parse("vv.exe -y out.avi"), VvError);                // no input
    EXPECT_THROW(Parse("vv.exe -i in.avi -y"), VvError);              // no output
    EXPECT_THROW(Parse("vv.exe -i in.avi -y a.avi b.avi"), VvError);  // two outputs
    EXPECT_THROW(Parse("vv.exe -i in.avi -y -acodec"), VvError);      // an option, not an output
    EXPECT_THROW(Parse("vv.exe -i in.avi -fpre /no/such/h264.dat out.mp4"), VvError);
}

TEST(VvOptions, PresetFileIsKeyValueLines) {
    EXPECT_EQ(vv::ParsePreset("# comment\n\npreset=fast\r\n  g=250  \n"),
              (std::vector<std::pair<std::string, std::string>>{{"preset", "fast"}, {"g", "250"}}));
    EXPECT_THROW(vv::ParsePreset("preset fast\n"), VvError);
    EXPECT_THROW(vv::ParsePreset("=fast\n"), VvError);
}

TEST(VvAudioSettings, SettingsAnEncoderCannotTakeBecomeTheNearestItCan) {
    const auto fit = [](const std::string& encoder, const int* rates, int rate, std::int64_t bitrate, int channels,
                        std::vector<std::string>& changes) {
        return vv::FitAudioSettings(encoder, rates, {rate, channels, bitrate}, true, true, true, changes);
    };
    const int mp2Rates[] = {44100, 48000, 32000, 22050, 24000, 16000, 0};
    std::vector<std::string> changes;

    // MP2 at 8000 Hz: 16000 Hz, and a bitrate MPEG-2 layer II has.
    vv::AudioSettings got = fit("mp2", mp2Rates, 8000, 224000, 2, changes);
    EXPECT_EQ(got.sampleRate, 16000);
    EXPECT_EQ(got.bitrate, 160000);
    EXPECT_EQ(changes.size(), 2u);

    // MP3 at 8000 Hz tops out at 64 kbit/s; at 44100 Hz 320 kbit/s is fine.
    changes.clear();
    got = fit("libmp3lame", nullptr, 8000, 320000, 2, changes);
    EXPECT_EQ(got.sampleRate, 8000);
    EXPECT_EQ(got.bitrate, 64000);
    EXPECT_EQ(changes.size(), 1u);
    changes.clear();
    got = fit("libmp3lame", nullptr, 44100, 320000, 2, changes);
    EXPECT_EQ(got.bitrate, 320000);
    EXPECT_TRUE(changes.empty());

    // AAC's ceiling is 6144 bits per channel and 1024 samples.
    got = fit("aac", nullptr, 8000, 160000, 1, changes);
    EXPECT_EQ(got.bitrate, 48000);

    // AMR-NB: 8000 Hz mono, at the nearest of its modes.
    changes.clear();
    got = fit(vv::kAmrNbName, nullptr, 44100, 12000, 2, changes);
    EXPECT_EQ(got.sampleRate, 8000);
    EXPECT_EQ(got.channels, 1);
    EXPECT_EQ(got.bitrate, 12200);
    EXPECT_EQ(changes.size(), 3u);

    // A rate taken from the input changes without a note.
    changes.clear();
    got = vv::FitAudioSettings("mp2", mp2Rates, {11025, 2, 128000}, false, false, false, changes);
    EXPECT_EQ(got.sampleRate, 16000);
    EXPECT_TRUE(changes.empty());
}
