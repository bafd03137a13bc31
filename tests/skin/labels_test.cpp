// The skinned windows' labels, on Linux and in the Windows build under Wine alike: what
// the screen shows in each label's box is the window's background picture and the black
// text, never a box of the system's dialog colour.
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include <wx/dcmemory.h>
#include <wx/dcscreen.h>
#include <wx/settings.h>
#include <wx/stattext.h>

#include "../helpers/gui_util.h"
#include "app/CMorvenDlg.h"
#include "skin/Dg3.h"

using namespace std::chrono_literals;

namespace {

struct LabelPixels {
    int background = 0;  // of the picture's plain colour
    int dialogColour = 0;
};

LabelPixels Count(const wxRect& box, const wxColour& background) {
    wxBitmap shot(box.GetSize());
    {
        wxMemoryDC memory(shot);
        wxScreenDC screen;
        memory.Blit(0, 0, box.width, box.height, &screen, box.x, box.y);
    }
    const wxImage image = shot.ConvertToImage();
    const wxColour dialog = wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE);
    LabelPixels n;
    for (int y = 0; y < image.GetHeight(); ++y) {
        for (int x = 0; x < image.GetWidth(); ++x) {
            const wxColour c(image.GetRed(x, y), image.GetGreen(x, y), image.GetBlue(x, y));
            n.background += c == background;
            n.dialogColour += c == dialog;
        }
    }
    return n;
}

// Shows the window and checks every label of it, empty ones too, once the window is painted.
void ExpectLabelsOverPicture(wxDialog* window, const wxColour& background) {
    window->Move(0, 0);
    window->Show();
    window->Raise();
    guitest::Yield(30);
    std::vector<wxStaticText*> labels;
    for (wxWindow* child : window->GetChildren()) {
        auto* label = dynamic_cast<wxStaticText*>(child);
        if (label != nullptr && label->IsShown() && !label->GetScreenRect().IsEmpty()) labels.push_back(label);
    }
    ASSERT_FALSE(labels.empty());
    std::vector<LabelPixels> seen(labels.size());
    guitest::WaitUntil(
        [&] {
            bool all = true;
            for (std::size_t i = 0; i < labels.size(); ++i) {
                seen[i] = Count(labels[i]->GetScreenRect(), background);
                all = all && seen[i].dialogColour == 0 && seen[i].background > 0;
            }
            return all;
        },
        5s);
    for (std::size_t i = 0; i < labels.size(); ++i) {
        const std::string name = std::to_string(labels[i]->GetId()) + " '" + labels[i]->GetLabel().utf8_string() + "'";
        EXPECT_EQ(seen[i].dialogColour, 0) << "label " << name;
        EXPECT_GT(seen[i].background, 0) << "label " << name;
    }
}

}  // namespace

TEST(SkinLabels, ShowTheMainWindowsBackgroundPicture) {
    CMorvenDlg* main = new CMorvenDlg();
    ExpectLabelsOverPicture(main, wxColour(212, 228, 243));
    main->Destroy();
    guitest::Yield();
}

TEST(SkinLabels, ShowTheAboutDialogsBackgroundPicture) {
    Dg3* about = new Dg3();
    ExpectLabelsOverPicture(about, wxColour(233, 243, 245));
    about->Destroy();
    guitest::Yield();
}
