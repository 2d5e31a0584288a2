// Modal dialogs. A dialog procedure never sees WM_CREATE, so DoModal watches the
// thread's window creation (WH_CBT) for the dialog window, subclasses it before
// its first message and unhooks at once; the subclass is undone at WM_NCDESTROY.
// Without the hook the dialog procedure subclasses at WM_INITDIALOG instead.
#include "framework/dialog.h"

#include <cstring>
#include <utility>

#include "framework/app.h"
#include "support/unique_resource.h"

namespace {

using HookHandle = UniqueResource<HHOOK, ::UnhookWindowsHookEx>;

constexpr char kObjectProperty[] = "Quarrion.CDialog";

bool IsDialogWindow(HWND hwnd) {
    char name[8] = {};
    return ::GetClassNameA(hwnd, name, sizeof(name)) > 0 && std::strcmp(name, "#32770") == 0;
}

}  // namespace

// The dialog that DoModal is creating on this thread, and the hook that finds it.
struct DialogAttacher {
    CDialog* dialog;  // not owned
    HookHandle hook;

    static thread_local DialogAttacher* pending;

    static LRESULT CALLBACK CbtProc(int code, WPARAM wp, LPARAM lp) {
        if (code == HCBT_CREATEWND && pending != nullptr) {
            const HWND hwnd = reinterpret_cast<HWND>(wp);
            if (IsDialogWindow(hwnd)) {
                DialogAttacher* self = std::exchange(pending, nullptr);
                self->dialog->Attach(hwnd);
                self->hook.reset();  // found: nested dialogs install their own
            }
        }
        return ::CallNextHookEx(nullptr, code, wp, lp);
    }
};

thread_local DialogAttacher* DialogAttacher::pending = nullptr;

INT_PTR CDialog::DoModal() {
    // Without a parent the application's main window owns the dialog.
    HWND owner = m_parent;
    const CWinApp* app = AfxGetApp();
    if (owner == nullptr && app != nullptr && app->m_pMainWnd != nullptr &&
        app->m_pMainWnd != this) {
        owner = app->m_pMainWnd->m_hWnd;
    }

    DialogAttacher attacher{this, HookHandle(HookWindowCreation(&DialogAttacher::CbtProc))};
    DialogAttacher* const outer = DialogAttacher::pending;
    if (attacher.hook) DialogAttacher::pending = &attacher;
    const INT_PTR result =
        ::DialogBoxParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(m_templateId), owner,
                          &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    DialogAttacher::pending = outer;
    return result;
}

HHOOK CDialog::HookWindowCreation(HOOKPROC procedure) {
    return ::SetWindowsHookExA(WH_CBT, procedure, nullptr, ::GetCurrentThreadId());
}

// Every message goes to the subclass first; what it passes on reaches the
// dialog manager and then here, with nothing more to do. Only a dialog whose
// creation went unseen arrives unattached, at WM_INITDIALOG: it is attached
// now, so the window still appears and works.
INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg != WM_INITDIALOG || ::GetPropA(hwnd, kObjectProperty) != nullptr) return FALSE;
    auto* self = reinterpret_cast<CDialog*>(lp);
    self->Attach(hwnd);
    if (self->CreateLate() == -1) {
        ::EndDialog(hwnd, -1);
        return FALSE;
    }
    return WindowProc(hwnd, msg, wp, lp);
}

// WM_CREATE went by unseen; its handler still runs before the window is first
// shown, only after the controls exist. The dialog manager saw the real
// message long ago, so what the handler passes on is WM_NULL.
int CDialog::CreateLate() {
    CREATESTRUCTA create{};
    create.hwndParent = ::GetParent(m_hWnd);
    create.style = static_cast<LONG>(::GetWindowLongA(m_hWnd, GWL_STYLE));
    create.dwExStyle = static_cast<DWORD>(::GetWindowLongA(m_hWnd, GWL_EXSTYLE));
    const Message outer = std::exchange(m_current, Message{WM_NULL, 0, 0});
    int result = -1;
    try {
        result = OnCreate(&create);
    } catch (...) {
        // Nothing may leave the dialog procedure; the creation counts as failed.
    }
    m_current = outer;
    return result;
}

bool CDialog::UpdateData(bool saveAndValidate) {
    CDataExchange dx(*this, saveAndValidate);
    DoDataExchange(dx);
    return true;
}

BOOL CDialog::OnInitDialog() {
    UpdateData(false);
    return TRUE;
}

void CDialog::OnOK() {
    if (UpdateData(true)) EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

int CDialog::OnCreate(CREATESTRUCTA*) {
    return static_cast<int>(Default());
}

void CDialog::OnCommand(UINT id, UINT code, HWND) {
    if (code == BN_CLICKED && id == IDOK) return OnOK();
    if (code == BN_CLICKED && id == IDCANCEL) return OnCancel();
    Default();
}

void CDialog::OnSysCommand(UINT, LPARAM) {
    Default();
}

void CDialog::OnPaint() {
    Default();
}

HCURSOR CDialog::OnQueryDragIcon() {
    return reinterpret_cast<HCURSOR>(Default());
}

void CDialog::OnTimer(UINT_PTR) {
    Default();
}

LRESULT CDialog::Default() {
    return ::CallWindowProcA(m_previousProc, m_hWnd, m_current.msg, m_current.wp, m_current.lp);
}

void CDialog::Attach(HWND hwnd) {
    m_hWnd = hwnd;
    ::SetPropA(hwnd, kObjectProperty, this);
    m_previousProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CDialog::WindowProc)));
}

LRESULT CDialog::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_CREATE:
            return OnCreate(reinterpret_cast<CREATESTRUCTA*>(lp));
        case WM_INITDIALOG:
            return OnInitDialog();
        case WM_COMMAND:
            OnCommand(LOWORD(wp), HIWORD(wp), reinterpret_cast<HWND>(lp));
            return 0;
        case WM_SYSCOMMAND:
            OnSysCommand(static_cast<UINT>(wp), lp);
            return 0;
        case WM_PAINT:
            OnPaint();
            return 0;
        case WM_QUERYDRAGICON:
            return reinterpret_cast<LRESULT>(OnQueryDragIcon());
        case WM_TIMER:
            OnTimer(wp);
            return 0;
        case WM_NCDESTROY: {
            // Undo the subclass unless someone subclassed after us and still sits on top.
            const HWND hwnd = std::exchange(m_hWnd, nullptr);
            DetachControls();
            if (::GetWindowLongPtrA(hwnd, GWLP_WNDPROC) ==
                reinterpret_cast<LONG_PTR>(&CDialog::WindowProc)) {
                ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_previousProc));
            }
            ::RemovePropA(hwnd, kObjectProperty);
            return ::CallWindowProcA(m_previousProc, hwnd, msg, wp, lp);
        }
        default:
            return Default();
    }
}

LRESULT CALLBACK CDialog::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = static_cast<CDialog*>(::GetPropA(hwnd, kObjectProperty));
    if (self == nullptr) return ::DefWindowProcA(hwnd, msg, wp, lp);
    const Message outer = std::exchange(self->m_current, Message{msg, wp, lp});
    LRESULT result = 0;
    try {
        result = self->OnMessage(msg, wp, lp);
    } catch (...) {
        // Nothing may leave a window procedure; the message simply counts as handled.
    }
    self->m_current = outer;
    return result;
}

// The controls went with the window; a later run attaches its own.
void CDialog::DetachControls() {
    for (CWnd* control : m_attachedControls) control->m_hWnd = nullptr;
    m_attachedControls.clear();
}

void DDX_Control(CDataExchange& dx, int id, CWnd& control) {
    if (control.m_hWnd != nullptr) return;
    control.m_hWnd = dx.m_dialog.GetDlgItem(id);
    dx.m_dialog.m_attachedControls.push_back(&control);
}

void DDX_Text(CDataExchange& dx, int id, std::string& value) {
    CWnd field;
    field.m_hWnd = dx.m_dialog.GetDlgItem(id);
    if (dx.m_bSaveAndValidate) {
        value = field.GetWindowText();
    } else {
        field.SetWindowText(value);
    }
}
