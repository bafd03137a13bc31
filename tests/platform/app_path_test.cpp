#include <filesystem>
#include <gtest/gtest.h>

#include "platform/app_path.h"
#include "platform/files.h"

namespace fs = std::filesystem;

TEST(ProgramDirectory, IsTheExecutablesDirectoryWithoutTrailingSeparator) {
    EXPECT_EQ(platform::DirectoryOf("/opt/tolvani/tolvani"), "/opt/tolvani");
    EXPECT_EQ(platform::DirectoryOf("/tolvani"), "");  // root: "" + "/vv.exe" is "/vv.exe"
    EXPECT_EQ(platform::DirectoryOf("tolvani"), "");
    EXPECT_EQ(platform::JoinPath(platform::DirectoryOf("/tolvani"), "vv.exe"),
              std::string(1, platform::kPathSeparator) + "vv.exe");

    // No length limit: a deep directory is kept whole.
    const std::string deep = "/" + std::string(400, 'd') + "/" + std::string(300, 'e');
    EXPECT_EQ(platform::DirectoryOf(deep + "/tolvani"), deep);

    if (platform::IsPathSeparator('\\')) {  // Windows: both separators, and a drive's root
        EXPECT_EQ(platform::DirectoryOf("C:\\Tolvani\\tolvani.exe"), "C:\\Tolvani");
        EXPECT_EQ(platform::DirectoryOf("C:\\Tolvani/sub\\tolvani.exe"), "C:\\Tolvani/sub");
        EXPECT_EQ(platform::JoinPath(platform::DirectoryOf("C:\\tolvani.exe"), "vv.exe"), "C:\\vv.exe");
    }

    const std::string self = platform::ExecutablePath();
    ASSERT_FALSE(self.empty());
    const fs::path path = platform::PathFromUtf8(self);
    EXPECT_EQ(path.stem(), "tolvani_core_tests");
    EXPECT_EQ(platform::ProgramDirectory(), platform::Utf8(path.parent_path()));
}
