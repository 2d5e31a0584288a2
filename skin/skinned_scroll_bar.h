// Scroll bar controls, not size boxes or grips: the whole window is one bar,
// repainted flat after the messages that make the control redraw itself.
#pragma once

#include "skin/skinned_control.h"

class CSkinnedScrollBar : public CSkinnedControl {
public:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void DrawControl(HDC dc, RECT& rect) override;
};
