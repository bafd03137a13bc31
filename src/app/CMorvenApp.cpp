// The application: shows the main window modally and ends when it ends.
#include <cstdio>
#include <string>
#include <vector>
#include <wx/app.h>

#include "app/CMorvenDlg.h"
#include "app/ui_init.h"
#include "platform/toolkit.h"

class CMorvenApp : public wxApp {
public:
    bool OnInit() override {
        SetAppName(TOLVANI_PRODUCT_NAME);
        SetAppDisplayName(TOLVANI_PRODUCT_NAME);
        app::InitUi();
        return true;
    }

    // Runs the main window modally instead of a main loop; its end is the program's end.
    // Files named on the command line (as a desktop's "Open with" passes them) start in
    // its list.
    int OnRun() override {
        {
            CMorvenDlg dlg(nullptr, std::move(startFiles));
            SetTopWindow(&dlg);
            dlg.ShowModal();
            SetTopWindow(nullptr);
        }
        return 0;
    }

    // The files named on the command line, taken before the toolkit starts.
    static std::vector<std::string> startFiles;
};

std::vector<std::string> CMorvenApp::startFiles;

wxIMPLEMENT_APP_NO_MAIN(CMorvenApp);

int main(int argc, char** argv) {
    if (!platform::DisplayAvailable()) {
        std::fprintf(stderr,
                     "tolvani: no display to open the window on; run it under a virtual one: "
                     "xvfb-run -a %s\n",
                     argv[0]);
        return 1;
    }
    CMorvenApp::startFiles = platform::FileArguments(argc, argv);
    return platform::RunApplication(argc, argv);
}
