// Check boxes, three-state ones included: only the 13-pixel box is redrawn; the
// text and the check mark stay as the control drew them.
#pragma once

#include "skin/skinned_push_button.h"

class CSkinnedCheckBox : public CSkinnedPushButton {
public:
    void DrawControl(HDC dc, RECT& rect) override;
    // A focused box keeps the flat look: only the mouse lights it up.
    BOOL IsFocused() override { return FALSE; }
};
