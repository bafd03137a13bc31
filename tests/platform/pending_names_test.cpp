// The names a file being written uses beside its final name.
#include <gtest/gtest.h>

#include "platform/pending_names.h"

using namespace platform;

TEST(PendingNames, FitTheFoldersLimitWithoutSplittingACharacterAndAreKnownAgain) {
    const std::string base = "视频 clip.mp4";  // 6 bytes of Chinese (2 UTF-16 units), then 9 more
    EXPECT_EQ(HiddenPartName(base, 4242, 3, 255, NameUnits::kBytes), ".视频 clip.mp4.vv-4242-3.part");
    EXPECT_EQ(HiddenPartOwner(".视频 clip.mp4.vv-4242-3.part"), 4242u);

    // A name at the limit: its hidden name leaves out what does not fit, whole characters only.
    const std::string tail = ".vv-4242-3.part";  // with the leading dot, 16
    for (std::size_t limit = 16; limit <= 16 + 15; ++limit) {
        const std::string bytes = HiddenPartName(base, 4242, 3, limit, NameUnits::kBytes);
        EXPECT_LE(bytes.size(), limit);
        EXPECT_TRUE(bytes.ends_with(tail));
        EXPECT_TRUE(base.starts_with(bytes.substr(1, bytes.size() - 1 - tail.size())));  // no broken character
        EXPECT_EQ(HiddenPartOwner(bytes), 4242u) << bytes;
        const std::string units = HiddenPartName(base, 4242, 3, limit, NameUnits::kUtf16);
        EXPECT_LE(NameLength(units, NameUnits::kUtf16), limit);
    }
    EXPECT_EQ(HiddenPartName(base, 4242, 3, 19, NameUnits::kBytes), ".视.vv-4242-3.part");  // not ".视\xe9\xa2"
    EXPECT_EQ(HiddenPartName(base, 4242, 3, 19, NameUnits::kUtf16), ".视频 .vv-4242-3.part");
    EXPECT_EQ(NameLength("a视😀", NameUnits::kUtf16), 4u);  // beyond the basic plane: two units

    // Names that are not hidden files of vv.exe.
    for (const char* other : {"clip.mp4", ".clip.part", ".x.vv-.part", ".x.vv-12.part", ".x.vv-1a-2.part",
                              ".vv-12-3.part", ".x.vv-12-.part"}) {
        EXPECT_EQ(HiddenPartOwner(other), 0u) << other;
    }

    // Free names beside a taken one, cut the same way.
    EXPECT_EQ(NumberedName("clip.mp4", 2, 255, NameUnits::kBytes), "clip (2).mp4");
    EXPECT_EQ(NumberedName("noext", 3, 255, NameUnits::kBytes), "noext (3)");
    EXPECT_EQ(NumberedName(".hidden", 2, 255, NameUnits::kBytes), ".hidden (2)");
    EXPECT_EQ(NumberedName("视频视频.mp4", 2, 14, NameUnits::kBytes), "视频 (2).mp4");
}
