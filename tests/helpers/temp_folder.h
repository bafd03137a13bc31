// A test's own folder in the system's temporary folder: named after a tag, the test
// program's process and the running test, empty at the start, removed with all it holds at
// the end. It is a path: `folder / "out"` names a file in it.
#pragma once

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <system_error>
#include <unistd.h>

namespace testutil {

class TempFolder : public std::filesystem::path {
public:
    explicit TempFolder(const std::string& tag)
        : std::filesystem::path(std::filesystem::temp_directory_path() / (tag + "-" + std::to_string(::getpid()) + TestPart())) {
        std::filesystem::remove_all(*this);
        std::filesystem::create_directories(*this);
    }
    ~TempFolder() {
        std::error_code ignored;  // a folder a test made unreadable is left, not thrown over
        std::filesystem::remove_all(*this, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

private:
    // "-NAME" of the running test ("Case/0" of a parameterised one as "Case_0"), else nothing.
    static std::string TestPart() {
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        if (info == nullptr) return {};
        std::string name = std::string("-") + info->name();
        std::replace(name.begin(), name.end(), '/', '_');
        return name;
    }
};

}  // namespace testutil
