#include "vv_options.h"

#include <cctype>
#include <cmath>
#include <fstream>
#include <numeric>
#include <sstream>

#include "platform/files.h"

namespace vv {
namespace {

Ratio Reduced(long long num, long long den) {
    if (den == 0) throw VvError("zero denominator");
    const long long g = std::gcd(num, den);
    num /= g;
    den /= g;
    if (num > INT32_MAX || den > INT32_MAX) throw VvError("value out of range");
    return {static_cast<int>(num), static_cast<int>(den)};
}

// An exact decimal "123.456" as a ratio.
Ratio Decimal(const std::string& text) {
    long long num = 0, den = 1;
    bool dot = false, digits = false;
    for (const char c : text) {
        if (c == '.' && !dot) {
            dot = true;
        } else if (std::isdigit(static_cast<unsigned char>(c))) {
            digits = true;
            num = num * 10 + (c - '0');
            if (dot) den *= 10;
            if (num > 1'000'000'000'000LL || den > 1'000'000'000LL) throw VvError("number too long: " + text);
        } else {
            throw VvError("not a number: '" + text + "'");
        }
    }
    if (!digits) throw VvError("not a number: '" + text + "'");
    return Reduced(num, den);
}

int PositiveInt(const std::string& text, const char* what) {
    const Ratio r = Decimal(text);
    if (r.den != 1 || r.num <= 0) throw VvError(std::string("invalid ") + what + " '" + text + "'");
    return r.num;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(platform::PathFromUtf8(path), std::ios::binary);
    if (!in) throw VvError("cannot read preset file " + path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

std::int64_t ParseBitrate(const std::string& text) {
    std::string number = text;
    double scale = 1;
    if (!number.empty() && (number.back() == 'k' || number.back() == 'K')) {
        scale = 1e3;
        number.pop_back();
    } else if (!number.empty() && number.back() == 'M') {
        scale = 1e6;
        number.pop_back();
    }
    const Ratio r = Decimal(number);
    const auto bps = static_cast<std::int64_t>(std::llround(static_cast<double>(r.num) * scale / r.den));
    if (bps <= 0) throw VvError("invalid bitrate '" + text + "'");
    return bps;
}

Ratio ParseRate(const std::string& text) {
    const auto slash = text.find('/');
    Ratio r = slash == std::string::npos
                  ? Decimal(text)
                  : Reduced(PositiveInt(text.substr(0, slash), "rate"), PositiveInt(text.substr(slash + 1), "rate"));
    if (r.num <= 0) throw VvError("invalid frame rate '" + text + "'");
    return r;
}

Ratio ParseAspect(const std::string& text) {
    const auto sep = text.find_first_of(":/");
    Ratio r = sep == std::string::npos
                  ? Decimal(text)
                  : Reduced(PositiveInt(text.substr(0, sep), "aspect"), PositiveInt(text.substr(sep + 1), "aspect"));
    if (r.num <= 0) throw VvError("invalid aspect ratio '" + text + "'");
    return r;
}

std::vector<std::pair<std::string, std::string>> ParsePreset(const std::string& text) {
    std::vector<std::pair<std::string, std::string>> out;
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
        out.emplace_back(line.substr(0, eq), line.substr(eq + 1));
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

}  // namespace

Options ParseArguments(const std::vector<std::string>& args) {
    Options o;
    std::vector<std::string> positional;
    // The last argument is the output file, whatever it begins with (a file may be
    // named "-clip.avi"), unless it is one of the options themselves.
    std::size_t end = args.size();
    if (!args.empty() && !IsOptionName(args.back())) {
        const bool takenAsValue =
            args.size() >= 2 && IsOptionName(args[args.size() - 2]) && args[args.size() - 2] != "-y";
        if (!takenAsValue) {
            positional.push_back(args.back());
            --end;
        }
    }
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
            o.videoCodec = value();
        } else if (a == "-acodec" || a == "-c:a") {
            o.audioCodec = value();
        } else if (a == "-b" || a == "-b:v") {
            o.videoBitrate = ParseBitrate(value());
        } else if (a == "-ab" || a == "-b:a") {
            o.audioBitrate = ParseBitrate(value());
        } else if (a == "-s") {
            const std::string& v = value();
            const auto x = v.find('x');
            if (x == std::string::npos) throw VvError("invalid frame size '" + v + "'");
            o.frameSize =
                std::make_pair(PositiveInt(v.substr(0, x), "frame size"), PositiveInt(v.substr(x + 1), "frame size"));
        } else if (a == "-r") {
            o.frameRate = ParseRate(value());
        } else if (a == "-aspect") {
            o.aspect = ParseAspect(value());
        } else if (a == "-ar") {
            o.sampleRate = PositiveInt(value(), "sample rate");
        } else if (a == "-ac") {
            o.channels = PositiveInt(value(), "channel count");
        } else if (a == "-strict") {
            const std::string& v = value();
            if (v == "experimental")
                o.strict = -2;
            else if (v == "unofficial")
                o.strict = -1;
            else if (v == "normal")
                o.strict = 0;
            else if (v == "strict")
                o.strict = 1;
            else if (v == "very")
                o.strict = 2;
            else if (v == "-2" || v == "-1" || v == "0" || v == "1" || v == "2")
                o.strict = std::stoi(v);
            else
                throw VvError("invalid strictness '" + v + "'");
        } else if (a == "-fpre") {
            o.presetFile = value();
            o.videoPreset = ParsePreset(ReadFile(o.presetFile));
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
    return o;
}

}  // namespace vv
