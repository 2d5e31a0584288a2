// Trackbars: a thin flat channel and a flat thumb, both back in 3D while the
// mouse is over the control or it has the focus.
#pragma once

#include "skin/skinned_control.h"

class CSkinnedTrackbar : public CSkinnedControl {
public:
    // Paints in the client DC: the channel and thumb rectangles are client coordinates.
    void DrawControl(HDC dc, RECT& rect) override;
    void PaintTrackbarThumb(HDC dc, const RECT& rect);
};
