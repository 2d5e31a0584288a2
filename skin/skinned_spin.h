// Up-down controls: two flat buttons that blend into an attached buddy edit's
// frame and share the hot look with the buddy, or else with the parent.
#pragma once

#include "skin/skinned_control.h"

class CSkinnedSpin : public CSkinnedControl {
public:
    void DrawControl(HDC dc, RECT& rect) override;
    void PaintSpinButton(HDC dc, const RECT& rect);

private:
    // Continues the buddy's inner ring around the spin's inset buttons.
    void BlendIntoBuddy(HDC dc, HWND buddy, bool left, const RECT& buttons);
};
