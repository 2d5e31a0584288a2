// Edits with a client edge (painter to come: base look until then).
#pragma once

#include "skin/skinned_control.h"

class CSkinnedEdit : public CSkinnedControl {};
