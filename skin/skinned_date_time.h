// Date-time pickers (painter to come: base look until then).
#pragma once

#include "skin/skinned_combo_box.h"

class CSkinnedDateTime : public CSkinnedComboBox {};
