// Flat skinning for programs: hook a thread and every standard control of its
// dialogs gets the flat look, with the 3D look back under the mouse or with the
// focus. One process-wide manager, reached through GetManager.
#pragma once

#include <windows.h>

class CSkinManager {
public:
    static CSkinManager* GetManager();

    // Thread id -1 is the calling thread. dialogsOnly TRUE: skin dialogs at
    // WM_INITDIALOG; otherwise every child window at its WM_CREATE. A failed
    // hook is not recorded, so a later call tries again.
    void InstallHook(DWORD threadId, BOOL dialogsOnly);
    void UninstallHook(DWORD threadId);
    // All threads, through the module's export "SKM_CallWndProc", which hands
    // each message to GlobalHookProc; a second call releases the first hook.
    void InstallGlobalHook(HINSTANCE module, BOOL dialogsOnly);
    static LRESULT CALLBACK GlobalHookProc(int code, WPARAM wParam, LPARAM lParam);
    // Unhooks every thread and gives the calling thread's skinned windows their
    // procedures back; other threads keep their objects until their windows or
    // they themselves end. The destructor's work, at process exit.
    void RemoveAll();
    // One tick of hover tracking, over the calling thread's controls (the hover
    // timer's work; a program with its own loop may tick it itself).
    void TrackMouse();

    virtual ~CSkinManager();
    CSkinManager(const CSkinManager&) = delete;
    CSkinManager& operator=(const CSkinManager&) = delete;

private:
    friend struct ManagerInstance;
    CSkinManager();
};
