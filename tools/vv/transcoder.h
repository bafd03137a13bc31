#pragma once
#include "progress.h"
#include "vv_options.h"

namespace vv {

// Converts options.input into options.output: one video and one audio stream at most,
// each decoded, filtered (frame rate, size, pixel format; sample rate, channels, sample
// format) and encoded as the options say, into the container the output's extension
// names. Reports progress as it goes. Throws VvError on any failure; the incomplete
// output is then removed.
void Transcode(const Options& options, ProgressWriter& progress);

}  // namespace vv
