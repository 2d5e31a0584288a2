// Class recognition: which skinning object a window gets from its class name and
// style, in the order of one table; containers have their children skinned first.
#pragma once

#include <windows.h>

#include <memory>

#include "skin/skinned_control.h"
#include "skin/window_class.h"

// Skins one child window: the manager's AddControl.
using SkinChild = void (*)(HWND child);

// The object for a window of `className` (at most 63 characters are compared),
// or null when the class or its condition says the window keeps its own look.
// Throws std::bad_alloc.
std::unique_ptr<CSkinnedControl> Recognise(HWND window, const char* className, SkinChild skinChild);
