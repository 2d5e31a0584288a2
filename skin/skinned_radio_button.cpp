// The radio button painter: the circle's four arcs plotted pixel by pixel in the
// state's colours; push-like radio buttons are painted as push buttons.
#include "skin/skinned_radio_button.h"

#include "skin/drawing.h"

namespace {

using Offset = CSkinnedRadioButton::Offset;

// The arcs of a 12-pixel circle, each ended by (0, 0), which is never a pixel of it.
constexpr Offset kOuterUpperLeft[] = {{1, 9}, {1, 8}, {0, 7}, {0, 6}, {0, 5}, {0, 4},
                                      {1, 3}, {1, 2}, {2, 1}, {3, 1}, {4, 0}, {5, 0},
                                      {6, 0}, {7, 0}, {8, 1}, {9, 1}, {0, 0}};
constexpr Offset kInnerUpperLeft[] = {{2, 8}, {1, 7}, {1, 6}, {1, 5}, {1, 4},
                                      {2, 3}, {2, 2}, {3, 2}, {4, 1}, {5, 1},
                                      {6, 1}, {7, 1}, {8, 2}, {9, 2}, {0, 0}};
constexpr Offset kInnerLowerRight[] = {{2, 9},  {3, 9},  {4, 10}, {5, 10}, {6, 10},
                                       {7, 10}, {8, 9},  {9, 9},  {9, 8},  {10, 7},
                                       {10, 6}, {10, 5}, {10, 4}, {9, 3},  {0, 0}};
constexpr Offset kOuterLowerRight[] = {{2, 10}, {3, 10}, {4, 11}, {5, 11}, {6, 11}, {7, 11},
                                       {8, 10}, {9, 10}, {10, 9}, {10, 8}, {11, 7}, {11, 6},
                                       {11, 5}, {11, 4}, {10, 3}, {10, 2}, {0, 0}};

// Colours of the four arcs, in painting order.
struct CircleColours {
    int outerUpperLeft, innerUpperLeft, innerLowerRight, outerLowerRight;
};

}  // namespace

void CSkinnedRadioButton::PlotPixels(const Offset* list, int index, HDC dc, int x, int y) {
    for (const Offset* p = list; p->dx != 0 || p->dy != 0; ++p) {
        ::SetPixel(dc, x + p->dx, y + p->dy, ::GetSysColor(index));
    }
}

void CSkinnedRadioButton::DrawControl(HDC dc, RECT& rect) {
    using namespace Sys;
    const LONG style = ::GetWindowLongA(window, GWL_STYLE);
    if (style & BS_PUSHLIKE) {
        CSkinnedPushButton::DrawControl(dc, rect);
        return;
    }
    // The cell of a left-side circle starts one pixel in; a right-side one ends at the edge.
    const int x = (style & BS_LEFTTEXT) ? rect.right - 12 : rect.left + 1;
    const int y = MarkTop(style, rect);

    CircleColours c{SHADOW, WINDOW, FACE, WINDOW};
    if (IsHighlighted()) {
        c = {SHADOW, DKSHADOW, FACE, WINDOW};
    } else if (!::IsWindowEnabled(window)) {
        c = {SHADOW, FACE, FACE, HIGHLIGHT};
    }
    PlotPixels(kOuterUpperLeft, c.outerUpperLeft, dc, x, y);
    PlotPixels(kInnerUpperLeft, c.innerUpperLeft, dc, x, y);
    PlotPixels(kInnerLowerRight, c.innerLowerRight, dc, x, y);
    PlotPixels(kOuterLowerRight, c.outerLowerRight, dc, x, y);
}
