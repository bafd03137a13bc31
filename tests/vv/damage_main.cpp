// vv_damage CLIP... OUTDIR: writes the damaged variants of each clip into OUTDIR, named
// CLIPNAME.VARIANT.EXT, for the damaged-corpus scan.
#include <cstdio>
#include <string>

#include "damage.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: vv_damage CLIP... OUTDIR\n");
        return 2;
    }
    const std::string outDir = argv[argc - 1];
    int written = 0;
    for (int i = 1; i < argc - 1; ++i) {
        const std::string clip = argv[i];
        const auto slash = clip.rfind('/');
        const std::string name = slash == std::string::npos ? clip : clip.substr(slash + 1);
        const auto dot = name.rfind('.');
        if (dot == std::string::npos) continue;
        const std::string stem = name.substr(0, dot), ext = name.substr(dot + 1);
        for (const vvtest::Variant& v : vvtest::DamagedVariants(vvtest::ReadFile(clip), ext)) {
            if (v.data.empty()) continue;
            vvtest::WriteFile(outDir + "/" + stem + "." + v.name + "." + ext, v.data);
            ++written;
        }
    }
    std::printf("%d\n", written);
    return 0;
}
