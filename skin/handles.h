// Owners for the GDI handles the painters borrow, so that every path gives each
// one back exactly once.
#pragma once

#include <windows.h>

#include "support/unique_resource.h"

namespace skin_detail {
// A DC may belong to another window than the one painted (a simple combo's edit
// paints in the combo box), so it goes back through the window that owns it.
inline void ReleaseToItsWindow(HDC dc) {
    ::ReleaseDC(::WindowFromDC(dc), dc);
}
inline void DeletePen(HPEN pen) {
    ::DeleteObject(pen);
}
}  // namespace skin_detail

// From GetDC or GetWindowDC.
using WindowDc = UniqueResource<HDC, skin_detail::ReleaseToItsWindow>;
using Pen = UniqueResource<HPEN, skin_detail::DeletePen>;

// Selects an object into a DC and selects the previous one back at scope end.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(::SelectObject(dc, object)) {}
    ~SelectedObject() {
        if (previous_ != nullptr) ::SelectObject(dc_, previous_);
    }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC dc_;            // not owned
    HGDIOBJ previous_;  // not owned
};
