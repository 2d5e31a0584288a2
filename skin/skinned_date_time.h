// Date-time pickers: drawn as a combo box, or as a lone frame when an up-down
// control (skinned on its own) takes the drop-down button's place.
#pragma once

#include "skin/skinned_combo_box.h"

class CSkinnedDateTime : public CSkinnedComboBox {
public:
    void DrawControl(HDC dc, RECT& rect) override;
};
