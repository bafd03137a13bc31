#pragma once
#include "progress.h"
#include "vv_options.h"

namespace vv {

// Converts options.input into options.output: one video and one audio stream at most,
// each decoded, filtered (frame rate, size, pixel format; sample rate, channels, sample
// format) and encoded as the options say, into the container the output's extension
// names. Reports progress as it goes.
//
// Damaged input is converted as far as it can be: undecodable packets are skipped,
// timestamps are kept on one course, and the conversion fails only when nothing usable
// comes out. The output appears at its name only when it is finished; on failure the
// file standing there is left untouched. Throws VvError on failure.
//
// A stop signal (see stop.h) ends the reading; what was converted is finished into a
// playable output, and the signal's number is returned (0 when the input was read to
// its end).
int Transcode(const Options& options, ProgressWriter& progress);

// Prints a line "vv.exe: note: TEXT" on standard error: a setting was changed.
void PrintNote(const std::string& text);

}  // namespace vv
