// The manager: thread hooks, class recognition, the registry of skinning
// objects, the hover timer, and everything undone again at process exit.
#include "skin/skin_manager.h"

#include <commctrl.h>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "skin/skinned_check_box.h"
#include "skin/skinned_combo_box.h"
#include "skin/skinned_combo_edit.h"
#include "skin/skinned_date_time.h"
#include "skin/skinned_edit.h"
#include "skin/skinned_header.h"
#include "skin/skinned_ip_address.h"
#include "skin/skinned_push_button.h"
#include "skin/skinned_radio_button.h"
#include "skin/skinned_scroll_bar.h"
#include "skin/skinned_spin.h"
#include "skin/skinned_tab.h"
#include "skin/skinned_toolbar.h"
#include "skin/skinned_trackbar.h"
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

// Construction order is definition order: the maps exist before the manager and
// outlive it, so its destructor still finds them at process exit.
namespace {
// Windows we could not step out of because another subclasser sits above us:
// our procedure stays in their chain and passes everything to the saved one.
std::unordered_map<HWND, WNDPROC> stranded;
}  // namespace
std::unordered_map<HWND, std::unique_ptr<CSkinnedControl>> CSkinManager::controlMap;
std::unordered_map<HWND, std::unique_ptr<CSkinnedDialog>> CSkinManager::dialogMap;
std::unordered_map<DWORD, CSkinManager::HookHandle> CSkinManager::threadMap;
HWND CSkinManager::hotWindow = nullptr;

struct ManagerInstance {
    static CSkinManager manager;
};
CSkinManager ManagerInstance::manager;

namespace {

constexpr int kClassNameSize = 64;

template <typename Visit>
void ForEachChild(HWND parent, Visit visit) {
    for (HWND child = ::GetTopWindow(parent); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        visit(child);
    }
}

bool IsChildWindow(HWND window) {
    return (::GetWindowLongA(window, GWL_STYLE) & WS_CHILD) != 0;
}

bool ClassIs(HWND window, const char* name) {
    char actual[kClassNameSize] = {};
    ::GetClassNameA(window, actual, kClassNameSize);
    return ::lstrcmpiA(actual, name) == 0;
}

// What one row of the recognition table sees of the window.
struct Candidate {
    CSkinManager& manager;
    HWND window;
    DWORD style;
    bool clientEdge;

    bool Has(DWORD mask) const { return (style & mask) == mask; }
    void SkinChildren() const {
        ForEachChild(window, [this](HWND child) { manager.AddControl(child); });
    }
    void SkinFirstChild() const { manager.AddControl(::GetTopWindow(window)); }
};

using Object = std::unique_ptr<CSkinnedControl>;

template <typename Kind>
Object Make() {
    return std::make_unique<Kind>();
}

template <typename Kind>
Object WithClientEdge(const Candidate& c) {
    return c.clientEdge ? Make<Kind>() : nullptr;
}

// Bit tests, not type comparisons: type 10 is a check box, types 7, 11 and 15 are
// group boxes or owner-drawn.
Object Button(const Candidate& c) {
    if (c.Has(0x000B) || c.Has(0x0007) || c.Has(BS_FLAT)) return nullptr;
    if (c.Has(3) || c.Has(2) || c.Has(5)) return Make<CSkinnedCheckBox>();
    if (c.Has(9) || c.Has(4)) return Make<CSkinnedRadioButton>();
    return Make<CSkinnedPushButton>();
}

Object ComboBox(const Candidate& c) {
    if ((c.style & 3) == CBS_SIMPLE) {
        c.SkinChildren();
        return nullptr;
    }
    return Make<CSkinnedComboBox>();
}

Object Edit(const Candidate& c) {
    const HWND parent = ::GetParent(c.window);
    if (parent != nullptr && ClassIs(parent, "ComboBox") &&
        (::GetWindowLongA(parent, GWL_STYLE) & 3) == CBS_SIMPLE) {
        return Make<CSkinnedComboEdit>();
    }
    return WithClientEdge<CSkinnedEdit>(c);
}

Object ListView(const Candidate& c) {
    if (!c.clientEdge) return nullptr;
    c.SkinFirstChild();
    return Make<CSkinnedControl>();
}

Object ShellView(const Candidate& c) {
    c.SkinFirstChild();
    return nullptr;
}

Object DateTime(const Candidate& c) {
    if (!c.clientEdge) return nullptr;
    if (c.style & DTS_UPDOWN) c.SkinFirstChild();
    return Make<CSkinnedDateTime>();
}

Object ScrollBar(const Candidate& c) {
    if (c.style & (SBS_SIZEBOX | SBS_SIZEGRIP)) return nullptr;
    return Make<CSkinnedScrollBar>();
}

Object Header(const Candidate& c) {
    return (c.style & HDS_BUTTONS) ? Make<CSkinnedHeader>() : nullptr;
}

Object Toolbar(const Candidate& c) {
    if (c.style & TBSTYLE_FLAT) return nullptr;
    c.SkinChildren();
    return Make<CSkinnedToolbar>();
}

Object Tab(const Candidate& c) {
    c.SkinFirstChild();
    return Make<CSkinnedTab>();
}

struct Recognised {
    const char* className;
    Object (*make)(const Candidate&);
};

// Compared case-insensitively in this order; the first match decides.
const Recognised kRecognised[] = {
    {"Button", Button},
    {"ComboBox", ComboBox},
    {"Edit", Edit},
    {"ListBox", WithClientEdge<CSkinnedControl>},
    {"SysListView32", ListView},
    {"SHELLDLL_DefView", ShellView},
    {"SysTreeView32", WithClientEdge<CSkinnedControl>},
    {"SysDateTimePick32", DateTime},
    {"SysMonthCal32", [](const Candidate&) { return Make<CSkinnedControl>(); }},
    {"msctls_updown32", [](const Candidate&) { return Make<CSkinnedSpin>(); }},
    {"ComboLBox", WithClientEdge<CSkinnedControl>},
    {"ScrollBar", ScrollBar},
    {"ComboBoxEx32", ShellView},  // only its inner combo box is skinned
    {"msctls_hotkey32", WithClientEdge<CSkinnedControl>},
    {"SysIPAddress32", WithClientEdge<CSkinnedIPAddress>},
    {"msctls_trackbar32", [](const Candidate&) { return Make<CSkinnedTrackbar>(); }},
    {"RichEdit", WithClientEdge<CSkinnedControl>},
    {"RichEdit20W", WithClientEdge<CSkinnedControl>},
    {"SysHeader32", Header},
    {"ToolbarWindow32", Toolbar},
    {"SysTabControl32", Tab},
};

}  // namespace

CSkinManager::CSkinManager() {
    SKIN_TRACE("CSkinManager::CSkinManager()\n");
}

CSkinManager::~CSkinManager() {
    SKIN_TRACE("CSkinManager::~CSkinManager()\n");
    RemoveAll();
}

void CSkinManager::RemoveAll() {
    std::vector<DWORD> threads;
    threads.reserve(threadMap.size());
    for (const auto& entry : threadMap) threads.push_back(entry.first);
    for (const DWORD thread : threads) UninstallHook(thread);

    // Windows that are gone already have nothing to restore.
    auto controls = std::move(controlMap);
    controlMap.clear();
    for (auto& entry : controls) {
        if (::IsWindow(entry.first)) Release(*entry.second);
    }
    auto dialogs = std::move(dialogMap);
    dialogMap.clear();
    for (auto& entry : dialogs) {
        if (::IsWindow(entry.first)) Release(*entry.second);
    }
    hotWindow = nullptr;
    StopTimerIfIdle();
}

CSkinManager* CSkinManager::GetManager() {
    return &ManagerInstance::manager;
}

void CSkinManager::InstallHook(DWORD threadId, BOOL dialogsOnlyMode) {
    dialogsOnly = dialogsOnlyMode;
    if (threadId == static_cast<DWORD>(-1)) threadId = ::GetCurrentThreadId();
    if (threadMap.count(threadId) != 0) {
        SKIN_TRACE("CSkinManager: WH_CALLWNDPROC hook already installed for thread: %d!\n",
                   static_cast<int>(threadId));
        return;
    }
    // A failed hook is recorded too: nothing runs, and later calls change nothing.
    threadMap.emplace(
        threadId, HookHandle(::SetWindowsHookExA(WH_CALLWNDPROC, &HookProc, nullptr, threadId)));
    SKIN_TRACE("CSkinManager: WH_CALLWNDPROC hook installed for thread: %d\n",
               static_cast<int>(threadId));
}

void CSkinManager::UninstallHook(DWORD threadId) {
    if (threadId == static_cast<DWORD>(-1)) threadId = ::GetCurrentThreadId();
    const auto found = threadMap.find(threadId);
    if (found == threadMap.end()) {
        SKIN_TRACE("CSkinManager: No hook installed for thread: %d!\n", static_cast<int>(threadId));
        return;
    }
    threadMap.erase(found);  // unhooks
    SKIN_TRACE("CSkinManager: Hook uninstalled for thread: %d\n", static_cast<int>(threadId));
    SKIN_TRACE("CSkinManager: Thread map has %d items\n", static_cast<int>(threadMap.size()));
    if (timerId != 0 && threadMap.empty()) {
        ::KillTimer(nullptr, timerId);
        timerId = 0;
    }
}

void CSkinManager::InstallGlobalHook(HINSTANCE module, BOOL dialogsOnlyMode) {
    dialogsOnly = dialogsOnlyMode;
    const auto proc = reinterpret_cast<HOOKPROC>(
        reinterpret_cast<void*>(::GetProcAddress(module, "SKM_CallWndProc")));
    globalHook = proc != nullptr ? ::SetWindowsHookExA(WH_CALLWNDPROC, proc, module, 0) : nullptr;
    SKIN_TRACE("CSkinManager: WH_CALLWNDPROC global hook installed\n");
}

LRESULT CALLBACK CSkinManager::HookProc(int code, WPARAM wParam, LPARAM lParam) {
    const auto found = threadMap.find(::GetCurrentThreadId());
    if (found == threadMap.end()) {
        SKIN_TRACE("CSkinManager: No hook for this thread installed!\n");
        return 0;
    }
    const HHOOK hook = found->second.get();
    if (code == HC_ACTION) {
        try {
            const auto* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
            CSkinManager& manager = *GetManager();
            if (manager.dialogsOnly == TRUE) {
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
    }
    return ::CallNextHookEx(hook, code, wParam, lParam);
}

void CSkinManager::AddDialog(HWND dialog) {
    if (dialogMap.count(dialog) != 0) return;
    ForEachChild(dialog, [this](HWND child) {
        // A nested dialog is handled at its own WM_INITDIALOG.
        if (IsChildWindow(child) && !ClassIs(child, "#32770")) AddControl(child);
    });
    SubclassDialog(dialog);
    ForEachChild(dialog, [](HWND child) {
        if (CSkinnedControl* control = FindControl(child)) control->DrawBorder();
    });
}

BOOL CSkinManager::AddControl(HWND window, const char* className) {
    if (window == nullptr || controlMap.count(window) != 0 || stranded.count(window) != 0) {
        return FALSE;
    }
    char name[kClassNameSize] = {};
    if (className != nullptr) {
        ::lstrcpynA(name, className, kClassNameSize);  // at most 63 characters and the terminator
    } else {
        ::GetClassNameA(window, name, kClassNameSize);
    }
    const DWORD style = static_cast<DWORD>(::GetWindowLongA(window, GWL_STYLE));
    const bool clientEdge = (::GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) != 0;
    SKIN_TRACE("CSkinManager::AddControl, handle: %X, type: %s\n", SKIN_HANDLE(window), name);

    Object object;
    try {
        for (const Recognised& row : kRecognised) {
            if (::lstrcmpiA(name, row.className) == 0) {
                object = row.make(Candidate{*this, window, style, clientEdge});
                break;
            }
        }
    } catch (const std::bad_alloc&) {
        return FALSE;  // the control keeps its own look
    }
    if (!object) return FALSE;

    CSkinnedControl& control = *object;
    try {
        controlMap.emplace(window, std::move(object));
    } catch (const std::bad_alloc&) {
        return FALSE;
    }
    control.Subclass(window, &CSkinnedControl::ControlWindowProc);
    if (timerId == 0) {
        timerId = ::SetTimer(nullptr, 0, 100, &CSkinnedControl::TimerProc);
        if (timerId != 0) SKIN_TRACE("CSkinManager: Timer created\n");
    }
    return TRUE;
}

void CSkinManager::SubclassDialog(HWND dialog) {
    if (dialog == nullptr || stranded.count(dialog) != 0) return;
    try {
        auto object = std::make_unique<CSkinnedDialog>();
        CSkinnedDialog& skinned = *object;
        dialogMap.emplace(dialog, std::move(object));
        skinned.Subclass(dialog, &DialogWindowProc);
    } catch (const std::bad_alloc&) {
        // the dialog stays as it is
    }
}

void CSkinManager::Release(CSubclassedWindow& object) {
    if (!object.Unsubclass()) stranded[object.window] = object.savedProc;
}

BOOL CSkinManager::RemoveControl(HWND window) {
    const auto found = controlMap.find(window);
    if (found == controlMap.end()) return FALSE;
    SKIN_TRACE("CSkinManager: Uninstall, handle: %X\n", SKIN_HANDLE(window));
    Release(*found->second);
    controlMap.erase(found);  // deletes the object
    // A handle value may come back for a new window: never keep a dead one hot.
    if (hotWindow == window) hotWindow = nullptr;
    StopTimerIfIdle();
    SKIN_TRACE("CSkinManager: map has %d items\n", static_cast<int>(controlMap.size()));
    return TRUE;
}

void CSkinManager::StopTimerIfIdle() {
    if (controlMap.empty() && timerId != 0) {
        ::KillTimer(nullptr, timerId);
        timerId = 0;
        SKIN_TRACE("CSkinManager: Timer killed, map is empty\n");
    }
}

void CSkinManager::RemoveControls(HWND parent) {
    std::vector<HWND> children;
    ForEachChild(parent, [&](HWND child) {
        if (IsChildWindow(child)) children.push_back(child);
    });
    for (const HWND child : children) RemoveControl(child);
}

void CSkinManager::RemoveDialog(HWND dialog) {
    const auto found = dialogMap.find(dialog);
    if (found == dialogMap.end()) return;
    Release(*found->second);
    dialogMap.erase(found);
}

CSkinnedControl* CSkinManager::FindControl(HWND window) {
    const auto found = controlMap.find(window);
    return found != controlMap.end() ? found->second.get() : nullptr;
}

LRESULT CSkinManager::PassOnUnregistered(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    const auto found = stranded.find(hwnd);
    if (found == stranded.end()) return ::DefWindowProcA(hwnd, message, wParam, lParam);
    const WNDPROC saved = found->second;
    if (message == WM_NCDESTROY) stranded.erase(found);
    return ::CallWindowProcA(saved, hwnd, message, wParam, lParam);
}

void CSkinManager::ClearHotWindow() {
    if (CSkinnedControl* hot = FindControl(hotWindow)) {
        hot->ModifyState(CSkinnedControl::kHot, 0, TRUE);
    }
    hotWindow = nullptr;
}

void CSkinManager::TrackMouse() {
    if (controlMap.empty()) return;
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
    if (!control->NeedsHotUpdate(cursor)) return;
    ClearHotWindow();
    control->ModifyState(0, CSkinnedControl::kHot, TRUE);
    hotWindow = found;
}

LRESULT CALLBACK CSkinManager::DialogWindowProc(HWND hwnd, UINT message, WPARAM wParam,
                                                LPARAM lParam) {
    try {
        const auto found = dialogMap.find(hwnd);
        if (found == dialogMap.end()) return PassOnUnregistered(hwnd, message, wParam, lParam);
        return found->second->WindowProc(message, wParam, lParam);
    } catch (...) {
        return 0;  // nothing may leave a window procedure
    }
}

LRESULT CSkinnedDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PARENTNOTIFY:
            // A control created after initialisation is skinned before the dialog hears of it.
            if (LOWORD(wParam) == WM_CREATE) {
                CSkinManager::GetManager()->AddControl(reinterpret_cast<HWND>(lParam));
            }
            return PassOn(message, wParam, lParam);
        case WM_NCDESTROY: {
            const HWND self = window;
            PassOn(message, wParam, lParam);
            CSkinManager::GetManager()->RemoveDialog(self);  // deletes this object
            return 0;
        }
        default:
            return PassOn(message, wParam, lParam);
    }
}
