// Runs under Xvfb with Wine's X11 driver (scripts/screenshots): moves the
// cursor with SetCursorPos and lets the hover tracking tick before each copy.
#include "tools/skin-gallery/shots.h"

#include <commctrl.h>

#include <algorithm>
#include <vector>

#include "skin/skin.h"
#include "support/screen_capture.h"
#include "tools/skin-gallery/gallery.h"
#include "tools/skin-gallery/gallery_ids.h"

namespace {

void Pump(DWORD milliseconds) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < milliseconds) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        Sleep(10);
    }
}

// Rests the mouse at `point` until the hover tracking has moved the hot state.
void HoverAt(POINT point) {
    SetCursorPos(point.x, point.y);
    CSkinManager::GetManager()->TrackMouse();
    Pump(250);
}

POINT Centre(const RECT& r) {
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

RECT ScreenRect(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return r;
}

struct Spot {
    RECT area;   // what the strip shows, in screen coordinates
    POINT rest;  // where the mouse rests
};

Spot ControlSpot(HWND dialog, int id, int alsoId = 0) {
    RECT area = ScreenRect(GetDlgItem(dialog, id));
    const POINT rest = Centre(area);
    if (alsoId != 0) {
        const RECT also = ScreenRect(GetDlgItem(dialog, alsoId));
        UnionRect(&area, &area, &also);
    }
    return {area, rest};
}

// The mouse over item `index` of a control, found through its item rectangle.
Spot ItemSpot(HWND control, UINT rectMessage, int index, RECT area) {
    RECT item{};
    SendMessageA(control, rectMessage, index, reinterpret_cast<LPARAM>(&item));
    MapWindowPoints(control, nullptr, reinterpret_cast<POINT*>(&item), 2);
    return {area, Centre(item)};
}

std::vector<Spot> HotSpots(const Gallery& g) {
    std::vector<Spot> spots;
    for (const int id : {IDC_PUSH, IDC_DEFAULT_PUSH, IDC_CHECK, IDC_RADIO_ONE, IDC_EDIT,
                         IDC_COMBO_DROPDOWN, IDC_DATETIME, IDC_IPADDRESS}) {
        spots.push_back(ControlSpot(g.buttons, id));
    }
    spots.push_back(ControlSpot(g.buttons, IDC_SPIN_RIGHT, IDC_EDIT_SPIN_RIGHT));
    for (const int id : {IDC_LISTBOX, IDC_TREEVIEW}) spots.push_back(ControlSpot(g.lists, id));
    const HWND list = GetDlgItem(g.lists, IDC_LISTVIEW);
    const HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
    spots.push_back(ItemSpot(header, HDM_GETITEMRECT, 1, ScreenRect(list)));
    for (const int id : {IDC_HSCROLL, IDC_TRACK_BOTTOM, IDC_TRACK_BOTH}) {
        spots.push_back(ControlSpot(g.bars, id));
    }
    const HWND toolbar = GetDlgItem(g.strips, IDC_TOOLBAR);
    spots.push_back(ItemSpot(toolbar, TB_GETITEMRECT, 1, ScreenRect(toolbar)));
    const HWND tab = GetDlgItem(g.strips, IDC_TAB_TOP);
    spots.push_back(ItemSpot(tab, TCM_GETITEMRECT, 2, ScreenRect(tab)));
    return spots;
}

bool WriteHotStrip(const Gallery& g, const std::string& path) {
    constexpr int kMargin = 4, kWidth = 1024;
    std::vector<Spot> spots = HotSpots(g);
    // Lay the tiles out in rows first, to know the picture's height.
    std::vector<POINT> places;
    int x = kMargin, y = kMargin, rowHeight = 0;
    for (const Spot& spot : spots) {
        const int w = spot.area.right - spot.area.left, h = spot.area.bottom - spot.area.top;
        if (x + w + kMargin > kWidth) {
            x = kMargin;
            y += rowHeight + kMargin;
            rowHeight = 0;
        }
        places.push_back({x, y});
        x += w + kMargin;
        rowHeight = std::max(rowHeight, static_cast<int>(h));
    }
    ScreenCanvas canvas(kWidth, y + rowHeight + kMargin);
    if (!canvas.Ready()) return false;
    for (std::size_t i = 0; i < spots.size(); ++i) {
        HoverAt(spots[i].rest);
        canvas.CopyFromScreen(spots[i].area, places[i].x, places[i].y);
    }
    return canvas.Save(path);
}

}  // namespace

int WriteGalleryShots(HINSTANCE instance, const std::string& folder) {
    Gallery gallery = CreateGallery(instance);
    if (gallery.buttons == nullptr) return 1;
    Pump(1000);
    HoverAt({1023, 767});  // below and right of every window
    bool ok = ScreenCanvas::Capture({0, 0, 1024, 768}, folder + "/skin-gallery.bmp");
    ok = WriteHotStrip(gallery, folder + "/skin-hot.bmp") && ok;
    DestroyGallery(gallery);
    return ok ? 0 : 1;
}
