// What a window answered: a WH_CALLWNDPROC / WH_CALLWNDPROCRET pair on the
// thread records each message sent from outside every window procedure, with
// its parameters, the answer its caller got and, where the caller notes it,
// the window's state afterwards. A plain and a skinned control fed the same
// messages must answer alike.
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
    std::string state;  // what the caller noted after the answer
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
    LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool wide = false) {
        const std::size_t before = entries_.size();
        armed_ = true;
        const LRESULT result = wide ? SendMessageW(window, message, wParam, lParam)
                                    : SendMessageA(window, message, wParam, lParam);
        armed_ = false;
        noted_ = entries_.size() > before ? entries_.size() - 1 : kNone;
        return result;
    }
    // The state after the message just sent, when it was logged.
    void Note(std::string state) {
        if (noted_ != kNone) entries_[noted_].state = std::move(state);
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
                log.entries_.push_back(
                    {sent->message, sent->wParam, sent->lParam, sent->lResult, {}});
            }
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }

    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    std::size_t noted_ = kNone;
    static inline MessageLog* current_ = nullptr;  // one log at a time, on the test's thread
    bool armed_ = false;                           // the next message sent is the test's own
    bool logged_ = false;  // the outermost message now running is the test's own
    int depth_ = 0;
    std::vector<Logged> entries_;
    Hook before_, after_;
};

// The answers the skinning gives on purpose: after WM_ENABLE and WM_NCPAINT
// (the control paints first, the flat border follows) the caller gets 0 where
// some controls answer 1. Nothing else may differ.
struct DeliberateAnswer {
    UINT message;
    LRESULT plain, skinned;
};
inline constexpr DeliberateAnswer kDeliberateAnswers[] = {
    {WM_ENABLE, 1, 0},
    {WM_NCPAINT, 1, 0},
};

inline bool AnswersAgree(UINT message, LRESULT plain, LRESULT skinned) {
    if (plain == skinned) return true;
    for (const DeliberateAnswer& d : kDeliberateAnswers) {
        if (d.message == message && d.plain == plain && d.skinned == skinned) return true;
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
        if (p.state != s.state) {
            std::snprintf(line, sizeof(line), "message %zu (0x%04x): state or buffer differs: ", i,
                          p.message);
            return line + p.state + " / " + s.state;
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
