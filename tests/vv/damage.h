#pragma once
// Damaged variants of a media file, made the same way on every run (fixed seeds): for
// vv.exe's tests and the damaged-corpus scan (bench/vv_damage_scan.sh).
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace vvtest {

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& data);

// The first `fraction` of the file.
std::string Truncated(const std::string& data, double fraction);
// `count` bytes XOR-ed with random non-zero values, at random places past `from`.
std::string Flipped(const std::string& data, std::uint32_t seed, int count, std::size_t from = 0);
// A block of `size` bytes zeroed at a random place.
std::string Zeroed(const std::string& data, std::uint32_t seed, std::size_t size);
// Bytes flipped within `span` bytes after each place a tag (a box or chunk name) occurs.
std::string SmashedAfter(const std::string& data, const std::string& tag, std::uint32_t seed, std::size_t span);
// A block of `size` bytes at a random place repeated (`repeat`) or cut out.
std::string Spliced(const std::string& data, std::uint32_t seed, std::size_t size, bool repeat);
// The nth video tag of an FLV file given the timestamp `ms`; empty when there is none.
std::string FlvTimestampJump(const std::string& flv, int nth, std::uint32_t ms);
// Every mdhd box of an MP4/3GP file given the time scale 0; empty when there is none.
std::string ZeroTimeScale(const std::string& mp4);

struct Variant {
    std::string name;  // e.g. "flip3"
    std::string data;
};
// The corpus for one clip: truncations, byte flips, zeroed blocks, smashed header
// fields, splices, and the format's own timestamp damage. `ext` is the clip's extension.
std::vector<Variant> DamagedVariants(const std::string& data, const std::string& ext);

}  // namespace vvtest
