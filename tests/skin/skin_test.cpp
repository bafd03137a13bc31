// The skin: picture buttons, the painted main window, the About dialog and the banner.
#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/dcmemory.h>
#include <wx/dcscreen.h>
#include <wx/frame.h>
#include <wx/stattext.h>
#include <wx/testing.h>
#include <wx/uiaction.h>
#include <wx/webview.h>

#include "../helpers/gui_util.h"
#include "../helpers/dialog_peer.h"
#include "app/CMorvenDlg.h"
#include "skin/CControlButton.h"
#include "skin/Dg3.h"
#include "skin/pictures.h"

using namespace std::chrono_literals;

namespace {

wxColour PixelAt(const wxImage& image, int x, int y) {
    return {image.GetRed(x, y), image.GetGreen(x, y), image.GetBlue(x, y)};
}

wxStaticText* EmailLabel(wxDialog* about) {
    for (wxWindow* child : about->GetChildren()) {
        if (auto* label = dynamic_cast<wxStaticText*>(child); label && label->GetLabel().StartsWith("E-mail"))
            return label;
        if (auto* label = dynamic_cast<wxStaticText*>(child); label && label->GetLabel() == "changed") return label;
    }
    return nullptr;
}

// Answers the About dialog; notes its e-mail label and may change it.
class AnswerAbout : public wxExpectModalBase<Dg3> {
public:
    AnswerAbout(int id, wxString* label, const char* change = nullptr) : id_(id), label_(label), change_(change) {}

protected:
    int OnInvoked(Dg3* about) const override {
        wxStaticText* email = EmailLabel(about);
        if (email && label_) *label_ = email->GetLabel();
        if (email && change_) email->SetLabel(change_);
        return id_;
    }

private:
    int id_;
    wxString* label_;
    const char* change_;
};

class ButtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        frame_ = new wxFrame(nullptr, wxID_ANY, "buttons");
        auto* templ = new wxButton(frame_, 1025, wxString::FromUTF8("关闭"), wxPoint(10, 10), wxSize(35, 20));
        button_ = new CControlButton();
        ASSERT_TRUE(button_->AttachTo(templ));
        frame_->Show();
        guitest::Yield();
    }
    void TearDown() override {
        frame_->Destroy();
        guitest::Yield();
    }
    wxColour Face(bool pressed) const { return PixelAt(button_->Render(pressed), 17, 14); }
    static wxColour Picture(int id) { return PixelAt(skin::LoadPicture(id), 17, 14); }

    wxFrame* frame_ = nullptr;
    CControlButton* button_ = nullptr;
};

}  // namespace

TEST_F(ButtonTest, ShowsTheRightPictureForPointerAndPress) {
    EXPECT_EQ(frame_->FindWindow(1025), button_);
    EXPECT_EQ(button_->GetLabel(), wxString::FromUTF8("关闭"));  // kept, never drawn
    button_->SetImages(skin::kCloseHover, skin::kCloseNormal, skin::kClosePressed);
    for (bool maskMode : {false, true}) {
        SCOPED_TRACE(maskMode ? "all-black mask" : "mask mode clear");
        button_->m_bMaskMode = maskMode;
        button_->m_bBackground = maskMode;
        button_->m_mask = skin::LoadPicture(skin::kCloseMask);
        button_->m_background = skin::LoadPicture(skin::kMainBackground);

        button_->m_hover = 0;
        EXPECT_EQ(Face(false), Picture(skin::kCloseNormal));  // away
        EXPECT_EQ(Face(true), Picture(skin::kClosePressed));  // pressed, pointer elsewhere
        button_->m_hover = 1;
        EXPECT_EQ(Face(false), Picture(skin::kCloseHover));   // hovering
        EXPECT_EQ(Face(true), Picture(skin::kClosePressed));  // pressed while hovering
    }
    // Hover follows the pointer entering and leaving.
    button_->m_hover = 0;
    wxMouseEvent enter(wxEVT_ENTER_WINDOW);
    button_->GetEventHandler()->ProcessEvent(enter);
    EXPECT_EQ(button_->m_hover, 1);
    wxMouseEvent leave(wxEVT_LEAVE_WINDOW);
    button_->GetEventHandler()->ProcessEvent(leave);
    EXPECT_EQ(button_->m_hover, 0);
    EXPECT_EQ(button_->m_tracking, 0);
    // A disabled button looks the same.
    button_->Disable();
    EXPECT_EQ(Face(false), Picture(skin::kCloseNormal));
}

TEST_F(ButtonTest, AHeldButtonLooksPressedOnlyWhileThePointerIsOverIt) {
    int clicks = 0;
    frame_->Bind(wxEVT_BUTTON, [&](wxCommandEvent&) { ++clicks; });
    frame_->Raise();
    const wxRect r = button_->GetScreenRect();
    const wxPoint inside = r.GetPosition() + wxPoint(r.width / 2, r.height / 2);
    wxUIActionSimulator sim;
    sim.MouseMove(inside);
    guitest::Yield();
    sim.MouseDown();
    ASSERT_TRUE(guitest::WaitUntil([&] { return button_->IsPressed(); }, 2s));
    sim.MouseMove(inside + wxPoint(0, 3 * r.height));  // dragged off while held
    EXPECT_TRUE(guitest::WaitUntil([&] { return !button_->IsPressed(); }, 2s));
    sim.MouseMove(inside);  // and back
    EXPECT_TRUE(guitest::WaitUntil([&] { return button_->IsPressed(); }, 2s));
    sim.MouseMove(inside + wxPoint(0, 3 * r.height));
    guitest::Yield(10);
    sim.MouseUp();  // released outside: no click
    guitest::Yield(10);
    EXPECT_FALSE(button_->IsPressed());
    EXPECT_EQ(clicks, 0);
}

TEST_F(ButtonTest, SetImagesReplacesAllThreePictures) {
    button_->m_hover = 0;
    button_->SetImages(skin::kMinimiseHover, skin::kMinimiseNormal, skin::kMinimisePressed);
    EXPECT_EQ(Face(false), Picture(skin::kMinimiseNormal));
    button_->SetImages(skin::kCloseHover, skin::kCloseNormal, skin::kClosePressed);
    EXPECT_EQ(Face(false), Picture(skin::kCloseNormal));
    EXPECT_EQ(Face(true), Picture(skin::kClosePressed));
    button_->m_hover = 1;
    EXPECT_EQ(Face(false), Picture(skin::kCloseHover));
    button_->SetImages(9990, 9991, 9992);  // no such pictures: nothing shows, nothing breaks
    EXPECT_FALSE(button_->m_normal.IsOk());
}

TEST_F(ButtonTest, AClickOrTheSpaceKeyPressesIt) {
    int clicks = 0;
    frame_->Bind(wxEVT_BUTTON, [&](wxCommandEvent& e) { clicks += e.GetId() == 1025; });
    wxMouseEvent down(wxEVT_LEFT_DOWN), up(wxEVT_LEFT_UP);
    down.SetPosition({5, 5});
    up.SetPosition({5, 5});
    button_->GetEventHandler()->ProcessEvent(down);
    EXPECT_TRUE(button_->IsPressed());
    button_->GetEventHandler()->ProcessEvent(up);
    EXPECT_FALSE(button_->IsPressed());
    EXPECT_EQ(clicks, 1);

    wxKeyEvent space(wxEVT_KEY_DOWN);
    space.m_keyCode = WXK_SPACE;
    button_->GetEventHandler()->ProcessEvent(space);
    EXPECT_TRUE(button_->IsPressed());
    wxKeyEvent release(wxEVT_KEY_UP);
    release.m_keyCode = WXK_SPACE;
    button_->GetEventHandler()->ProcessEvent(release);
    EXPECT_EQ(clicks, 2);
}

TEST(MainWindowSkin, ButtonsAndBannerAreSetUp) {
    CMorvenDlg* d = new CMorvenDlg();
    d->Show();
    guitest::Yield();
    EXPECT_FALSE(Peer(d).m_btnMinimise->IsShown());
    EXPECT_FALSE(Peer(d).m_btnClose->IsShown());
    EXPECT_TRUE(Peer(d).m_btnAbout->IsShown());
    for (CControlButton* b : {Peer(d).m_btnMinimise, Peer(d).m_btnClose}) {
        EXPECT_TRUE(b->m_bMaskMode);
        EXPECT_TRUE(b->m_bBackground);
        EXPECT_EQ(b->m_rect.GetTopLeft(), b->GetPosition());
        EXPECT_EQ(b->m_background.GetSize(), wxSize(796, 454));
        EXPECT_TRUE(b->m_mask.IsOk());
    }
    EXPECT_EQ(PixelAt(Peer(d).m_btnAbout->Render(false), 5, 5), PixelAt(skin::LoadPicture(skin::kAboutButton), 5, 5));
    // Below picture 139 (22 pixels high) the About button shows the window's background.
    const wxImage about = Peer(d).m_btnAbout->Render(false);
    EXPECT_GT(about.GetHeight(), 22);  // the template makes the button a pixel taller than its picture
    for (int y = 22; y < about.GetHeight(); ++y) EXPECT_EQ(PixelAt(about, 5, y), wxColour(212, 228, 243)) << y;
    EXPECT_EQ(PixelAt(Peer(d).m_btnClose->Render(false), 17, 14),
              PixelAt(skin::LoadPicture(skin::kCloseNormal), 17, 14));
    for (wxWindow* child : d->GetChildren()) {
        if (auto* label = dynamic_cast<wxStaticText*>(child)) {
            EXPECT_EQ(label->GetForegroundColour(), *wxBLACK);
        }
    }
    EXPECT_TRUE(Peer(d).m_hIcon.IsOk());

    // The banner is told once to open its page.
    EXPECT_EQ(Peer(d).m_banner.NavigationCount(), 1);
    EXPECT_EQ(Peer(d).m_banner.LastUrl(), skin::BannerUrl());
    EXPECT_TRUE(Peer(d).m_banner.LastUrl().EndsWith("/banner.html"));
    if (wxWebView* view = Peer(d).m_banner.View()) {
        EXPECT_EQ(view->GetId(), IDC_BANNER);
        EXPECT_EQ(view->GetPosition(), d->ConvertDialogToPixels(wxPoint(4, 17)));
        EXPECT_TRUE(
            guitest::WaitUntil([&] { return !view->IsBusy() && view->GetCurrentURL().EndsWith("banner.html"); }, 20s))
            << view->GetCurrentURL();
    }
    d->Destroy();
    guitest::Yield();
}

TEST(MainWindowSkin, TheHiddenCloseButtonClosesThroughTheCloseStep) {
    CMorvenDlg d;
    d.CallAfter([&d] { guitest::Press(&d, IDC_CLOSE); });
    EXPECT_EQ(d.ShowModal(), wxID_CANCEL);  // through the close step
}

TEST(AboutDialog, EachClickOpensAFreshDialogThatEnterOrEscCloses) {
    CMorvenDlg* d = new CMorvenDlg();
    d->Show();
    guitest::Yield();
    // The first run changes its dialog; the second starts from the template again.
    wxString second;
    wxTEST_DIALOG(guitest::Press(d, IDC_ABOUT), AnswerAbout(wxID_CANCEL, nullptr, "changed"));
    wxTEST_DIALOG(guitest::Press(d, IDC_ABOUT), AnswerAbout(wxID_OK, &second));
    EXPECT_EQ(second, "E-mail:");
    d->Destroy();
    guitest::Yield();

    if (!guitest::HaveXdotool()) GTEST_SKIP() << "xdotool is not installed: the keys cannot be typed";
    // Esc, then Enter, typed on the keyboard.
    for (const auto& [key, result] : {std::pair{"Escape", wxID_CANCEL}, std::pair{"Return", wxID_OK}}) {
        Dg3 about;
        EXPECT_EQ(about.GetTitle(), wxString::FromUTF8("关于"));
        EXPECT_FALSE(about.m_btnClose->IsShown());
        EXPECT_TRUE(about.m_btnClose->m_bMaskMode);
        std::vector<wxString> texts;
        for (wxWindow* child : about.GetChildren()) {
            if (auto* label = dynamic_cast<wxStaticText*>(child); label && label->IsShown())
                texts.push_back(label->GetLabel());
        }
        EXPECT_NE(std::find(texts.begin(), texts.end(), "E-mail:"), texts.end());
        EXPECT_NE(std::find_if(texts.begin(), texts.end(), [](const wxString& t) { return t.Contains("@"); }),
                  texts.end());
        // The user presses the key on the keyboard once the dialog is up.
        wxTimer type;
        type.Bind(wxEVT_TIMER, [&about, k = key](wxTimerEvent&) { guitest::TypeKeyOver(&about, k); });
        type.StartOnce(500);
        wxTimer guard;
        guard.Bind(wxEVT_TIMER, [&about](wxTimerEvent&) { about.EndModal(wxID_ABORT); });
        guard.StartOnce(5000);
        EXPECT_EQ(about.ShowModal(), result);
    }
}

TEST(MainWindowSkin, BackgroundIsPaintedUnderTheLabels) {
    CMorvenDlg* d = new CMorvenDlg();
    d->Move(0, 0);
    d->Show();
    d->Raise();
    guitest::Yield(30);
    // What the screen shows at a spot of plain background, beside the list, once painted.
    auto seen = [&] {
        const wxPoint spot = d->ClientToScreen(wxPoint(d->GetClientSize().x / 2, 5));
        wxBitmap shot(1, 1);
        wxMemoryDC memory(shot);
        wxScreenDC screen;
        memory.Blit(0, 0, 1, 1, &screen, spot.x, spot.y);
        memory.SelectObject(wxNullBitmap);
        return PixelAt(shot.ConvertToImage(), 0, 0);
    };
    const wxColour background(212, 228, 243);
    EXPECT_TRUE(guitest::WaitUntil([&] { return seen() == background; }, 5s)) << seen().GetAsString().utf8_string();
    d->Destroy();
    guitest::Yield();
}
