// The manager: thread hooks, the registry of skinning objects per thread, the
// hover timer of each thread, and everything undone again at process exit.
#include "skin/skin_manager.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>
#include <unordered_map>
#include <utility>
#include <vector>

#include "skin/recognition.h"
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

namespace {

using ThreadHandle = UniqueResource<HANDLE, ::CloseHandle>;

// A window whose chain we could not step out of: its procedure before us, and
// whether it is called through the wide calls.
struct Stranded {
    WNDPROC proc;
    bool unicode;
};

// What one thread has skinned. `hook` and `stopTimer` may be touched from other
// threads, under the registry's lock; everything else only by the thread itself.
struct ThreadSkin {
    // Held open so the thread id cannot name another thread while the entry
    // lives, and so an entry outliving its thread can be told.
    ThreadHandle thread;
    CSkinManager::HookHandle hook;
    bool stopTimer = false;  // unhooked from elsewhere: the thread's next tick stops its timer
    std::unordered_map<HWND, std::unique_ptr<CSkinnedControl>> controls;
    std::unordered_map<HWND, std::unique_ptr<CSkinnedDialog>> dialogs;
    // Windows we could not step out of because another subclasser sits above us:
    // our procedure stays in their chain and passes everything to the saved one.
    std::unordered_map<HWND, Stranded> stranded;
    HWND hotWindow = nullptr;  // not owned
    UINT_PTR timerId = 0;

    bool Empty() const {
        return !hook && controls.empty() && dialogs.empty() && stranded.empty() && timerId == 0;
    }
    // A thread that ended (or was terminated) without a word: its hook and its
    // windows went with it.
    bool Ended() const { return thread && ::WaitForSingleObject(thread.get(), 0) == WAIT_OBJECT_0; }
    // What a thread that is gone leaves: nothing to unhook, no window to restore.
    void Abandon() {
        hook.release();  // its value may already name someone else's hook
        timerId = 0;
    }
};

class Lock {
public:
    explicit Lock(CRITICAL_SECTION& section) : section_(section) {
        ::EnterCriticalSection(&section_);
    }
    ~Lock() { ::LeaveCriticalSection(&section_); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

private:
    CRITICAL_SECTION& section_;
};

// The table of threads. A thread's entry is erased only by that thread, or by
// RemoveAll at process exit, so a thread may keep its own entry while it runs
// code that sends no message; across a sent message it looks it up again.
class Registry {
public:
    Registry() {
        ::InitializeCriticalSection(&section_);
        live.store(true);
    }
    ~Registry() {
        live.store(false);
        // Threads still running at exit may yet use their objects and the lock:
        // both are left to the process's end.
        bool kept = false;
        for (auto& entry : threads) {
            if (entry.second->Ended()) continue;
            entry.second->Abandon();
            entry.second.release();
            kept = true;
        }
        if (!kept) ::DeleteCriticalSection(&section_);
    }
    Registry(const Registry&) = delete;
    Registry& operator=(const Registry&) = delete;

    CRITICAL_SECTION& section() { return section_; }
    std::atomic<bool> live{false};  // false before construction and after destruction
    // Under the lock only.
    std::unordered_map<DWORD, std::unique_ptr<ThreadSkin>> threads;

    ThreadSkin* Find(DWORD thread) {
        const Lock lock(section_);
        const auto found = threads.find(thread);
        return found != threads.end() ? found->second.get() : nullptr;
    }
    ThreadSkin* Mine() { return Find(::GetCurrentThreadId()); }
    // Throws std::bad_alloc. Under the lock, or on the calling thread's own entry.
    ThreadSkin& Of(DWORD thread) {
        const Lock lock(section_);
        std::unique_ptr<ThreadSkin>& slot = threads[thread];
        if (!slot) {
            slot = std::make_unique<ThreadSkin>();
            slot->thread.reset(::OpenThread(SYNCHRONIZE, FALSE, thread));
        }
        return *slot;
    }
    // Entries of threads that ended without taking their own out are as good
    // as absent: they go, with nothing unhooked or restored for them.
    void DropEnded() {
        std::vector<std::unique_ptr<ThreadSkin>> ended;
        {
            const Lock lock(section_);
            for (auto it = threads.begin(); it != threads.end();) {
                if (it->first != ::GetCurrentThreadId() && it->second->Ended()) {
                    it->second->Abandon();
                    try {
                        ended.push_back(std::move(it->second));
                    } catch (const std::bad_alloc&) {
                        it->second.release();  // its objects are lost, never freed twice
                    }
                    it = threads.erase(it);
                } else {
                    ++it;
                }
            }
        }
    }  // their objects are freed here, outside the lock
    // Takes the calling thread's entry out, for it to undo.
    std::unique_ptr<ThreadSkin> TakeMine() {
        const Lock lock(section_);
        const auto found = threads.find(::GetCurrentThreadId());
        if (found == threads.end()) return nullptr;
        std::unique_ptr<ThreadSkin> mine = std::move(found->second);
        threads.erase(found);
        return mine;
    }
    // The calling thread's entry goes once nothing is left in it.
    void DropMineIfEmpty() {
        const Lock lock(section_);
        const auto found = threads.find(::GetCurrentThreadId());
        if (found != threads.end() && found->second->Empty()) threads.erase(found);
    }

private:
    CRITICAL_SECTION section_;
};

// Constructed before the manager and destroyed after it, so its destructor still
// finds every thread's windows.
Registry registry;

// Set before the manager exists, so its destructor releases through them too.
CSkinManager::HookCalls hookCalls{&::SetWindowsHookExA, &::UnhookWindowsHookEx, &::CallNextHookEx};

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

DWORD ThreadOf(DWORD threadId) {
    return threadId == static_cast<DWORD>(-1) ? ::GetCurrentThreadId() : threadId;
}

// Steps out of the window's chain; a live window whose chain we cannot leave
// keeps our procedure, which then passes everything on. A window being destroyed
// is never kept: its handle value may come back for a new window.
void Release(ThreadSkin& skin, CSubclassedWindow& object, bool dying) {
    if (object.Unsubclass() || dying) return;
    try {
        skin.stranded[object.window] = Stranded{object.savedProc, object.Unicode()};
    } catch (const std::bad_alloc&) {
        // our procedure then passes its messages to DefWindowProc
    }
}

// The calling thread's hover timer, for its registered controls.
void StartTimerIfNeeded(ThreadSkin& skin) {
    if (skin.timerId != 0 || skin.controls.empty()) return;
    {
        // A stop asked for an earlier timer is not meant for this one.
        const Lock lock(registry.section());
        skin.stopTimer = false;
    }
    skin.timerId = ::SetTimer(nullptr, 0, 100, &CSkinnedControl::TimerProc);
    if (skin.timerId != 0) SKIN_TRACE("CSkinManager: Timer created\n");
}

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
    if (reason != DLL_THREAD_DETACH || !registry.live.load()) return;
    try {
        if (const std::unique_ptr<ThreadSkin> mine = registry.TakeMine()) UndoEndingThread(*mine);
    } catch (...) {
        // nothing may leave a thread's ending
    }
}

void StopTimerIfIdle(ThreadSkin& skin) {
    if (skin.controls.empty() && skin.timerId != 0) {
        ::KillTimer(nullptr, skin.timerId);
        skin.timerId = 0;
        SKIN_TRACE("CSkinManager: Timer killed, map is empty\n");
    }
}

// Unregisters a control of the calling thread; FALSE when it has none for it.
BOOL DropControl(HWND window, bool dying) {
    ThreadSkin* skin = registry.Mine();
    if (skin == nullptr) return FALSE;
    if (dying) skin->stranded.erase(window);
    const auto found = skin->controls.find(window);
    if (found == skin->controls.end()) {
        registry.DropMineIfEmpty();
        return FALSE;
    }
    SKIN_TRACE("CSkinManager: Uninstall, handle: %X\n", SKIN_HANDLE(window));
    const std::unique_ptr<CSkinnedControl> object = std::move(found->second);
    skin->controls.erase(found);
    Release(*skin, *object, dying);
    // A handle value may come back for a new window: never keep a dead one hot.
    if (skin->hotWindow == window) skin->hotWindow = nullptr;
    StopTimerIfIdle(*skin);
    SKIN_TRACE("CSkinManager: map has %d items\n", static_cast<int>(skin->controls.size()));
    registry.DropMineIfEmpty();
    return TRUE;
}

void DropDialog(HWND dialog, bool dying) {
    ThreadSkin* skin = registry.Mine();
    if (skin == nullptr) return;
    if (dying) skin->stranded.erase(dialog);
    const auto found = skin->dialogs.find(dialog);
    if (found != skin->dialogs.end()) {
        const std::unique_ptr<CSkinnedDialog> object = std::move(found->second);
        skin->dialogs.erase(found);
        Release(*skin, *object, dying);
    }
    registry.DropMineIfEmpty();
}

}  // namespace

// Run by the system as each thread ends, before its windows go: a thread that
// ends while hooked leaves no entry, hook or object behind.
extern "C" {
__attribute__((section(".CRT$XLF"), used)) PIMAGE_TLS_CALLBACK quarrionSkinThreadEnd =
    &OnThreadEvent;
}

struct ManagerInstance {
    static CSkinManager manager;
};
CSkinManager ManagerInstance::manager;

CSkinManager::CSkinManager() {
    SKIN_TRACE("CSkinManager::CSkinManager()\n");
}

CSkinManager::~CSkinManager() {
    SKIN_TRACE("CSkinManager::~CSkinManager()\n");
    RemoveAll();
}

CSkinManager* CSkinManager::GetManager() {
    return &ManagerInstance::manager;
}

CSkinManager::HookCalls CSkinManager::ReplaceHookCalls(HookCalls calls) {
    return std::exchange(hookCalls, calls);
}

BOOL CSkinManager::Unhook(HHOOK hook) {
    return hookCalls.unhook(hook);
}

void CSkinManager::RemoveAll() {
    registry.DropEnded();
    const std::unique_ptr<ThreadSkin> mine = registry.TakeMine();
    // Other threads may still run their window procedures: they lose their
    // hooks, stop their timers at their next tick, and keep their objects,
    // which their windows' WM_NCDESTROY or their own ending frees.
    std::vector<HookHandle> hooks;
    {
        const Lock lock(registry.section());
        for (auto& [thread, skin] : registry.threads) {
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
    globalHook_.reset();
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
        ThreadSkin& kept = registry.Of(::GetCurrentThreadId());
        kept.stranded = std::move(mine->stranded);
    } catch (const std::bad_alloc&) {
        // their messages then go to DefWindowProc
    }
}

void CSkinManager::InstallHook(DWORD threadId, BOOL dialogsOnlyMode) {
    dialogsOnly_.store(dialogsOnlyMode, std::memory_order_relaxed);
    threadId = ThreadOf(threadId);
    registry.DropEnded();
    if (IsHooked(threadId)) {
        SKIN_TRACE("CSkinManager: WH_CALLWNDPROC hook already installed for thread: %d!\n",
                   static_cast<int>(threadId));
        return;
    }
    HookHandle hook(hookCalls.set(WH_CALLWNDPROC, &HookProc, nullptr, threadId));
    if (!hook) {
        // Nothing recorded: a later call tries again.
        SKIN_TRACE("CSkinManager: WH_CALLWNDPROC hook failed for thread: %d\n",
                   static_cast<int>(threadId));
        return;
    }
    try {
        // Found and filled under one hold of the lock: the thread may drop its
        // own empty entry the moment the lock is let go.
        const Lock lock(registry.section());
        ThreadSkin& skin = registry.Of(threadId);
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
    if (ThreadSkin* skin = registry.Mine()) StartTimerIfNeeded(*skin);
}

void CSkinManager::UninstallHook(DWORD threadId) {
    threadId = ThreadOf(threadId);
    const bool own = threadId == ::GetCurrentThreadId();
    registry.DropEnded();
    HookHandle hook;
    std::size_t left = 0;
    {
        const Lock lock(registry.section());
        const auto found = registry.threads.find(threadId);
        if (found != registry.threads.end() && found->second->hook) {
            hook = std::move(found->second->hook);
            if (!own) found->second->stopTimer = true;
        }
        for (const auto& entry : registry.threads) left += entry.second->hook ? 1 : 0;
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
    if (ThreadSkin* skin = registry.Mine(); skin != nullptr && skin->timerId != 0) {
        ::KillTimer(nullptr, skin->timerId);
        skin->timerId = 0;
    }
    registry.DropMineIfEmpty();
}

void CSkinManager::InstallGlobalHook(HINSTANCE module, BOOL dialogsOnlyMode) {
    dialogsOnly_.store(dialogsOnlyMode, std::memory_order_relaxed);
    const auto proc = reinterpret_cast<HOOKPROC>(
        reinterpret_cast<void*>(::GetProcAddress(module, "SKM_CallWndProc")));
    // The earlier hook goes first: a second call leaves nothing unowned.
    globalHook_.reset();
    if (proc != nullptr) globalHook_.reset(hookCalls.set(WH_CALLWNDPROC, proc, module, 0));
    SKIN_TRACE("CSkinManager: WH_CALLWNDPROC global hook installed\n");
}

HHOOK CSkinManager::ActOnHook(int code, LPARAM lParam) {
    ThreadSkin* skin = registry.Mine();
    HHOOK hook = nullptr;
    if (skin != nullptr) {
        const Lock lock(registry.section());
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
        CSkinManager& manager = *GetManager();
        if (manager.DialogsOnly() == TRUE) {
            if (message->message == WM_INITDIALOG) manager.AddDialog(message->hwnd);
        } else if (message->message == WM_CREATE && IsChildWindow(message->hwnd)) {
            // Stand-alone scroll bars are not skinned at their creation in this mode.
            char name[kClassNameSize] = {};
            ::GetClassNameA(message->hwnd, name, kClassNameSize);
            if (std::strcmp(name, "ScrollBar") != 0) manager.AddControl(message->hwnd);
        }
    } catch (...) {
        // nothing may leave a hook procedure
    }
    return hook;
}

LRESULT CALLBACK CSkinManager::HookProc(int code, WPARAM wParam, LPARAM lParam) {
    // Not ours to act on, yet the hooks after ours must still see the message.
    const HHOOK hook = ActOnHook(code, lParam);
    return hookCalls.next(hook, code, wParam, lParam);
}

LRESULT CALLBACK CSkinManager::GlobalHookProc(int code, WPARAM wParam, LPARAM lParam) {
    ActOnHook(code, lParam);
    // Reached through the system-wide hook: its chain goes on, not the thread's.
    return hookCalls.next(GetManager()->globalHook_.get(), code, wParam, lParam);
}

void CSkinManager::SkinChild(HWND child) {
    GetManager()->AddControl(child);
}

void CSkinManager::AddDialog(HWND dialog) {
    if (dialog == nullptr || !OwnedHere(dialog) || IsDialogSkinned(dialog)) return;
    const std::vector<HWND> children = ChildrenOf(dialog);
    for (const HWND child : children) {
        // A nested dialog is handled at its own WM_INITDIALOG.
        if (IsChildWindow(child) && !ClassIs(child, "#32770")) AddControl(child);
    }
    SubclassDialog(dialog);
    for (const HWND child : ChildrenOf(dialog)) {
        if (CSkinnedControl* control = FindControl(child)) control->DrawBorder();
    }
}

BOOL CSkinManager::AddControl(HWND window, const char* className) {
    if (window == nullptr || !OwnedHere(window)) return FALSE;
    if (const ThreadSkin* skin = registry.Mine()) {
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
        object = Recognise(window, name, &SkinChild);
    } catch (const std::bad_alloc&) {
        return FALSE;  // the control keeps its own look
    }
    return Register(window, std::move(object));
}

BOOL CSkinManager::Register(HWND window, std::unique_ptr<CSkinnedControl> object) {
    if (!object || window == nullptr || !OwnedHere(window)) return FALSE;
    ThreadSkin* skin = nullptr;
    try {
        skin = &registry.Of(::GetCurrentThreadId());
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
        registry.DropMineIfEmpty();
        return FALSE;
    }
    StartTimerIfNeeded(*skin);
    return TRUE;
}

void CSkinManager::SubclassDialog(HWND dialog) {
    if (dialog == nullptr || !OwnedHere(dialog)) return;
    try {
        ThreadSkin& skin = registry.Of(::GetCurrentThreadId());
        if (skin.dialogs.count(dialog) == 0 && skin.stranded.count(dialog) == 0) {
            auto object = std::make_unique<CSkinnedDialog>();
            CSkinnedDialog& skinned = *object;
            skin.dialogs.emplace(dialog, std::move(object));
            if (!skinned.Subclass(dialog, &DialogWindowProc)) skin.dialogs.erase(dialog);
        }
    } catch (const std::bad_alloc&) {
        // the dialog stays as it is
    }
    registry.DropMineIfEmpty();
}

BOOL CSkinManager::RemoveControl(HWND window) {
    return DropControl(window, false);
}

void CSkinManager::ForgetControl(HWND window) {
    DropControl(window, true);
}

void CSkinManager::RemoveControls(HWND parent) {
    for (const HWND child : ChildrenOf(parent)) {
        if (IsChildWindow(child)) RemoveControl(child);
    }
}

void CSkinManager::RemoveDialog(HWND dialog) {
    DropDialog(dialog, false);
}

void CSkinManager::ForgetDialog(HWND dialog) {
    DropDialog(dialog, true);
}

CSkinnedControl* CSkinManager::FindControl(HWND window) {
    if (window == nullptr) return nullptr;
    const ThreadSkin* skin = registry.Mine();
    if (skin == nullptr) return nullptr;
    const auto found = skin->controls.find(window);
    return found != skin->controls.end() ? found->second.get() : nullptr;
}

HWND CSkinManager::HotWindow() {
    const ThreadSkin* skin = registry.Mine();
    return skin != nullptr ? skin->hotWindow : nullptr;
}

bool CSkinManager::Holds(HWND window, const CSkinnedControl* object, std::uint32_t serial) {
    const CSkinnedControl* current = FindControl(window);
    return current != nullptr && current == object && current->Serial() == serial;
}

LRESULT CSkinManager::PassOnUnregistered(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    ThreadSkin* skin = registry.Mine();
    const auto found = skin != nullptr ? skin->stranded.find(hwnd)
                                       : std::unordered_map<HWND, Stranded>::iterator();
    if (skin == nullptr || found == skin->stranded.end()) {
        return ::IsWindowUnicode(hwnd) ? ::DefWindowProcW(hwnd, message, wParam, lParam)
                                       : ::DefWindowProcA(hwnd, message, wParam, lParam);
    }
    const Stranded saved = found->second;
    if (message == WM_NCDESTROY) {
        skin->stranded.erase(found);
        registry.DropMineIfEmpty();
    }
    return saved.unicode ? ::CallWindowProcW(saved.proc, hwnd, message, wParam, lParam)
                         : ::CallWindowProcA(saved.proc, hwnd, message, wParam, lParam);
}

bool CSkinManager::IsHooked(DWORD threadId) const {
    registry.DropEnded();
    const Lock lock(registry.section());
    const auto found = registry.threads.find(ThreadOf(threadId));
    return found != registry.threads.end() && found->second->hook;
}

std::size_t CSkinManager::HookedThreads() const {
    registry.DropEnded();
    const Lock lock(registry.section());
    std::size_t count = 0;
    for (const auto& entry : registry.threads) count += entry.second->hook ? 1 : 0;
    return count;
}

std::size_t CSkinManager::ThreadCount() const {
    registry.DropEnded();
    const Lock lock(registry.section());
    return registry.threads.size();
}

bool CSkinManager::IsDialogSkinned(HWND dialog) const {
    const ThreadSkin* skin = registry.Mine();
    return skin != nullptr && skin->dialogs.count(dialog) != 0;
}

std::size_t CSkinManager::ControlCount() const {
    const ThreadSkin* skin = registry.Mine();
    return skin != nullptr ? skin->controls.size() : 0;
}

std::size_t CSkinManager::DialogCount() const {
    const ThreadSkin* skin = registry.Mine();
    return skin != nullptr ? skin->dialogs.size() : 0;
}

std::size_t CSkinManager::StrandedCount() const {
    const ThreadSkin* skin = registry.Mine();
    return skin != nullptr ? skin->stranded.size() : 0;
}

std::vector<HWND> CSkinManager::RegisteredWindows() const {
    std::vector<HWND> windows;
    if (const ThreadSkin* skin = registry.Mine()) {
        for (const auto& entry : skin->controls) windows.push_back(entry.first);
        for (const auto& entry : skin->dialogs) windows.push_back(entry.first);
        for (const auto& entry : skin->stranded) windows.push_back(entry.first);
    }
    return windows;
}

UINT_PTR CSkinManager::TimerId() const {
    const ThreadSkin* skin = registry.Mine();
    return skin != nullptr ? skin->timerId : 0;
}

void CSkinManager::ClearHotWindow() {
    ThreadSkin* skin = registry.Mine();
    if (skin == nullptr) return;
    const HWND hot = std::exchange(skin->hotWindow, nullptr);
    if (CSkinnedControl* control = FindControl(hot)) {
        control->ModifyState(CSkinnedControl::kHot, 0, TRUE);
    }
}

void CSkinManager::TrackMouse() {
    ThreadSkin* skin = registry.Mine();
    if (skin == nullptr) return;
    bool stop = false;
    {
        const Lock lock(registry.section());
        stop = std::exchange(skin->stopTimer, false);
    }
    if (stop && skin->timerId != 0) {
        // Unhooked from another thread: only this one can stop its timer, and
        // without ticks nothing would take the hot look off again.
        ClearHotWindow();
        if (ThreadSkin* mine = registry.Mine(); mine != nullptr && mine->timerId != 0) {
            ::KillTimer(nullptr, mine->timerId);
            mine->timerId = 0;
        }
        registry.DropMineIfEmpty();
        return;
    }
    if (skin->controls.empty()) return;
    // A button held down on a control freezes the hot state.
    if (::GetCapture() != nullptr) return;
    POINT cursor{};
    ::GetCursorPos(&cursor);
    HWND found = ::WindowFromPoint(cursor);
    CSkinnedControl* control = FindControl(found);
    if (control == nullptr && found != nullptr) {
        // The inner parts of a skinned control make the control itself hot.
        found = ::GetParent(found);
        control = FindControl(found);
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
    if (ThreadSkin* mine = registry.Mine()) mine->hotWindow = found;
}

LRESULT CALLBACK CSkinManager::DialogWindowProc(HWND hwnd, UINT message, WPARAM wParam,
                                                LPARAM lParam) {
    try {
        ThreadSkin* skin = registry.Mine();
        const auto found =
            skin != nullptr ? skin->dialogs.find(hwnd)
                            : std::unordered_map<HWND, std::unique_ptr<CSkinnedDialog>>::iterator();
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
                    CSkinManager::GetManager()->AddControl(child);
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
    return &CSkinManager::ForgetDialog;
}
