// Non-flat toolbars (painter to come: base look until then).
#pragma once

#include "skin/skinned_control.h"

class CSkinnedToolbar : public CSkinnedControl {};
