// Radio buttons: only the 12-pixel circle is redrawn, pixel by pixel; the text
// and the dot stay as the control drew them.
#pragma once

#include <cstdint>

#include "skin/skinned_push_button.h"

class CSkinnedRadioButton : public CSkinnedPushButton {
public:
    // One pixel of the circle, from the top-left corner of its 12-by-12 cell.
    struct Offset {
        std::int32_t dx, dy;
    };

    void DrawControl(HDC dc, RECT& rect) override;
    // A focused button keeps the flat look: only the mouse lights it up.
    BOOL IsFocused() override { return FALSE; }

    // Sets each pixel of a list ended by (0, 0) in a system colour, read per pixel.
    static void PlotPixels(const Offset* list, int index, HDC dc, int x, int y);
};
