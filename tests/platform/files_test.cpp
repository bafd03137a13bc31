// Whether an output name is taken, and which file a finished output may replace.
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <sstream>
#include <string>

#include "convert/contract.h"
#include "convert/run_naming.h"
#include "platform/app_path.h"
#include "platform/files.h"
#include "platform/pending_file.h"
#include "platform/pending_names.h"
#include "platform/private_folder.h"
#include "../helpers/temp_folder.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

class FilesTest : public ::testing::Test {
protected:
    void SetUp() override {
    }
    void TearDown() override {
        std::error_code ec;  // a test may leave the folder unwritable
        fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ec);
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

    testutil::TempFolder dir_{"tolvani-files"};
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

#ifndef _WIN32
// A progress folder as a copy leaves it when it is killed: what it holds, its mode, and
// whether its lock is taken by a copy that still runs.
void PlantFolder(const fs::path& folder, std::initializer_list<const char*> files, fs::perms mode = fs::perms::owner_all) {
    fs::create_directories(folder);
    for (const char* f : files) std::ofstream(folder / f) << "0";
    fs::permissions(folder, mode);
}

TEST_F(FilesTest, StartUpRemovesOnlyProgressFoldersProvedAbandoned) {
    EXPECT_EQ(std::string(platform::kPrivateProgressName), convert::kProgressFileName);
    const fs::path base = dir_ / "runtime";
    fs::create_directories(base);
    PlantFolder(base / "tolvani-1234", {"f"});                                  // the name alone
    PlantFolder(base / "tolvani-999989-mydata", {"thesis.txt"});                 // no lock
    PlantFolder(base / "tolvani-999989-mydat2", {".owner", "thesis.txt"});       // not only ours
    PlantFolder(base / "tolvani-999990-shared", {".owner"}, fs::perms::owner_all | fs::perms::group_all);
    PlantFolder(base / "tolvani-999991-Abc123", {".owner", "progress.txt", "progress.txt.77.tmp"});  // abandoned
    PlantFolder(base / "tolvani-999992-locked", {".owner", "progress.txt"});
    const int held = ::open((base / "tolvani-999992-locked/.owner").c_str(), O_RDONLY);
    ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);  // a copy that still runs
    PlantFolder(dir_ / "elsewhere", {".owner", "progress.txt"});
    fs::create_directory_symlink(dir_ / "elsewhere", base / "tolvani-999993-linked");
    PlantFolder(base / "tolvani-999994-linkin", {"progress.txt"});
    fs::create_symlink(dir_ / "elsewhere/.owner", base / "tolvani-999994-linkin/.owner");
    PlantFolder(base / "tolvani-999995-fifoow", {"progress.txt"});
    ASSERT_EQ(::mkfifo((base / "tolvani-999995-fifoow/.owner").c_str(), 0600), 0);  // hung start-up for ever

    ::setenv("XDG_RUNTIME_DIR", base.c_str(), 1);
    std::string made;
    {
        const platform::PrivateFolder folder;
        made = folder.Path();
        EXPECT_EQ(made.rfind(base.string() + "/tolvani-", 0), 0u) << made;
        EXPECT_TRUE(fs::is_directory(made));
    }
    EXPECT_FALSE(fs::exists(made)) << "a copy removes its own folder";
    ::close(held);
    for (const char* kept : {"tolvani-1234/f", "tolvani-999989-mydata/thesis.txt", "tolvani-999989-mydat2/thesis.txt",
                             "tolvani-999990-shared/.owner", "tolvani-999992-locked/progress.txt",
                             "tolvani-999993-linked", "tolvani-999994-linkin/progress.txt",
                             "tolvani-999995-fifoow/progress.txt"}) {
        EXPECT_TRUE(fs::exists(fs::symlink_status(base / kept))) << kept << " was removed";
    }
    EXPECT_TRUE(fs::exists(dir_ / "elsewhere/progress.txt"));
    EXPECT_FALSE(fs::exists(base / "tolvani-999991-Abc123")) << "an abandoned folder stays";

    // Without XDG_RUNTIME_DIR: a folder of the user's own in the cache, never a shared
    // temporary folder's names.
    ::unsetenv("XDG_RUNTIME_DIR");
    ::setenv("XDG_CACHE_HOME", (dir_ / "cache").c_str(), 1);
    ::setenv("TMPDIR", base.c_str(), 1);
    PlantFolder(base / "tolvani-999996-intmp", {".owner", "progress.txt"});
    {
        const platform::PrivateFolder folder;
        EXPECT_EQ(folder.Path().rfind((dir_ / "cache/tolvani/tolvani-").string(), 0), 0u) << folder.Path();
        EXPECT_EQ(fs::status(dir_ / "cache/tolvani").permissions(), fs::perms::owner_all);
    }
    EXPECT_TRUE(fs::exists(base / "tolvani-999996-intmp/progress.txt"));
    ::unsetenv("XDG_CACHE_HOME");
    ::unsetenv("TMPDIR");
}

TEST_F(FilesTest, LeftPartFilesGoOnlyWhenNoProcessHasThemOpenForWriting) {
    const std::string dir = platform::Utf8(dir_);
    const unsigned long gone = 999'999;  // a process id no process has here
    ASSERT_FALSE(platform::ProcessRuns(gone));
    const std::string left = In(platform::HiddenPartName("a.mp4", gone, 0, 255, platform::NameUnits::kBytes));
    const std::string open = In(platform::HiddenPartName("b.mp4", gone, 0, 255, platform::NameUnits::kBytes));
    const std::string mine = In(platform::HiddenPartName("c.mp4", ::getpid(), 0, 255, platform::NameUnits::kBytes));
    for (const std::string& p : {left, open, mine}) Write(p, "part");
    std::ofstream writer(open, std::ios::app);  // another writer, one that takes no lock
    ASSERT_TRUE(writer.is_open());
    platform::RemoveLeftPartFiles(dir);
    EXPECT_TRUE(fs::exists(open)) << "a file open for writing was removed";
    EXPECT_TRUE(fs::exists(mine)) << "a running writer's file was removed";
    if (fs::exists(left)) {
        std::printf("this file system grants no read leases: left files stay here\n");
    }
    writer.close();
    platform::RemoveLeftPartFiles(dir);
    EXPECT_EQ(fs::exists(open), fs::exists(left));
}
#endif

}  // namespace
