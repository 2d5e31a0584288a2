// Button headers, typically a list view's column header: flat items with the
// one under the mouse raised, and the hot look lent to the parent.
#pragma once

#include "skin/skinned_control.h"

class CSkinnedHeader : public CSkinnedControl {
public:
    BOOL NeedsHotUpdate(POINT cursor) override;
    // Paints in the client DC: item rectangles are client coordinates.
    void DrawControl(HDC dc, RECT& rect) override;
    void PaintHeaderItem(HDC dc, const RECT& rect, BOOL hot);

    int hotItem = -1;  // the item drawn raised, -1 for none
};
