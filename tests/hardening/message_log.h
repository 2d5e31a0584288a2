// What a window answered: a WH_CALLWNDPROC / WH_CALLWNDPROCRET pair on the
// thread records each message sent from outside every window procedure, with
// its parameters and the answer its caller got. A plain and a skinned control
// fed the same messages must answer alike, except where the skinning answers
// on purpose (one table).
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/unique_resource.h"

namespace hardening {

struct Logged {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    LRESULT result;
};

class MessageLog {
public:
    MessageLog() {
        current_ = this;
        before_.reset(SetWindowsHookExA(WH_CALLWNDPROC, &Before, nullptr, GetCurrentThreadId()));
        after_.reset(SetWindowsHookExA(WH_CALLWNDPROCRET, &After, nullptr, GetCurrentThreadId()));
    }
    ~MessageLog() { current_ = nullptr; }
    MessageLog(const MessageLog&) = delete;
    MessageLog& operator=(const MessageLog&) = delete;

    bool Hooked() const { return before_ && after_; }
    // Sends one message and logs it as the hooks saw it; what the window's
    // procedures send meanwhile (the painters' own questions) is not logged.
    LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        armed_ = true;
        const LRESULT result = SendMessageA(window, message, wParam, lParam);
        armed_ = false;
        return result;
    }
    const std::vector<Logged>& Entries() const { return entries_; }

private:
    using Hook = UniqueResource<HHOOK, ::UnhookWindowsHookEx>;

    static LRESULT CALLBACK Before(int code, WPARAM wParam, LPARAM lParam) {
        if (code == HC_ACTION && current_ != nullptr) {
            MessageLog& log = *current_;
            if (log.armed_ && log.depth_ == 0) {
                log.armed_ = false;
                log.logged_ = true;
            }
            ++log.depth_;
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
    static LRESULT CALLBACK After(int code, WPARAM wParam, LPARAM lParam) {
        if (code == HC_ACTION && current_ != nullptr) {
            MessageLog& log = *current_;
            if (--log.depth_ == 0 && log.logged_) {
                log.logged_ = false;
                const auto* sent = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
                log.entries_.push_back({sent->message, sent->wParam, sent->lParam, sent->lResult});
            }
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }

    static inline MessageLog* current_ = nullptr;  // one log at a time, on the test's thread
    bool armed_ = false;                           // the next message sent is the test's own
    bool logged_ = false;  // the outermost message now running is the test's own
    int depth_ = 0;
    std::vector<Logged> entries_;
    Hook before_, after_;
};

// The answers the skinning gives on purpose, whatever the control answered: the
// control paints (or is enabled) first, the flat border follows, and the
// caller gets 0.
struct DeliberateAnswer {
    UINT message;
    LRESULT answer;
};
inline constexpr DeliberateAnswer kDeliberateAnswers[] = {
    {WM_ENABLE, 0},
    {WM_PAINT, 0},
    {WM_NCPAINT, 0},
};

inline bool AnswersAgree(UINT message, LRESULT plain, LRESULT skinned) {
    if (plain == skinned) return true;
    for (const DeliberateAnswer& d : kDeliberateAnswers) {
        if (d.message == message) return skinned == d.answer;
    }
    return false;
}

// "" when both logs hold the same messages with agreeing answers, else the first
// difference.
inline std::string CompareAnswers(const std::vector<Logged>& plain,
                                  const std::vector<Logged>& skinned) {
    char line[160];
    const std::size_t n = plain.size() < skinned.size() ? plain.size() : skinned.size();
    for (std::size_t i = 0; i < n; ++i) {
        const Logged& p = plain[i];
        const Logged& s = skinned[i];
        if (p.message != s.message || p.wParam != s.wParam) {
            std::snprintf(line, sizeof(line), "message %zu: plain got 0x%04x, skinned 0x%04x", i,
                          p.message, s.message);
            return line;
        }
        if (!AnswersAgree(p.message, p.result, s.result)) {
            std::snprintf(line, sizeof(line),
                          "message %zu (0x%04x, wParam 0x%lx): plain answered %ld, skinned %ld", i,
                          p.message, static_cast<unsigned long>(p.wParam),
                          static_cast<long>(p.result), static_cast<long>(s.result));
            return line;
        }
    }
    if (plain.size() != skinned.size()) {
        std::snprintf(line, sizeof(line), "plain logged %zu messages, skinned %zu", plain.size(),
                      skinned.size());
        return line;
    }
    return "";
}

}  // namespace hardening
