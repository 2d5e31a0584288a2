// The application object: one per process, constructed statically; WinMain runs
// its InitInstance and ends the process when it answers false.
#pragma once

#include <windows.h>

class CWnd;

class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // Start-up; false ends the process (the framework has no message loop).
    virtual BOOL InitInstance() = 0;

    // The templates hold common controls (progress bars): their window classes
    // must be registered before any dialog is built from them.
    static void EnableControlContainer();
    // An icon resource of the program's module; shared, so never destroyed.
    HICON LoadIcon(UINT id) const;

    HINSTANCE m_hInstance;
    CWnd* m_pMainWnd = nullptr;  // not owned: the dialog on InitInstance's stack
};

// The one application object, or nullptr before it is constructed.
CWinApp* AfxGetApp();
