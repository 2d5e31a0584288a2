// The process entry of the program (not of the test programs, which have their
// own main): run the application's start-up; its answer false ends the process.
#include <windows.h>

#include "framework/app.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    try {
        CWinApp* app = AfxGetApp();
        // The framework has no message loop: a dialog-based program answers false
        // and the process ends here either way.
        if (app != nullptr) app->InitInstance();
    } catch (...) {
        // Nothing is reported; the process simply ends.
    }
    return 0;
}
