// Helpers for checking live dialogs against their templates: children in
// template order, texts, and item rectangles in dialog units.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "support/unique_resource.h"
#include "tests/process_objects.h"

inline std::string WindowText(HWND hwnd) {
    char text[256] = {};
    GetWindowTextA(hwnd, text, sizeof(text));
    return text;
}

inline std::string ClassOf(HWND hwnd) {
    char name[64] = {};
    GetClassNameA(hwnd, name, sizeof(name));
    return name;
}

// Children in creation order, which for a dialog is template order.
inline std::vector<HWND> ChildrenInOrder(HWND dialog) {
    std::vector<HWND> children;
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        children.push_back(child);
    }
    return children;
}

// The item's rectangle in the dialog's client coordinates.
inline RECT ClientRectOf(HWND dialog, HWND item) {
    RECT r{};
    GetWindowRect(item, &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// A template rectangle (x, y, width, height in dialog units) in pixels. The
// dialog manager converts position and size separately, and so does this.
inline RECT DialogUnits(HWND dialog, int x, int y, int w, int h) {
    RECT r{x, y, w, h};
    MapDialogRect(dialog, &r);
    return RECT{r.left, r.top, r.left + r.right, r.top + r.bottom};
}

struct DialogSearch {
    const char* title;
    HWND found;
};

inline BOOL CALLBACK MatchDialogTitle(HWND hwnd, LPARAM lp) {
    auto* search = reinterpret_cast<DialogSearch*>(lp);
    if (ClassOf(hwnd) != "#32770" || WindowText(hwnd) != search->title) return TRUE;
    search->found = hwnd;
    return FALSE;
}

// A dialog of the calling thread, by its title; nullptr when none is open.
inline HWND FindThreadDialog(const char* title) {
    DialogSearch search{title, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), MatchDialogTitle, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The three ways a user ends the dialog, with the result each gives.
struct WayToEnd {
    const char* how;
    INT_PTR result;
    void (*press)(HWND dialog);
};

inline const WayToEnd kWaysToEnd[] = {
    {"E&xit", IDOK, [](HWND d) { SendMessageA(GetDlgItem(d, IDOK), BM_CLICK, 0, 0); }},
    {"Escape", IDCANCEL, [](HWND) { PostMessageA(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 0); }},
    {"Close", IDCANCEL, [](HWND d) { PostMessageA(d, WM_SYSCOMMAND, SC_CLOSE, 0); }},
};
