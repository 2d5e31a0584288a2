// The application object's registration and its two services.
#include "framework/app.h"

#include <commctrl.h>

namespace {

CWinApp* g_app = nullptr;

}  // namespace

CWinApp::CWinApp() : m_hInstance(::GetModuleHandleA(nullptr)) {
    g_app = this;
}

CWinApp::~CWinApp() {
    if (g_app == this) g_app = nullptr;
}

void CWinApp::EnableControlContainer() {
    INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&classes);
}

HICON CWinApp::LoadIcon(UINT id) const {
    return ::LoadIconA(m_hInstance, MAKEINTRESOURCEA(id));
}

CWinApp* AfxGetApp() {
    return g_app;
}
