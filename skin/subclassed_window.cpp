// Window subclassing through GWLP_WNDPROC, undone only from the top of the chain.
#include "skin/subclassed_window.h"

#include <atomic>

namespace {
std::atomic<std::uint32_t> nextSerial{1};
}  // namespace

CSubclassedWindow::CSubclassedWindow()
    : serial_(nextSerial.fetch_add(1, std::memory_order_relaxed)) {}

LONG_PTR CSubclassedWindow::SetProc(HWND hwnd, bool unicode, LONG_PTR proc) {
    return unicode ? ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, proc)
                   : ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, proc);
}

bool CSubclassedWindow::Subclass(HWND hwnd, WNDPROC proc) {
    window = hwnd;
    installed_ = proc;
    // A Unicode window set through the narrow call would turn ANSI, and its
    // text would go through the code page from then on.
    unicode_ = ::IsWindowUnicode(hwnd) != FALSE;
    // The set's own answer is the procedure we replaced: a read before it
    // could be stale by the time the set lands.
    ::SetLastError(0);
    const LONG_PTR previous = SetProc(hwnd, unicode_, reinterpret_cast<LONG_PTR>(proc));
    if (previous == 0) {
        // Refused, or a window without a procedure to pass on to: nothing of ours stays.
        if (::GetLastError() == 0) SetProc(hwnd, unicode_, 0);
        return false;
    }
    savedProc = reinterpret_cast<WNDPROC>(previous);
    return true;
}

bool CSubclassedWindow::OnTop() const {
    const LONG_PTR current = unicode_ ? ::GetWindowLongPtrW(window, GWLP_WNDPROC)
                                      : ::GetWindowLongPtrA(window, GWLP_WNDPROC);
    return current == reinterpret_cast<LONG_PTR>(installed_);
}

bool CSubclassedWindow::Unsubclass() {
    if (!OnTop()) return false;
    SetProc(window, unicode_, reinterpret_cast<LONG_PTR>(savedProc));
    return true;
}

LRESULT CSubclassedWindow::PassOn(UINT message, WPARAM wParam, LPARAM lParam) const {
    return unicode_ ? ::CallWindowProcW(savedProc, window, message, wParam, lParam)
                    : ::CallWindowProcA(savedProc, window, message, wParam, lParam);
}

LRESULT CSubclassedWindow::PassOnThenUnregister(WPARAM wParam, LPARAM lParam) {
    const HWND self = window;
    const Unregister unregister = Unregisterer();
    PassOn(WM_NCDESTROY, wParam, lParam);
    unregister(self);  // deletes this object, if a subclasser above us has not already
    return 0;
}
