// The spin painter: an attached spin sits two pixels inside its window, so the
// buddy's frame seems to run around it; its hot look is lent to its neighbour.
#include "skin/skinned_spin.h"

#include <commctrl.h>

#include "skin/drawing.h"
#include "skin/registry.h"

namespace {
HWND BuddyOf(HWND spin) {
    return reinterpret_cast<HWND>(::SendMessageA(spin, UDM_GETBUDDY, 0, 0));
}
}  // namespace

void CSkinnedSpin::DrawControl(HDC dc, RECT& rect) {
    // Asking for the buddy goes through whoever sits above us, who may destroy us.
    const Survival alive(*this);
    const HWND self = window;
    RECT inner = rect;
    const LONG style = ::GetWindowLongA(self, GWL_STYLE);
    const bool lit = IsHighlighted();
    const HWND buddy = BuddyOf(self);
    if (!alive()) return;
    // A spin with a buddy looks as usable as the buddy is.
    const bool enabled = ::IsWindowEnabled(buddy != nullptr ? buddy : self) != 0;
    const Rings2 buttons = enabled && lit ? Scheme::kButtonLit : Scheme::kButton;
    const bool attached = buddy != nullptr && (style & (UDS_ALIGNRIGHT | UDS_ALIGNLEFT));
    if (attached) {
        const bool left = (style & UDS_ALIGNLEFT) != 0;
        if (left) {
            inner.left += 2;
        } else {
            inner.right -= 2;
        }
        inner.top += 2;
        inner.bottom -= 2;
        // A highlighted buddy draws its own 3D frame; flat lines would cut into it.
        const CSkinnedControl* neighbour = CSkinnedControl::Find(buddy);
        if (neighbour != nullptr && !neighbour->IsHighlighted()) {
            BlendIntoBuddy(dc, buddy, left, inner);
        }
    }

    // For an odd size the middle line belongs to neither button.
    RECT first = inner, second = inner;
    if (style & UDS_HORZ) {
        const int w = inner.right - inner.left;
        first.right = inner.left + w / 2;
        second.left = inner.left + w / 2 + w % 2;
    } else {
        const int h = inner.bottom - inner.top;
        first.bottom = inner.top + h / 2;
        second.top = inner.top + h / 2 + h % 2;
    }
    DrawRings2(dc, first, buttons);
    DrawRings2(dc, second, buttons);

    // The spin is part of its buddy, or of the control that made it (a tab
    // control's scroller); looked up afresh, for the messages above may have
    // destroyed it. A neighbour that lends its look back finds us painting;
    // one that destroys us answering its own painter's questions leaves us
    // with nothing more to do.
    CSkinnedControl* neighbour = attached ? CSkinnedControl::Find(buddy) : nullptr;
    if (neighbour == nullptr) neighbour = CSkinnedControl::Find(::GetParent(self));
    if (neighbour != nullptr && ::IsWindowEnabled(neighbour->window)) {
        if (lit) {
            neighbour->ModifyState(0, kHot, TRUE);
        } else {
            neighbour->ModifyState(kHot, 0, TRUE);
        }
    }
}

void CSkinnedSpin::BlendIntoBuddy(HDC dc, HWND buddy, bool left, const RECT& buttons) {
    const bool enabled = ::IsWindowEnabled(buddy) != 0;
    const COLORREF lit = ::GetSysColor(enabled ? Sys::HIGHLIGHT : Sys::FACE);
    const COLORREF shaded = ::GetSysColor(enabled ? Sys::LIGHT : Sys::FACE);
    const int l = buttons.left, t = buttons.top, r = buttons.right, b = buttons.bottom;
    // Extents reach past the window on purpose: the window DC clips them.
    FillSolid(dc, l, t - 1, r, 1, lit);
    FillSolid(dc, l, b, r, 1, shaded);
    if (left) {
        FillSolid(dc, l - 1, t - 1, 1, b, lit);
    } else {
        FillSolid(dc, r, t - 1, 1, b, shaded);
    }
}

void CSkinnedSpin::PaintSpinButton(HDC dc, const RECT& rect) {
    // A spin with a buddy looks as usable as the buddy is.
    const HWND buddy = BuddyOf(window);
    const bool enabled = ::IsWindowEnabled(buddy != nullptr ? buddy : window) != 0;
    DrawRings2(dc, rect, enabled && IsHighlighted() ? Scheme::kButtonLit : Scheme::kButton);
}
