// The window as a screen reader reads it (AT-SPI, through a reader in another process)
// and as the keyboard alone drives it: the input list's rows with their statuses and
// reasons, the About button and dialog, and the tab order. Run with the accessibility
// bus (helpers/with_a11y.sh).
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <sstream>
#include <thread>
#include <unistd.h>
#include <wx/modalhook.h>
#include <wx/msgdlg.h>
#include <wx/testing.h>
#include <wx/textctrl.h>

#include "../helpers/dialog_peer.h"
#include "../helpers/gui_util.h"
#include "../helpers/dialog_fixture.h"
#include "app/CMorvenDlg.h"
#include "platform/narrow.h"
#include "skin/CControlButton.h"
#include "skin/Dg3.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {


// Texts as the reader writes them: tabs, newlines and backslashes escaped.
std::string Escaped(const wxString& text) {
    std::string out;
    for (char c : text.utf8_string()) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\t')
            out += "\\t";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

// What a window shows on the screen, as the display server has it (ImageMagick's import;
// an empty image without it).
wxImage OnScreen(wxWindow* window) {
    const wxRect rect = window->GetScreenRect();
    const std::string file =
        (fs::temp_directory_path() / ("tolvani-a11y-shot-" + std::to_string(::getpid()) + ".png")).string();
    const std::string cmd = "import -window root -crop " + std::to_string(rect.width) + "x" +
                            std::to_string(rect.height) + "+" + std::to_string(rect.x) + "+" + std::to_string(rect.y) +
                            " '" + file + "' 2>/dev/null";
    wxImage image;
    if (std::system(cmd.c_str()) == 0) image.LoadFile(file, wxBITMAP_TYPE_PNG);
    fs::remove(file);
    return image;
}

// Runs the reader on this program's tree and returns its lines. The window keeps answering
// the reader's questions meanwhile: they arrive as events.
std::vector<std::string> ReadTree(const std::string& what) {
    std::atomic<bool> done = false;
    std::string out;
    std::thread reader([&] {
        const std::string cmd = "/usr/bin/python3 '" A11Y_TREE "' " + std::to_string(::getpid()) + " " + what;
        if (FILE* p = ::popen(cmd.c_str(), "r")) {
            char buf[4096];
            while (std::fgets(buf, sizeof buf, p)) out += buf;
            ::pclose(p);
        }
        done = true;
    });
    const bool finished = guitest::WaitUntil([&] { return done.load(); }, 120s);
    if (!finished) ADD_FAILURE() << "the reader did not finish: " << what;
    reader.join();
    std::vector<std::string> lines;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

class A11yTest : public guitest::DialogFixture {
protected:

    // What a screen reader reads of the input list, and the rows the list holds.
    std::vector<std::string> TreeRows() { return ReadTree("table"); }
    std::vector<std::string> ListRows() const {
        std::vector<std::string> rows;
        const platform::InputList& list = Peer(dlg_).m_list;
        for (int i = 0; i < list.Count(); ++i) {
            rows.push_back("row\t" + Escaped(list.Path(i)) + "\t" + Escaped(list.Status(i)) + "\t" +
                           Escaped(list.Tip(i)));
        }
        rows.push_back("selected\t" + (Peer(dlg_).m_list.SelectedRow() >= 0
                                           ? std::to_string(Peer(dlg_).m_list.SelectedRow())
                                           : std::string()));
        return rows;
    }
    // The control with the keyboard focus, by id: GTK's focus may be a part of it (the
    // button of a drop-down list).
    int FocusId() const {
        GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(dlg_->GetHandle()));
        if (focus == nullptr) return -1;
        for (int id = IDC_ADD; id <= IDC_BANNER; ++id) {
            wxWindow* control = dlg_->FindWindow(id);
            if (control == nullptr) continue;
            GtkWidget* widget = control->GetHandle();
            if (focus == widget || gtk_widget_is_ancestor(focus, widget)) return id;
        }
        return -1;
    }
    // Types a key on the display's keyboard over a bare part of the window (its title row).
    void Type(const char* key) {
        ASSERT_TRUE(guitest::TypeKeyAt(dlg_->GetScreenRect().GetPosition() + wxPoint(200, 8), key));
        guitest::Yield(20);
    }
};

TEST_F(A11yTest, TheRowsStatusesAndReasonsAreReadBeforeDuringAndAfterARun) {
    // A stand-in converter: "a" fails at once, "slow-400" reports 40 % and runs until stopped.
    const fs::path tool = dir_ / "tool";
    fs::create_directories(tool);
    fs::copy_file(FAKE_TOOL, tool / "vv.exe");
    Peer(dlg_).m_szAppDir = tool.string();
    for (const char* name : {"c.avi", "slow-400.avi", "a.avi"}) {  // rows: a, slow-400, c
        Peer(dlg_).m_list.InsertRow(0, platform::FromNarrow((dir_ / "in" / name).string()));
    }
    guitest::ClickRow(Peer(dlg_).m_list, 2);

    std::vector<std::string> before = TreeRows();
    EXPECT_EQ(before, ListRows());
    ASSERT_EQ(before.size(), 4u);
    EXPECT_NE(before[0].find("/a.avi\t\t"), std::string::npos) << before[0];  // no status yet
    EXPECT_EQ(before[3], "selected\t2");

    guitest::Press(dlg_, IDC_CONVERT);
    ASSERT_TRUE(guitest::WaitUntil(
        [&] {
            return Peer(dlg_).CurrentRow() == 1 && Peer(dlg_).Job() != nullptr &&
                   Peer(dlg_).m_list.Status(1) == "40%";
        },
        30s));
    const std::vector<std::string> during = TreeRows();
    EXPECT_EQ(during, ListRows());
    ASSERT_EQ(during.size(), 4u);
    // The failed row: its status and, as the status cell's description, its reason.
    const std::string reason = Escaped(Peer(dlg_).m_list.Tip(0));
    EXPECT_NE(reason.find("："), std::string::npos) << reason;
    EXPECT_NE(during[0].find("\t" + Escaped(U("失败")) + "\t" + reason), std::string::npos) << during[0];
    EXPECT_NE(during[1].find("\t40%\t"), std::string::npos) << during[1];
    EXPECT_NE(during[2].find("\t" + Escaped(U("等待")) + "\t"), std::string::npos) << during[2];

    // The user stops the run; the rows then read as the window shows them.
    wxTEST_DIALOG(guitest::Press(dlg_, IDC_CONVERT), wxExpectModal<wxMessageDialog>(wxID_OK));
    const std::vector<std::string> after = TreeRows();
    EXPECT_EQ(after, ListRows());
    ASSERT_EQ(after.size(), 4u);
    EXPECT_NE(after[0].find("\t" + Escaped(U("失败")) + "\t" + reason), std::string::npos) << after[0];
    EXPECT_NE(after[1].find("\t" + Escaped(U("已停止")) + "\t"), std::string::npos) << after[1];

    // The failed row moved down keeps its reason; the moved row is the selection.
    guitest::ClickRow(Peer(dlg_).m_list, 0);
    guitest::Press(dlg_, IDC_MOVE_DOWN);
    const std::vector<std::string> moved = TreeRows();
    EXPECT_EQ(moved, ListRows());
    ASSERT_EQ(moved.size(), 4u);
    EXPECT_NE(moved[1].find("/a.avi\t" + Escaped(U("失败")) + "\t" + reason), std::string::npos) << moved[1];
    EXPECT_EQ(moved[3], "selected\t1");
    // Deleted with the keyboard alone: the rows are walked with the arrow keys.
    Peer(dlg_).m_list.Window()->SetFocus();
    Type("Up");
    EXPECT_EQ(Peer(dlg_).m_nSelectedRow, 0);
    guitest::Press(dlg_, IDC_DELETE);
    EXPECT_EQ(TreeRows(), ListRows());
    EXPECT_EQ(Peer(dlg_).m_list.Count(), 2);
}

// Reads the About dialog's texts from the tree while it is open, then closes it.
class AboutReader : public wxModalDialogHook {
public:
    AboutReader() { Register(); }
    ~AboutReader() override { Unregister(); }
    std::vector<std::string> texts;
    int opened = 0;

protected:
    int Enter(wxDialog* dialog) override {
        if (dynamic_cast<Dg3*>(dialog) == nullptr) return wxID_NONE;
        ++opened;
        dialog->CallAfter([this, dialog] {
            guitest::Yield(10);
            texts = ReadTree(std::string("texts '") + U("关于").utf8_string() + "'");
            dialog->EndModal(wxID_OK);
        });
        return wxID_NONE;  // shown on the screen
    }
    void Exit(wxDialog*) override {}
};

TEST_F(A11yTest, TheAboutButtonIsReachedWithTabAndPressedWithSpaceOrEnter) {
    dlg_->FindWindow(IDC_AUDIO_CODEC)->SetFocus();  // the list then the About button follow
    guitest::Yield();
    CControlButton* about = Peer(dlg_).m_btnAbout;
    const wxImage unfocused = OnScreen(about);
    Type("Tab");
    EXPECT_EQ(FocusId(), IDC_INPUT_LIST);
    Type("Tab");
    ASSERT_EQ(FocusId(), IDC_ABOUT);
    EXPECT_EQ(ReadTree("focus"), (std::vector<std::string>{"push button\t" + U("关于").utf8_string()}));
    // Its focus mark shows on its face, once painted: a frame inside the edge, the picture
    // otherwise as it was.
    wxImage focused;
    if (!unfocused.IsOk()) std::printf("the focus mark is not checked: ImageMagick's import is not installed\n");
    const auto same = [&](int x, int y) {
        return focused.GetRed(x, y) == unfocused.GetRed(x, y) && focused.GetGreen(x, y) == unfocused.GetGreen(x, y) &&
               focused.GetBlue(x, y) == unfocused.GetBlue(x, y);
    };
    const int w = unfocused.GetWidth(), h = unfocused.GetHeight();
    const auto changedOnFrame = [&] {
        int changed = 0;
        for (int x = 1; x < w - 1; ++x) changed += !same(x, 1) + !same(x, h - 2);
        return changed;
    };
    if (unfocused.IsOk()) {
        EXPECT_TRUE(guitest::WaitUntil(
            [&] {
                focused = OnScreen(about);
                return focused.GetSize() == unfocused.GetSize() && changedOnFrame() > w / 2;
            },
            10s));
        EXPECT_TRUE(same(w / 2, 0) && same(0, h / 2));  // the edge itself is the picture's
    }

    AboutReader reader;
    Type("space");
    ASSERT_EQ(reader.opened, 1);
    // The dialog's texts are read from the tree: its e-mail line among them.
    EXPECT_NE(std::find(reader.texts.begin(), reader.texts.end(), "help@tolvani.example"), reader.texts.end())
        << ::testing::PrintToString(reader.texts);
    EXPECT_NE(std::find(reader.texts.begin(), reader.texts.end(), "E-mail:"), reader.texts.end());
    guitest::Yield(10);
    EXPECT_EQ(FocusId(), IDC_ABOUT);
    Type("Return");
    EXPECT_EQ(reader.opened, 2);
}

TEST_F(A11yTest, TabAndShiftTabWalkTheControlsInTemplateOrder) {
    // The template's order; the progress bar takes no focus, the minimise and close buttons
    // are hidden.
    const std::vector<int> order = {IDC_ADD,           IDC_DELETE,         IDC_CLEAR,         IDC_MOVE_UP,
                                    IDC_MOVE_DOWN,     IDC_SET_OUTPUT_DIR, IDC_CONVERT,       IDC_OUTPUT_DIR,
                                    IDC_FORMAT,        IDC_VIDEO_CODEC,    IDC_VIDEO_BITRATE, IDC_FRAME_SIZE,
                                    IDC_FRAME_RATE,    IDC_ASPECT_RATIO,   IDC_SAMPLE_RATE,   IDC_CHANNELS,
                                    IDC_AUDIO_BITRATE, IDC_AUDIO_CODEC,    IDC_INPUT_LIST,    IDC_ABOUT};
    dlg_->FindWindow(IDC_ADD)->SetFocus();
    guitest::Yield();
    std::vector<int> walked = {FocusId()};
    for (std::size_t i = 1; i < order.size(); ++i) {
        Type("Tab");
        walked.push_back(FocusId());
    }
    EXPECT_EQ(walked, order);
    std::vector<int> back;
    for (std::size_t i = 1; i < order.size(); ++i) {
        Type("shift+Tab");
        back.push_back(FocusId());
    }
    EXPECT_EQ(back, std::vector<int>(order.rbegin() + 1, order.rend()));
}

}  // namespace

// A screen reader may still hold a label, button or entry of a dialog that has closed
// (the About dialog, a question); asked for its states, each says it is defunct instead of
// giving none, which crashed the accessibility bridge of Debian 13.
TEST(ClosedAccessibles, ALabelButtonOrEntryOfAClosedDialogReadsAsDefunct) {
    for (GtkWidget* widget : {gtk_label_new("E-mail:"), gtk_button_new_with_label("OK"), gtk_entry_new()}) {
        g_object_ref_sink(widget);
        AtkObject* accessible = gtk_widget_get_accessible(widget);
        g_object_ref(accessible);  // as the bridge holds it
        SCOPED_TRACE(G_OBJECT_TYPE_NAME(accessible));
        gtk_widget_destroy(widget);
        g_object_unref(widget);
        AtkStateSet* states = atk_object_ref_state_set(accessible);
        ASSERT_NE(states, nullptr);
        EXPECT_TRUE(atk_state_set_contains_state(states, ATK_STATE_DEFUNCT));
        g_object_unref(states);
        g_object_unref(accessible);
    }
}

// The accessibility bridge stops listening to the keys when the last screen reader leaves,
// and may learn that while it is handed a key (a reader quits as the user types): the
// listener that goes while the key is handled must not break the walk over the others.
TEST(ClosedAccessibles, AKeyListenerThatGoesWhileAKeyIsHandledLeavesTheOthersTheirKey) {
    static guint leaving = 0;
    static int heardByLeaving = 0, heardByStaying = 0;
    leaving = atk_add_key_event_listener(
        [](AtkKeyEventStruct*, gpointer) -> gint {
            ++heardByLeaving;
            atk_remove_key_event_listener(leaving);
            return FALSE;
        },
        nullptr);
    const guint staying = atk_add_key_event_listener(
        [](AtkKeyEventStruct*, gpointer) -> gint {
            ++heardByStaying;
            return FALSE;
        },
        nullptr);
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_widget_realize(window);
    const auto press = [&] {
        GdkEvent* key = gdk_event_new(GDK_KEY_PRESS);
        key->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(window)));
        key->key.keyval = GDK_KEY_space;
        gdk_event_set_device(key, gdk_seat_get_keyboard(gdk_display_get_default_seat(gdk_display_get_default())));
        gtk_main_do_event(key);
        gdk_event_free(key);
        guitest::Yield();
    };
    press();
    EXPECT_EQ(heardByLeaving, 1);
    EXPECT_EQ(heardByStaying, 1);
    press();  // the listener that went hears no more keys
    EXPECT_EQ(heardByLeaving, 1);
    EXPECT_EQ(heardByStaying, 2);
    atk_remove_key_event_listener(staying);
    gtk_widget_destroy(window);
}
