#pragma once
#include "note.h"
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
// playable output, unless a file stood at the output path when the conversion began: that
// file is kept as it was then, and the unfinished output is discarded. The output never
// replaces a file that took its name during the conversion: it goes to a free name beside
// it, with a note. An output clearly shorter than the input declares gets a note too.
//
// How the conversion runs. Each encoder gets the same frames, in the same order, any way.
enum class StageThreads { kEach, kOne };
struct Tuning {
    // The stages (reading, the video's decoding, filters and encoding, the sound's path,
    // writing) run each on a thread of its own, or all on the calling thread, one packet
    // after another.
    StageThreads threads = StageThreads::kEach;
    // Every picture is decoded, also those the frame-rate conversion leaves out and no
    // other picture is predicted from (see drop_forecast.h).
    bool decodeEveryPicture = false;
    // At the end, an account of where the time went goes to standard error: each stage's
    // processor time, its waits for input and for room after it, and its thread switches.
    bool account = false;
};
struct Ending {
    int stop = 0;            // the stop signal's number; 0 when the input was read to its end
    bool discarded = false;  // stopped: the unfinished output went, the file standing there stays
};
Ending Transcode(const Options& options, ProgressWriter& progress, Tuning tuning = {});

// The environment variables that, set to 1, run every stage on one thread, decode every
// picture, and print the stage account (for measurements and the tests that compare the
// ways).
inline constexpr const char* kOneThreadVariable = "TOLVANI_VV_ONE_THREAD";
inline constexpr const char* kDecodeEveryPictureVariable = "TOLVANI_VV_DECODE_EVERY_PICTURE";
inline constexpr const char* kStageAccountVariable = "TOLVANI_VV_STAGE_ACCOUNT";

}  // namespace vv
