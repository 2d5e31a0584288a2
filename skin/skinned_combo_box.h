// Drop-down and drop-list combo boxes (painter to come: base look until then).
#pragma once

#include "skin/skinned_control.h"

class CSkinnedComboBox : public CSkinnedControl {};
