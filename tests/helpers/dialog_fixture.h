#pragma once
// The main window as a window test starts it: shown on top with its events done, its run
// log and output folder (out/) in the test's own folder, in/ beside them for inputs; closed
// and destroyed at the end, as the user's close does.
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <wx/textctrl.h>

#include "app/CMorvenDlg.h"
#include "dialog_peer.h"
#include "gui_util.h"
#include "platform/narrow.h"
#include "temp_folder.h"

namespace guitest {

class DialogFixture : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(dir_ / "in");
        std::filesystem::create_directories(dir_ / "out");
        ::setenv("XDG_STATE_HOME", (dir_ / "state").c_str(), 1);  // the run log stays with the test
        dlg_ = new CMorvenDlg();  // a top-level window: Destroy() frees it
        dlg_->Show();
        dlg_->Raise();
        Yield();
        Peer(dlg_).OutputDirEdit()->SetValue(platform::FromNarrow((dir_ / "out").string()));
    }
    void TearDown() override {
        dlg_->Close();
        dlg_->Destroy();
        Yield();
    }

    testutil::TempFolder dir_{"tolvani-window"};
    CMorvenDlg* dlg_ = nullptr;
};

}  // namespace guitest
