// Window subclassing through GWLP_WNDPROC, undone only from the top of the chain.
#include "skin/subclassed_window.h"

void CSubclassedWindow::Subclass(HWND hwnd, WNDPROC proc) {
    window = hwnd;
    installed_ = proc;
    savedProc = reinterpret_cast<WNDPROC>(::GetWindowLongPtrA(hwnd, GWLP_WNDPROC));
    ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc));
}

bool CSubclassedWindow::Unsubclass() {
    if (::GetWindowLongPtrA(window, GWLP_WNDPROC) != reinterpret_cast<LONG_PTR>(installed_)) {
        return false;
    }
    ::SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(savedProc));
    return true;
}
