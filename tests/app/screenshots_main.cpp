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
#include "support/unique_resource.h"
#include "tests/app/dialog_checks.h"
#include "tests/framework/modal_script.h"

namespace {

void ReleaseScreenDC(HDC dc) {
    ::ReleaseDC(nullptr, dc);
}
using ScreenDC = UniqueResource<HDC, ReleaseScreenDC>;
using MemoryDC = UniqueResource<HDC, ::DeleteDC>;
using Bitmap = UniqueResource<HBITMAP, ::DeleteObject>;

// Copies the window as the screen shows it into a 24-bit bottom-up .bmp file.
bool CaptureWindow(HWND hwnd, const std::string& path) {
    RECT r{};
    GetWindowRect(hwnd, &r);
    const int width = r.right - r.left;
    const int height = r.bottom - r.top;
    const int stride = (width * 3 + 3) & ~3;

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    info.bmiHeader.biSizeImage = static_cast<DWORD>(stride * height);

    const ScreenDC screen(GetDC(nullptr));
    const MemoryDC memory(CreateCompatibleDC(screen.get()));
    void* bits = nullptr;
    const Bitmap bitmap(CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!screen || !memory || !bitmap) return false;
    const HGDIOBJ previous = SelectObject(memory.get(), bitmap.get());
    BitBlt(memory.get(), 0, 0, width, height, screen.get(), r.left, r.top, SRCCOPY);
    SelectObject(memory.get(), previous);
    GdiFlush();

    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof(file) + sizeof(info.bmiHeader);
    file.bfSize = file.bfOffBits + info.bmiHeader.biSizeImage;
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr) return false;
    const bool written = std::fwrite(&file, sizeof(file), 1, out) == 1 &&
                         std::fwrite(&info.bmiHeader, sizeof(info.bmiHeader), 1, out) == 1 &&
                         std::fwrite(bits, info.bmiHeader.biSizeImage, 1, out) == 1;
    return std::fclose(out) == 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string folder = argc > 1 ? argv[1] : ".";
    CMainApp app;
    CWinApp::EnableControlContainer();
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
