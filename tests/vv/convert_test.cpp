// vv.exe converting generated clips, checked with ffprobe.
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <thread>
#include <unistd.h>

#include "convert/contract.h"
#include "platform/app_path.h"
#include "platform/cmdline.h"
#include "platform/process.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

struct VvRun {
    bool ok = false;
    int code = 0;
    std::string output;  // what vv.exe printed
};

VvRun RunVv(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {"vv.exe"};
    argv.insert(argv.end(), args.begin(), args.end());
    platform::StartedProcess p = platform::StartHidden(VV_EXE, argv);
    if (p.pid <= 0) return {false, -1, p.error};
    const platform::ProcessEnd end = platform::WaitForEnd(p);
    platform::ReapGroup(p);
    return {!end.signalled && end.code == 0, end.code, end.outputTail};
}

// The command line exactly as the window composes it, split as the job splits it.
VvRun RunProfile(const std::string& in, const convert::OptionSlots& slots, const std::string& out) {
    const auto composed = convert::ComposeCommand(in, slots, out);
    if (!composed.ok) return {false, -1, composed.error};
    auto args = platform::SplitCommandLine(composed.command);
    args.erase(args.begin());
    return RunVv(args);
}

std::string Shell(const std::string& command) {
    std::string out;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        char buf[4096];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
        ::pclose(p);
    }
    return out;
}

// ffprobe's view of a file: one map per stream, keyed by codec_type; "format" for the file.
std::map<std::string, std::map<std::string, std::string>> Probe(const std::string& path) {
    const std::string text = Shell(
        "ffprobe -v error -show_entries "
        "stream=codec_type,codec_name,width,height,avg_frame_rate,r_frame_rate,sample_rate,channels:format=duration "
        "-of flat '" + path + "'");
    std::map<std::string, std::map<std::string, std::string>> result;
    std::map<std::string, std::map<std::string, std::string>> byIndex;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        const auto eq = line.find('=');
        if (eq == std::string::npos) continue;
        std::string key = line.substr(0, eq), value = line.substr(eq + 1);
        if (value.size() >= 2 && value.front() == '"') value = value.substr(1, value.size() - 2);
        const auto dot = key.rfind('.');
        const std::string owner = key.substr(0, dot), field = key.substr(dot + 1);
        if (owner == "format") result["format"][field] = value;
        else byIndex[owner][field] = value;
    }
    for (auto& [owner, fields] : byIndex) result[fields["codec_type"]] = fields;
    return result;
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
        Shell("ffmpeg -v error -y -f lavfi -i testsrc=size=320x240:rate=25:duration=2 "
              "-f lavfi -i sine=frequency=440:sample_rate=44100:duration=2 -ac 2 "
              "-c:v mpeg4 -c:a libmp3lame -shortest '" + d + "/clip.avi'");
        Shell("ffmpeg -v error -y -f lavfi -i testsrc=size=320x240:rate=25:duration=2 -c:v mpeg4 '" + d +
              "/silent.mp4'");
        Shell("ffmpeg -v error -y -f lavfi -i sine=frequency=440:sample_rate=44100:duration=2 '" + d + "/sound.mp3'");
    }
    static void TearDownTestSuite() { fs::remove_all(dir_); }

    static std::string In(const std::string& name) { return (dir_ / name).string(); }

    static fs::path dir_;
};
fs::path ConvertTest::dir_;

const std::string kH264 = "-fpre " + platform::QuoteArgument(platform::JoinPath(platform::DirectoryOf(VV_EXE), "h264.dat")) +
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
    {"3gp", "3gp", {"-vcodec h263", "-b 256k", "-s 176x144 ", "-r 14.985", "-acodec libopencore_amrnb", "-ar 8000", "-ab 12.2k", "-ac 1"},
     "h263", 176, 144, 14.985, "amr_nb", 8000, 1},
    {"3gpp2", "3g2", {kH264, "-b 512k", "-s 320x240 ", "-r 14.985", "-strict experimental -acodec aac", "-ar 44100", "-ab 112k", "-ac 2"},
     "h264", 320, 240, 14.985, "aac", 44100, 2},
    {"mp4", "mp4", {"-vcodec  mpeg4", "-b 512k", "-s 320x240 ", "-r 23.976", "-strict experimental -acodec aac", "-ar 44100", "-ab 112k", "-ac 2"},
     "mpeg4", 320, 240, 23.976, "aac", 44100, 2},
    {"avi", "avi", {"-vcodec  mpeg4", "-b 512k", "-s 320x240 ", "-r 23.976", "-acodec mp2", "-ar 22050", "-ab 128k", "-ac 2"},
     "mpeg4", 320, 240, 23.976, "mp2", 22050, 2},
    {"flv", "flv", {"-vcodec flv", "-b 256k", "-s 320x240 ", "-r 14.985", "-acodec libmp3lame", "-ar 44100", "-ab 128k", "-ac 2"},
     "flv1", 320, 240, 14.985, "mp3", 44100, 2},
    // The other codec choices the presets offer.
    {"3gp mpeg4 aac", "3gp", {"-vcodec  mpeg4", "-b 320k", "-s 352x288 ", "-r 10", "-strict experimental -acodec aac", "-ar 22050", "-ab 64k", "-ac 1"},
     "mpeg4", 352, 288, 10, "aac", 22050, 1},
    {"3gpp2 mpeg4 amr", "3g2", {"-vcodec  mpeg4", "-b 512k", "-s 176x144 ", "-r 15", "-acodec libopencore_amrnb", "-ar 8000", "-ab 4.75k", "-ac 1"},
     "mpeg4", 176, 144, 15, "amr_nb", 8000, 1},
    {"mp4 h264", "mp4", {kH264, "-b 1000k", "-s 640x480 ", "-r 29.976", "-strict experimental -acodec aac", "-ar 48000", "-ab 160k", "-ac 2"},
     "h264", 640, 480, 29.976, "aac", 48000, 2},
    {"avi h264 mp3", "avi", {kH264, "-b 768k", "-s 720x576 ", "-r 25", "-acodec libmp3lame", "-ar 44100", "-ab 320k", "-ac 2"},
     "h264", 720, 576, 25, "mp3", 44100, 2},
    {"avi xvid pcm", "avi", {"-vcodec libxvid -aspect 4:3", "-b 512k", "-s 208x176", "-r 12", "-acodec pcm_s16le", "-ar 16000", "-ab 128k", "-ac 1"},
     "mpeg4", 208, 176, 12, "pcm_s16le", 16000, 1},
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

TEST_F(ConvertTest, ReadsTheInputFormatsTheWindowOffers) {
    const std::pair<const char*, const char*> inputs[] = {
        {"wmv", "-c:v wmv2 -c:a wmav2"},          {"asf", "-c:v wmv1 -c:a wmav1"},
        {"mpg", "-c:v mpeg1video -c:a mp2"},      {"flv", "-c:v flv -c:a libmp3lame -ar 44100"},
        {"3gp", "-c:v h263 -s 176x144 -c:a aac"}, {"rm", "-c:v rv10 -c:a ac3"},
        {"swf", "-c:v flv -c:a libmp3lame -ar 44100"}, {"mp4", "-c:v libx264 -c:a aac"},
    };
    for (const auto& [ext, codecs] : inputs) {
        SCOPED_TRACE(ext);
        const std::string in = In(std::string("input.") + ext), out = In(std::string("from ") + ext + ".avi");
        Shell(std::string("ffmpeg -v error -y -f lavfi -i testsrc=size=320x240:rate=25:duration=2 "
                          "-f lavfi -i sine=sample_rate=44100:duration=2 ") + codecs + " -shortest '" + in + "'");
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
    };
    convert::OptionSlots unknown = flv;
    unknown[0] = "-vcodec flv -frobnicate 3";
    const Bad cases[] = {
        {In("missing.avi"), In("a.flv"), flv, "missing.avi"},
        {In("garbage.avi"), In("b.flv"), flv, "garbage.avi"},
        {In("clip.avi"), In("c.flv"), unknown, "-frobnicate"},
        {In("clip.avi"), In("no such folder/d.flv"), flv, "no such folder"},
        {In("clip.avi"), In("clip.avi"), kCases[3].slots, "overwrite the input"},
    };
    for (const Bad& b : cases) {
        SCOPED_TRACE(b.in + " -> " + b.out);
        const VvRun run = RunProfile(b.in, b.slots, b.out);
        EXPECT_FALSE(run.ok);
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
}

TEST_F(ConvertTest, ProgressRisesInWholeNumbersAndEndsAtOneThousand) {
    Shell("ffmpeg -v error -y -f lavfi -i testsrc=size=640x480:rate=25:duration=30 "
          "-f lavfi -i sine=frequency=440:sample_rate=44100:duration=30 -c:v mpeg4 -q:v 5 -c:a libmp3lame -shortest '" +
          In("long.avi") + "'");
    const std::string progressFile = convert::ProgressFilePath(platform::DirectoryOf(VV_EXE));
    ASSERT_TRUE(convert::ResetProgress(progressFile));

    std::vector<std::string> argv = {"vv.exe"};
    auto args = platform::SplitCommandLine(
        convert::ComposeCommand(In("long.avi"), kCases[1].slots, In("long.3g2")).command);
    args.erase(args.begin());
    argv.insert(argv.end(), args.begin(), args.end());
    platform::StartedProcess p = platform::StartHidden(VV_EXE, argv);
    ASSERT_GT(p.pid, 0);

    std::vector<int> seen;
    std::thread waiter([&] {
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
