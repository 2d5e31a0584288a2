// Push buttons, default and push-like ones included (painter to come: base look until then).
#pragma once

#include "skin/skinned_control.h"

class CSkinnedPushButton : public CSkinnedControl {};
