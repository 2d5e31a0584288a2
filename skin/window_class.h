// Window class names as the skinning reads them: a 64-character buffer, and a
// comparison without regard to case.
#pragma once

#include <windows.h>

constexpr int kClassNameSize = 64;

// Whether the window's class name is `name`, compared without regard to case.
bool ClassIs(HWND window, const char* name);
