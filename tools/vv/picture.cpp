#include "picture.h"

#include <cmath>
#include <cstdio>
#include <utility>

#include "av_compat.h"
#include "shape.h"

extern "C" {
#include <libavutil/display.h>
#include <libavutil/pixdesc.h>
}

namespace vv {
namespace {

// The tone mapping of HDR pictures: linear light with 100 cd/m² as SDR's white, the
// BT.709 primaries, then Möbius's curve, which leaves the darks and middle tones as an
// SDR picture of the same scene has them and rolls the highlights off towards the peak
// the input declares (1000 cd/m² when it declares none). Hable's curve darkens the whole
// picture instead (SDR's white comes out at little more than half), which phones' small
// screens make worse. Colours brighter than twice SDR's white fade gently to white.
constexpr const char* kToneMap = "tonemap=tonemap=mobius";
constexpr int kNominalPeak = 100;

// The turn a display matrix gives, clockwise in whole degrees from 0 to 360, as the
// ffmpeg tool reads it.
double TurnOf(const std::int32_t* m) {
    const double angle = av_display_rotation_get(m);
    if (std::isnan(angle)) return 0;
    double theta = -std::round(angle);
    theta -= 360 * std::floor(theta / 360 + 0.9 / 360);
    return theta;
}

// zimg's own names for what the input declares, with what HDR and BT.2020 video is when it
// leaves a tag out.
int Or(int value, int unspecified, int assumed) { return value == unspecified ? assumed : value; }

std::string ZimgInput(const PictureLook& look) {
    const int transfer = Or(look.transfer, AVCOL_TRC_UNSPECIFIED, AVCOL_TRC_BT709);
    const int primaries = Or(look.primaries, AVCOL_PRI_UNSPECIFIED, AVCOL_PRI_BT2020);
    const int matrix = Or(look.matrix, AVCOL_SPC_UNSPECIFIED, AVCOL_SPC_BT2020_NCL);
    return "zscale=tin=" + std::to_string(transfer) + ":pin=" + std::to_string(primaries) +
           ":min=" + std::to_string(matrix) + ":rin=" + (look.range == AVCOL_RANGE_JPEG ? "full" : "limited");
}

// BT.601 as zimg names it, limited range, 8 bits.
constexpr const char* kZimgStandard = "t=bt709:p=bt709:m=170m:r=limited,format=pix_fmts=yuv420p";

}  // namespace

bool PictureLook::Hdr() const { return transfer == AVCOL_TRC_SMPTE2084 || transfer == AVCOL_TRC_ARIB_STD_B67; }

bool PictureLook::Wide() const {
    return primaries == AVCOL_PRI_BT2020 || matrix == AVCOL_SPC_BT2020_NCL || matrix == AVCOL_SPC_BT2020_CL;
}

PictureLook UprightOf(const std::int32_t* m) {
    PictureLook look;
    if (m == nullptr) return look;
    const double theta = TurnOf(m);
    if (std::fabs(theta - 90) < 1.0) {
        look.upright = m[3] > 0 ? "transpose=cclock_flip" : "transpose=clock";
        look.swapsSides = true;
    } else if (std::fabs(theta - 180) < 1.0) {
        if (m[0] < 0) look.upright = "hflip";
        if (m[4] < 0) look.upright += look.upright.empty() ? "vflip" : ",vflip";
    } else if (std::fabs(theta - 270) < 1.0) {
        look.upright = m[3] < 0 ? "transpose=clock_flip" : "transpose=cclock";
        look.swapsSides = true;
    } else if (std::fabs(theta) > 1.0) {
        char turn[64];
        std::snprintf(turn, sizeof turn, "rotate=%f*PI/180", theta);
        look.upright = turn;
    } else if (m[4] < 0) {
        look.upright = "vflip";
    }
    return look;
}

PictureLook LookOf(const AVStream* in) {
    PictureLook look = UprightOf(av::DisplayMatrix(in));
    const AVCodecParameters* p = in->codecpar;
    look.primaries = p->color_primaries;
    look.transfer = p->color_trc;
    look.matrix = p->color_space;
    look.range = p->color_range;
    return look;
}

std::string PictureChain(const PictureLook& look, AVRational rate, int width, int height, AVPixelFormat pix) {
    if (look.swapsSides) std::swap(width, height);  // scaled as stored, then turned
    std::string chain = "fps=fps=" + RatioText(rate) + ",scale=" + std::to_string(width) + ":" + std::to_string(height);
    if (look.Hdr()) {
        chain += ",format=pix_fmts=yuv420p10le," + ZimgInput(look) + ":t=linear:npl=" + std::to_string(kNominalPeak) +
                 ",format=pix_fmts=gbrpf32le,zscale=p=bt709," + kToneMap + ",zscale=" + kZimgStandard;
    } else if (look.Wide()) {
        chain += ",format=pix_fmts=yuv420p10le," + ZimgInput(look) + ":" + kZimgStandard;
    } else {
        // swscale converts the matrix (the frame's own, BT.601 when untagged) and the range.
        chain += ":out_color_matrix=bt601:out_range=tv";
    }
    if (!look.upright.empty()) chain += "," + look.upright;
    return chain + ",format=pix_fmts=" + av_get_pix_fmt_name(pix);
}

void TagColours(const PictureLook& look, AVCodecContext* c) {
    c->colorspace = AVCOL_SPC_SMPTE170M;
    c->color_range = AVCOL_RANGE_MPEG;
    if (look.Hdr() || look.Wide()) {
        c->color_primaries = AVCOL_PRI_BT709;
        c->color_trc = AVCOL_TRC_BT709;
    } else {
        c->color_primaries = look.primaries;
        c->color_trc = look.transfer;
    }
}

}  // namespace vv
