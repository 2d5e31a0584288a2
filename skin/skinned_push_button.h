// Push buttons, default and push-like ones included: a flat face of thin rings,
// a heavy dark outline on the default button, the 3D look while highlighted.
#pragma once

#include "skin/skinned_control.h"

class CSkinnedPushButton : public CSkinnedControl {
public:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void DrawControl(HDC dc, RECT& rect) override;

protected:
    // Top row of a check box's box or a radio button's circle cell: the button
    // draws its mark where its vertical alignment style puts it.
    static int MarkTop(LONG style, const RECT& rect);
};
