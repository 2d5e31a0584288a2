// The test-only views of the registry and the hook-call seam.
#include "skin/skin_testing.h"

#include <utility>

using namespace skin_registry;

namespace {

DWORD ThreadOf(DWORD threadId) {
    return threadId == static_cast<DWORD>(-1) ? ::GetCurrentThreadId() : threadId;
}

}  // namespace

SkinTesting::HookCalls SkinTesting::ReplaceHookCalls(HookCalls calls) {
    return std::exchange(hookCalls, calls);
}

BOOL SkinTesting::DialogsOnly() {
    return TheRegistry().dialogsOnly.load(std::memory_order_relaxed);
}

bool SkinTesting::IsHooked(DWORD threadId) {
    Registry& registry = TheRegistry();
    registry.DropEnded();
    const Lock lock(registry.section());
    const auto found = registry.threads.find(ThreadOf(threadId));
    return found != registry.threads.end() && found->second->hook;
}

std::size_t SkinTesting::HookedThreads() {
    Registry& registry = TheRegistry();
    registry.DropEnded();
    const Lock lock(registry.section());
    std::size_t count = 0;
    for (const auto& entry : registry.threads) count += entry.second->hook ? 1 : 0;
    return count;
}

std::size_t SkinTesting::ThreadCount() {
    Registry& registry = TheRegistry();
    registry.DropEnded();
    const Lock lock(registry.section());
    return registry.threads.size();
}

bool SkinTesting::IsDialogSkinned(HWND dialog) {
    const ThreadSkin* skin = TheRegistry().Mine();
    return skin != nullptr && skin->dialogs.count(dialog) != 0;
}

std::size_t SkinTesting::ControlCount() {
    const ThreadSkin* skin = TheRegistry().Mine();
    return skin != nullptr ? skin->controls.size() : 0;
}

std::size_t SkinTesting::DialogCount() {
    const ThreadSkin* skin = TheRegistry().Mine();
    return skin != nullptr ? skin->dialogs.size() : 0;
}

std::size_t SkinTesting::StrandedCount() {
    const ThreadSkin* skin = TheRegistry().Mine();
    return skin != nullptr ? skin->stranded.size() : 0;
}

std::vector<HWND> SkinTesting::RegisteredWindows() {
    std::vector<HWND> windows;
    if (const ThreadSkin* skin = TheRegistry().Mine()) {
        for (const auto& entry : skin->controls) windows.push_back(entry.first);
        for (const auto& entry : skin->dialogs) windows.push_back(entry.first);
        for (const auto& entry : skin->stranded) windows.push_back(entry.first);
    }
    return windows;
}

UINT_PTR SkinTesting::TimerId() {
    const ThreadSkin* skin = TheRegistry().Mine();
    return skin != nullptr ? skin->timerId : 0;
}

HHOOK SkinTesting::GlobalHook() {
    return TheRegistry().globalHook.get();
}
