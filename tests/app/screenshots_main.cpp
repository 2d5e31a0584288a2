// Not a test: the generator of the README's pictures. Run under Xvfb with Wine's
// X11 driver (scripts/screenshots), it shows the real main dialog during a run
// and the About box, and copies each from the screen into a .bmp file.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/main_app.h"
#include "app/main_dialog.h"
#include "engine/thread_launcher.h"
#include "engine/worker_table.h"
#include "skin/skin.h"
#include "support/screen_capture.h"
#include "tests/app/dialog_checks.h"
#include "tests/framework/modal_script.h"

namespace {

bool CaptureWindow(HWND hwnd, const std::string& path) {
    RECT r{};
    GetWindowRect(hwnd, &r);
    return ScreenCanvas::Capture(r, path);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string folder = argc > 1 ? argv[1] : ".";
    CMainApp app;
    CWinApp::EnableControlContainer();
    CSkinManager::GetManager()->InstallHook(static_cast<DWORD>(-1), TRUE);  // as start-up does
    CMainDialog dialog;
    app.m_pMainWnd = &dialog;
    bool ok = true;
    DWORD started = 0;
    auto pressStartStop = [&] {
        SendMessageA(dialog.m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_START_STOP, BN_CLICKED), 0);
    };
    ModalScript script(
        {
            ModalScript::Do([&] {
                pressStartStop();
                started = GetTickCount();
            }),
            // A few refreshes: the bars stand at different places.
            ModalScript::WaitFor([&] { return GetTickCount() - started >= 1250; }),
            ModalScript::Do([&] {
                ok = CaptureWindow(dialog.m_hWnd, folder + "/main-dialog.bmp") && ok;
                pressStartStop();
            }),
            ModalScript::Do([&] { SendMessageA(dialog.m_hWnd, WM_SYSCOMMAND, IDM_ABOUTBOX, 0); }),
            ModalScript::WaitFor([] { return FindThreadDialog("About Quarrion") != nullptr; }),
            ModalScript::Do([] { Sleep(300); }),
            ModalScript::Do([&] {
                const HWND about = FindThreadDialog("About Quarrion");
                ok = CaptureWindow(about, folder + "/about-box.bmp") && ok;
                SendMessageA(GetDlgItem(about, IDOK), BM_CLICK, 0, 0);
            }),
            ModalScript::WaitFor([] { return FindThreadDialog("About Quarrion") == nullptr; }),
            ModalScript::Do([&] { dialog.EndDialog(IDOK); }),
        },
        50, 30000);
    script.Run([&] { return dialog.DoModal(); });
    app.m_pMainWnd = nullptr;
    RequestStop();
    WaitForEarlierWorkers();
    if (script.TimedOut() || !script.Finished()) ok = false;
    std::printf("%s\n", ok ? "screenshots written" : "screenshots failed");
    return ok ? 0 : 1;
}
