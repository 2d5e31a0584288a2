// Tab controls (tab style, all four placements): a flat display area with a
// shadow line on two sides, and flat tabs with the one under the mouse in 3D.
#pragma once

#include "skin/skinned_control.h"

class CSkinnedTab : public CSkinnedControl {
public:
    enum Side { kTop = 0, kLeft = 1, kRight = 2, kBottom = 3 };
    static constexpr int kLookHot = 0x1;
    static constexpr int kLookSelected = 0x2;

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL NeedsHotUpdate(POINT cursor) override;
    // Paints in the client DC; rect only places the display area and the strip.
    void DrawControl(HDC dc, RECT& rect) override;
    // Only the tab under the mouse changes the look, never the keyboard focus.
    BOOL IsFocused() override { return FALSE; }

    Side TabSide() const;
    void PaintTabItem(HDC dc, const RECT& rect, int index, int look);

    int hotItem = -1;  // the tab under the cursor at the last paint, -1 for none

private:
    // Send nothing: what they need of the control is read before.
    static void PaintTab(HDC dc, const RECT& rect, int index, int selection, Side side, int look);
    static void PaintDisplayArea(HDC dc, const RECT& adjusted, Side side, const RECT* selected);
};
