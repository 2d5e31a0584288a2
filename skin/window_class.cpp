// Window class names as the skinning reads them.
#include "skin/window_class.h"

bool ClassIs(HWND window, const char* name) {
    char actual[kClassNameSize] = {};
    ::GetClassNameA(window, actual, kClassNameSize);
    return ::lstrcmpiA(actual, name) == 0;
}
