// vv.exe on the files people have today, made the way phones, cameras and web downloads
// make them, in each format's default; what a player shows of the output is checked
// against what the ffmpeg command line shows of the input.
#include <array>
#include <cmath>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <unistd.h>

#include "damage.h"
#include "vv_run.h"

#include "../helpers/format_defaults.h"
#include "platform/app_path.h"

namespace fs = std::filesystem;
using vvtest::Probe;
using vvtest::RunProfile;
using vvtest::Shell;

namespace {

const auto kDefaults = testdata::FormatDefaults(platform::DirectoryOf(VV_EXE));

// The clips, made with the ffmpeg command line when a test first asks for one: each test
// runs in a process of its own.
const std::map<std::string, std::string>& ClipRecipes() {
    static const std::map<std::string, std::string> recipes = [] {
        const std::string sound = " -f lavfi -i sine=sample_rate=48000:duration=1 -c:a aac -shortest ";
        const std::string hd = "-f lavfi -i smptebars=size=640x360:rate=25:duration=1" + sound;
        std::map<std::string, std::string> r;
        // A still picture of bars, turned in its display matrix as a phone turns a portrait clip.
        r["bars.mp4"] = "-f lavfi -i smptebars=size=320x240:rate=25:duration=1" + sound + "-c:v libx264";
        for (const char* turn : {"90", "180", "270"}) {
            // (FFmpeg 7 sets the turn as the input's; FFmpeg 5 took it as the output's metadata.)
            r[std::string("turned ") + turn + ".mp4"] = "-display_rotation:v:0 " + std::string(turn) +
                                                        " -i {bars.mp4} -c copy || -i {bars.mp4} -c copy "
                                                        "-metadata:s:v:0 rotate=" +
                                                        turn;
        }
        // HD bars in BT.709, and the same bars as HDR10 (PQ) and HLG in 10-bit HEVC, tagged as
        // cameras tag them.
        r["bt709.mp4"] = hd +
                         "-vf scale=out_color_matrix=bt709:out_range=tv,format=yuv420p -colorspace bt709 "
                         "-color_primaries bt709 -color_trc bt709 -c:v libx264";
        for (const auto& [transfer, name] : {std::pair{"smpte2084", "hdr10.mp4"}, {"arib-std-b67", "hlg.mp4"}}) {
            r[name] = hd + "-vf format=gbrpf32le,zscale=tin=bt709:pin=bt709:t=" + transfer +
                      ":p=bt2020:m=2020_ncl:r=tv:npl=100,format=yuv420p10le -colorspace bt2020nc "
                      "-color_primaries bt2020 -color_trc " +
                      transfer + " -c:v libx265 -x265-params log-level=error";
        }
        // Six channels of one loud tone (-1 dBFS each), as a film's 5.1 sound at its loudest.
        r["loud 5.1.mov"] =
            "-f lavfi -i testsrc=size=160x120:rate=25:duration=1 -f lavfi "
            "-i 'aevalsrc=0.89*sin(2*PI*440*t):c=5.1:s=48000:d=1' -c:v mpeg4 -c:a pcm_s16le";
        // A picture in a format no decoder reads (its codec's tag is made unknown below); a
        // cover picture in a sound file.
        r["known picture.avi"] =
            "-f lavfi -i testsrc=size=160x120:rate=25:duration=1 -f lavfi -i sine=duration=1 -c:v mpeg4 -c:a mp2";
        r["with cover.mp3"] =
            "-f lavfi -i sine=duration=1 -f lavfi -i testsrc=size=160x120:duration=1 -map 0 -map 1 -frames:v 1 "
            "-c:a libmp3lame -c:v mjpeg -disposition:v attached_pic";
        // Shapes whose pixel aspect at the formats' sizes is beyond what H.263, MPEG-4 Part 2
        // and FLV can hold.
        for (const char* size : {"4097x17", "17x4097"}) {
            r[std::string(size) + ".mkv"] = std::string("-f lavfi -i testsrc=size=") + size +
                                            ":rate=5:duration=1 -f lavfi -i sine=duration=1 -c:v ffv1 -c:a pcm_s16le";
        }
        return r;
    }();
    return recipes;
}

class ClipTest {
protected:
    static void MakeFolder() {
        dir_ = fs::temp_directory_path() / ("tolvani-today-" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        ::setenv("TOLVANI_PROGRESS_FILE", (dir_ / "progress.txt").c_str(), 1);
    }
    static void RemoveFolder() { fs::remove_all(dir_); }

    static std::string Out(const std::string& name) { return (dir_ / name).string(); }
    // The clip `name`, made on first use.
    static std::string In(const std::string& name) {
        const std::string path = Out(name);
        if (fs::exists(path)) return path;
        // The first of the recipe's ways (" || " between them) that makes the clip.
        std::string recipes = ClipRecipes().at(name);
        for (std::size_t start = 0; start != std::string::npos && !fs::exists(path);) {
            const auto bar = recipes.find(" || ", start);
            std::string options = recipes.substr(start, bar == std::string::npos ? bar : bar - start);
            start = bar == std::string::npos ? bar : bar + 4;
            for (auto from = options.find('{'); from != std::string::npos; from = options.find('{')) {
                const auto end = options.find('}', from);  // made from another clip
                options.replace(from, end + 1 - from, "'" + In(options.substr(from + 1, end - from - 1)) + "'");
            }
            Shell("ffmpeg -v error -y " + options + " '" + path + "' 2>/dev/null");
        }
        return path;
    }

    static fs::path dir_;
};
fs::path ClipTest::dir_;

class TodaysFilesTest : public ClipTest, public ::testing::TestWithParam<testdata::FormatDefault> {
protected:
    static void SetUpTestSuite() { MakeFolder(); }
    static void TearDownTestSuite() { RemoveFolder(); }

    // Converts `name` in the format's default; the output's path.
    std::string Convert(const std::string& name) {
        const std::string out = Out(name + " out." + GetParam().extension);
        const vvtest::VvRun run = RunProfile(In(name), GetParam().slots, out);
        EXPECT_TRUE(run.ok) << name << ": " << run.output;
        return out;
    }
};

class OddInputsTest : public ClipTest, public ::testing::Test {
protected:
    static void SetUpTestSuite() { MakeFolder(); }
    static void TearDownTestSuite() { RemoveFolder(); }
};

// How alike the first pictures of two files are as shown on screen (each at its display
// aspect, in grey), in dB.
double ShownAlike(const std::string& a, const std::string& b, int w, int h) {
    const std::string size = std::to_string(w) + ":" + std::to_string(h);
    const std::string log = Shell("ffmpeg -nostdin -i '" + a + "' -i '" + b + "' -lavfi \"[0]scale=" + size +
                                  ",setsar=1,format=gray[x];[1]scale=" + size +
                                  ",setsar=1,format=gray[y];[x][y]psnr\" -frames:v 1 -f null - 2>&1");
    const auto at = log.find("average:");
    if (at == std::string::npos) return 0;
    return log.compare(at + 8, 3, "inf") == 0 ? 99 : std::atof(log.c_str() + at + 8);
}

// The RGB a player shows at the middle of each of the seven upper bars of the first picture.
using Bars = std::array<std::array<int, 3>, 7>;
Bars BarColours(const std::string& path) {
    const std::string rgb = Shell("ffmpeg -nostdin -v error -i '" + path +
                                  "' -frames:v 1 -vf scale=350:100,format=rgb24 -f rawvideo - 2>/dev/null");
    Bars bars{};
    if (rgb.size() < 350 * 100 * 3) return bars;
    for (std::size_t i = 0; i < bars.size(); ++i) {
        const std::size_t at = (30 * 350 + 25 + 50 * i) * 3;
        for (std::size_t c = 0; c < 3; ++c) bars[i][c] = static_cast<unsigned char>(rgb[at + c]);
    }
    return bars;
}

int LargestDifference(const Bars& a, const Bars& b) {
    int most = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        for (std::size_t c = 0; c < 3; ++c) most = std::max(most, std::abs(a[i][c] - b[i][c]));
    }
    return most;
}

// The loudest sample of a file's sound, in dB of full scale (decoded to floating point,
// so that nothing over full scale is cut off).
double PeakDb(const std::string& path) {
    const std::string log = Shell("ffmpeg -nostdin -i '" + path +
                                  "' -vn -af astats=measure_perchannel=none:measure_overall=Peak_level -f null - 2>&1");
    const auto at = log.rfind("Peak level dB:");
    return at == std::string::npos ? 99 : std::atof(log.c_str() + at + 14);
}

}  // namespace

namespace testdata {
void PrintTo(const FormatDefault& d, std::ostream* os) { *os << d.format; }
}  // namespace testdata

TEST_P(TodaysFilesTest, PortraitClipsComeOutUprightWithTheirShape) {
    for (const char* turn : {"90", "180", "270"}) {
        SCOPED_TRACE(std::string("turned ") + turn);
        const std::string in = In(std::string("turned ") + turn + ".mp4");
        const std::string out = Convert(std::string("turned ") + turn + ".mp4");
        const bool portrait = std::string(turn) != "180";
        auto probe = Probe(out);
        // The frame size the format asks for; the shape on screen of the upright picture
        // (FLV holds no pixel aspect: its players show the frame's own shape).
        if (std::string(GetParam().format) != "flv") {
            EXPECT_EQ(probe["video"]["display_aspect_ratio"], portrait ? "3:4" : "4:3");
        }
        // The ffmpeg command line shows the input upright; the output looks the same as it
        // stands, with no turn of its own left for a player to apply again.
        EXPECT_GT(ShownAlike(out, in, portrait ? 60 : 80, portrait ? 80 : 60), 20.0);
        EXPECT_EQ(Shell("ffprobe -v error -show_streams '" + out + "' | grep -c 'Display Matrix'"), "0\n");
    }
}

TEST_P(TodaysFilesTest, ColoursStayTrueAndHdrBecomesSdr) {
    const Bars reference = BarColours(In("bt709.mp4"));
    for (const auto& [name, tolerance] : {std::pair{"bt709.mp4", 12}, {"hdr10.mp4", 40}, {"hlg.mp4", 40}}) {
        SCOPED_TRACE(name);
        const std::string out = Convert(name);
        EXPECT_LE(LargestDifference(BarColours(out), reference), tolerance);
        const std::string transfer = Probe(out)["video"]["color_transfer"];
        EXPECT_TRUE(transfer == "bt709" || transfer == "unknown" || transfer.empty()) << transfer;
    }
}

TEST_P(TodaysFilesTest, ADownmixIsNeverLouderThanTheLoudestChannel) {
    EXPECT_LE(PeakDb(Convert("loud 5.1.mov")), -0.5);
}

INSTANTIATE_TEST_SUITE_P(Formats, TodaysFilesTest, ::testing::ValuesIn(kDefaults),
                         [](const auto& p) { return std::string(p.param.format); });

TEST_F(OddInputsTest, APictureOrSoundIsNeverLeftOutUnsaid) {
    const auto& mp4 = kDefaults[2].slots;
    // A picture no decoder reads: the conversion fails and says so.
    std::string avi = vvtest::ReadFile(In("known picture.avi"));
    for (auto at = avi.find("FMP4"); at != std::string::npos; at = avi.find("FMP4", at)) avi.replace(at, 4, "QQQQ");
    vvtest::WriteFile(Out("unknown picture.avi"), avi);
    const std::string out = Out("unknown picture.mp4");
    const vvtest::VvRun run = RunProfile(Out("unknown picture.avi"), mp4, out);
    EXPECT_FALSE(run.ok);
    EXPECT_NE(run.output.find("no decoder for the"), std::string::npos) << run.output;
    EXPECT_FALSE(fs::exists(out));
    // A cover picture in a sound file is no video: the sound alone, with a note.
    const vvtest::VvRun cover = RunProfile(In("with cover.mp3"), mp4, Out("with cover.mp4"));
    EXPECT_TRUE(cover.ok) << cover.output;
    EXPECT_NE(cover.output.find("note: the input's picture is a cover image"), std::string::npos) << cover.output;
    EXPECT_EQ(Shell("ffprobe -v error -show_entries stream=codec_type -of csv=p=0 '" + Out("with cover.mp4") + "'"),
              "audio\n");
}

TEST_F(OddInputsTest, PicturesOfAnyShapeGiveFilesThatPlay) {
    for (const char* size : {"4097x17", "17x4097"}) {
        for (const auto& d : kDefaults) {
            SCOPED_TRACE(std::string(size) + " to " + d.format);
            const std::string out = Out(std::string(size) + "." + d.extension);
            const vvtest::VvRun run = RunProfile(In(std::string(size) + ".mkv"), d.slots, out);
            ASSERT_TRUE(run.ok) << run.output;
            EXPECT_EQ(vvtest::ShellStatus("ffmpeg -nostdin -v error -xerror -i '" + out + "' -f null - 2>/dev/null"), 0);
            const std::string sar = Probe(out)["video"]["sample_aspect_ratio"];
            EXPECT_TRUE(!sar.empty() && sar[0] != '-' && sar.rfind("0:", 0) != 0) << sar;
        }
    }
}
