// Radio buttons (painter to come: base look until then).
#pragma once

#include "skin/skinned_push_button.h"

class CSkinnedRadioButton : public CSkinnedPushButton {};
