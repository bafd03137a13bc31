// Whether an output name is taken, and which file a finished output may replace.
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <sstream>
#include <string>

#include "convert/run_naming.h"
#include "platform/app_path.h"
#include "platform/files.h"
#include "platform/pending_file.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

class FilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::temp_directory_path() / (std::string("tolvani-files-") + test->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(dir_, ec);
    }
    std::string In(const std::string& name) const { return platform::JoinPath(platform::Utf8(dir_), name); }
    static void Write(const std::string& path, const std::string& text) {
        std::ofstream(platform::PathFromUtf8(path), std::ios::binary) << text;
    }
    static std::string Read(const std::string& path) {
        std::ifstream in(platform::PathFromUtf8(path), std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    // Whether a symbolic link could be made (Windows may refuse them to a user).
    static bool Link(const std::string& target, const std::string& at) {
        std::error_code ec;
        fs::create_symlink(platform::PathFromUtf8(target), platform::PathFromUtf8(at), ec);
        return !ec;
    }

    fs::path dir_;
};

TEST_F(FilesTest, ANameIsTakenByAnyEntryWhetherTheUserMayReadItOrNot) {
    struct Kind {
        const char* what;
        std::function<bool(const std::string&)> make;  // false: cannot be made here
    };
    const Kind kinds[] = {
        {"a file", [](const std::string& p) { return Write(p, "x"), true; }},
        {"a folder", [](const std::string& p) { return fs::create_directory(platform::PathFromUtf8(p)); }},
        {"a link that leads nowhere", [this](const std::string& p) { return Link(In("gone"), p); }},
#ifndef _WIN32
        {"a file nobody may read",
         [](const std::string& p) { return Write(p, "x"), ::chmod(p.c_str(), 0) == 0; }},
        {"a FIFO", [](const std::string& p) { return ::mkfifo(p.c_str(), 0600) == 0; }},
#endif
    };
    EXPECT_FALSE(convert::FileExists(In("free.mp4")));
    int n = 0;
    for (const Kind& kind : kinds) {
        const std::string path = In("taken" + std::to_string(++n) + ".mp4");
        if (!kind.make(path)) {
            std::printf("%s cannot be made here: not checked\n", kind.what);
            continue;
        }
        EXPECT_TRUE(convert::FileExists(path)) << kind.what;
        EXPECT_TRUE(platform::PathTaken(path)) << kind.what;
    }
}

TEST_F(FilesTest, AFinishedOutputReplacesOnlyTheEntryThatStoodThereAtTheStart) {
    struct Case {
        const char* what;
        bool linkAtStart;                                       // a dangling link stands there, else a file
        std::function<void(const std::string&)> meanwhile;      // what happens while ours is written
        const char* atName;                                     // what the name holds afterwards
        bool besideIt;                                          // ours went to "NAME (2).EXT"
    };
    const Case cases[] = {
        {"nothing changed", false, [](const std::string&) {}, "ours", false},
        {"the link agreed to is replaced", true, [](const std::string&) {}, "ours", false},
        {"another copy's finished output took the name",
         false,
         [this](const std::string& p) {
             Write(In("other.tmp"), "the other copy's");
             fs::rename(platform::PathFromUtf8(In("other.tmp")), platform::PathFromUtf8(p));
         },
         "the other copy's", true},
        {"the file was removed", false, [](const std::string& p) { fs::remove(platform::PathFromUtf8(p)); }, "ours",
         false},
    };
    int n = 0;
    for (const Case& c : cases) {
        const std::string name = "out" + std::to_string(++n);
        const std::string path = In(name + ".mp4");
        if (c.linkAtStart) {
            if (!Link(In("nowhere"), path)) continue;
        } else {
            Write(path, "the user's");
        }
        platform::PendingFile file(path);
        ASSERT_EQ(file.Problem(), "") << c.what;
        EXPECT_TRUE(file.ReplacesExisting()) << c.what;
        const std::string ours = "ours";
        ASSERT_EQ(file.Write(reinterpret_cast<const std::uint8_t*>(ours.data()), static_cast<int>(ours.size())), 4);
        c.meanwhile(path);
        ASSERT_EQ(file.Commit(), "") << c.what;
        EXPECT_EQ(Read(path), c.atName) << c.what;
        const std::string beside = In(name + " (2).mp4");
        EXPECT_EQ(file.CommittedPath(), c.besideIt ? beside : path) << c.what;
        EXPECT_EQ(platform::PathTaken(beside), c.besideIt) << c.what;
        if (c.besideIt) {
            EXPECT_EQ(Read(beside), "ours") << c.what;
        }
    }
}

}  // namespace
