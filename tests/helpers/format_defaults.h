#pragma once
// What each output format's default choices hand to vv.exe: the eight option strings in
// command-line order (video codec, video bitrate, frame size, frame rate, audio codec,
// sample rate, audio bitrate, channels). The H.264 option names h264.dat in appDir.
#include <array>
#include <string>
#include <string_view>

#include "convert/contract.h"
#include "platform/app_path.h"

namespace testdata {

struct FormatDefault {
    const char* format;
    const char* extension;
    convert::OptionSlots slots;
};

inline std::array<FormatDefault, 5> FormatDefaults(std::string_view appDir) {
    const std::string h264 = "-fpre \"" + platform::JoinPath(appDir, "h264.dat") + "\" -vcodec libx264";
    const std::string aac = "-strict experimental -acodec aac";
    return {{
        {"3gp",
         "3gp",
         {"-vcodec h263", "-b 256k", "-s 176x144 ", "-r 14.985", "-acodec libopencore_amrnb", "-ar 8000", "-ab 12.2k",
          "-ac 1"}},
        {"3gpp2", "3g2", {h264, "-b 512k", "-s 320x240 ", "-r 14.985", aac, "-ar 44100", "-ab 112k", "-ac 2"}},
        {"mp4",
         "mp4",
         {"-vcodec  mpeg4", "-b 512k", "-s 320x240 ", "-r 23.976", aac, "-ar 44100", "-ab 112k", "-ac 2"}},
        {"avi",
         "avi",
         {"-vcodec  mpeg4", "-b 512k", "-s 320x240 ", "-r 23.976", "-acodec mp2", "-ar 22050", "-ab 128k", "-ac 2"}},
        {"flv",
         "flv",
         {"-vcodec flv", "-b 256k", "-s 320x240 ", "-r 14.985", "-acodec libmp3lame", "-ar 44100", "-ab 128k",
          "-ac 2"}},
    }};
}

}  // namespace testdata
