// Every control kind the skinning recognises, as a purpose-built child of a
// dialog: what the churn and hostile-message tests create, over and over.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <string>
#include <vector>

namespace hardening {

struct ControlKind {
    const char* name;
    const char* className;
    DWORD style;
    DWORD exStyle;
    int cx, cy;
    bool withBuddy;  // created right after an edit, as its buddy
};

inline const std::vector<ControlKind>& ControlKinds() {
    static const std::vector<ControlKind> kinds = {
        {"push button", "Button", BS_PUSHBUTTON, 0, 60, 20, false},
        {"default push button", "Button", BS_DEFPUSHBUTTON, 0, 60, 20, false},
        {"push-like check box", "Button", BS_AUTOCHECKBOX | BS_PUSHLIKE, 0, 60, 20, false},
        {"check box", "Button", BS_AUTO3STATE, 0, 80, 14, false},
        {"radio button", "Button", BS_AUTORADIOBUTTON | BS_LEFTTEXT, 0, 80, 14, false},
        {"edit", "Edit", ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, 80, 20, false},
        {"multi-line edit", "Edit", ES_MULTILINE | WS_VSCROLL | WS_HSCROLL, WS_EX_CLIENTEDGE, 80,
         60, false},
        {"spin with its buddy", "msctls_updown32", UDS_ALIGNRIGHT | UDS_AUTOBUDDY | UDS_SETBUDDYINT,
         0, 12, 20, true},
        {"spin on the left", "msctls_updown32", UDS_ALIGNLEFT | UDS_AUTOBUDDY | UDS_HORZ, 0, 20, 20,
         true},
        {"simple combo box", "ComboBox", CBS_SIMPLE, 0, 80, 80, false},
        {"drop-down combo box", "ComboBox", CBS_DROPDOWN | WS_VSCROLL, 0, 80, 100, false},
        {"drop-list combo box", "ComboBox", CBS_DROPDOWNLIST, 0, 80, 100, false},
        {"date-time", "SysDateTimePick32", 0, WS_EX_CLIENTEDGE, 100, 20, false},
        {"date-time with up-down", "SysDateTimePick32", DTS_UPDOWN | DTS_TIMEFORMAT,
         WS_EX_CLIENTEDGE, 100, 20, false},
        {"IP address", "SysIPAddress32", 0, WS_EX_CLIENTEDGE, 120, 20, false},
        {"list box", "ListBox", WS_VSCROLL | LBS_NOINTEGRALHEIGHT, WS_EX_CLIENTEDGE, 80, 60, false},
        {"list view", "SysListView32", LVS_REPORT, WS_EX_CLIENTEDGE, 120, 60, false},
        {"tree view", "SysTreeView32", TVS_HASLINES, WS_EX_CLIENTEDGE, 80, 60, false},
        {"month calendar", "SysMonthCal32", 0, 0, 180, 160, false},
        {"hot key", "msctls_hotkey32", 0, WS_EX_CLIENTEDGE, 80, 20, false},
        {"rich edit", "RichEdit20W", ES_MULTILINE, WS_EX_CLIENTEDGE, 80, 40, false},
        {"scroll bar", "ScrollBar", SBS_HORZ, 0, 100, 16, false},
        {"vertical scroll bar", "ScrollBar", SBS_VERT, 0, 16, 100, false},
        {"trackbar", "msctls_trackbar32", TBS_AUTOTICKS, 0, 100, 24, false},
        {"vertical trackbar", "msctls_trackbar32", TBS_VERT | TBS_LEFT, 0, 24, 100, false},
        {"double-sided trackbar", "msctls_trackbar32", TBS_BOTH, 0, 100, 30, false},
        {"button header", "SysHeader32", HDS_BUTTONS, 0, 120, 20, false},
        {"toolbar", "ToolbarWindow32", CCS_NORESIZE | CCS_NOPARENTALIGN, 0, 120, 24, false},
        {"tab control", "SysTabControl32", 0, 0, 120, 60, false},
        {"bottom tab control", "SysTabControl32", TCS_BOTTOM, 0, 120, 60, false},
        {"right tab control", "SysTabControl32", TCS_VERTICAL | TCS_RIGHT | TCS_MULTILINE, 0, 120,
         60, false},
    };
    return kinds;
}

// Gives a created control something to paint: items, columns, tabs, buttons.
inline void FillControl(HWND control, const ControlKind& kind) {
    const std::string cls = kind.className;
    if (cls == "ComboBox" || cls == "ListBox") {
        const UINT add = cls == "ComboBox" ? CB_ADDSTRING : LB_ADDSTRING;
        for (int i = 0; i < 8; ++i) SendMessageA(control, add, 0, reinterpret_cast<LPARAM>("item"));
    } else if (cls == "SysTabControl32") {
        for (int i = 0; i < 3; ++i) {
            TCITEMA item{TCIF_TEXT, 0, 0, const_cast<char*>("Tab"), 0, 0, 0};
            SendMessageA(control, TCM_INSERTITEMA, i, reinterpret_cast<LPARAM>(&item));
        }
        SendMessageA(control, TCM_SETCURSEL, 1, 0);
    } else if (cls == "SysHeader32") {
        for (int i = 0; i < 3; ++i) {
            HDITEMA item{};
            item.mask = HDI_TEXT | HDI_WIDTH;
            item.cxy = 35;
            item.pszText = const_cast<char*>("Col");
            SendMessageA(control, HDM_INSERTITEMA, i, reinterpret_cast<LPARAM>(&item));
        }
    } else if (cls == "ToolbarWindow32") {
        SendMessageA(control, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
        TBBUTTON buttons[] = {{0, 1, TBSTATE_ENABLED, BTNS_BUTTON, {}, 0, 0},
                              {0, 0, TBSTATE_ENABLED, BTNS_SEP, {}, 0, 0},
                              {1, 2, TBSTATE_CHECKED | TBSTATE_ENABLED, BTNS_CHECK, {}, 0, 0},
                              {2, 3, 0, BTNS_BUTTON, {}, 0, 0}};
        SendMessageA(control, TB_ADDBUTTONSA, 4, reinterpret_cast<LPARAM>(buttons));
    } else if (cls == "SysListView32") {
        LVCOLUMNA column{};
        column.mask = LVCF_WIDTH;
        column.cx = 50;
        for (int i = 0; i < 2; ++i) {
            SendMessageA(control, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
        }
    } else if (cls == "SysDateTimePick32") {
        // A fixed moment: two copies made a second apart show the same text.
        SYSTEMTIME moment{2001, 2, 0, 3, 4, 5, 6, 0};
        SendMessageA(control, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&moment));
    } else if (cls == "ScrollBar") {
        SCROLLINFO info{sizeof(info), SIF_ALL, 0, 50, 10, 5, 0};
        SendMessageA(control, SBM_SETSCROLLINFO, TRUE, reinterpret_cast<LPARAM>(&info));
    }
}

// Creates the kind inside `parent` (its buddy edit first when it has one);
// returns the control.
inline HWND CreateKind(HWND parent, const ControlKind& kind, int x, int y) {
    if (kind.withBuddy) {
        CreateWindowExA(WS_EX_CLIENTEDGE, "Edit", "1", WS_CHILD | WS_VISIBLE, x, y, 60, kind.cy,
                        parent, nullptr, nullptr, nullptr);
    }
    const HWND control =
        CreateWindowExA(kind.exStyle, kind.className, kind.name, WS_CHILD | WS_VISIBLE | kind.style,
                        x, y, kind.cx, kind.cy, parent, nullptr, nullptr, nullptr);
    if (control != nullptr) FillControl(control, kind);
    return control;
}

}  // namespace hardening
