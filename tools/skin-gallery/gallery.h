// The skin gallery's windows: created modeless on the calling thread, filled
// with items, placed side by side on a 1024x768 screen.
#pragma once

#include <windows.h>

#include <vector>

struct Gallery {
    HWND buttons = nullptr;  // buttons, edits, combo boxes, date-time, IP address
    HWND lists = nullptr;    // list box, list views, tree view, month calendar, rich edit
    HWND bars = nullptr;     // scroll bars, size grip, trackbars
    HWND strips = nullptr;   // toolbars, tab controls
    HWND child = nullptr;    // the dialog nested in `strips`

    std::vector<HWND> TopLevel() const { return {buttons, lists, bars, strips}; }
};

// Loads what the gallery's controls need (common controls, rich edit) once.
void LoadGalleryControls();
// Creates the four windows; a window closed by the user destroys itself, and
// the last one to go posts WM_QUIT.
Gallery CreateGallery(HINSTANCE instance);
// Destroys whatever is left of the gallery.
void DestroyGallery(Gallery& gallery);
