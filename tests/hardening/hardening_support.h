// Shared by the hardening tests: an empty dialog made from an in-memory
// template, the process's object counts, and the skinning's invariants.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "skin/skin_manager.h"
#include "skin/skin_testing.h"
#include "tests/process_objects.h"
#include "support/unique_resource.h"
#include "tools/skin-gallery/gallery.h"

namespace hardening {

inline INT_PTR CALLBACK PlainDialogProc(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

// An empty popup dialog: WM_INITDIALOG goes through the hook like any dialog's.
inline HWND OpenEmptyDialog(int cx = 320, int cy = 220) {
    struct Template {
        DLGTEMPLATE dialog;
        WORD menu, windowClass, title;
    };
    static Template blank{};
    blank.dialog.style = WS_POPUP | WS_VISIBLE | WS_CAPTION | DS_3DLOOK;
    blank.dialog.x = 10;
    blank.dialog.y = 10;
    blank.dialog.cx = static_cast<short>(cx);
    blank.dialog.cy = static_cast<short>(cy);
    return CreateDialogIndirectParamA(GetModuleHandleA(nullptr), &blank.dialog, nullptr,
                                      &PlainDialogProc, 0);
}

// QUARRION_SEED replays a run exactly; without it every run takes a new seed.
inline unsigned SeedFromEnvironment() {
    const char* given = std::getenv("QUARRION_SEED");
    if (given != nullptr && *given != '\0')
        return static_cast<unsigned>(std::strtoul(given, nullptr, 0));
    return GetTickCount();
}

struct ObjectCounts {
    DWORD gdi, user;  // user: 0 under Wine, which does not count USER objects
    static ObjectCounts Now() {
        return {GdiObjectCount(), GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS)};
    }
    bool operator==(const ObjectCounts& o) const { return gdi == o.gdi && user == o.user; }
};

inline void PrintCounts(const char* when, const ObjectCounts& c) {
    std::printf("%s: %lu GDI objects, %lu USER objects\n", when, c.gdi, c.user);
}

inline void Pump() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

// No registered or hot window may be a dead one: a dead window is never looked
// up, painted or made hot again.
inline ::testing::AssertionResult NothingDeadIsKept() {
    for (const HWND window : SkinTesting::RegisteredWindows()) {
        if (!IsWindow(window))
            return ::testing::AssertionFailure() << "a dead window is registered";
    }
    const HWND hot = Skinning::HotWindow();
    if (hot != nullptr && !IsWindow(hot)) {
        return ::testing::AssertionFailure() << "a dead window is hot";
    }
    return ::testing::AssertionSuccess();
}

// The UI thread hooked as start-up hooks it, and everything undone afterwards,
// whatever an assertion left behind.
class SkinnedThreadTest : public testing::Test {
protected:
    void SetUp() override {
        LoadGalleryControls();
        CSkinManager::GetManager()->InstallHook(static_cast<DWORD>(-1), TRUE);
    }
    void TearDown() override {
        CSkinManager::GetManager()->UninstallHook(static_cast<DWORD>(-1));
        CSkinManager::GetManager()->RemoveAll();
    }
};

}  // namespace hardening
