// Drives a modal dialog from inside its own message loop: a thread timer runs
// one step per tick. A step that opens a nested modal loop (an About box) lets
// the later ticks go on inside it. Past the deadline every dialog of the thread
// is cancelled, so a dialog that would not end fails its test instead of hanging.
#pragma once

#include <windows.h>

#include <cstring>
#include <functional>
#include <utility>
#include <vector>

#include "support/unique_resource.h"

// A hook a test installs on its thread, removed however the test ends.
using HookHandle = UniqueResource<HHOOK, ::UnhookWindowsHookEx>;

class ModalScript {
public:
    // A step answers true when done; false runs it again on the next tick.
    using Step = std::function<bool()>;

    static Step Do(std::function<void()> action) {
        return [action = std::move(action)] {
            action();
            return true;
        };
    }
    static Step WaitFor(std::function<bool()> condition) { return condition; }

    explicit ModalScript(std::vector<Step> steps, UINT periodMs = 20, DWORD deadlineMs = 20000)
        : steps_(std::move(steps)), periodMs_(periodMs), deadlineMs_(deadlineMs) {}

    // Runs `modal` (which returns when the dialog ends) with the script going.
    template <typename Modal>
    auto Run(Modal&& modal) {
        ModalScript* const outer = std::exchange(current(), this);
        start_ = ::GetTickCount();
        TimerHandle timer(::SetTimer(nullptr, 0, periodMs_, &ModalScript::Tick));
        auto result = modal();
        current() = outer;
        return result;
    }

    bool TimedOut() const { return timedOut_; }
    bool Finished() const { return next_ == steps_.size(); }

    // Cancels every dialog of the calling thread, innermost first.
    static void CancelThreadDialogs() {
        ::EnumThreadWindows(::GetCurrentThreadId(), &ModalScript::CancelIfDialog, 0);
    }

    static bool IsDialog(HWND hwnd) {
        char name[8] = {};
        return ::GetClassNameA(hwnd, name, sizeof(name)) > 0 && std::strcmp(name, "#32770") == 0;
    }

private:
    static void KillThreadTimer(UINT_PTR id) { ::KillTimer(nullptr, id); }
    using TimerHandle = UniqueResource<UINT_PTR, KillThreadTimer>;

    static BOOL CALLBACK CancelIfDialog(HWND hwnd, LPARAM) {
        if (IsDialog(hwnd)) ::EndDialog(hwnd, IDCANCEL);
        return TRUE;
    }

    static ModalScript*& current() {
        static thread_local ModalScript* script = nullptr;
        return script;
    }

    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        ModalScript* self = current();
        if (self == nullptr) return;
        if (::GetTickCount() - self->start_ > self->deadlineMs_) {
            self->timedOut_ = true;
            CancelThreadDialogs();
            return;
        }
        if (self->next_ >= self->steps_.size()) return;
        // Move on first: a step that blocks in a nested modal loop lets the
        // following steps run on the ticks that loop dispatches.
        const std::size_t index = self->next_++;
        bool done = true;
        try {
            done = self->steps_[index]();
        } catch (...) {
            // nothing may leave the timer procedure
        }
        if (!done && self->next_ == index + 1) self->next_ = index;
    }

    std::vector<Step> steps_;
    UINT periodMs_;
    DWORD deadlineMs_;
    DWORD start_ = 0;
    std::size_t next_ = 0;
    bool timedOut_ = false;
};
