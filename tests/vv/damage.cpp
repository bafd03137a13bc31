#include "damage.h"

#include <fstream>
#include <random>
#include <sstream>

namespace vvtest {
namespace {

std::size_t Pick(std::mt19937& rng, std::size_t lo, std::size_t hi) {
    if (hi <= lo) return lo;
    return std::uniform_int_distribution<std::size_t>(lo, hi - 1)(rng);
}

std::uint32_t Be32(const std::string& d, std::size_t at) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(d[at])) << 24 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(d[at + 1])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(d[at + 2])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(d[at + 3]));
}

}  // namespace

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteFile(const std::string& path, const std::string& data) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << data;
}

std::string Truncated(const std::string& data, double fraction) {
    return data.substr(0, static_cast<std::size_t>(static_cast<double>(data.size()) * fraction));
}

std::string Flipped(const std::string& data, std::uint32_t seed, int count, std::size_t from) {
    std::string out = data;
    std::mt19937 rng(seed);
    for (int i = 0; i < count && from < out.size(); ++i) {
        const std::size_t at = Pick(rng, from, out.size());
        out[at] = static_cast<char>(out[at] ^ static_cast<char>(Pick(rng, 1, 256)));
    }
    return out;
}

std::string Zeroed(const std::string& data, std::uint32_t seed, std::size_t size) {
    std::string out = data;
    std::mt19937 rng(seed);
    if (out.size() <= size) return out;
    const std::size_t at = Pick(rng, 0, out.size() - size);
    std::fill(out.begin() + static_cast<std::ptrdiff_t>(at), out.begin() + static_cast<std::ptrdiff_t>(at + size),
              '\0');
    return out;
}

std::string SmashedAfter(const std::string& data, const std::string& tag, std::uint32_t seed, std::size_t span) {
    std::string out = data;
    std::mt19937 rng(seed);
    for (std::size_t at = out.find(tag); at != std::string::npos; at = out.find(tag, at + 1)) {
        const std::size_t from = at + tag.size();
        const std::size_t place = Pick(rng, from, std::min(from + span, out.size()));
        if (place < out.size()) out[place] = static_cast<char>(out[place] ^ static_cast<char>(Pick(rng, 1, 256)));
    }
    return out;
}

std::string Spliced(const std::string& data, std::uint32_t seed, std::size_t size, bool repeat) {
    std::mt19937 rng(seed);
    if (data.size() <= 2 * size) return data;
    const std::size_t at = Pick(rng, 0, data.size() - size);
    if (repeat) return data.substr(0, at + size) + data.substr(at);
    return data.substr(0, at) + data.substr(at + size);
}

std::string FlvTimestampJump(const std::string& flv, int nth, std::uint32_t ms) {
    if (flv.size() < 13 || flv.compare(0, 3, "FLV") != 0) return {};
    std::size_t at = Be32(flv, 5) + 4;  // header, then the first PreviousTagSize
    int video = 0;
    while (at + 11 <= flv.size()) {
        const int type = flv[at] & 0x1f;
        const std::size_t size = Be32(flv, at) & 0xffffff;
        if (type == 9 && video++ == nth) {
            std::string out = flv;
            out[at + 4] = static_cast<char>(ms >> 16 & 0xff);
            out[at + 5] = static_cast<char>(ms >> 8 & 0xff);
            out[at + 6] = static_cast<char>(ms & 0xff);
            out[at + 7] = static_cast<char>(ms >> 24 & 0xff);
            return out;
        }
        at += 11 + size + 4;
    }
    return {};
}

std::string ZeroTimeScale(const std::string& mp4) {
    std::string out = mp4;
    bool found = false;
    for (std::size_t at = out.find("mdhd"); at != std::string::npos && at + 24 <= out.size();
         at = out.find("mdhd", at + 1)) {
        // version(1) flags(3), then creation and modification times: 4 bytes each (version 0) or 8.
        const std::size_t scale = at + 4 + 4 + (out[at + 4] == 1 ? 16 : 8);
        if (scale + 4 > out.size()) break;
        out.replace(scale, 4, std::string(4, '\0'));
        found = true;
    }
    return found ? out : std::string();
}

std::vector<Variant> DamagedVariants(const std::string& data, const std::string& ext) {
    std::vector<Variant> v;
    int n = 0;
    for (const double f : {0.05, 0.15, 0.3, 0.5, 0.7, 0.85, 0.95, 0.99})
        v.push_back({"cut" + std::to_string(n++), Truncated(data, f)});
    for (std::uint32_t i = 0; i < 12; ++i) {
        v.push_back({"flip" + std::to_string(i), Flipped(data, 1000 + i, 1 + static_cast<int>(i % 8))});
    }
    for (std::uint32_t i = 0; i < 6; ++i) {
        v.push_back({"zero" + std::to_string(i), Zeroed(data, 2000 + i, std::size_t{512} << (i % 5))});
    }
    std::vector<std::string> tags;
    if (ext == "mp4" || ext == "3gp")
        tags = {"mvhd", "tkhd", "mdhd", "stts", "stsz", "stco"};
    else if (ext == "avi")
        tags = {"avih", "strh", "strf", "idx1", "movi", "LIST"};
    else if (ext == "flv")
        tags = {"onMetaData", "duration", "width", "framerate", "audiosamplerate", "FLV"};
    else if (ext == "mpg")
        tags = {std::string("\0\0\1\xba", 4), std::string("\0\0\1\xbb", 4), std::string("\0\0\1\xb3", 4),
                std::string("\0\0\1\xe0", 4), std::string("\0\0\1\xc0", 4), std::string("\0\0\1\xb8", 4)};
    else
        tags = {".RMF", "PROP", "MDPR", "CONT", "DATA", "INDX"};
    for (std::size_t i = 0; i < tags.size(); ++i) {
        v.push_back(
            {"smash" + std::to_string(i), SmashedAfter(data, tags[i], 3000 + static_cast<std::uint32_t>(i), 24)});
    }
    const std::size_t head = std::min<std::size_t>(data.size(), 4096);
    v.push_back({"head", Flipped(data.substr(0, head), 4000, 4) + data.substr(head)});
    v.push_back({"double", data + data});
    v.push_back({"repeat", Spliced(data, 5000, 4096, true)});
    v.push_back({"gap", Spliced(data, 5001, 4096, false)});
    v.push_back({"halves", data.substr(0, data.size() / 2) + data.substr(data.size() / 3)});
    if (ext == "flv") {
        v.push_back({"jump", FlvTimestampJump(data, 10, 0x80000000u)});
        v.push_back({"jumpsmall", FlvTimestampJump(data, 20, 4000)});
    }
    if (ext == "mp4" || ext == "3gp") v.push_back({"timescale0", ZeroTimeScale(data)});
    return v;
}

}  // namespace vvtest
