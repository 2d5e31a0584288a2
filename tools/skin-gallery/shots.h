// The gallery's generated pictures: the whole screen with the mouse away from
// every control, and a strip of each kind's hot look.
#pragma once

#include <windows.h>

#include <string>

// Writes skin-gallery.bmp and skin-hot.bmp into `folder`; 0 when both were written.
int WriteGalleryShots(HINSTANCE instance, const std::string& folder);
