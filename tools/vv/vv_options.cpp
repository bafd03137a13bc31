#include "vv_options.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdint>
#include <sstream>
#include <unordered_map>

#include "encoder.h"
#include "platform/files.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/dict.h>
#include <libavutil/eval.h>
#include <libavutil/log.h>
#include <libavutil/parseutils.h>
}

namespace vv {
namespace {

// A number as FFmpeg reads one (av_strtod: decimals, exponents, SI suffixes such as "k"
// and "M"), the whole text and nothing else.
double Number(const std::string& text, const char* what) {
    char* end = nullptr;
    const double value = text.empty() ? 0 : av_strtod(text.c_str(), &end);
    if (text.empty() || end != text.c_str() + text.size() || !std::isfinite(value)) {
        throw VvError(std::string("invalid ") + what + " '" + text + "'");
    }
    return value;
}

int PositiveInt(const std::string& text, const char* what) {
    const double value = Number(text, what);
    if (value <= 0 || value > INT32_MAX || value != std::floor(value)) {
        throw VvError(std::string("invalid ") + what + " '" + text + "'");
    }
    return static_cast<int>(value);
}

// A ratio FFmpeg's parser gave (`ret` its result), which must be positive.
Ratio PositiveRatio(int ret, AVRational r, const std::string& text, const char* what) {
    if (text.empty() || ret < 0 || r.num <= 0 || r.den <= 0) {
        throw VvError(std::string("invalid ") + what + " '" + text + "'");
    }
    return {r.num, r.den};
}

std::pair<int, int> FrameSize(const std::string& text) {
    int width = 0, height = 0;
    if (av_parse_video_size(&width, &height, text.c_str()) >= 0) return {width, height};
    // "720.0x480" and the like, which FFmpeg's parser does not take.
    const auto x = text.find('x');
    if (x == std::string::npos) throw VvError("invalid frame size '" + text + "'");
    return {PositiveInt(text.substr(0, x), "frame size"), PositiveInt(text.substr(x + 1), "frame size")};
}

std::string ReadPresetFile(const std::string& path) {
    std::string text;
    const std::string problem = platform::ReadRegularFile(path, kPresetFileLimit, text);
    if (!problem.empty()) throw VvError("cannot read preset file " + path + ": " + problem);
    return text;
}

// An encoder's name as -vcodec or -acodec gives it: one FFmpeg has, of the right kind.
std::string EncoderName(const std::string& name, AVMediaType type, const char* what) {
    if (name.empty()) throw VvError(std::string("invalid ") + what + " ''");
    if (type == AVMEDIA_TYPE_AUDIO && name == kAmrNbName) return name;  // vv.exe's own
    const AVCodec* codec = avcodec_find_encoder_by_name(name.c_str());
    if (codec == nullptr) throw VvError("unknown encoder " + name);
    if (codec->type != type) throw VvError(name + " is not a " + av_get_media_type_string(type) + " encoder");
    return name;
}

// A value checked against the bounds vv_options.h states; `shown` is the text given.
template <typename T>
T Within(T value, T least, T most, const std::string& shown, const char* what, const char* bounds) {
    if (value < least || value > most) {
        throw VvError(std::string(what) + " '" + shown + "' is out of range (" + bounds + ")");
    }
    return value;
}

}  // namespace

std::int64_t ParseBitrate(const std::string& text) {
    const double bps = std::round(Number(text, "bitrate"));
    if (bps <= 0 || bps > static_cast<double>(INT64_MAX / 2)) throw VvError("invalid bitrate '" + text + "'");
    return static_cast<std::int64_t>(bps);
}

// av_parse_video_rate: "25", "29.97", "30000/1001" or a name such as "ntsc"; decimals come
// out exact up to its bound on the denominator (1001000).
Ratio ParseRate(const std::string& text) {
    AVRational r{0, 0};
    return PositiveRatio(av_parse_video_rate(&r, text.c_str()), r, text, "frame rate");
}

// av_parse_ratio: "4:3", "16/9", "1.777" (closest within a denominator of a million, so
// that decimals stay exact).
Ratio ParseAspect(const std::string& text) {
    AVRational r{0, 0};
    return PositiveRatio(av_parse_ratio_quiet(&r, text.c_str(), 1'000'000), r, text, "aspect ratio");
}

std::vector<std::pair<std::string, std::string>> ParsePreset(const std::string& text) {
    // Comments and blank lines go, and each line is checked here so that a bad one is
    // named; each pair is read by FFmpeg's dictionary parser (its quotes and escapes),
    // one line at a time so that the time grows with the text, not with its square. A
    // key given again keeps its place and takes the later value.
    std::vector<std::pair<std::string, std::string>> out;
    std::unordered_map<std::string, std::size_t> where;
    std::istringstream lines(text);
    std::string line;
    int number = 0;
    while (std::getline(lines, line)) {
        ++number;
        while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) line.pop_back();
        std::size_t start = 0;
        while (start < line.size() && std::isspace(static_cast<unsigned char>(line[start]))) ++start;
        line.erase(0, start);
        if (line.empty() || line[0] == '#') continue;
        const auto eq = line.find('=');
        if (eq == std::string::npos || eq == 0) {
            throw VvError("preset line " + std::to_string(number) + " is not key=value: " + line);
        }
        AVDictionary* dict = nullptr;
        const int ret = av_dict_parse_string(&dict, line.c_str(), "=", "\n", 0);
        for (const AVDictionaryEntry* e = nullptr; ret >= 0 && (e = av_dict_get(dict, "", e, AV_DICT_IGNORE_SUFFIX));) {
            const auto [at, fresh] = where.try_emplace(e->key, out.size());
            if (fresh) {
                out.emplace_back(e->key, e->value);
            } else {
                out[at->second].second = e->value;
            }
        }
        av_dict_free(&dict);
        if (ret < 0) throw VvError("preset line " + std::to_string(number) + " cannot be read as key=value: " + line);
    }
    return out;
}

namespace {

constexpr const char* kOptionNames[] = {"-i",   "-y", "-vcodec", "-c:v",    "-acodec", "-c:a", "-b",      "-b:v", "-ab",
                                        "-b:a", "-s", "-r",      "-aspect", "-ar",     "-ac",  "-strict", "-fpre"};

bool IsOptionName(const std::string& a) {
    for (const char* name : kOptionNames) {
        if (a == name) return true;
    }
    return false;
}

// The codec strictness by name or number.
int Strictness(const std::string& v) {
    if (v == "experimental") return -2;
    if (v == "unofficial") return -1;
    if (v == "normal") return 0;
    if (v == "strict") return 1;
    if (v == "very") return 2;
    if (v == "-2" || v == "-1" || v == "0" || v == "1" || v == "2") return std::stoi(v);
    throw VvError("invalid strictness '" + v + "'");
}

// The last argument is the output file, whatever it begins with (a file may be named
// "-clip.avi"), unless it is one of the options themselves or an option's value: then
// it is put in `positional`, and the options end before it.
std::size_t OptionsEnd(const std::vector<std::string>& args, std::vector<std::string>& positional) {
    if (args.empty() || IsOptionName(args.back())) return args.size();
    const bool takenAsValue = args.size() >= 2 && IsOptionName(args[args.size() - 2]) && args[args.size() - 2] != "-y";
    if (takenAsValue) return args.size();
    positional.push_back(args.back());
    return args.size() - 1;
}

}  // namespace

Options ParseArguments(const std::vector<std::string>& args) {
    Options o;
    std::vector<std::string> positional;
    const std::size_t end = OptionsEnd(args, positional);
    for (std::size_t i = 0; i < end; ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> const std::string& {
            if (i + 1 >= end) throw VvError("missing value for " + a);
            return args[++i];
        };
        if (a == "-i") {
            o.input = value();
        } else if (a == "-y") {
            o.overwrite = true;
        } else if (a == "-vcodec" || a == "-c:v") {
            o.videoCodec = EncoderName(value(), AVMEDIA_TYPE_VIDEO, "video codec");
        } else if (a == "-acodec" || a == "-c:a") {
            o.audioCodec = EncoderName(value(), AVMEDIA_TYPE_AUDIO, "audio codec");
        } else if (a == "-b" || a == "-b:v" || a == "-ab" || a == "-b:a") {
            const std::string& v = value();
            const std::int64_t bps = Within(ParseBitrate(v), kLeastBitrate, kMostBitrate, v, "bitrate",
                                            "1 kbit/s to 1000 Mbit/s");
            (a == "-b" || a == "-b:v" ? o.videoBitrate : o.audioBitrate) = bps;
        } else if (a == "-s") {
            const std::string& v = value();
            const auto size = FrameSize(v);
            Within(std::max(size.first, size.second), 1, kMostFrameSide, v, "frame size", "1 to 16384 a side");
            o.frameSize = size;
        } else if (a == "-r") {
            const std::string& v = value();
            const Ratio r = ParseRate(v);
            Within(static_cast<double>(r.num) / r.den, kLeastFrameRate, kMostFrameRate, v, "frame rate",
                   "one picture a minute to 1000 a second");
            o.frameRate = r;
        } else if (a == "-aspect") {
            o.aspect = ParseAspect(value());
        } else if (a == "-ar") {
            const std::string& v = value();
            o.sampleRate = Within(PositiveInt(v, "sample rate"), kLeastSampleRate, kMostSampleRate, v, "sample rate",
                                  "1000 to 768000 Hz");
        } else if (a == "-ac") {
            const std::string& v = value();
            o.channels = Within(PositiveInt(v, "channel count"), 1, kMostChannels, v, "channel count", "1 to 64");
        } else if (a == "-strict") {
            o.strict = Strictness(value());
        } else if (a == "-fpre") {
            o.presetFile = value();
            o.videoPreset = ParsePreset(ReadPresetFile(o.presetFile));
        } else if (a.size() > 1 && a[0] == '-') {
            throw VvError("unknown option " + a);
        } else {
            positional.push_back(a);
        }
    }
    if (o.input.empty()) throw VvError("no input file given (-i)");
    if (positional.size() != 1) {
        throw VvError(positional.empty() ? "no output file given" : "more than one output file given");
    }
    o.output = positional.front();
    if (o.output.empty()) throw VvError("no output file given");
    // A FIFO or a terminal would hold the reader for ever: refused before it is opened.
    if (const std::string problem = platform::InputProblem(o.input); !problem.empty()) {
        throw VvError("cannot read " + o.input + ": " + problem, convert::ToolStatus::kInput);
    }
    return o;
}

}  // namespace vv
