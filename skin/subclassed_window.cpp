// Window subclassing through GWLP_WNDPROC, undone only from the top of the chain.
#include "skin/subclassed_window.h"

#include <atomic>

namespace {
std::atomic<std::uint32_t> nextSerial{1};
}  // namespace

CSubclassedWindow::CSubclassedWindow()
    : serial_(nextSerial.fetch_add(1, std::memory_order_relaxed)) {}

bool CSubclassedWindow::Subclass(HWND hwnd, WNDPROC proc) {
    window = hwnd;
    installed_ = proc;
    savedProc = reinterpret_cast<WNDPROC>(::GetWindowLongPtrA(hwnd, GWLP_WNDPROC));
    // A zero previous value is a failure only when the last error says so.
    ::SetLastError(0);
    const LONG_PTR previous =
        ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc));
    if (savedProc == nullptr || (previous == 0 && ::GetLastError() != 0)) {
        if (previous != 0) ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, previous);
        return false;
    }
    return true;
}

bool CSubclassedWindow::OnTop() const {
    return ::GetWindowLongPtrA(window, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(installed_);
}

bool CSubclassedWindow::Unsubclass() {
    if (!OnTop()) return false;
    ::SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(savedProc));
    return true;
}

LRESULT CSubclassedWindow::PassOnThenUnregister(WPARAM wParam, LPARAM lParam) {
    const HWND self = window;
    const Unregister unregister = Unregisterer();
    PassOn(WM_NCDESTROY, wParam, lParam);
    unregister(self);  // deletes this object, if a subclasser above us has not already
    return 0;
}
