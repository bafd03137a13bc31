// What vv.exe reads from its command line.
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "audio_settings.h"
#include "encoder.h"
#include "note.h"
#include "platform/cmdline.h"
#include "vv_options.h"
#include "vv_run.h"
#include "../helpers/temp_folder.h"

using vv::ParseArguments;
using vv::Ratio;
using vv::VvError;
namespace fs = std::filesystem;

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
    EXPECT_EQ(vv::ParsePreset("g=250\nx264opts='a=1:b=2'\ng=12\n"),
              (std::vector<std::pair<std::string, std::string>>{{"g", "12"}, {"x264opts", "a=1:b=2"}}));
    EXPECT_THROW(vv::ParsePreset("preset fast\n"), VvError);
    EXPECT_THROW(vv::ParsePreset("=fast\n"), VvError);

    // Many lines are read in a time that grows with their number (this took minutes).
    std::string many;
    for (int i = 0; i < 200'000; ++i) many += "k" + std::to_string(i % 50'000) + "=" + std::to_string(i) + "\n";
    const auto pairs = vv::ParsePreset(many);
    ASSERT_EQ(pairs.size(), 50'000u);
    EXPECT_EQ(pairs[7], (std::pair<std::string, std::string>{"k7", "150007"}));
}

// Command lines that vv.exe refuses before any work, each with the words of its reason:
// values no format or codec carries (some ran away without end), preset files that are
// not small regular files (some blocked or read without end), and inputs that would
// block the reader.
TEST(VvOptions, RefusesValuesAndFilesThatWouldRunAwayOrBlock) {
    const testutil::TempFolder dir("vv-limits");
    fs::create_directories(dir / "folder");
    const std::string d = dir.string();
    ASSERT_EQ(::mkfifo((d + "/fifo").c_str(), 0600), 0);
    {
        std::ofstream sparse(d + "/sparse.dat");
        sparse.seekp((std::streamoff{2} << 30) - 1);
        sparse.put('\n');
    }
    std::ofstream(d + "/large.dat") << std::string(vv::kPresetFileLimit + 1, '#');
    std::ofstream(d + "/clip.avi") << "x";
    const std::string in = "vv.exe -i " + d + "/clip.avi -y ";
    const std::pair<std::string, const char*> cases[] = {
        {"-r 1000000", "frame rate '1000000' is out of range"},
        {"-r 2147483647/1", "frame rate '2147483647/1' is out of range"},
        {"-r 1/1000000", "frame rate '1/1000000' is out of range"},
        {"-s 100000x100000", "frame size '100000x100000' is out of range"},
        {"-b 1", "bitrate '1' is out of range"},
        {"-ab 4000000000000", "bitrate '4000000000000' is out of range"},
        {"-ar 2147483647", "sample rate '2147483647' is out of range"},
        {"-ac 1000000", "channel count '1000000' is out of range"},
        {"-vcodec \"\"", "invalid video codec ''"},
        {"-acodec \"\"", "invalid audio codec ''"},
        {"-vcodec aac", "aac is not a video encoder"},
        {"-acodec nosuch", "unknown encoder nosuch"},
        {"-fpre /dev/zero", "cannot read preset file /dev/zero: it is not a regular file"},
        {"-fpre " + d + "/fifo", "it is not a regular file"},
        {"-fpre " + d + "/folder", "it is not a regular file"},
        {"-fpre " + d + "/sparse.dat", "it is larger than 65536 bytes"},
        {"-fpre " + d + "/large.dat", "it is larger than 65536 bytes"},
        {"-fpre /proc/self/mem", "cannot read preset file /proc/self/mem: "},
    };
    for (const auto& [options, reason] : cases) {
        try {
            Parse(in + options + " out.mp4");
            ADD_FAILURE() << options << " was accepted";
        } catch (const VvError& e) {
            EXPECT_NE(std::string(e.what()).find(reason), std::string::npos) << options << ": " << e.what();
        }
    }
    for (const char* input : {"/fifo", "/folder"}) {
        try {
            Parse("vv.exe -i " + d + input + " -y out.mp4");
            ADD_FAILURE() << input << " was accepted";
        } catch (const VvError& e) {
            EXPECT_EQ(std::string(e.what()), "cannot read " + d + input + ": it is not a file");
        }
    }
    // At the bounds, and the window's own values, all is taken.
    EXPECT_NO_THROW(Parse(in + "-r 1000 -s 16384x16384 -b 1k -ar 1000 -ac 64 out.mp4"));
    EXPECT_NO_THROW(Parse(in + "-r 1/60 -b 1000M -ab 1000M -ar 768000 -ac 1 out.mp4"));
}

TEST(VvOptions, MessagesQuoteBytesThatAreNotTextAsEscapes) {
    const std::string bad = "a=1\n\x01\xff\x1b[2J\xe4\xb8\xad\n";
    const testutil::TempFolder dir("vv-bytes");
    const std::string path = (dir / "bad preset").string();
    std::ofstream(path, std::ios::binary) << bad;
    const vvtest::VvRun run = vvtest::RunVv({"-i", path, "-y", "-fpre", path, path + ".mp4"});
    EXPECT_EQ(run.code, static_cast<int>(convert::ToolStatus::kCommandLine));
    EXPECT_NE(run.output.find("vv.exe: preset line 2 is not key=value: \\x01\\xff\\x1b[2J中\n"), std::string::npos)
        << run.output;
    EXPECT_EQ(vv::MessageText("two\nlines\r"), "two\\x0alines\\x0d");
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
