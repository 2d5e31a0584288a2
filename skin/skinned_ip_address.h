// IP address controls: the plain flat frame, highlighted while any of the four
// field edits has the focus.
#pragma once

#include "skin/skinned_control.h"

class CSkinnedIPAddress : public CSkinnedControl {
public:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL IsFocused() override;
};
