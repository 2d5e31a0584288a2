// Drop-down and drop-list combo boxes: the flat frame plus a flat drop-down
// button, and focus that may sit in the combo box's edit.
#pragma once

#include "skin/skinned_control.h"

class CSkinnedComboBox : public CSkinnedControl {
public:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void DrawControl(HDC dc, RECT& rect) override;
    BOOL IsFocused() override;
};
