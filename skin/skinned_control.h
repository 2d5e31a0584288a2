// The skinning object of one control: its state word, the five operations a
// kind may replace, and DrawBorder, the one place that decides to repaint.
#pragma once

#include <windows.h>

#include <cstdint>

#include "skin/handles.h"
#include "skin/subclassed_window.h"

class CSkinnedControl : public CSubclassedWindow {
public:
    // State bits. (windows.h defines `small` as a macro, hence the k prefix.)
    static constexpr WORD kHot = 0x0001;
    static constexpr WORD kSmall = 0x0002;  // border rectangle under 30 pixels high
    static constexpr WORD kFocused = 0x0004;
    static constexpr WORD kReadOnly = 0x0008;
    static constexpr WORD kHighlighted = kHot | kFocused;

    // Slot 0: the messages after which the border must be repainted.
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    // Slot 1: whether the hover tick at `cursor` (screen) must move the hot state here.
    virtual BOOL NeedsHotUpdate(POINT cursor);
    // Slot 2: the DC to paint the border in and its rectangle; a null DC paints nothing.
    virtual void GetBorderDC(WindowDc& dc, RECT& rect);
    // Slot 3: the painter.
    virtual void DrawControl(HDC dc, RECT& rect);
    // Slot 4.
    virtual BOOL IsFocused();

    void DrawBorder();
    void ModifyState(WORD clear, WORD set, BOOL redraw);
    WORD GetState() const { return state; }
    bool IsHighlighted() const { return (state & kHighlighted) != 0; }

    // The flat repaint of the window's own scroll bars, and its geometry.
    void PaintWindowScrollBars(HDC dc, const RECT& rect);
    void PaintScrollBar(HDC dc, const RECT& bar, int vertical, int isControl);
    void PaintScrollButton(HDC dc, const RECT& rect);

    // The procedure put on every skinned control.
    static LRESULT CALLBACK ControlWindowProc(HWND hwnd, UINT message, WPARAM wParam,
                                              LPARAM lParam);
    // The calling thread's registered object of a window, or null.
    static CSkinnedControl* Find(HWND window);

protected:
    // Taken before a message is sent: afterwards it says whether this object
    // still serves its window, for a subclasser above us may answer any message
    // by destroying the window, and this object with it.
    class Survival {
    public:
        explicit Survival(const CSkinnedControl& control);
        bool operator()() const;

    private:
        HWND window_;                    // not owned
        const CSkinnedControl* object_;  // not owned, never read through
        std::uint32_t serial_;
        bool registered_;  // an object nobody registered has nothing to lose
    };

    // Passes the message on first, then repaints the border unless the message
    // destroyed this object on the way; answers the control's own answer.
    LRESULT PassOnThenDraw(UINT message, WPARAM wParam, LPARAM lParam);
    // Repaints the border, then passes the message on unless the repaint's
    // messages destroyed the window (then 0).
    LRESULT DrawThenPassOn(UINT message, WPARAM wParam, LPARAM lParam);
    Unregister Unregisterer() const override;

    WORD state = 0;
    WORD drawnState = 0;

private:
    bool drawing_ = false;  // inside DrawBorder: lending hot back to us paints nothing
};
