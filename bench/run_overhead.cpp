// Measures what the conversion run adds per file: the clips converted through the
// window ("立即转换", the completion box answered at once) against the same vv.exe
// command lines run back to back. Prints both times and the overhead per file.
// Usage: tolvani_run_bench CLIP... (run under a display; see bench/run_overhead.sh)
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>
#include <wx/app.h>
#include <wx/init.h>
#include <wx/listctrl.h>
#include <wx/msgdlg.h>
#include <wx/testing.h>
#include <wx/textctrl.h>

#include "../tests/helpers/dialog_peer.h"
#include "app/CMorvenDlg.h"
#include "app/ui_init.h"
#include "convert/brisk.h"
#include "convert/contract.h"
#include "convert/run_naming.h"
#include "platform/app_path.h"
#include "platform/narrow.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

class BenchApp : public wxApp {
public:
    bool OnInit() override {
        app::InitUi();
        return true;
    }
};

double Seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

}  // namespace

wxIMPLEMENT_APP_NO_MAIN(BenchApp);

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s CLIP...\n", argv[0]);
        return 2;
    }
    wxApp::SetInstance(new BenchApp);  // owned by wxWidgets
    if (!wxEntryStart(argc, argv) || !wxTheApp->CallOnInit()) return 1;
    const fs::path out = fs::temp_directory_path() / ("tolvani-bench-" + std::to_string(::getpid()));
    fs::create_directories(out / "window");
    fs::create_directories(out / "direct");
    const int files = argc - 1;

    double windowTime = 0;
    convert::OptionSlots slots;
    {
        CMorvenDlg* dlg = new CMorvenDlg();  // a top-level window: freed by Destroy()
        dlg->Show();
        Peer(dlg).OutputDirEdit()->SetValue(platform::FromNarrow((out / "window").string()));
        for (int i = argc - 1; i >= 1; --i) Peer(dlg).m_list.InsertRow(0, platform::FromNarrow(argv[i]));
        slots = Peer(dlg).CurrentOptions();
        const auto start = Clock::now();
        wxTEST_DIALOG(
            {
                wxCommandEvent press(wxEVT_BUTTON, IDC_CONVERT);
                dlg->ProcessWindowEvent(press);
                while (Peer(dlg).m_timer.IsRunning() || Peer(dlg).Running()) {
                    wxYield();
                    wxMilliSleep(5);
                }
            },
            wxExpectModal<wxMessageDialog>(wxID_OK).Optional());
        windowTime = Seconds(start);
        dlg->Destroy();
    }

    const auto start = Clock::now();
    for (int i = 1; i < argc; ++i) {
        const std::string in = argv[i];
        const std::string o = convert::OutputPath((out / "direct").string(), "", convert::BaseName(in), "3gp");
        const auto cmd = convert::ComposeCommand(in, slots, o);
        BriskFFmpeg job(cmd.command.c_str(), platform::ProgramDirectory());
        while (!job.IsFinished()) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    const double directTime = Seconds(start);

    std::printf("files: %d\nthrough the window: %.2f s\nvv.exe back to back: %.2f s\noverhead per file: %.2f s\n",
                files, windowTime, directTime, (windowTime - directTime) / files);
    fs::remove_all(out);
    wxEntryCleanup();
    return 0;
}
