// vv.exe converting generated clips, checked with ffprobe.
#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <spawn.h>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "damage.h"
#include "vv_run.h"
#include "transcoder.h"

#include "../helpers/format_defaults.h"
#include "convert/contract.h"
#include "platform/app_path.h"
#include "platform/cmdline.h"
#include "platform/process.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

using vvtest::Probe;
using vvtest::RunProfile;
using vvtest::RunVv;
using vvtest::Shell;
using vvtest::ShellStatus;
using vvtest::VvRun;

// What a player finds in a file: packets per kind, duration, and whether all of it decodes.
struct Contents {
    int video = 0, audio = 0;
    double duration = 0;
    bool decodes = false;
};

Contents Examine(const std::string& path) {
    Contents c;
    if (!fs::exists(path)) return c;
    std::istringstream lines(
        Shell("ffprobe -v error -count_packets -show_entries stream=codec_type,nb_read_packets "
              "-of csv=p=0 '" +
              path + "' 2>/dev/null"));
    std::string line;
    while (std::getline(lines, line)) {
        const auto comma = line.find(',');
        if (comma == std::string::npos) continue;
        const int n = std::atoi(line.c_str() + comma + 1);
        if (line.compare(0, comma, "video") == 0) c.video += n;
        if (line.compare(0, comma, "audio") == 0) c.audio += n;
    }
    c.duration = std::atof(
        Shell("ffprobe -v error -show_entries format=duration -of csv=p=0 '" + path + "' 2>/dev/null").c_str());
    c.decodes = ShellStatus("ffmpeg -nostdin -v error -xerror -i '" + path + "' -f null - >/dev/null 2>&1") == 0;
    return c;
}

// Every packet of every stream, hashed with its timestamps and flags, in order per stream.
std::string PacketHashes(const std::string& path) {
    return Shell("ffmpeg -nostdin -v error -i '" + path + "' -map 0 -c copy -f framemd5 - 2>/dev/null");
}

// The ffmpeg command line's spelling of the window's option strings.
std::string FfmpegOptions(const convert::OptionSlots& slots) {
    std::string all;
    for (const std::string& slot : slots) all += slot + " ";
    for (auto at = all.find("-b "); at != std::string::npos; at = all.find("-b ", at + 1)) all.replace(at, 3, "-b:v ");
    return all;
}

// The peak memory (KiB) of one vv.exe run; -1 when it failed.
long PeakKiB(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {"vv.exe"};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> cargv;
    for (std::string& a : argv) cargv.push_back(a.data());
    cargv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, VV_EXE, &actions, nullptr, cargv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return -1;
    int status = 0;
    struct rusage usage {};
    if (::wait4(pid, &status, 0, &usage) != pid) return -1;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? usage.ru_maxrss : -1;
}

// Running and not yet a zombie waiting to be reaped.
bool StillRunning(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), {});
    const auto paren = text.rfind(')');
    return paren != std::string::npos && paren + 2 < text.size() && text[paren + 2] != 'Z';
}

double Rate(const std::string& r) {
    const auto slash = r.find('/');
    if (slash == std::string::npos) return std::atof(r.c_str());
    const double den = std::atof(r.substr(slash + 1).c_str());
    return den == 0 ? 0 : std::atof(r.substr(0, slash).c_str()) / den;
}

class ConvertTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = fs::temp_directory_path() / ("tolvani-vv-" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        const std::string d = dir_.string();
        // Each test process's vv.exe runs write their own progress file (tests run in parallel).
        ::setenv("TOLVANI_PROGRESS_FILE", (dir_ / "progress.txt").c_str(), 1);
        Shell(
            "ffmpeg -v error -y -f lavfi -i testsrc=size=320x240:rate=25:duration=2 "
            "-f lavfi -i sine=frequency=440:sample_rate=44100:duration=2 -ac 2 "
            "-c:v mpeg4 -c:a libmp3lame -shortest '" +
            d + "/clip.avi'");
        Shell("ffmpeg -v error -y -f lavfi -i testsrc=size=320x240:rate=25:duration=2 -c:v mpeg4 '" + d +
              "/silent.mp4'");
        Shell("ffmpeg -v error -y -f lavfi -i sine=frequency=440:sample_rate=44100:duration=2 '" + d + "/sound.mp3'");
    }
    static void TearDownTestSuite() { fs::remove_all(dir_); }

    static std::string In(const std::string& name) { return (dir_ / name).string(); }

    static fs::path dir_;
};
fs::path ConvertTest::dir_;

const auto kDefaults = testdata::FormatDefaults(platform::DirectoryOf(VV_EXE));
const std::string kH264 = "-fpre " +
                          platform::QuoteArgument(platform::JoinPath(platform::DirectoryOf(VV_EXE), "h264.dat")) +
                          " -vcodec libx264";

struct Case {
    const char* name;
    const char* ext;
    convert::OptionSlots slots;
    const char* video;
    int width, height;
    double fps;
    const char* audio;
    int sampleRate, channels;
};

const Case kCases[] = {
    // The five formats' defaults.
    {"3gp", "3gp", kDefaults[0].slots, "h263", 176, 144, 14.985, "amr_nb", 8000, 1},
    {"3gpp2", "3g2", kDefaults[1].slots, "h264", 320, 240, 14.985, "aac", 44100, 2},
    {"mp4", "mp4", kDefaults[2].slots, "mpeg4", 320, 240, 23.976, "aac", 44100, 2},
    {"avi", "avi", kDefaults[3].slots, "mpeg4", 320, 240, 23.976, "mp2", 22050, 2},
    {"flv", "flv", kDefaults[4].slots, "flv1", 320, 240, 14.985, "mp3", 44100, 2},
    // The other codec choices the presets offer.
    {"3gp mpeg4 aac",
     "3gp",
     {"-vcodec  mpeg4", "-b 320k", "-s 352x288 ", "-r 10", "-strict experimental -acodec aac", "-ar 22050", "-ab 64k",
      "-ac 1"},
     "mpeg4",
     352,
     288,
     10,
     "aac",
     22050,
     1},
    {"3gpp2 mpeg4 amr",
     "3g2",
     {"-vcodec  mpeg4", "-b 512k", "-s 176x144 ", "-r 15", "-acodec libopencore_amrnb", "-ar 8000", "-ab 4.75k",
      "-ac 1"},
     "mpeg4",
     176,
     144,
     15,
     "amr_nb",
     8000,
     1},
    {"mp4 h264",
     "mp4",
     {kH264, "-b 1000k", "-s 640x480 ", "-r 29.976", "-strict experimental -acodec aac", "-ar 48000", "-ab 160k",
      "-ac 2"},
     "h264",
     640,
     480,
     29.976,
     "aac",
     48000,
     2},
    {"avi h264 mp3",
     "avi",
     {kH264, "-b 768k", "-s 720x576 ", "-r 25", "-acodec libmp3lame", "-ar 44100", "-ab 320k", "-ac 2"},
     "h264",
     720,
     576,
     25,
     "mp3",
     44100,
     2},
    {"avi xvid pcm",
     "avi",
     {"-vcodec libxvid -aspect 4:3", "-b 512k", "-s 208x176", "-r 12", "-acodec pcm_s16le", "-ar 16000", "-ab 128k",
      "-ac 1"},
     "mpeg4",
     208,
     176,
     12,
     "pcm_s16le",
     16000,
     1},
};

}  // namespace

TEST_F(ConvertTest, EveryProfileGivesTheFormatItNames) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        const std::string out = In(std::string("out ") + c.name + "." + c.ext);
        const VvRun run = RunProfile(In("clip.avi"), c.slots, out);
        ASSERT_TRUE(run.ok) << run.output;
        auto probe = Probe(out);
        EXPECT_EQ(probe["video"]["codec_name"], c.video);
        EXPECT_EQ(probe["video"]["width"], std::to_string(c.width));
        EXPECT_EQ(probe["video"]["height"], std::to_string(c.height));
        EXPECT_NEAR(Rate(probe["video"]["r_frame_rate"]), c.fps, 0.05 * c.fps);
        EXPECT_EQ(probe["audio"]["codec_name"], c.audio);
        EXPECT_EQ(probe["audio"]["sample_rate"], std::to_string(c.sampleRate));
        EXPECT_EQ(probe["audio"]["channels"], std::to_string(c.channels));
        EXPECT_NEAR(std::atof(probe["format"]["duration"].c_str()), 2.0, 0.25);
    }
}

TEST_F(ConvertTest, EveryWayOfRunningGivesIdenticalPackets) {
    // The ways: every stage on one thread; each on its own; each on its own with every
    // picture decoded, also those the frame rate drops. The inputs: the five formats'
    // defaults on the clip; a timestamp jump; a sound stream that never yields a packet,
    // which the writing stage starts unseen after 10 s without it; and H.264 and MPEG-4
    // with reordered pictures, where the frame rates of the defaults drop pictures no
    // other picture is predicted from, which are then left undecoded.
    Shell(
        "ffmpeg -v error -y -f lavfi -i testsrc=size=320x240:rate=25:duration=3 -f lavfi -i sine=duration=3 "
        "-c:v flv -c:a libmp3lame -shortest '" +
        In("jump source.flv") + "'");
    vvtest::WriteFile(In("jump.flv"), vvtest::FlvTimestampJump(vvtest::ReadFile(In("jump source.flv")), 10, 4000));
    Shell(
        "ffmpeg -v error -y -f lavfi -i testsrc=size=160x120:rate=25:duration=12 -f lavfi -i anullsrc=r=44100 "
        "-map 0:v -map 1:a -af atrim=end_sample=0 -c:v mpeg4 -c:a mp2 -t 12 '" +
        In("silent sound.avi") + "'");
    Shell(
        "ffmpeg -v error -y -f lavfi -i testsrc2=size=320x240:rate=25:duration=4 -f lavfi -i sine=duration=4 "
        "-c:v libx264 -bf 3 -c:a aac '" +
        In("reordered.mp4") + "'");
    Shell("ffmpeg -v error -y -f lavfi -i testsrc2=size=320x240:rate=25:duration=4 -c:v mpeg4 -bf 2 '" +
          In("reordered mpeg4.mp4") + "'");
    struct Input {
        std::string in;
        const Case& profile;
    };
    std::vector<Input> inputs;
    for (int i = 0; i < 5; ++i) inputs.push_back({In("clip.avi"), kCases[i]});
    inputs.push_back({In("jump.flv"), kCases[2]});
    inputs.push_back({In("silent sound.avi"), kCases[3]});
    for (const int i : {1, 3, 4}) inputs.push_back({In("reordered.mp4"), kCases[i]});
    inputs.push_back({In("reordered mpeg4.mp4"), kCases[4]});
    const auto run = [](const Input& input, const std::string& out, const char* variable) {
        if (variable != nullptr) ::setenv(variable, "1", 1);
        const VvRun r = RunProfile(input.in, input.profile.slots, out);
        if (variable != nullptr) ::unsetenv(variable);
        EXPECT_TRUE(r.ok) << r.output;
        return PacketHashes(out);
    };
    for (const Input& input : inputs) {
        SCOPED_TRACE(input.in + " as " + input.profile.name);
        const std::string ext = input.profile.ext;
        const std::string packets = run(input, In("one thread." + ext), vv::kOneThreadVariable);
        EXPECT_GT(std::count(packets.begin(), packets.end(), '\n'), 20) << packets;
        EXPECT_EQ(run(input, In("each stage." + ext), nullptr), packets);
        EXPECT_EQ(run(input, In("every picture." + ext), vv::kDecodeEveryPictureVariable), packets);
    }
}

TEST_F(ConvertTest, ReadsTheInputFormatsTheWindowOffers) {
    const std::pair<const char*, const char*> inputs[] = {
        {"wmv", "-c:v wmv2 -c:a wmav2"},
        {"asf", "-c:v wmv1 -c:a wmav1"},
        {"mpg", "-c:v mpeg1video -c:a mp2"},
        {"flv", "-c:v flv -c:a libmp3lame -ar 44100"},
        {"3gp", "-c:v h263 -s 176x144 -c:a aac"},
        {"rm", "-c:v rv10 -c:a ac3"},
        {"swf", "-c:v flv -c:a libmp3lame -ar 44100"},
        {"mp4", "-c:v libx264 -c:a aac"},
    };
    for (const auto& [ext, codecs] : inputs) {
        SCOPED_TRACE(ext);
        const std::string in = In(std::string("input.") + ext), out = In(std::string("from ") + ext + ".avi");
        Shell(std::string("ffmpeg -v error -y -f lavfi -i testsrc=size=320x240:rate=25:duration=2 "
                          "-f lavfi -i sine=sample_rate=44100:duration=2 ") +
              codecs + " -shortest '" + in + "'");
        ASSERT_TRUE(fs::exists(in));
        const VvRun run = RunProfile(in, kCases[3].slots, out);
        ASSERT_TRUE(run.ok) << run.output;
        auto probe = Probe(out);
        EXPECT_EQ(probe["video"]["codec_name"], "mpeg4");
        EXPECT_EQ(probe["audio"]["codec_name"], "mp2");
        EXPECT_NEAR(std::atof(probe["format"]["duration"].c_str()), 2.0, 0.25);
    }
}

TEST_F(ConvertTest, BadInputsFailWithAReasonAndNoOutput) {
    std::ofstream(In("garbage.avi")) << std::string(50000, 'x');
    const convert::OptionSlots flv = kCases[4].slots;
    struct Bad {
        std::string in, out;
        convert::OptionSlots slots;
        const char* reason;
        convert::ToolStatus status;  // what the window decides the row's kind by
    };
    convert::OptionSlots unknown = flv, noEncoder = flv;
    unknown[0] = "-vcodec flv -frobnicate 3";
    noEncoder[0] = "-vcodec libfoo";
    using S = convert::ToolStatus;
    const Bad cases[] = {
        {In("missing.avi"), In("a.flv"), flv, "missing.avi", S::kInput},
        {In("garbage.avi"), In("b.flv"), flv, "garbage.avi", S::kInput},
        {In("clip.avi"), In("c.flv"), unknown, "-frobnicate", S::kCommandLine},
        {In("clip.avi"), In("no such folder/d.flv"), flv, "no such folder", S::kOutput},
        {In("clip.avi"), In("clip.avi"), kCases[3].slots, "overwrite the input", S::kOutput},
        {In("clip.avi"), In("e.flv"), noEncoder, "libfoo", S::kCommandLine},
    };
    for (const Bad& b : cases) {
        SCOPED_TRACE(b.in + " -> " + b.out);
        const VvRun run = RunProfile(b.in, b.slots, b.out);
        EXPECT_FALSE(run.ok);
        EXPECT_EQ(run.code, static_cast<int>(b.status));
        EXPECT_NE(run.output.find(b.reason), std::string::npos) << run.output;
        EXPECT_EQ(platform::LastLine(run.output), run.output.substr(0, run.output.size() - 1)) << "one line";
        if (b.out != b.in) {
            EXPECT_FALSE(fs::exists(b.out));
        }
    }
    EXPECT_TRUE(fs::exists(In("clip.avi")));
}

TEST_F(ConvertTest, MissingStreamsGiveOutputsWithWhatThereIs) {
    const VvRun video = RunProfile(In("silent.mp4"), kCases[2].slots, In("video only.mp4"));
    ASSERT_TRUE(video.ok) << video.output;
    auto probe = Probe(In("video only.mp4"));
    EXPECT_EQ(probe["video"]["codec_name"], "mpeg4");
    EXPECT_EQ(probe.count("audio"), 0u);

    const VvRun sound = RunProfile(In("sound.mp3"), kCases[4].slots, In("sound only.flv"));
    ASSERT_TRUE(sound.ok) << sound.output;
    probe = Probe(In("sound only.flv"));
    EXPECT_EQ(probe["audio"]["codec_name"], "mp3");
    EXPECT_EQ(probe.count("video"), 0u);
}

TEST_F(ConvertTest, PathsWithBlanksAndChineseWork) {
    fs::create_directories(dir_ / "视频 输入");
    fs::copy_file(dir_ / "clip.avi", dir_ / "视频 输入" / "我的 片段.avi");
    fs::create_directories(dir_ / "输出 目录");
    const std::string out = (dir_ / "输出 目录" / "我的 片段.3gp").string();
    const VvRun run = RunProfile((dir_ / "视频 输入" / "我的 片段.avi").string(), kCases[0].slots, out);
    ASSERT_TRUE(run.ok) << run.output;
    EXPECT_EQ(Probe(out)["video"]["codec_name"], "h263");

    // Names are files, never protocols; the last argument is the output whatever it begins with.
    fs::copy_file(dir_ / "clip.avi", dir_ / "a:b.avi");
    const fs::path before = fs::current_path();
    fs::current_path(dir_);
    const VvRun relative = RunVv({"-i", "a:b.avi", "-y", "-vcodec", "mpeg4", "-acodec", "mp2", "-out.avi"});
    fs::current_path(before);
    ASSERT_TRUE(relative.ok) << relative.output;
    EXPECT_EQ(Probe(In("-out.avi"))["audio"]["codec_name"], "mp2");
}

TEST_F(ConvertTest, DamagedInputsConvertAtLeastAsWellAsFfmpeg) {
    const auto make = [&](const std::string& name, const std::string& video, const std::string& audio) {
        Shell(
            "ffmpeg -v error -y -f lavfi -i testsrc=size=320x240:rate=25:duration=3 -f lavfi -i "
            "sine=frequency=440:sample_rate=44100:duration=3 " +
            video + " " + audio + " -shortest '" + In(name) + "'");
        return vvtest::ReadFile(In(name));
    };
    const std::string flv = make("d.flv", "-c:v flv", "-c:a libmp3lame");
    const std::string mp4 = make("d.mp4", "-c:v mpeg4", "-c:a aac");
    const std::string mpg = make("d.mpg", "-c:v mpeg1video", "-c:a mp2");
    struct Input {
        std::string name;
        std::string data;
        double seconds;  // of real content
    };
    std::vector<Input> inputs;
    for (const auto& [ext, data] : {std::pair{"flv", flv}, {"mp4", mp4}, {"mpg", mpg}}) {
        inputs.push_back({std::string("cut.") + ext, vvtest::Truncated(data, 0.6), 3});
        inputs.push_back({std::string("zeroed.") + ext, vvtest::Zeroed(data, 11, 2048), 3});
        for (std::uint32_t seed : {7u, 8u, 9u}) {
            inputs.push_back({"flip" + std::to_string(seed) + "." + ext, vvtest::Flipped(data, seed, 3), 3});
        }
    }
    inputs.push_back({"jump.flv", vvtest::FlvTimestampJump(flv, 10, 0x80000000u), 3});  // one tag at 24 days
    inputs.push_back({"early.flv", vvtest::FlvTimestampJump(flv, 20, 2500), 3});        // one tag 1.7 s early
    inputs.push_back({"doubled.mpg", mpg + mpg, 6});
    inputs.push_back({"timescale0.mp4", vvtest::ZeroTimeScale(mp4), 3});
    Shell(
        "ffmpeg -v error -y -f lavfi -i testsrc=size=320x240:rate=25:duration=3 -f lavfi -i sine=duration=3 "
        "-filter_complex '[0:v]trim=end_frame=1[v]' -map '[v]' -map 1:a -c:v mpeg4 -c:a aac '" +
        In("one frame.mp4") + "'");
    inputs.push_back({"one frame.mp4", vvtest::ReadFile(In("one frame.mp4")), 3});
    Shell(
        "ffmpeg -v error -y -f lavfi -i testsrc=size=320x240:rate=25:duration=3 -f lavfi -i anullsrc=r=44100 "
        "-map 0:v -map 1:a -af atrim=end_sample=0 -c:v mpeg4 -c:a mp2 -t 3 '" +
        In("silent audio.avi") + "'");
    inputs.push_back({"silent audio.avi", vvtest::ReadFile(In("silent audio.avi")), 3});

    const convert::OptionSlots& slots = kCases[2].slots;  // the mp4 default
    for (const Input& input : inputs) {
        SCOPED_TRACE(input.name);
        ASSERT_FALSE(input.data.empty());
        const std::string in = In("damaged " + input.name), vvOut = In(input.name + ".vv.mp4"),
                          ffOut = In(input.name + ".ff.mp4");
        vvtest::WriteFile(in, input.data);
        const VvRun run = RunProfile(in, slots, vvOut);
        ASSERT_TRUE(run.code >= 0 && run.code < convert::kStoppedStatusBase) << run.output;  // an end of its own
        if (!run.ok) {
            const std::string last = platform::LastLine(run.output);
            EXPECT_EQ(last.rfind("vv.exe: ", 0), 0u) << run.output;
            EXPECT_EQ(last.find("vv.exe: note:"), std::string::npos) << run.output;
        }
        // ffmpeg as the reference, its output capped: it runs away on some of these.
        ShellStatus("ffmpeg -nostdin -v error -y -i '" + in + "' " + FfmpegOptions(slots) + " -t 30 '" + ffOut +
                    "' >/dev/null 2>&1");
        const Contents vv = Examine(vvOut), ff = Examine(ffOut);
        if (ff.decodes && ff.video > 0) {
            EXPECT_TRUE(vv.decodes && vv.video > 0) << run.output;
        }
        if (ff.decodes && ff.audio > 0) {
            EXPECT_TRUE(vv.decodes && vv.audio > 0) << run.output;
        }
        EXPECT_LE(vv.duration, input.seconds + 5);
    }
}

TEST_F(ConvertTest, AFailingRunLeavesWhatStandsAtTheOutputPath) {
    std::ofstream(In("garbage.avi")) << std::string(50000, 'x');
    const std::string standing = "a file the user keeps\n";
    const convert::OptionSlots& slots = kCases[2].slots;

    vvtest::WriteFile(In("kept.mp4"), standing);
    EXPECT_FALSE(RunProfile(In("garbage.avi"), slots, In("kept.mp4")).ok);
    EXPECT_EQ(vvtest::ReadFile(In("kept.mp4")), standing);

    // A link at the output path is replaced by the output; its target is never written.
    vvtest::WriteFile(In("target.mp4"), standing);
    fs::create_symlink(In("target.mp4"), In("link.mp4"));
    EXPECT_FALSE(RunProfile(In("garbage.avi"), slots, In("link.mp4")).ok);
    EXPECT_TRUE(fs::is_symlink(In("link.mp4")));
    const VvRun replaced = RunProfile(In("clip.avi"), slots, In("link.mp4"));
    ASSERT_TRUE(replaced.ok) << replaced.output;
    EXPECT_FALSE(fs::is_symlink(In("link.mp4")));
    EXPECT_EQ(Probe(In("link.mp4"))["video"]["codec_name"], "mpeg4");
    EXPECT_EQ(vvtest::ReadFile(In("target.mp4")), standing);

    // The disk refuses more part way (here: the file size limit), while every stage is
    // busy: one reason line, and the file standing there is still the old one.
    Shell(
        "ffmpeg -v error -y -f lavfi -i testsrc=size=320x240:rate=25:duration=20 -f lavfi -i sine=duration=20 "
        "-c:v mpeg4 -c:a libmp3lame -shortest '" +
        In("twenty.avi") + "'");
    auto limited =
        platform::SplitCommandLine(convert::ComposeCommand(In("twenty.avi"), kCases[2].slots, In("kept.mp4")).command);
    limited.erase(limited.begin());
    std::string command = "trap '' XFSZ; exec prlimit --fsize=200000 '" VV_EXE "'";
    for (const std::string& a : limited) command += " '" + a + "'";
    const std::string full = Shell("bash -c \"" + command + "\" 2>&1");
    EXPECT_EQ(full.rfind("vv.exe: cannot write ", 0), 0u) << full;
    EXPECT_EQ(full.find('\n'), full.size() - 1) << "one line: " << full;
    EXPECT_EQ(vvtest::ReadFile(In("kept.mp4")), standing);

    // Killed outright in the middle: the file standing there is still the old one.
    auto args =
        platform::SplitCommandLine(convert::ComposeCommand(In("twenty.avi"), kCases[7].slots, In("kept.mp4")).command);
    platform::StartedProcess p = platform::StartHidden(VV_EXE, args);
    ASSERT_GT(p.pid, 0);
    std::this_thread::sleep_for(1s);
    ::kill(p.pid, SIGKILL);
    platform::WaitForEnd(p);
    platform::ReapGroup(p);
    EXPECT_EQ(vvtest::ReadFile(In("kept.mp4")), standing);

    for (const auto& entry : fs::directory_iterator(dir_)) {
        EXPECT_NE(entry.path().filename().string()[0], '.') << "left behind: " << entry.path();
    }
}

TEST_F(ConvertTest, StoppedBySigtermLeavesAPlayableOutputAndBySigusr1LeavesTheStandingFile) {
    Shell(
        "ffmpeg -v error -y -f lavfi -i testsrc=size=320x240:rate=25:duration=120 -f lavfi -i sine=duration=120 "
        "-c:v mpeg4 -q:v 8 -c:a libmp3lame -shortest '" +
        In("two minutes.avi") + "'");
    const std::string out = In("stopped.mp4");
    auto args =
        platform::SplitCommandLine(convert::ComposeCommand(In("two minutes.avi"), kCases[7].slots, out).command);
    platform::StartedProcess p = platform::StartHidden(VV_EXE, args);
    ASSERT_GT(p.pid, 0);
    std::this_thread::sleep_for(2s);
    const auto stopAt = std::chrono::steady_clock::now();
    ::kill(p.pid, SIGTERM);
    const platform::ProcessEnd end = platform::WaitForEnd(p);
    const auto finishing =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - stopAt);
    platform::ReapGroup(p);
    RecordProperty("finishing_ms", static_cast<int>(finishing.count()));  // reported, not judged

    EXPECT_FALSE(end.signalled);
    EXPECT_EQ(end.code, 128 + SIGTERM) << end.outputTail;
    EXPECT_NE(platform::LastLine(end.outputTail).find("stopped by SIGTERM"), std::string::npos) << end.outputTail;
    const Contents c = Examine(out);
    EXPECT_TRUE(c.decodes);
    EXPECT_GT(c.video, 0);
    EXPECT_GT(c.audio, 0);
    EXPECT_GT(c.duration, 0.5);
    EXPECT_LT(c.duration, 110);

    // Asked to stop and discard (SIGUSR1): the file that stood there stays as it was, and
    // nothing half-written is left beside it.
    const std::string standing = vvtest::ReadFile(out);
    platform::StartedProcess again = platform::StartHidden(VV_EXE, args);
    ASSERT_GT(again.pid, 0);
    std::this_thread::sleep_for(2s);
    ::kill(again.pid, SIGUSR1);
    const platform::ProcessEnd discarded = platform::WaitForEnd(again);
    platform::ReapGroup(again);
    EXPECT_FALSE(discarded.signalled);
    EXPECT_EQ(discarded.code, 128 + SIGUSR1) << discarded.outputTail;
    EXPECT_NE(platform::LastLine(discarded.outputTail).find("stopped by SIGUSR1; the unfinished output was discarded"),
              std::string::npos)
        << discarded.outputTail;
    EXPECT_EQ(vvtest::ReadFile(out), standing);
    for (const auto& entry : fs::directory_iterator(dir_)) {
        EXPECT_NE(entry.path().filename().string()[0], '.') << "left behind: " << entry.path();
    }
}

// Short runs of each kind the stages' threads meet in: video and sound, a declared
// stream that stays silent (the output starts without it), and a stop by signal. The
// test command also runs these under ThreadSanitizer.
TEST_F(ConvertTest, ShortConversionsOfEachKindEndCleanly) {
    const VvRun both = RunProfile(In("clip.avi"), kCases[3].slots, In("both.avi"));
    ASSERT_TRUE(both.ok) << both.output;
    Contents c = Examine(In("both.avi"));
    EXPECT_TRUE(c.decodes);
    EXPECT_GT(c.video, 0);
    EXPECT_GT(c.audio, 0);

    Shell(
        "ffmpeg -v error -y -f lavfi -i testsrc=size=160x120:rate=25:duration=3 -f lavfi -i anullsrc=r=44100 "
        "-map 0:v -map 1:a -af atrim=end_sample=0 -c:v mpeg4 -c:a mp2 -t 3 '" +
        In("short silent.avi") + "'");
    const VvRun silent = RunProfile(In("short silent.avi"), kCases[3].slots, In("silent out.avi"));
    ASSERT_TRUE(silent.ok) << silent.output;
    c = Examine(In("silent out.avi"));
    EXPECT_TRUE(c.decodes);
    EXPECT_GT(c.video, 0);

    Shell(
        "ffmpeg -v error -y -f lavfi -i testsrc=size=320x240:rate=25:duration=60 -f lavfi -i sine=duration=60 "
        "-c:v mpeg4 -q:v 8 -c:a libmp3lame -shortest '" +
        In("one minute.avi") + "'");
    const std::string out = In("stopped early.avi");
    auto args = platform::SplitCommandLine(convert::ComposeCommand(In("one minute.avi"), kCases[3].slots, out).command);
    // Stopped once a tenth of the input was read, so that there is something to finish
    // however slowly it runs (as under the sanitizer).
    const fs::path progress = dir_ / "progress.txt";
    fs::remove(progress);
    platform::StartedProcess p = platform::StartHidden(VV_EXE, args);
    ASSERT_GT(p.pid, 0);
    while (StillRunning(p.pid) && std::atoi(vvtest::ReadFile(progress.string()).c_str()) < 100) {
        std::this_thread::sleep_for(50ms);
    }
    ::kill(p.pid, SIGTERM);
    const platform::ProcessEnd end = platform::WaitForEnd(p);
    platform::ReapGroup(p);
    EXPECT_FALSE(end.signalled);
    EXPECT_EQ(end.code, 128 + SIGTERM) << end.outputTail;
    EXPECT_TRUE(Examine(out).decodes);
}

TEST_F(ConvertTest, MemoryStaysFlatWhileADeclaredStreamStaysSilent) {
    // Video with an audio stream that never yields a packet: the output cannot wait for it.
    // (Noisy pictures, so that the encoded video is large: 30 MB held would show.)
    const auto make = [&](int seconds) {
        const std::string name = In("silent " + std::to_string(seconds) + ".avi");
        Shell("ffmpeg -v error -y -f lavfi -i testsrc=size=160x120:rate=25:duration=" + std::to_string(seconds) +
              " -f lavfi -i anullsrc=r=44100 -map 0:v -map 1:a -vf noise=alls=80:allf=t+u -af atrim=end_sample=0 "
              "-c:v mpeg4 -q:v 6 -c:a mp2 -t " +
              std::to_string(seconds) + " '" + name + "'");
        return name;
    };
    const auto peak = [&](const std::string& in) {
        return PeakKiB(
            {"-i", in, "-y", "-vcodec", "mpeg4", "-b", "4000k", "-s", "320x240", "-acodec", "mp2", In("silent.avi")});
    };
    const long shortPeak = peak(make(12));
    const long longPeak = peak(make(72));
    ASSERT_GT(shortPeak, 0);
    ASSERT_GT(longPeak, 0);
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "AddressSanitizer holds freed memory back for a while, so peak memory says nothing here";
#endif
    EXPECT_LT(longPeak - shortPeak, 8 * 1024) << shortPeak << " KiB for 12 s, " << longPeak << " KiB for 72 s";
}

TEST_F(ConvertTest, SettingsAnEncoderCannotTakeAreReplacedWithANote) {
    convert::OptionSlots mp2 = kCases[3].slots;  // avi, MP2
    mp2[5] = "-ar 8000";
    VvRun run = RunProfile(In("clip.avi"), mp2, In("mp2 8000.avi"));
    ASSERT_TRUE(run.ok) << run.output;
    EXPECT_EQ(run.output.rfind("vv.exe: note: ", 0), 0u) << run.output;
    EXPECT_NE(run.output.find("16000 Hz"), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find('\n'), run.output.size() - 1) << "one line";
    EXPECT_EQ(Probe(In("mp2 8000.avi"))["audio"]["sample_rate"], "16000");

    convert::OptionSlots mp3 = kCases[8].slots;  // avi, MP3 at 320 kbit/s
    mp3[0] = "-vcodec  mpeg4";
    mp3[5] = "-ar 8000";
    run = RunProfile(In("clip.avi"), mp3, In("mp3 8000.avi"));
    ASSERT_TRUE(run.ok) << run.output;
    EXPECT_NE(run.output.find("vv.exe: note: "), std::string::npos) << run.output;
    auto probe = Probe(In("mp3 8000.avi"));
    EXPECT_EQ(probe["audio"]["sample_rate"], "8000");
    EXPECT_EQ(probe["audio"]["bit_rate"], "64000");
}

TEST_F(ConvertTest, ProgressRisesInWholeNumbersAndEndsAtOneThousand) {
    Shell(
        "ffmpeg -v error -y -f lavfi -i testsrc=size=640x480:rate=25:duration=30 "
        "-f lavfi -i sine=frequency=440:sample_rate=44100:duration=30 -c:v mpeg4 -q:v 5 -c:a libmp3lame -shortest '" +
        In("long.avi") + "'");
    const std::string progressFile = In("progress.txt");
    std::ofstream(progressFile) << "0";

    std::vector<std::string> argv = {"vv.exe"};
    auto args =
        platform::SplitCommandLine(convert::ComposeCommand(In("long.avi"), kCases[1].slots, In("long.3g2")).command);
    args.erase(args.begin());
    argv.insert(argv.end(), args.begin(), args.end());
    platform::StartedProcess p = platform::StartHidden(VV_EXE, argv);
    ASSERT_GT(p.pid, 0);

    std::vector<int> seen;
    std::jthread waiter([&] {  // joined on every way out, a failed assertion included
        const auto end = platform::WaitForEnd(p);
        EXPECT_EQ(end.code, 0) << end.outputTail;
    });
    bool running = true;
    while (running) {
        running = StillRunning(p.pid);
        std::ifstream in(progressFile);
        std::string text((std::istreambuf_iterator<char>(in)), {});
        ASSERT_FALSE(text.empty());
        ASSERT_EQ(text.find_first_not_of("0123456789"), std::string::npos) << "'" << text << "'";
        const int v = std::stoi(text);
        ASSERT_LE(v, 1000);
        if (!seen.empty()) {
            ASSERT_GE(v, seen.back()) << "progress went back";
        }
        if (seen.empty() || v != seen.back()) seen.push_back(v);
        std::this_thread::sleep_for(10ms);
    }
    waiter.join();
    platform::ReapGroup(p);
    std::ifstream in(progressFile);
    int last = 0;
    in >> last;
    EXPECT_EQ(last, 1000);
    EXPECT_GE(seen.size(), 4u) << "progress should be visible along the way";
}

namespace {

// vv.exe started on `in` with the mp4 profile, stopped (SIGSTOP) once its progress shows
// that the conversion is under way; the caller continues it.
platform::StartedProcess StartAndPauseMidway(const std::string& in, const std::string& out,
                                             const std::string& progress) {
    std::ofstream(progress) << "0";
    platform::StartedProcess p = platform::StartHidden(
        VV_EXE, platform::SplitCommandLine(convert::ComposeCommand(in, kCases[2].slots, out).command));
    for (int v = 0; p.pid > 0 && StillRunning(p.pid) && (v <= 0 || v >= 1000);) {
        std::this_thread::sleep_for(5ms);
        v = convert::ReadProgress(progress);
    }
    ::kill(p.pid, SIGSTOP);
    return p;
}

}  // namespace

TEST_F(ConvertTest, AnOutputReplacesOnlyTheFileThatStoodThereAtTheStart) {
    Shell(
        "ffmpeg -v error -y -f lavfi -i testsrc=size=320x240:rate=25:duration=60 -f lavfi -i sine=duration=60 "
        "-c:v mpeg4 -q:v 8 -c:a libmp3lame -shortest '" +
        In("minute.avi") + "'");
    const std::string progress = In("progress.txt");
    const std::string standing = "the user's own file\n";

    // Stopped while a file the user agreed to replace stands there: it stays as it was.
    vvtest::WriteFile(In("agreed.mp4"), standing);
    platform::StartedProcess p = StartAndPauseMidway(In("minute.avi"), In("agreed.mp4"), progress);
    ASSERT_GT(p.pid, 0);
    ::kill(p.pid, SIGTERM);
    ::kill(p.pid, SIGCONT);
    platform::ProcessEnd end = platform::WaitForEnd(p);
    platform::ReapGroup(p);
    EXPECT_EQ(end.code, 128 + SIGTERM) << end.outputTail;
    EXPECT_NE(platform::LastLine(end.outputTail).find("was kept as it was"), std::string::npos) << end.outputTail;
    EXPECT_EQ(vvtest::ReadFile(In("agreed.mp4")), standing);

    // A file that takes the name during the conversion is kept; the output goes beside it,
    // under a free name that the note gives.
    p = StartAndPauseMidway(In("minute.avi"), In("raced.mp4"), progress);
    ASSERT_GT(p.pid, 0);
    vvtest::WriteFile(In("raced.mp4"), standing);
    vvtest::WriteFile(In("raced (2).mp4"), standing);
    ::kill(p.pid, SIGCONT);
    end = platform::WaitForEnd(p);
    platform::ReapGroup(p);
    EXPECT_EQ(end.code, 0) << end.outputTail;
    EXPECT_EQ(vvtest::ReadFile(In("raced.mp4")), standing);
    EXPECT_EQ(vvtest::ReadFile(In("raced (2).mp4")), standing);
    EXPECT_NE(end.outputTail.find("vv.exe: note: a file took the name " + In("raced.mp4") +
                                  " during the conversion; the output was kept as " + In("raced (3).mp4")),
              std::string::npos)
        << end.outputTail;
    EXPECT_TRUE(Examine(In("raced (3).mp4")).decodes);

    // The same, stopped: the part converted is kept beside the newcomer.
    p = StartAndPauseMidway(In("minute.avi"), In("raced stop.mp4"), progress);
    ASSERT_GT(p.pid, 0);
    vvtest::WriteFile(In("raced stop.mp4"), standing);
    ::kill(p.pid, SIGTERM);
    ::kill(p.pid, SIGCONT);
    end = platform::WaitForEnd(p);
    platform::ReapGroup(p);
    EXPECT_EQ(end.code, 128 + SIGTERM) << end.outputTail;
    EXPECT_EQ(vvtest::ReadFile(In("raced stop.mp4")), standing);
    EXPECT_TRUE(Examine(In("raced stop (2).mp4")).decodes) << end.outputTail;

    for (const auto& entry : fs::directory_iterator(dir_)) {
        EXPECT_NE(entry.path().filename().string()[0], '.') << "left behind: " << entry.path();
    }
}

TEST_F(ConvertTest, NamesUpToTheFolderLimitWorkAndLongerOnesFailAtOnce) {
    const long limit = ::pathconf(dir_.c_str(), _PC_NAME_MAX);
    ASSERT_GT(limit, 20);
    const std::string progress = In("progress.txt");
    // The longest name the folder takes, of Chinese characters (three bytes each) and a
    // cut that must not split one: its hidden temporary name is longer than that.
    std::string name;
    while (static_cast<long>(name.size() + 3 + 4) <= limit) name += "视";
    name += std::string(static_cast<std::size_t>(limit) - name.size() - 4, 'x') + ".mp4";
    ASSERT_EQ(static_cast<long>(name.size()), limit);
    VvRun run = RunProfile(In("clip.avi"), kCases[2].slots, In(name));
    ASSERT_TRUE(run.ok) << run.output;
    EXPECT_TRUE(Examine(In(name)).decodes);

    // One byte more cannot be written at all: the run fails before it converts anything.
    std::ofstream(progress) << "0";
    const std::string tooLong = "x" + name;
    run = RunProfile(In("clip.avi"), kCases[2].slots, In(tooLong));
    EXPECT_FALSE(run.ok);
    EXPECT_EQ(platform::LastLine(run.output), "vv.exe: cannot write " + In(tooLong) + ": File name too long");
    EXPECT_EQ(vvtest::ReadFile(progress), "0") << "no conversion work began";
}

TEST_F(ConvertTest, AnOutputShorterThanTheInputDeclaresSaysSo) {
    Shell(
        "ffmpeg -v error -y -f lavfi -i testsrc=size=160x120:rate=25:duration=20 -f lavfi -i sine=duration=20 "
        "-c:v mpeg4 -c:a aac -shortest -movflags +faststart '" +
        In("whole.mp4") + "'");
    // The whole file: no note.
    VvRun run = RunProfile(In("whole.mp4"), kCases[3].slots, In("whole.avi"));
    ASSERT_TRUE(run.ok) << run.output;
    EXPECT_EQ(run.output.find("the input declares"), std::string::npos) << run.output;

    // Cut to a third: still a success, with a note that gives both lengths.
    // (Its header, in front, declares the whole length.)
    const std::string whole = vvtest::ReadFile(In("whole.mp4"));
    vvtest::WriteFile(In("cut.mp4"), whole.substr(0, whole.size() / 3));
    run = RunProfile(In("cut.mp4"), kCases[3].slots, In("cut.avi"));
    ASSERT_TRUE(run.ok) << run.output;
    const auto note = run.output.find("vv.exe: note: the output covers ");
    ASSERT_NE(note, std::string::npos) << run.output;
    EXPECT_NE(run.output.find(" s of the 20.0 s the input declares: the input ended early", note), std::string::npos)
        << run.output;
    const double covered = std::atof(run.output.c_str() + note + std::strlen("vv.exe: note: the output covers "));
    EXPECT_NEAR(covered, Examine(In("cut.avi")).duration, 1.0);
}

TEST_F(ConvertTest, ALinkPlantedAtTheProgressFilesNameIsNotWrittenThrough) {
    // vv.exe writes its progress into "progress.txt.<pid>.tmp" and renames that over the
    // progress file: a link planted at the temporary name, before vv.exe starts, must not
    // carry the progress into the file it leads to.
    const std::string progress = In("progress.txt"), target = In("someone's file");
    vvtest::WriteFile(target, "kept");
    auto args = platform::SplitCommandLine(
        convert::ComposeCommand(In("clip.avi"), kCases[2].slots, In("progress link.mp4")).command);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {  // waits for the link, then becomes vv.exe (with the same process id)
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::dup2(null, 2);
        ::raise(SIGSTOP);
        ::execv(VV_EXE, argv.data());
        ::_exit(127);
    }
    ASSERT_GT(pid, 0);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, WUNTRACED), pid);
    fs::create_symlink(target, progress + "." + std::to_string(pid) + ".tmp");
    ::kill(pid, SIGCONT);
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(vvtest::ReadFile(target), "kept");
    EXPECT_EQ(vvtest::ReadFile(progress), "1000");  // the progress went on, beside the link
}
