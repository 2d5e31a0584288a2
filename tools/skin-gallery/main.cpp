// The skin gallery: every control kind the flat skinning recognises, skinned
// exactly as the program skins its own dialogs. Ends when its windows are closed.
#include <windows.h>

#include <cstring>

#include "skin/skin.h"
#include "tools/skin-gallery/gallery.h"
#include "tools/skin-gallery/shots.h"

// With "--shots FOLDER" it writes the generated pictures instead and ends.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    CSkinManager::GetManager()->InstallHook(static_cast<DWORD>(-1), TRUE);
    const char kShots[] = "--shots ";
    if (std::strncmp(commandLine, kShots, sizeof(kShots) - 1) == 0) {
        return WriteGalleryShots(instance, commandLine + sizeof(kShots) - 1);
    }
    Gallery gallery = CreateGallery(instance);
    if (gallery.buttons == nullptr) return 1;
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        const HWND dialog = GetAncestor(message.hwnd, GA_ROOT);
        if (dialog != nullptr && IsDialogMessageA(dialog, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}
