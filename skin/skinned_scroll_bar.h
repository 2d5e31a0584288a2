// Scroll bar controls, not size boxes or grips (painter to come: base look until then).
#pragma once

#include "skin/skinned_control.h"

class CSkinnedScrollBar : public CSkinnedControl {};
