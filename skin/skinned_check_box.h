// Check boxes, three-state ones included (painter to come: base look until then).
#pragma once

#include "skin/skinned_push_button.h"

class CSkinnedCheckBox : public CSkinnedPushButton {};
