// Edits with a client edge: the plain flat frame, left open towards an attached
// up-down control, and the read-only look.
#pragma once

#include "skin/skinned_control.h"

class CSkinnedEdit : public CSkinnedControl {
public:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void DrawControl(HDC dc, RECT& rect) override;

private:
    // Lays the frame out over the spin as well and continues the edit's inner
    // top edge along the spin's row 1 (and column 1 when the spin is on the left).
    void JoinSpin(HWND spin, LONG spinStyle, RECT& frame);
};
