// The manager: thread hooks, recognition and registration, hover tracking,
// and everything undone again at process exit.
#include "skin/skin_manager.h"

#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "skin/recognition.h"
#include "skin/registry.h"
#include "skin/trace.h"

using namespace skin_registry;

namespace {

bool IsChildWindow(HWND window) {
    return (::GetWindowLongA(window, GWL_STYLE) & WS_CHILD) != 0;
}

// Only the thread that owns a window may subclass it and paint it.
bool OwnedHere(HWND window) {
    DWORD process = 0;
    return ::GetWindowThreadProcessId(window, &process) == ::GetCurrentThreadId() &&
           process == ::GetCurrentProcessId();
}

std::vector<HWND> ChildrenOf(HWND parent) {
    std::vector<HWND> children;
    for (HWND child = ::GetTopWindow(parent); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        children.push_back(child);
    }
    return children;
}

bool IsHooked(DWORD thread) {
    Registry& registry = TheRegistry();
    registry.DropEnded();
    const Lock lock(registry.section());
    const auto found = registry.threads.find(thread);
    return found != registry.threads.end() && found->second->hook;
}

DWORD ThreadOf(DWORD threadId) {
    return threadId == static_cast<DWORD>(-1) ? ::GetCurrentThreadId() : threadId;
}

// The calling thread's hover timer, for its registered controls.
void StartTimerIfNeeded(ThreadSkin& skin) {
    if (skin.timerId != 0 || skin.controls.empty()) return;
    {
        // A stop asked for an earlier timer is not meant for this one.
        const Lock lock(TheRegistry().section());
        skin.stopTimer = false;
    }
    skin.timerId = ::SetTimer(nullptr, 0, 100, &Skinning::TimerProc);
    if (skin.timerId != 0) SKIN_TRACE("CSkinManager: Timer created\n");
}

bool SkinnedHere(HWND dialog) {
    const ThreadSkin* skin = TheRegistry().Mine();
    return skin != nullptr && skin->dialogs.count(dialog) != 0;
}

void SkinOneChild(HWND child) {
    Skinning::AddControl(child);
}

// The calling thread's hot control loses its hot look.
void ClearHotWindow() {
    ThreadSkin* skin = TheRegistry().Mine();
    if (skin == nullptr) return;
    const HWND hot = std::exchange(skin->hotWindow, nullptr);
    if (CSkinnedControl* control = CSkinnedControl::Find(hot)) {
        control->ModifyState(CSkinnedControl::kHot, 0, TRUE);
    }
}

// HookProc's work for the calling thread; its hook, or null when it has none.
HHOOK ActOnHook(int code, LPARAM lParam) {
    ThreadSkin* skin = TheRegistry().Mine();
    HHOOK hook = nullptr;
    if (skin != nullptr) {
        const Lock lock(TheRegistry().section());
        hook = skin->hook.get();
    }
    if (hook == nullptr) {
        SKIN_TRACE("CSkinManager: No hook for this thread installed!\n");
        return nullptr;
    }
    // Hooked again from another thread: its controls hover again.
    StartTimerIfNeeded(*skin);
    if (code != HC_ACTION) return hook;
    try {
        const auto* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (TheRegistry().dialogsOnly.load(std::memory_order_relaxed) == TRUE) {
            if (message->message == WM_INITDIALOG) Skinning::AddDialog(message->hwnd);
        } else if (message->message == WM_CREATE && IsChildWindow(message->hwnd)) {
            // Stand-alone scroll bars are not skinned at their creation in this mode.
            char name[kClassNameSize] = {};
            ::GetClassNameA(message->hwnd, name, kClassNameSize);
            if (std::strcmp(name, "ScrollBar") != 0) Skinning::AddControl(message->hwnd);
        }
    } catch (...) {
        // nothing may leave a hook procedure
    }
    return hook;
}

}  // namespace

struct ManagerInstance {
    static CSkinManager manager;
};
CSkinManager ManagerInstance::manager;

CSkinManager::CSkinManager() {
    // Made first, so it outlives the manager, whose destructor still needs it.
    TheRegistry();
    SKIN_TRACE("CSkinManager::CSkinManager()\n");
}

CSkinManager::~CSkinManager() {
    SKIN_TRACE("CSkinManager::~CSkinManager()\n");
    RemoveAll();
}

CSkinManager* CSkinManager::GetManager() {
    return &ManagerInstance::manager;
}

void CSkinManager::RemoveAll() {
    TheRegistry().DropEnded();
    const std::unique_ptr<ThreadSkin> mine = TheRegistry().TakeMine();
    // Other threads may still run their window procedures: they lose their
    // hooks, stop their timers at their next tick, and keep their objects,
    // which their windows' WM_NCDESTROY or their own ending frees.
    std::vector<HookHandle> hooks;
    {
        const Lock lock(TheRegistry().section());
        for (auto& [thread, skin] : TheRegistry().threads) {
            if (!skin->hook) continue;
            SKIN_TRACE("CSkinManager: Hook uninstalled for thread: %d\n", static_cast<int>(thread));
            skin->stopTimer = true;
            try {
                hooks.push_back(std::move(skin->hook));
            } catch (const std::bad_alloc&) {
                skin->hook.reset();
            }
        }
    }
    hooks.clear();
    TheRegistry().globalHook.reset();
    if (!mine) return;
    SKIN_TRACE("CSkinManager: Hook uninstalled for thread: %d\n",
               static_cast<int>(::GetCurrentThreadId()));
    mine->hook.reset();
    // Windows that are gone already have nothing to restore.
    for (auto& entry : mine->controls) {
        if (::IsWindow(entry.first)) Release(*mine, *entry.second, false);
    }
    for (auto& entry : mine->dialogs) {
        if (::IsWindow(entry.first)) Release(*mine, *entry.second, false);
    }
    if (mine->timerId != 0) ::KillTimer(nullptr, mine->timerId);
    // Windows still carrying our procedure keep passing their messages on.
    if (mine->stranded.empty()) return;
    try {
        ThreadSkin& kept = TheRegistry().Of(::GetCurrentThreadId());
        kept.stranded = std::move(mine->stranded);
    } catch (const std::bad_alloc&) {
        // their messages then go to DefWindowProc
    }
}

void CSkinManager::InstallHook(DWORD threadId, BOOL dialogsOnlyMode) {
    TheRegistry().dialogsOnly.store(dialogsOnlyMode, std::memory_order_relaxed);
    threadId = ThreadOf(threadId);
    TheRegistry().DropEnded();
    if (IsHooked(threadId)) {
        SKIN_TRACE("CSkinManager: WH_CALLWNDPROC hook already installed for thread: %d!\n",
                   static_cast<int>(threadId));
        return;
    }
    HookHandle hook(hookCalls.set(WH_CALLWNDPROC, &Skinning::HookProc, nullptr, threadId));
    if (!hook) {
        // Nothing recorded: a later call tries again.
        SKIN_TRACE("CSkinManager: WH_CALLWNDPROC hook failed for thread: %d\n",
                   static_cast<int>(threadId));
        return;
    }
    try {
        // Found and filled under one hold of the lock: the thread may drop its
        // own empty entry the moment the lock is let go.
        const Lock lock(TheRegistry().section());
        ThreadSkin& skin = TheRegistry().Of(threadId);
        if (!skin.hook) {
            skin.hook = std::move(hook);
            skin.stopTimer = false;
        }
    } catch (const std::bad_alloc&) {
        return;  // the hook goes again
    }
    SKIN_TRACE("CSkinManager: WH_CALLWNDPROC hook installed for thread: %d\n",
               static_cast<int>(threadId));
    // Controls still registered hover again; another thread's start its timer
    // at their hook's next call.
    if (threadId != ::GetCurrentThreadId()) return;
    if (ThreadSkin* skin = TheRegistry().Mine()) StartTimerIfNeeded(*skin);
}

void CSkinManager::UninstallHook(DWORD threadId) {
    threadId = ThreadOf(threadId);
    const bool own = threadId == ::GetCurrentThreadId();
    TheRegistry().DropEnded();
    HookHandle hook;
    std::size_t left = 0;
    {
        const Lock lock(TheRegistry().section());
        const auto found = TheRegistry().threads.find(threadId);
        if (found != TheRegistry().threads.end() && found->second->hook) {
            hook = std::move(found->second->hook);
            if (!own) found->second->stopTimer = true;
        }
        for (const auto& entry : TheRegistry().threads) left += entry.second->hook ? 1 : 0;
    }
    if (!hook) {
        SKIN_TRACE("CSkinManager: No hook installed for thread: %d!\n", static_cast<int>(threadId));
        return;
    }
    hook.reset();  // unhooks
    SKIN_TRACE("CSkinManager: Hook uninstalled for thread: %d\n", static_cast<int>(threadId));
    SKIN_TRACE("CSkinManager: Thread map has %d items\n", static_cast<int>(left));
    (void)left;
    if (!own) return;
    // Without ticks nothing would ever take the hot look off again.
    ClearHotWindow();
    if (ThreadSkin* skin = TheRegistry().Mine(); skin != nullptr && skin->timerId != 0) {
        ::KillTimer(nullptr, skin->timerId);
        skin->timerId = 0;
    }
    TheRegistry().DropMineIfEmpty();
}

void CSkinManager::InstallGlobalHook(HINSTANCE module, BOOL dialogsOnlyMode) {
    TheRegistry().dialogsOnly.store(dialogsOnlyMode, std::memory_order_relaxed);
    const auto proc = reinterpret_cast<HOOKPROC>(
        reinterpret_cast<void*>(::GetProcAddress(module, "SKM_CallWndProc")));
    // The earlier hook goes first: a second call leaves nothing unowned.
    TheRegistry().globalHook.reset();
    if (proc != nullptr)
        TheRegistry().globalHook.reset(hookCalls.set(WH_CALLWNDPROC, proc, module, 0));
    SKIN_TRACE("CSkinManager: WH_CALLWNDPROC global hook installed\n");
}

LRESULT CALLBACK Skinning::HookProc(int code, WPARAM wParam, LPARAM lParam) {
    // Not ours to act on, yet the hooks after ours must still see the message.
    const HHOOK hook = ActOnHook(code, lParam);
    return hookCalls.next(hook, code, wParam, lParam);
}

LRESULT CALLBACK CSkinManager::GlobalHookProc(int code, WPARAM wParam, LPARAM lParam) {
    ActOnHook(code, lParam);
    // Reached through the system-wide hook: its chain goes on, not the thread's.
    return hookCalls.next(TheRegistry().globalHook.get(), code, wParam, lParam);
}

void Skinning::AddDialog(HWND dialog) {
    if (dialog == nullptr || !OwnedHere(dialog) || SkinnedHere(dialog)) return;
    const std::vector<HWND> children = ChildrenOf(dialog);
    for (const HWND child : children) {
        // A nested dialog is handled at its own WM_INITDIALOG.
        if (IsChildWindow(child) && !ClassIs(child, "#32770")) AddControl(child);
    }
    SubclassDialog(dialog);
    for (const HWND child : ChildrenOf(dialog)) {
        if (CSkinnedControl* control = CSkinnedControl::Find(child)) control->DrawBorder();
    }
}

BOOL Skinning::AddControl(HWND window, const char* className) {
    if (window == nullptr || !OwnedHere(window)) return FALSE;
    if (const ThreadSkin* skin = TheRegistry().Mine()) {
        if (skin->controls.count(window) != 0 || skin->stranded.count(window) != 0) return FALSE;
    }
    char name[kClassNameSize] = {};
    if (className != nullptr) {
        ::lstrcpynA(name, className, kClassNameSize);  // at most 63 characters and the terminator
    } else {
        ::GetClassNameA(window, name, kClassNameSize);
    }
    SKIN_TRACE("CSkinManager::AddControl, handle: %X, type: %s\n", SKIN_HANDLE(window), name);
    std::unique_ptr<CSkinnedControl> object;
    try {
        object = Recognise(window, name, &SkinOneChild);
    } catch (const std::bad_alloc&) {
        return FALSE;  // the control keeps its own look
    }
    return Register(window, std::move(object));
}

BOOL Skinning::Register(HWND window, std::unique_ptr<CSkinnedControl> object) {
    if (!object || window == nullptr || !OwnedHere(window)) return FALSE;
    ThreadSkin* skin = nullptr;
    try {
        skin = &TheRegistry().Of(::GetCurrentThreadId());
    } catch (const std::bad_alloc&) {
        return FALSE;
    }
    CSkinnedControl& control = *object;
    bool added = false;
    if (skin->controls.count(window) == 0 && skin->stranded.count(window) == 0) {
        try {
            skin->controls.emplace(window, std::move(object));
            added = true;
        } catch (const std::bad_alloc&) {
            added = false;
        }
    }
    // Every entry is subclassed: one the window refuses is no entry.
    if (added && !control.Subclass(window, &CSkinnedControl::ControlWindowProc)) {
        skin->controls.erase(window);
        added = false;
    }
    if (!added) {
        TheRegistry().DropMineIfEmpty();
        return FALSE;
    }
    StartTimerIfNeeded(*skin);
    return TRUE;
}

void Skinning::SubclassDialog(HWND dialog) {
    if (dialog == nullptr || !OwnedHere(dialog)) return;
    try {
        ThreadSkin& skin = TheRegistry().Of(::GetCurrentThreadId());
        if (skin.dialogs.count(dialog) == 0 && skin.stranded.count(dialog) == 0) {
            auto object = std::make_unique<CSkinnedDialog>();
            CSkinnedDialog& skinned = *object;
            skin.dialogs.emplace(dialog, std::move(object));
            if (!skinned.Subclass(dialog, &DialogWindowProc)) skin.dialogs.erase(dialog);
        }
    } catch (const std::bad_alloc&) {
        // the dialog stays as it is
    }
    TheRegistry().DropMineIfEmpty();
}

BOOL Skinning::RemoveControl(HWND window) {
    return DropControl(window, false);
}

void Skinning::RemoveControls(HWND parent) {
    for (const HWND child : ChildrenOf(parent)) {
        if (IsChildWindow(child)) RemoveControl(child);
    }
}

void Skinning::RemoveDialog(HWND dialog) {
    DropDialog(dialog, false);
}

HWND Skinning::HotWindow() {
    return skin_registry::HotWindow();
}

void CSkinManager::TrackMouse() {
    ThreadSkin* skin = TheRegistry().Mine();
    if (skin == nullptr) return;
    bool stop = false;
    {
        const Lock lock(TheRegistry().section());
        stop = std::exchange(skin->stopTimer, false);
    }
    if (stop && skin->timerId != 0) {
        // Unhooked from another thread: only this one can stop its timer, and
        // without ticks nothing would take the hot look off again.
        ClearHotWindow();
        if (ThreadSkin* mine = TheRegistry().Mine(); mine != nullptr && mine->timerId != 0) {
            ::KillTimer(nullptr, mine->timerId);
            mine->timerId = 0;
        }
        TheRegistry().DropMineIfEmpty();
        return;
    }
    if (skin->controls.empty()) return;
    // A button held down on a control freezes the hot state.
    if (::GetCapture() != nullptr) return;
    POINT cursor{};
    ::GetCursorPos(&cursor);
    HWND found = ::WindowFromPoint(cursor);
    CSkinnedControl* control = CSkinnedControl::Find(found);
    if (control == nullptr && found != nullptr) {
        // The inner parts of a skinned control make the control itself hot.
        found = ::GetParent(found);
        control = CSkinnedControl::Find(found);
    }
    if (control == nullptr) {
        ClearHotWindow();
        return;
    }
    // Each step below sends messages, after which the control may be gone.
    const std::uint32_t serial = control->Serial();
    if (!control->NeedsHotUpdate(cursor) || !Holds(found, control, serial)) return;
    ClearHotWindow();
    if (!Holds(found, control, serial)) return;
    control->ModifyState(0, CSkinnedControl::kHot, TRUE);
    if (!Holds(found, control, serial)) return;
    if (ThreadSkin* mine = TheRegistry().Mine()) mine->hotWindow = found;
}

LRESULT CALLBACK Skinning::DialogWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        ThreadSkin* skin = TheRegistry().Mine();
        const auto found =
            skin != nullptr
                ? skin->dialogs.find(hwnd)
                : std::unordered_map<HWND, std::unique_ptr<CSubclassedWindow>>::iterator();
        if (skin == nullptr || found == skin->dialogs.end()) {
            return PassOnUnregistered(hwnd, message, wParam, lParam);
        }
        return found->second->WindowProc(message, wParam, lParam);
    } catch (...) {
        return 0;  // nothing may leave a window procedure
    }
}

LRESULT CSkinnedDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PARENTNOTIFY:
            // A control created after initialisation is skinned before the dialog
            // hears of it; only a child of this dialog, whatever lParam claims.
            if (LOWORD(wParam) == WM_CREATE) {
                const HWND child = reinterpret_cast<HWND>(lParam);
                if (child != nullptr && ::GetAncestor(child, GA_PARENT) == window) {
                    Skinning::AddControl(child);
                }
            }
            return PassOn(message, wParam, lParam);
        case WM_NCDESTROY:
            return PassOnThenUnregister(wParam, lParam);
        default:
            return PassOn(message, wParam, lParam);
    }
}

CSubclassedWindow::Unregister CSkinnedDialog::Unregisterer() const {
    return &skin_registry::ForgetDialog;
}

void CALLBACK Skinning::TimerProc(HWND, UINT, UINT_PTR, DWORD) {
    try {
        CSkinManager::GetManager()->TrackMouse();
    } catch (...) {
        // nothing may leave a timer callback
    }
}
