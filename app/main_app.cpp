// Start-up, in its fixed order.
#include "app/main_app.h"

#include "app/main_dialog.h"
#include "skin/skin.h"

BOOL CMainApp::InitInstance() {
    // 1. Control-container support: the common-control classes the templates use.
    EnableControlContainer();

    // 2. Flat skinning for every dialog of this thread; static destruction undoes it.
    CSkinManager::GetManager()->InstallHook(static_cast<DWORD>(-1), TRUE);

    // 3. The 3D control look: the templates ask for it themselves (DS_3DLOOK);
    //    there is no separate switch to throw on Win32.

    // 4. The main dialog lives on this stack for the modal run.
    CMainDialog dialog;
    m_pMainWnd = &dialog;

    // 5. Its result does not matter: every way out ends the program.
    dialog.DoModal();

    // 6. The dialog object goes when this scope ends; 7. no message loop follows.
    m_pMainWnd = nullptr;
    return FALSE;
}
