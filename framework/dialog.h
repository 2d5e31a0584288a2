// Modal dialogs from templates: one DialogBoxParam call, one window procedure
// with one switch, and a virtual handler per message the program handles.
#pragma once

#include "framework/window.h"

#include <string>
#include <vector>

class CDataExchange;

class CDialog : public CWnd {
public:
    explicit CDialog(UINT templateId, HWND parent = nullptr)
        : m_templateId(templateId), m_parent(parent) {}
    virtual ~CDialog() = default;
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // Runs the dialog until EndDialog; -1 when it could not be created. Each
    // run attaches the control members afresh; the window's end detaches them.
    INT_PTR DoModal();
    void EndDialog(INT_PTR result) const { ::EndDialog(m_hWnd, result); }
    // true: controls to members; false: members to controls.
    bool UpdateData(bool saveAndValidate = true);

protected:
    virtual void DoDataExchange(CDataExchange&) {}
    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();

    // Message handlers; each passes its message on unless a derived class decides.
    virtual int OnCreate(CREATESTRUCTA* create);
    virtual void OnCommand(UINT id, UINT code, HWND control);
    virtual void OnSysCommand(UINT command, LPARAM parameter);
    virtual void OnPaint();
    virtual HCURSOR OnQueryDragIcon();
    virtual void OnTimer(UINT_PTR timerId);

    // The message being handled, passed on to the dialog's own window procedure.
    LRESULT Default();

    // Installs the thread's window-creation hook through which the dialog sees
    // WM_CREATE; null when it cannot be had (tests refuse it on purpose).
    virtual HHOOK HookWindowCreation(HOOKPROC procedure);

private:
    struct Message {
        UINT msg;
        WPARAM wp;
        LPARAM lp;
    };

    friend struct DialogAttacher;
    friend void DDX_Control(CDataExchange& dx, int id, CWnd& control);
    void Attach(HWND hwnd);
    int CreateLate();
    void DetachControls();
    LRESULT OnMessage(UINT msg, WPARAM wp, LPARAM lp);
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

    UINT m_templateId;
    HWND m_parent;  // not owned
    WNDPROC m_previousProc = nullptr;
    Message m_current{};
    std::vector<CWnd*> m_attachedControls;  // not owned: members of the derived dialog
};

// Data exchange between a dialog's members and its controls.
class CDataExchange {
public:
    CDataExchange(CDialog& dialog, bool saveAndValidate)
        : m_dialog(dialog), m_bSaveAndValidate(saveAndValidate) {}
    CDialog& m_dialog;
    const bool m_bSaveAndValidate;
};

// Attaches the wrapper to control `id` the first time in each run of the dialog;
// later exchanges keep it.
void DDX_Control(CDataExchange& dx, int id, CWnd& control);
// The control's text to the member or back, empty text included; no validation.
void DDX_Text(CDataExchange& dx, int id, std::string& value);
