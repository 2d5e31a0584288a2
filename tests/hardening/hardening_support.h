// Shared by the hardening tests: an empty dialog made from an in-memory
// template, the process's object counts, and the skinning's invariants.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>

#include "skin/skin_manager.h"
#include "support/unique_resource.h"

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

// GDI objects of this process. Windows answers GetGuiResources; Wine answers 0
// there, but keeps the per-process handle table that the PEB points to, with the
// 24-byte entries of 64-bit and WoW64 Windows: count its used entries instead.
inline DWORD GdiObjectCount() {
    const DWORD reported = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (reported != 0) return reported;
    struct Entry {
        unsigned long long object;
        ULONG owner;
        USHORT unique;
        UCHAR type;
        UCHAR flags;
        unsigned long long user;
    };
    static_assert(sizeof(Entry) == 24, "the handle table's entry");
    const BYTE* peb = nullptr;
    asm("movl %%fs:0x30, %0" : "=r"(peb));  // the thread block's pointer to the PEB
    const auto* table = *reinterpret_cast<const Entry* const*>(peb + 0x94);  // GdiSharedHandleTable
    if (table == nullptr) return 0;
    DWORD used = 0;
    for (int i = 0; i < 0x10000; ++i) used += table[i].type != 0;
    return used;
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
    for (const auto& entry : CSkinManager::controlMap) {
        if (!IsWindow(entry.first))
            return ::testing::AssertionFailure() << "a dead control is registered";
    }
    for (const auto& entry : CSkinManager::dialogMap) {
        if (!IsWindow(entry.first))
            return ::testing::AssertionFailure() << "a dead dialog is registered";
    }
    if (CSkinManager::hotWindow != nullptr && !IsWindow(CSkinManager::hotWindow)) {
        return ::testing::AssertionFailure() << "a dead window is hot";
    }
    return ::testing::AssertionSuccess();
}

}  // namespace hardening
