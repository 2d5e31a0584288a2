// The registry: the table of threads and what each has skinned, the lookups
// the window procedures and painters make, and the undoing as a thread ends.
#include "skin/registry.h"

#include <cstdarg>
#include <cstdio>
#include <new>
#include <utility>
#include <vector>

#include "skin/trace.h"

#if defined(QUARRION_SKIN_TRACE) && QUARRION_SKIN_TRACE
void SkinTrace(const char* format, ...) {
    char text[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof(text), format, args);
    va_end(args);
    ::OutputDebugStringA(text);
}
#endif

namespace skin_registry {

// Set before any hook exists, so every release goes through them too.
HookCalls hookCalls{&::SetWindowsHookExA, &::UnhookWindowsHookEx, &::CallNextHookEx};

BOOL Unhook(HHOOK hook) {
    return hookCalls.unhook(hook);
}

Registry::Registry() {
    ::InitializeCriticalSection(&section_);
    live.store(true);
}

Registry::~Registry() {
    live.store(false);
    // Threads still running at exit may yet use their objects and the lock:
    // both are left to the process's end.
    bool kept = false;
    for (auto& entry : threads) {
        if (entry.second->Ended()) continue;
        entry.second->Abandon();
        (void)entry.second.release();
        kept = true;
    }
    if (!kept) ::DeleteCriticalSection(&section_);
}

ThreadSkin* Registry::Find(DWORD thread) {
    const Lock lock(section_);
    const auto found = threads.find(thread);
    return found != threads.end() ? found->second.get() : nullptr;
}

ThreadSkin& Registry::Of(DWORD thread) {
    const Lock lock(section_);
    std::unique_ptr<ThreadSkin>& slot = threads[thread];
    if (!slot) {
        slot = std::make_unique<ThreadSkin>();
        slot->thread.reset(::OpenThread(SYNCHRONIZE, FALSE, thread));
    }
    return *slot;
}

void Registry::DropEnded() {
    std::vector<std::unique_ptr<ThreadSkin>> ended;
    {
        const Lock lock(section_);
        for (auto it = threads.begin(); it != threads.end();) {
            if (it->first != ::GetCurrentThreadId() && it->second->Ended()) {
                it->second->Abandon();
                try {
                    ended.push_back(std::move(it->second));
                } catch (const std::bad_alloc&) {
                    (void)it->second.release();  // its objects are lost, never freed twice
                }
                it = threads.erase(it);
            } else {
                ++it;
            }
        }
    }
}  // their objects are freed here, outside the lock

std::unique_ptr<ThreadSkin> Registry::TakeMine() {
    const Lock lock(section_);
    const auto found = threads.find(::GetCurrentThreadId());
    if (found == threads.end()) return nullptr;
    std::unique_ptr<ThreadSkin> mine = std::move(found->second);
    threads.erase(found);
    return mine;
}

void Registry::DropMineIfEmpty() {
    const Lock lock(section_);
    const auto found = threads.find(::GetCurrentThreadId());
    if (found != threads.end() && found->second->Empty()) threads.erase(found);
}

Registry& TheRegistry() {
    static Registry registry;
    return registry;
}

void Release(ThreadSkin& skin, CSubclassedWindow& object, bool dying) {
    if (object.Unsubclass() || dying) return;
    try {
        skin.stranded[object.window] = Stranded{object.savedProc, object.Unicode()};
    } catch (const std::bad_alloc&) {
        // our procedure then passes its messages to DefWindowProc
    }
}

namespace {

// The calling thread is ending: its hook, timer and windows are undone while
// they still exist, and its objects go with it.
void UndoEndingThread(ThreadSkin& skin) {
    skin.hook.reset();
    for (auto& entry : skin.controls) {
        if (::IsWindow(entry.first)) Release(skin, *entry.second, true);
    }
    for (auto& entry : skin.dialogs) {
        if (::IsWindow(entry.first)) Release(skin, *entry.second, true);
    }
    if (skin.timerId != 0) ::KillTimer(nullptr, skin.timerId);
    skin.timerId = 0;
}

void NTAPI OnThreadEvent(PVOID, DWORD reason, PVOID) {
    if (reason != DLL_THREAD_DETACH || !TheRegistry().live.load()) return;
    try {
        if (const std::unique_ptr<ThreadSkin> mine = TheRegistry().TakeMine())
            UndoEndingThread(*mine);
    } catch (...) {
        // nothing may leave a thread's ending
    }
}

}  // namespace

void StopTimerIfIdle(ThreadSkin& skin) {
    if (skin.controls.empty() && skin.timerId != 0) {
        ::KillTimer(nullptr, skin.timerId);
        skin.timerId = 0;
        SKIN_TRACE("CSkinManager: Timer killed, map is empty\n");
    }
}

// Unregisters a control of the calling thread; FALSE when it has none for it.
BOOL DropControl(HWND window, bool dying) {
    ThreadSkin* skin = TheRegistry().Mine();
    if (skin == nullptr) return FALSE;
    if (dying) skin->stranded.erase(window);
    const auto found = skin->controls.find(window);
    if (found == skin->controls.end()) {
        TheRegistry().DropMineIfEmpty();
        return FALSE;
    }
    SKIN_TRACE("CSkinManager: Uninstall, handle: %X\n", SKIN_HANDLE(window));
    const std::unique_ptr<CSubclassedWindow> object = std::move(found->second);
    skin->controls.erase(found);
    Release(*skin, *object, dying);
    // A handle value may come back for a new window: never keep a dead one hot.
    if (skin->hotWindow == window) skin->hotWindow = nullptr;
    StopTimerIfIdle(*skin);
    SKIN_TRACE("CSkinManager: map has %d items\n", static_cast<int>(skin->controls.size()));
    TheRegistry().DropMineIfEmpty();
    return TRUE;
}

void DropDialog(HWND dialog, bool dying) {
    ThreadSkin* skin = TheRegistry().Mine();
    if (skin == nullptr) return;
    if (dying) skin->stranded.erase(dialog);
    const auto found = skin->dialogs.find(dialog);
    if (found != skin->dialogs.end()) {
        const std::unique_ptr<CSubclassedWindow> object = std::move(found->second);
        skin->dialogs.erase(found);
        Release(*skin, *object, dying);
    }
    TheRegistry().DropMineIfEmpty();
}

CSubclassedWindow* FindControl(HWND window) {
    if (window == nullptr) return nullptr;
    const ThreadSkin* skin = TheRegistry().Mine();
    if (skin == nullptr) return nullptr;
    const auto found = skin->controls.find(window);
    return found != skin->controls.end() ? found->second.get() : nullptr;
}

HWND HotWindow() {
    const ThreadSkin* skin = TheRegistry().Mine();
    return skin != nullptr ? skin->hotWindow : nullptr;
}

bool Holds(HWND window, const CSubclassedWindow* object, std::uint32_t serial) {
    const CSubclassedWindow* current = FindControl(window);
    return current != nullptr && current == object && current->Serial() == serial;
}

LRESULT PassOnUnregistered(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    ThreadSkin* skin = TheRegistry().Mine();
    const auto found = skin != nullptr ? skin->stranded.find(hwnd)
                                       : std::unordered_map<HWND, Stranded>::iterator();
    if (skin == nullptr || found == skin->stranded.end()) {
        return ::IsWindowUnicode(hwnd) ? ::DefWindowProcW(hwnd, message, wParam, lParam)
                                       : ::DefWindowProcA(hwnd, message, wParam, lParam);
    }
    const Stranded saved = found->second;
    if (message == WM_NCDESTROY) {
        skin->stranded.erase(found);
        TheRegistry().DropMineIfEmpty();
    }
    return saved.unicode ? ::CallWindowProcW(saved.proc, hwnd, message, wParam, lParam)
                         : ::CallWindowProcA(saved.proc, hwnd, message, wParam, lParam);
}

void ForgetControl(HWND window) {
    DropControl(window, true);
}

void ForgetDialog(HWND dialog) {
    DropDialog(dialog, true);
}

}  // namespace skin_registry

// Run by the system as each thread ends, before its windows go: a thread that
// ends while hooked leaves no entry, hook or object behind.
extern "C" {
__attribute__((section(".CRT$XLF"), used)) PIMAGE_TLS_CALLBACK quarrionSkinThreadEnd =
    &skin_registry::OnThreadEvent;
}
