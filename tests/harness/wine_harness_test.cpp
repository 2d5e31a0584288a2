// Proves that the Win32 test harness is real: windows, GDI painting read back
// with GetPixel, and a thread WH_CALLWNDPROC hook that sees a dialog initialise.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "support/unique_resource.h"

namespace {

LRESULT CALLBACK PlainWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    return DefWindowProcA(hwnd, msg, wp, lp);
}

TEST(WineHarness, PaintsASystemColourAndReadsItBack) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = PlainWndProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "QuarrionHarnessWindow";
    ASSERT_NE(RegisterClassA(&wc), 0);
    HWND hwnd = CreateWindowExA(0, wc.lpszClassName, "harness", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                10, 10, 200, 120, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(hwnd, nullptr);

    HDC dc = GetDC(hwnd);
    ASSERT_NE(dc, nullptr);
    const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
    HBRUSH brush = CreateSolidBrush(highlight);
    RECT r{5, 5, 40, 30};
    FillRect(dc, &r, brush);
    EXPECT_EQ(GetPixel(dc, 20, 20), highlight);
    DeleteObject(brush);
    ReleaseDC(hwnd, dc);
    DestroyWindow(hwnd);
    UnregisterClassA(wc.lpszClassName, wc.hInstance);
}

std::vector<UINT>* g_seen = nullptr;

LRESULT CALLBACK RecordCallWndProc(int code, WPARAM wp, LPARAM lp) {
    if (code == HC_ACTION && g_seen) {
        const auto* cwp = reinterpret_cast<const CWPSTRUCT*>(lp);
        g_seen->push_back(cwp->message);
    }
    return CallNextHookEx(nullptr, code, wp, lp);
}

INT_PTR CALLBACK EndAtInit(HWND hwnd, UINT msg, WPARAM, LPARAM) {
    if (msg == WM_INITDIALOG) {
        EndDialog(hwnd, 42);
        return TRUE;
    }
    return FALSE;
}

// A minimal in-memory dialog template: no items, no font.
std::vector<WORD> EmptyDialogTemplate() {
    std::vector<WORD> t(sizeof(DLGTEMPLATE) / sizeof(WORD) + 3, 0);
    auto* dt = reinterpret_cast<DLGTEMPLATE*>(t.data());
    dt->style = WS_POPUP | WS_CAPTION;
    dt->cx = 100;
    dt->cy = 50;
    return t;
}

TEST(WineHarness, CallWndProcHookSeesInitDialog) {
    std::vector<UINT> seen;
    g_seen = &seen;
    INT_PTR result = 0;
    {
        const UniqueResource<HHOOK, ::UnhookWindowsHookEx> hook(
            SetWindowsHookExA(WH_CALLWNDPROC, RecordCallWndProc, nullptr, GetCurrentThreadId()));
        ASSERT_TRUE(hook);
        std::vector<WORD> tmpl = EmptyDialogTemplate();
        result = DialogBoxIndirectParamA(GetModuleHandleA(nullptr),
                                         reinterpret_cast<DLGTEMPLATE*>(tmpl.data()), nullptr,
                                         EndAtInit, 0);
    }
    g_seen = nullptr;
    EXPECT_EQ(result, 42);
    EXPECT_NE(std::find(seen.begin(), seen.end(), static_cast<UINT>(WM_INITDIALOG)), seen.end());
}

}  // namespace
