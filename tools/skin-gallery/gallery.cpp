// Fills the gallery's controls with what shows their painters' features: items
// to scroll, columns, tabs with one selected, toolbar buttons.
#include "tools/skin-gallery/gallery.h"

#include <commctrl.h>

#include "tools/skin-gallery/gallery_ids.h"

namespace {

int openWindows = 0;

void FillButtons(HWND dialog) {
    CheckDlgButton(dialog, IDC_THREE_STATE, BST_INDETERMINATE);
    CheckDlgButton(dialog, IDC_RADIO_ONE, BST_CHECKED);
    CheckDlgButton(dialog, IDC_CHECK, BST_CHECKED);
    SendDlgItemMessageA(dialog, IDC_SPIN_RIGHT, UDM_SETRANGE32, 0, 100);
    SendDlgItemMessageA(dialog, IDC_SPIN_LEFT, UDM_SETRANGE32, 0, 100);
    SendDlgItemMessageA(dialog, IDC_PROGRESS, PBM_SETPOS, 50, 0);
    SendDlgItemMessageA(dialog, IDC_IPADDRESS, IPM_SETADDRESS, 0, MAKEIPADDRESS(192, 168, 0, 1));
    for (const int id : {IDC_COMBO_SIMPLE, IDC_COMBO_DROPDOWN, IDC_COMBO_DROPLIST}) {
        for (const char* item : {"Matrix", "Complex math", "Memory", "Chipset", "Integer"}) {
            SendDlgItemMessageA(dialog, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
        }
        SendDlgItemMessageA(dialog, id, CB_SETCURSEL, 0, 0);
    }
}

void FillLists(HWND dialog) {
    for (int i = 1; i <= 20; ++i) {
        char text[16];
        wsprintfA(text, "Item %d", i);
        SendDlgItemMessageA(dialog, IDC_LISTBOX, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    }
    for (const int id : {IDC_LISTVIEW, IDC_LISTVIEW_NO_EDGE}) {
        const HWND list = GetDlgItem(dialog, id);
        const char* titles[] = {"Worker", "Cycles", "State"};
        for (int c = 0; c < 3; ++c) {
            LVCOLUMNA column{};
            column.mask = LVCF_TEXT | LVCF_WIDTH;
            column.cx = 55;
            column.pszText = const_cast<char*>(titles[c]);
            SendMessageA(list, LVM_INSERTCOLUMNA, c, reinterpret_cast<LPARAM>(&column));
        }
        const char* rows[] = {"Matrix", "Complex", "Memory"};
        for (int r = 0; r < 3; ++r) {
            LVITEMA item{};
            item.mask = LVIF_TEXT;
            item.iItem = r;
            item.pszText = const_cast<char*>(rows[r]);
            SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
        }
    }
    const HWND tree = GetDlgItem(dialog, IDC_TREEVIEW);
    TVINSERTSTRUCTA insert{};
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT;
    insert.item.pszText = const_cast<char*>("Processor");
    const auto root = reinterpret_cast<HTREEITEM>(
        SendMessageA(tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
    for (const char* leaf : {"Floating point", "Caches", "Memory"}) {
        insert.hParent = root;
        insert.item.pszText = const_cast<char*>(leaf);
        SendMessageA(tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert));
    }
    SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(root));
}

void FillBars(HWND dialog) {
    for (const int id : {IDC_HSCROLL, IDC_VSCROLL}) {
        SCROLLINFO info{};
        info.cbSize = sizeof(info);
        info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
        info.nMin = 0;
        info.nMax = 99;
        info.nPage = 20;
        info.nPos = 30;
        SetScrollInfo(GetDlgItem(dialog, id), SB_CTL, &info, TRUE);
    }
    for (int id = IDC_TRACK_BOTTOM; id <= IDC_TRACK_NOTHUMB; ++id) {
        SendDlgItemMessageA(dialog, id, TBM_SETRANGE, TRUE, MAKELPARAM(0, 10));
        SendDlgItemMessageA(dialog, id, TBM_SETPOS, TRUE, 4);
    }
}

void FillToolbar(HWND toolbar) {
    SendMessageA(toolbar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageA(toolbar, TB_LOADIMAGES, IDB_STD_SMALL_COLOR,
                 reinterpret_cast<LPARAM>(HINST_COMMCTRL));
    TBBUTTON buttons[] = {
        {STD_FILENEW, 1, TBSTATE_ENABLED, BTNS_BUTTON, {}, 0, 0},
        {STD_FILEOPEN, 2, TBSTATE_ENABLED, BTNS_BUTTON, {}, 0, 0},
        {0, 0, TBSTATE_ENABLED, BTNS_SEP, {}, 0, 0},
        {STD_FILESAVE, 3, TBSTATE_ENABLED | TBSTATE_CHECKED, BTNS_CHECK, {}, 0, 0},
        {STD_PRINT, 4, 0, BTNS_BUTTON, {}, 0, 0},  // disabled
    };
    SendMessageA(toolbar, TB_ADDBUTTONSA, sizeof(buttons) / sizeof(buttons[0]),
                 reinterpret_cast<LPARAM>(buttons));
}

void FillStrips(HWND dialog) {
    FillToolbar(GetDlgItem(dialog, IDC_TOOLBAR));
    FillToolbar(GetDlgItem(dialog, IDC_TOOLBAR_FLAT));
    for (int id = IDC_TAB_TOP; id <= IDC_TAB_RIGHT; ++id) {
        const HWND tab = GetDlgItem(dialog, id);
        const char* names[] = {"First", "Second", "Third"};
        for (int i = 0; i < 3; ++i) {
            TCITEMA item{};
            item.mask = TCIF_TEXT;
            item.pszText = const_cast<char*>(names[i]);
            SendMessageA(tab, TCM_INSERTITEMA, i, reinterpret_cast<LPARAM>(&item));
        }
        SendMessageA(tab, TCM_SETCURSEL, 1, 0);
    }
}

// Draws the owner-drawn button itself, so it plainly keeps a look of its own.
void DrawOwnerButton(const DRAWITEMSTRUCT& item) {
    RECT r = item.rcItem;
    DrawFrameControl(item.hDC, &r, DFC_BUTTON,
                     DFCS_BUTTONPUSH | ((item.itemState & ODS_SELECTED) ? DFCS_PUSHED : 0));
    SetBkMode(item.hDC, TRANSPARENT);
    DrawTextA(item.hDC, "Owner-drawn", -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

INT_PTR CALLBACK GalleryProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            return TRUE;
        case WM_DRAWITEM:
            if (wParam == IDC_OWNER_DRAWN) {
                DrawOwnerButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
                return TRUE;
            }
            return FALSE;
        case WM_CLOSE:
            DestroyWindow(dialog);
            return TRUE;
        case WM_DESTROY:
            if ((GetWindowLongA(dialog, GWL_STYLE) & WS_CHILD) == 0 && --openWindows == 0) {
                PostQuitMessage(0);
            }
            return FALSE;
        default:
            return FALSE;
    }
}

HWND Open(HINSTANCE instance, int templateId, int x, int y) {
    const HWND dialog =
        CreateDialogParamA(instance, MAKEINTRESOURCEA(templateId), nullptr, GalleryProc, 0);
    if (dialog == nullptr) return nullptr;
    ++openWindows;
    SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return dialog;
}

}  // namespace

void LoadGalleryControls() {
    INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_WIN95_CLASSES | ICC_DATE_CLASSES |
                                                      ICC_INTERNET_CLASSES | ICC_USEREX_CLASSES};
    InitCommonControlsEx(&classes);
    static const HMODULE richEdit = LoadLibraryA("riched20.dll");  // lives as long as the process
    (void)richEdit;
}

Gallery CreateGallery(HINSTANCE instance) {
    LoadGalleryControls();
    Gallery g;
    // Two by two, each window under 512x384 pixels, so nothing overlaps at 1024x768.
    g.buttons = Open(instance, IDD_GALLERY_BUTTONS, 0, 0);
    g.lists = Open(instance, IDD_GALLERY_LISTS, 512, 0);
    g.bars = Open(instance, IDD_GALLERY_BARS, 0, 384);
    g.strips = Open(instance, IDD_GALLERY_STRIPS, 512, 384);
    if (g.buttons) FillButtons(g.buttons);
    if (g.lists) FillLists(g.lists);
    if (g.bars) FillBars(g.bars);
    if (g.strips) {
        FillStrips(g.strips);
        g.child = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_GALLERY_CHILD), g.strips,
                                     GalleryProc, 0);
        if (g.child) {
            RECT place{7, 160, 0, 0};
            MapDialogRect(g.strips, &place);
            SetWindowLongPtrA(g.child, GWLP_ID, IDC_CHILD_DIALOG);
            SetWindowPos(g.child, nullptr, place.left, place.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        }
    }
    for (const HWND window : g.TopLevel()) {
        if (window) ShowWindow(window, SW_SHOWNOACTIVATE);
    }
    return g;
}

void DestroyGallery(Gallery& gallery) {
    for (const HWND window : gallery.TopLevel()) {
        if (window && IsWindow(window)) DestroyWindow(window);
    }
    gallery = Gallery{};
}
