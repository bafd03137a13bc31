// Runs the window tests inside a started (but not looping) wxWidgets application.
#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/init.h>

#include "app/ui_init.h"

namespace {

class TestApp : public wxApp {
public:
    bool OnInit() override {
        app::InitUi();
        return true;
    }
};

}  // namespace

wxIMPLEMENT_APP_NO_MAIN(TestApp);

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    wxApp::SetInstance(new TestApp);  // owned and deleted by wxWidgets
    if (!wxEntryStart(argc, argv) || !wxTheApp->CallOnInit()) {
        std::fprintf(stderr, "cannot start the window system (is a display available?)\n");
        return 1;
    }
    const int rc = RUN_ALL_TESTS();
    wxTheApp->OnExit();
    wxEntryCleanup();
    return rc;
}
