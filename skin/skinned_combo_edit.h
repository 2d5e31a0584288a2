// The edit of a simple combo box (painter to come: base look until then).
#pragma once

#include "skin/skinned_edit.h"

class CSkinnedComboEdit : public CSkinnedEdit {};
