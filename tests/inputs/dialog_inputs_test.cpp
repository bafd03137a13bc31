// The input list and the output folder, driven through the real window, with the file
// and folder dialogs answered by the tests.
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>
#include <wx/dirdlg.h>
#include <wx/dnd.h>
#include <wx/msgdlg.h>
#include <wx/filedlg.h>
#include <wx/listctrl.h>
#include <wx/testing.h>
#include <wx/textctrl.h>
#include <wx/uiaction.h>

#include "../helpers/gui_util.h"
#include "../helpers/message_boxes.h"
#include "../helpers/dialog_peer.h"
#include "../helpers/dialog_fixture.h"
#include "app/CMorvenDlg.h"
#include "inputs/input_files.h"
#include "platform/narrow.h"
#include "platform/toolkit.h"

using namespace std::chrono_literals;

namespace {

struct ShownOpen {
    wxString wildcard, title;
    int filterIndex = -1;
    bool multiple = true;
};

// Answers the file-open dialog and notes what it was shown with.
class AnswerOpen : public wxExpectModalBase<wxFileDialog> {
public:
    explicit AnswerOpen(const wxString& path, int id = wxID_OK, ShownOpen* shown = nullptr)
        : path_(path), id_(id), shown_(shown) {}

protected:
    int OnInvoked(wxFileDialog* dlg) const override {
        if (shown_) {
            shown_->wildcard = dlg->GetWildcard();
            shown_->title = dlg->GetMessage();
            shown_->filterIndex = dlg->GetFilterIndex();
            shown_->multiple = dlg->HasFlag(wxFD_MULTIPLE);
        }
        if (id_ == wxID_OK) dlg->SetPath(path_);
        return id_;
    }

private:
    wxString path_;
    int id_;
    ShownOpen* shown_;
};

class AnswerFolder : public wxExpectModalBase<wxDirDialog> {
public:
    AnswerFolder(const wxString& path, int id = wxID_OK, wxString* title = nullptr)
        : path_(path), id_(id), title_(title) {}

protected:
    int OnInvoked(wxDirDialog* dlg) const override {
        if (title_) *title_ = dlg->GetMessage();
        if (id_ == wxID_OK) {
            dlg->SetPath(path_);
            dlg->wxDirDialogBase::SetPath(path_);  // GTK's chooser would settle it only once shown
        }
        return id_;
    }

private:
    wxString path_;
    int id_;
    wxString* title_;
};

class InputsTest : public guitest::DialogFixture {
protected:

    // The file dialog hands back existing files only: the tests' files are made here.
    wxString File(const char* name) {
        const auto path = dir_ / name;
        std::ofstream(path) << "x";
        return platform::FromNarrow(path.string());
    }
    void Add(const char* name) {
        const wxString path = File(name);
        wxTEST_DIALOG(guitest::Press(dlg_, IDC_ADD), AnswerOpen(path));
    }
    void AddRows(std::initializer_list<const char*> paths) {
        for (const char* p : paths) Add(p);
    }
    // A column's texts, paths shown by their file name.
    std::vector<wxString> Column(int col) const {
        std::vector<wxString> out;
        for (int i = 0; i < Peer(dlg_).m_list.Count(); ++i) {
            const wxString text = col == 0 ? Peer(dlg_).m_list.Path(i) : Peer(dlg_).m_list.Status(i);
            out.push_back(col == 0 ? text.AfterLast('/') : text);
        }
        return out;
    }
    void Pick(int row) {
        guitest::ClickRow(Peer(dlg_).m_list, row);
        ASSERT_TRUE(guitest::WaitUntil([&] { return Peer(dlg_).m_nSelectedRow == row; }, 3s))
            << "clicked row " << row << ", selected row is " << Peer(dlg_).m_nSelectedRow;
    }
    void CtrlPick(int row) {
        guitest::ClickRow(Peer(dlg_).m_list, row, true);
        ASSERT_TRUE(guitest::WaitUntil([&] { return SelectedNames().size() == 2; }, 3s)) << SelectedNames().size();
    }
    // The file names of the rows the list shows selected, top first.
    std::vector<wxString> SelectedNames() const {
        std::vector<wxString> out;
        for (int row : Peer(dlg_).m_list.SelectedRows()) out.push_back(Peer(dlg_).m_list.Path(row).AfterLast('/'));
        return out;
    }
};

using Rows = std::vector<wxString>;

}  // namespace

TEST_F(InputsTest, AddedFilesGoOnTopWithAnEmptyStatus) {
    ShownOpen shown;
    const wxString a = File("A.avi");
    wxTEST_DIALOG(guitest::Press(dlg_, IDC_ADD), AnswerOpen(a, wxID_OK, &shown));
    EXPECT_EQ(shown.wildcard, platform::FromNarrow(inputs::CaseInsensitiveWildcard(inputs::InputWildcard())));
    EXPECT_EQ(shown.title, wxString::FromUTF8("选择打开的文件"));
    EXPECT_EQ(shown.filterIndex, 0);
    EXPECT_FALSE(shown.multiple);
    EXPECT_EQ(Peer(dlg_).m_list.Path(0), a);  // the full path, as chosen
    AddRows({"B.avi", "中文 视频.avi", "中文 视频.avi"});
    EXPECT_EQ(Column(0),
              (Rows{wxString::FromUTF8("中文 视频.avi"), wxString::FromUTF8("中文 视频.avi"), "B.avi", "A.avi"}));
    EXPECT_EQ(Column(1), (Rows{"", "", "", ""}));

    wxTEST_DIALOG(guitest::Press(dlg_, IDC_ADD), AnswerOpen("", wxID_CANCEL));
    EXPECT_EQ(Peer(dlg_).m_list.Count(), 4);
}

TEST_F(InputsTest, DeleteActsOnTheRowPickedWithTheMouse) {
    AddRows({"4", "3", "2", "1", "0"});
    guitest::Press(dlg_, IDC_DELETE);  // nothing picked yet
    EXPECT_EQ(Peer(dlg_).m_list.Count(), 5);

    Pick(2);
    guitest::Press(dlg_, IDC_DELETE);
    guitest::Press(dlg_, IDC_DELETE);
    EXPECT_EQ(Column(0), (Rows{"0", "1", "4"}));

    // A click on empty space picks nothing.
    guitest::ClickBelowRows(Peer(dlg_).m_list);
    ASSERT_TRUE(guitest::WaitUntil([&] { return Peer(dlg_).m_nSelectedRow == -1; }, 3s)) << Peer(dlg_).m_nSelectedRow;
    guitest::Press(dlg_, IDC_DELETE);
    EXPECT_EQ(Peer(dlg_).m_list.Count(), 3);
}

TEST_F(InputsTest, KeyboardSelectionPicksWhatTheButtonsActOn) {
    // Without the pointer, the arrow keys pick the row that delete and move act on.
    AddRows({"2", "1", "0"});
    Pick(0);
    Peer(dlg_).m_list.Window()->SetFocus();
    guitest::Yield();
    wxUIActionSimulator().Char(WXK_DOWN);
    guitest::Yield(10);
    wxUIActionSimulator().Char(WXK_DOWN);
    guitest::Yield(10);
    EXPECT_EQ(Peer(dlg_).m_nSelectedRow, 2);
    guitest::Press(dlg_, IDC_DELETE);
    EXPECT_EQ(Column(0), (Rows{"0", "1"}));
}

TEST_F(InputsTest, MovesCarryBothColumnsAndStopAtTheEnds) {
    AddRows({"2", "1", "0"});
    Peer(dlg_).m_list.SetStatus(1, "45%");
    Pick(1);

    guitest::Press(dlg_, IDC_MOVE_UP);
    EXPECT_EQ(Column(0), (Rows{"1", "0", "2"}));
    EXPECT_EQ(Column(1), (Rows{"45%", "", ""}));
    EXPECT_EQ(Peer(dlg_).m_nSelectedRow, 0);
    EXPECT_EQ(Peer(dlg_).m_list.SelectedRow(), 0);

    guitest::Press(dlg_, IDC_MOVE_UP);  // already on top
    EXPECT_EQ(Column(0), (Rows{"1", "0", "2"}));

    guitest::Press(dlg_, IDC_MOVE_DOWN);
    guitest::Press(dlg_, IDC_MOVE_DOWN);
    EXPECT_EQ(Column(0), (Rows{"0", "2", "1"}));
    EXPECT_EQ(Column(1), (Rows{"", "", "45%"}));
    EXPECT_EQ(Peer(dlg_).m_nSelectedRow, 2);
    guitest::Press(dlg_, IDC_MOVE_DOWN);  // already at the bottom
    EXPECT_EQ(Column(0), (Rows{"0", "2", "1"}));
    guitest::Yield();
    EXPECT_TRUE(Peer(dlg_).m_list.Window()->HasFocus() ||
                Peer(dlg_).m_list.Window()->IsDescendant(wxWindow::FindFocus()));
}

TEST_F(InputsTest, MovesLeaveTheOtherRowsSelectionAsItWas) {
    AddRows({"3", "2", "1", "0"});
    Pick(0);
    CtrlPick(2);
    EXPECT_EQ(Peer(dlg_).m_nSelectedRow, 0);  // the topmost of the two

    guitest::Press(dlg_, IDC_MOVE_DOWN);
    EXPECT_EQ(Column(0), (Rows{"1", "0", "2", "3"}));
    EXPECT_EQ(SelectedNames(), (Rows{"0", "2"}));
    guitest::Press(dlg_, IDC_MOVE_DOWN);  // past the other selected row, which moves up
    EXPECT_EQ(Column(0), (Rows{"1", "2", "0", "3"}));
    EXPECT_EQ(SelectedNames(), (Rows{"2", "0"}));
    guitest::Press(dlg_, IDC_MOVE_UP);
    guitest::Press(dlg_, IDC_MOVE_UP);
    EXPECT_EQ(Column(0), (Rows{"0", "1", "2", "3"}));
    EXPECT_EQ(SelectedNames(), (Rows{"0", "2"}));
    EXPECT_EQ(Peer(dlg_).m_nSelectedRow, 0);
}

TEST_F(InputsTest, PickedRowFollowsItsFileOnAddAndKeepsItsPlaceOnClear) {
    AddRows({"b", "a"});
    Pick(1);  // "b"
    Add("new");
    EXPECT_EQ(Peer(dlg_).m_nSelectedRow, 2);
    guitest::Press(dlg_, IDC_DELETE);
    EXPECT_EQ(Column(0), (Rows{"new", "a"}));

    Pick(0);
    guitest::Press(dlg_, IDC_CLEAR);
    EXPECT_EQ(Peer(dlg_).m_list.Count(), 0);
    EXPECT_EQ(Peer(dlg_).m_nSelectedRow, 0);
    guitest::Press(dlg_, IDC_MOVE_UP);  // no row to move
    guitest::Press(dlg_, IDC_MOVE_DOWN);
    EXPECT_EQ(Peer(dlg_).m_nSelectedRow, 0);
    // "y" comes into the picked place, and is followed from there as "x" goes on top.
    AddRows({"y", "x"});
    guitest::Press(dlg_, IDC_DELETE);
    EXPECT_EQ(Column(0), (Rows{"x"}));
}

TEST_F(InputsTest, FolderBrowserFillsTheOutputDirectory) {
    wxTextCtrl* edit = Peer(dlg_).OutputDirEdit();
    edit->SetValue("/typed/by hand");
    wxString title;
    wxTEST_DIALOG(guitest::Press(dlg_, IDC_SET_OUTPUT_DIR), AnswerFolder("", wxID_CANCEL, &title));
    EXPECT_EQ(edit->GetValue(), "/typed/by hand");
    EXPECT_EQ(title, wxString::FromUTF8("请选择要打开的文件夹:"));

    wxTEST_DIALOG(guitest::Press(dlg_, IDC_SET_OUTPUT_DIR), AnswerFolder("/tmp"));
    EXPECT_EQ(edit->GetValue(), "/tmp");
    wxTEST_DIALOG(guitest::Press(dlg_, IDC_SET_OUTPUT_DIR), AnswerFolder("/"));
    EXPECT_EQ(edit->GetValue(), "/");
}

TEST_F(InputsTest, FilesDroppedOnTheListGoOnTopAsOneBlock) {
    AddRows({"old2.avi", "old1.avi"});
    Pick(1);  // "old2.avi"
    const std::filesystem::path folder = dir_ / "folder";
    std::filesystem::create_directories(folder / "inner");
    for (const char* name : {"c.mp4", "a.AVI", "notes.txt", "inner/deep.avi"}) std::ofstream(folder / name) << "x";
    const wxArrayString drop = [&] {
        wxArrayString names;
        for (const char* name : {"b.wmv", "readme.txt"}) names.Add(File(name));
        names.Insert(File("first.flv"), 0);
        names.Insert(platform::FromNarrow(folder.string()), 2);
        return names;
    }();  // first.flv, b.wmv, the folder, readme.txt

    wxDropTarget* target = Peer(dlg_).m_list.Window()->GetDropTarget();
    ASSERT_NE(target, nullptr);
    wxString message;
    wxTEST_DIALOG(EXPECT_TRUE(static_cast<wxFileDropTarget*>(target)->OnDropFiles(10, 10, drop)), AnswerBox(wxID_OK, &message));
    EXPECT_EQ(Column(0), (Rows{"first.flv", "b.wmv", "a.AVI", "c.mp4", "old1.avi", "old2.avi"}));
    EXPECT_EQ(Column(1), (Rows{"", "", "", "", "", ""}));
    EXPECT_EQ(message, wxString::FromUTF8("以下文件不是支持的视频格式：\n") + File("readme.txt"));
    guitest::Press(dlg_, IDC_DELETE);  // the picked row still names "old2.avi"
    EXPECT_EQ(Column(0).back(), "old1.avi");

    // During a run the drop is refused, as the add button is then.
    dlg_->FindWindow(IDC_ADD)->Disable();
    EXPECT_FALSE(static_cast<wxFileDropTarget*>(target)->OnDropFiles(10, 10, wxArrayString(1, &drop[0])));
    EXPECT_EQ(Peer(dlg_).m_list.Count(), 5);
}

TEST(StartFiles, FilesOnTheCommandLineStartInTheListAndWrongNamesAreReported) {
    const testutil::TempFolder dir("tolvani-start");
    for (const char* name : {"a.avi", "b.mp4"}) std::ofstream(dir / name) << "x";
    const std::string missing = (dir / "missing.avi").string();
    auto* d = new CMorvenDlg(nullptr, {(dir / "a.avi").string(), (dir / "b.mp4").string(), missing});
    wxString message;
    wxTEST_DIALOG(
        {
            d->Show();
            guitest::Yield(10);
        },
        AnswerBox(wxID_OK, &message));
    ASSERT_EQ(Peer(d).m_list.Count(), 2);
    EXPECT_EQ(Peer(d).m_list.Path(0), platform::FromNarrow((dir / "a.avi").string()));
    EXPECT_EQ(Peer(d).m_list.Path(1), platform::FromNarrow((dir / "b.mp4").string()));
    EXPECT_EQ(message, wxString::FromUTF8("以下名称不是文件：\n") + platform::FromNarrow(missing));
    d->Destroy();
    guitest::Yield();
}

namespace {

// Names as Linux file systems hold them when they do not come from a UTF-8 system: "视频"
// in GBK (from an archive made on Chinese Windows) and "café" in Latin-1.
const std::string kGbk = "\xca\xd3\xc6\xb5.avi", kLatin1 = "caf\xe9.mp4";

// A name as the toolkit's file dialogs and drops give it.
wxString ToolkitName(const std::string& bytes) { return wxString(bytes.c_str(), *wxConvFileName); }

}  // namespace

TEST_F(InputsTest, NamesThatAreNotUtf8ArriveExactlyByEveryWay) {
    const std::filesystem::path folder = dir_ / "folder";
    std::filesystem::create_directories(folder);
    for (const std::string& name : {kGbk, kLatin1}) {
        std::ofstream(dir_ / name) << "x";
        std::ofstream(folder / name) << "x";
    }
    const std::string gbk = (dir_ / kGbk).string(), latin1 = (dir_ / kLatin1).string();

    // The add dialog.
    wxTEST_DIALOG(guitest::Press(dlg_, IDC_ADD), AnswerOpen(ToolkitName(gbk)));
    // A drop of a file and of a folder that holds both.
    wxDropTarget* target = Peer(dlg_).m_list.Window()->GetDropTarget();
    ASSERT_NE(target, nullptr);
    wxArrayString drop;
    drop.Add(ToolkitName(latin1));
    drop.Add(ToolkitName(folder.string()));
    EXPECT_TRUE(static_cast<wxFileDropTarget*>(target)->OnDropFiles(10, 10, drop));

    const std::vector<std::string> expected = {latin1, (folder / kLatin1).string(), (folder / kGbk).string(), gbk};
    ASSERT_EQ(Peer(dlg_).m_list.Count(), 4);
    for (long row = 0; row < 4; ++row) {
        const wxString shown = Peer(dlg_).m_list.Path(static_cast<int>(row));
        EXPECT_EQ(platform::ToNarrow(shown), expected[static_cast<std::size_t>(row)]) << row;
        // Shown as far as it can be: the folder and the extension as they are, a mark for
        // each byte that is no UTF-8 text.
        EXPECT_TRUE(shown.StartsWith(platform::FromNarrow(dir_.string()))) << row;
        EXPECT_TRUE(shown.EndsWith(row < 2 ? ".mp4" : ".avi")) << row;
        EXPECT_EQ(shown.Freq(wxUniChar(0x1000E9)) + shown.Freq(wxUniChar(0x1000CA)), 1) << row;
    }
}

TEST(StartFiles, EveryArgumentIsAFileNameWhateverItsBytesOrLooks) {
    const testutil::TempFolder dir("tolvani-args");
    const std::vector<std::string> names = {"--name=x.avi", "--display=y.avi", "--", kGbk, kLatin1};
    for (const std::string& name : names) std::ofstream(dir / name) << "x";
    // Relative names, as a shell in that folder passes them; the first "--" only ends the
    // options, a second is a name.
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    std::vector<std::string> argv = {"tolvani", "--name=x.avi", "--", "--display=y.avi", "--", kGbk, kLatin1};
    std::vector<char*> args;
    for (std::string& a : argv) args.push_back(a.data());
    const std::vector<std::string> files = platform::FileArguments(static_cast<int>(args.size()), args.data());
    EXPECT_EQ(files, (std::vector<std::string>{"--name=x.avi", "--display=y.avi", "--", kGbk, kLatin1}));

    auto* d = new CMorvenDlg(nullptr, files);
    wxString message;
    wxTEST_DIALOG(
        {
            d->Show();
            guitest::Yield(10);
        },
        AnswerBox(wxID_OK, &message));
    EXPECT_EQ(message, wxString::FromUTF8("以下文件不是支持的视频格式：\n--"));
    std::vector<std::string> listed;
    for (long row = 0; row < Peer(d).m_list.Count(); ++row) {
        listed.push_back(platform::ToNarrow(Peer(d).m_list.Path(static_cast<int>(row))));
    }
    EXPECT_EQ(listed, (std::vector<std::string>{"--name=x.avi", "--display=y.avi", kGbk, kLatin1}));
    d->Destroy();
    guitest::Yield();
    std::filesystem::current_path(before);
}
