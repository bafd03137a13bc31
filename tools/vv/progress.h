#pragma once
// Writes the conversion's progress, in permille, to progress.txt: a few times a second
// at most, never backwards, and atomically (a new file renamed over the old one), so a
// reader never sees a torn or empty number.
#include <chrono>
#include <string>

namespace vv {

class ProgressWriter {
public:
    explicit ProgressWriter(std::string path, std::chrono::milliseconds interval = std::chrono::milliseconds(250));

    // Reports a value (clamped to 0..999: 1000 is kept for a finished output).
    void Update(int permille);
    // The output is complete: writes 1000 at once.
    void Finish();

private:
    void Write(int permille);

    std::string path_;
    std::chrono::milliseconds interval_;
    std::chrono::steady_clock::time_point last_{};
    int written_ = -1;
};

}  // namespace vv
