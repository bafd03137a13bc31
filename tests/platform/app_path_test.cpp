#include <gtest/gtest.h>

#include "platform/app_path.h"

TEST(ProgramDirectory, IsTheExecutablesDirectoryWithoutTrailingSeparator) {
    EXPECT_EQ(platform::DirectoryOf("/opt/tolvani/tolvani"), "/opt/tolvani");
    EXPECT_EQ(platform::DirectoryOf("/tolvani"), "");  // root: "" + "/vv.exe" is "/vv.exe"
    EXPECT_EQ(platform::DirectoryOf("tolvani"), "");
    EXPECT_EQ(platform::JoinPath(platform::DirectoryOf("/tolvani"), "vv.exe"), "/vv.exe");

    // No length limit: a deep directory is kept whole.
    const std::string deep = "/" + std::string(400, 'd') + "/" + std::string(300, 'e');
    EXPECT_EQ(platform::DirectoryOf(deep + "/tolvani"), deep);

    const std::string self = platform::ExecutablePath();
    ASSERT_FALSE(self.empty());
    EXPECT_EQ(self.substr(self.rfind('/') + 1), "tolvani_core_tests");
    EXPECT_EQ(platform::ProgramDirectory(), self.substr(0, self.rfind('/')));
}
