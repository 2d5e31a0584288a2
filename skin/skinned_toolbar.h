// Non-flat toolbars: flat buttons, the one under the mouse raised, checked
// buttons pressed; the toolbar forgets its hot button whenever it repaints.
#pragma once

#include "skin/skinned_control.h"

class CSkinnedToolbar : public CSkinnedControl {
public:
    static constexpr int kLookHot = 0x1;
    static constexpr int kLookChecked = 0x2;

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL NeedsHotUpdate(POINT cursor) override;
    // Paints in the client DC: button rectangles are client coordinates.
    void DrawControl(HDC dc, RECT& rect) override;
    void PaintToolbarButton(HDC dc, const RECT& rect, int look);

    int hotItem = -1;  // the button under the cursor at the last paint, -1 for none
};
