// Up-down controls (painter to come: base look until then).
#pragma once

#include "skin/skinned_control.h"

class CSkinnedSpin : public CSkinnedControl {};
