// IP address controls (painter to come: base look until then).
#pragma once

#include "skin/skinned_control.h"

class CSkinnedIPAddress : public CSkinnedControl {};
