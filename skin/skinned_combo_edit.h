// The edit of a simple combo box: its frame is painted in the combo box's window,
// around the edit, since the edit itself has no border to paint over.
#pragma once

#include "skin/skinned_edit.h"

class CSkinnedComboEdit : public CSkinnedEdit {
public:
    void GetBorderDC(WindowDc& dc, RECT& rect) override;
};
