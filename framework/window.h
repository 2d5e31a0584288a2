// The handle wrapper every window class of the framework builds on, and the thin
// control wrappers the program uses: one-line messages, nothing kept but the handle.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>

class CWnd {
public:
    HWND m_hWnd = nullptr;  // borrowed: the window owns itself

    HWND GetSafeHwnd() const { return m_hWnd; }
    LRESULT SendMessage(UINT msg, WPARAM wp = 0, LPARAM lp = 0) const {
        return ::SendMessageA(m_hWnd, msg, wp, lp);
    }
    BOOL EnableWindow(BOOL enable = TRUE) const { return ::EnableWindow(m_hWnd, enable); }
    BOOL IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
    BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
    void SetWindowText(const std::string& text) const { ::SetWindowTextA(m_hWnd, text.c_str()); }
    std::string GetWindowText() const;
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
};

class CButton : public CWnd {
public:
    int GetCheck() const { return static_cast<int>(SendMessage(BM_GETCHECK)); }
    void SetCheck(int state) const { SendMessage(BM_SETCHECK, static_cast<WPARAM>(state)); }
};

class CProgressCtrl : public CWnd {
public:
    void SetRange(short lower, short upper) const {
        SendMessage(PBM_SETRANGE, 0, MAKELPARAM(lower, upper));
    }
    int SetPos(int pos) const { return static_cast<int>(SendMessage(PBM_SETPOS, pos)); }
    int GetPos() const { return static_cast<int>(SendMessage(PBM_GETPOS)); }
    int SetStep(int step) const { return static_cast<int>(SendMessage(PBM_SETSTEP, step)); }
    int StepIt() const { return static_cast<int>(SendMessage(PBM_STEPIT)); }
};

// BeginPaint and EndPaint as one owner, for WM_PAINT handlers.
class CPaintDC {
public:
    explicit CPaintDC(HWND hwnd) : m_hDC(::BeginPaint(hwnd, &m_ps)), m_hWnd(hwnd) {}
    ~CPaintDC() { ::EndPaint(m_hWnd, &m_ps); }
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;

    PAINTSTRUCT m_ps{};
    HDC m_hDC;

private:
    HWND m_hWnd;  // not owned
};
