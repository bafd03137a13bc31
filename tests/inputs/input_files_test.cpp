#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

#include "inputs/input_files.h"
#include "platform/utf8_path.h"
#include "../helpers/temp_folder.h"

TEST(InputFilters, AreTheEightEntriesExactlyAsWrittenThenTodaysContainersAndAllFiles) {
    EXPECT_EQ(inputs::InputWildcard(),
              " ALL Files|*.RM;*.RMVB;*.rm;*.rmvb;0*.AVI;*.avi;*.WMV;*.ASF;*.wmv;*.asf;*.MPG;*.mpg;*.MPEG;"
              "*.mpeg;*.mp4;*.MP4;*.3GP;*.3GPP2;*.3gp;*.3g2;*.swf:*.flv;*.SWF;*.FLV;"
              "| Real文件|*.RM;*.RMVB;*.rm;*.rmvb"
              "| AVI|*.AVI;*.avi"
              "| Windows媒体文件|*.WMV;*.ASF;*.wmv;*.asf"
              "| MPEG文件|*.MPG;*.mpg;*.MPEG;*.mpeg"
              "| MP4文件|*.mp4;*.MP4"
              "| 3gp文件|*.3GP;*.3GPP2;*.3gp;*.3g2"
              "| flash文件|*.swf:*.flv;*.SWF;*.FLV"
              "| QuickTime文件|*.MOV;*.mov;*.QT;*.qt"
              "| Matroska文件|*.MKV;*.mkv"
              "| WebM文件|*.WEBM;*.webm"
              "| M4V文件|*.M4V;*.m4v"
              "| MPEG-TS/AVCHD文件|*.TS;*.ts;*.MTS;*.mts;*.M2TS;*.m2ts"
              "| OGV文件|*.OGV;*.ogv"
              "| 所有文件|*");
}

TEST(InputFilters, WideningMakesMasksCaseBlindAndLeavesDescriptionsAlone) {
    EXPECT_EQ(inputs::CaseInsensitiveWildcard(" AVI|*.AVI;*.avi| MP4文件|*.mp4"),
              " AVI|*.[aA][vV][iI];*.[aA][vV][iI]| MP4文件|*.[mM][pP]4");
    EXPECT_EQ(inputs::CaseInsensitiveWildcard(" x|0*.AVI;*.3g2;*.swf:*.flv;"),
              " x|0*.[aA][vV][iI];*.3[gG]2;*.[sS][wW][fF]:*.[fF][lL][vV];");
}

TEST(OutputFolder, RootKeepsItsSeparatorOthersHaveNone) {
    EXPECT_EQ(inputs::ChosenFolderText("/"), "/");
    EXPECT_EQ(inputs::ChosenFolderText("/home/u/videos"), "/home/u/videos");
    EXPECT_EQ(inputs::ChosenFolderText("/home/u/videos/"), "/home/u/videos");
}

TEST(HandedFiles, SortedOutAsTheAddButtonWouldTakeThem) {
    namespace fs = std::filesystem;
    const testutil::TempFolder dir("tolvani-handed");
    fs::create_directories(dir / "folder" / "inner");
    for (const char* name : {"z.RMVB", "folder/b.mp4", "folder/A.3G2", "folder/0x.AVI", "folder/notes.txt",
                             "folder/inner/deep.avi", "folder/phone.MOV", "folder/web.webm", "folder/cam.m2ts",
                             "clip.swf", "photo.jpg", "视频 一.wmv", "show.mkv"}) {
        std::ofstream(dir / platform::PathFromUtf8(name)) << "x";
    }
    const auto in = [&](const char* name) {
        return platform::Utf8((dir / platform::PathFromUtf8(name)).make_preferred());
    };
    const inputs::HandedFiles sorted = inputs::SortHandedFiles(
        {in("z.RMVB"), in("folder"), in("photo.jpg"), in("missing.avi"), in("视频 一.wmv"), in("clip.swf"),
         in("show.mkv")});
    EXPECT_EQ(sorted.added,
              (std::vector<std::string>{in("z.RMVB"), in("folder/0x.AVI"), in("folder/A.3G2"), in("folder/b.mp4"),
                                        in("folder/cam.m2ts"), in("folder/phone.MOV"), in("folder/web.webm"),
                                        in("视频 一.wmv"), in("clip.swf"), in("show.mkv")}));
    EXPECT_EQ(sorted.notVideos, std::vector<std::string>{in("photo.jpg")});
    EXPECT_EQ(sorted.notFiles, std::vector<std::string>{in("missing.avi")});
}
