// The page-per-block allocator behind FreedMemoryWatch: replaces the global
// operator new and delete of the test program. Outside a watch it is malloc.
#include "tests/hardening/freed_memory.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

namespace {

constexpr std::size_t kPage = 4096;
// Address space only: pages are committed one block at a time and never reused.
constexpr std::size_t kRegion =
    sizeof(void*) == 8 ? (std::size_t{1} << 30) : (std::size_t{1} << 27);

std::uint8_t* region = nullptr;
std::atomic<std::size_t> used{0};
std::atomic<bool> watching{false};
std::atomic<std::size_t> touches{0};
std::atomic<bool> overflowed{false};
PVOID handler = nullptr;

bool InRegion(const void* p) {
    const auto* b = static_cast<const std::uint8_t*>(p);
    return region != nullptr && b >= region && b < region + kRegion;
}

LONG CALLBACK OnFault(EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD& record = *info->ExceptionRecord;
    if (record.ExceptionCode != EXCEPTION_ACCESS_VIOLATION || record.NumberParameters < 2) {
        return EXCEPTION_CONTINUE_SEARCH;
    }
    const auto address = reinterpret_cast<void*>(record.ExceptionInformation[1]);
    if (!InRegion(address)) return EXCEPTION_CONTINUE_SEARCH;
    touches.fetch_add(1);
    const auto page = reinterpret_cast<std::uintptr_t>(address) & ~(kPage - 1);
    ::VirtualAlloc(reinterpret_cast<void*>(page), kPage, MEM_COMMIT, PAGE_READWRITE);
    return EXCEPTION_CONTINUE_EXECUTION;
}

void* Allocate(std::size_t size) {
    if (size == 0) size = 1;
    if (watching.load()) {
        const std::size_t span = (size + kPage - 1) / kPage * kPage;
        const std::size_t at = used.fetch_add(span);
        if (at + span <= kRegion) {
            void* block = ::VirtualAlloc(region + at, span, MEM_COMMIT, PAGE_READWRITE);
            if (block != nullptr) return block;
        }
        overflowed.store(true);
    }
    return std::malloc(size);
}

// Without a size only the block's first page goes: every object the skinning
// frees is far smaller than a page.
void Free(void* p, std::size_t size = 1) {
    if (p == nullptr) return;
    if (!InRegion(p)) {
        std::free(p);
        return;
    }
    if (size == 0) size = 1;  // a size of 0 would decommit the whole region
    ::VirtualFree(p, (size + kPage - 1) / kPage * kPage, MEM_DECOMMIT);
}

}  // namespace

namespace hardening {

FreedMemoryWatch::FreedMemoryWatch() {
    if (region == nullptr) {
        region = static_cast<std::uint8_t*>(
            ::VirtualAlloc(nullptr, kRegion, MEM_RESERVE, PAGE_NOACCESS));
        handler = ::AddVectoredExceptionHandler(1, &OnFault);
    }
    touches.store(0);
    overflowed.store(region == nullptr);
    watching.store(true);
}

FreedMemoryWatch::~FreedMemoryWatch() {
    watching.store(false);
}

std::size_t FreedMemoryWatch::Touches() {
    return touches.load();
}

bool FreedMemoryWatch::Complete() {
    return !overflowed.load();
}

}  // namespace hardening

void* operator new(std::size_t size) {
    if (void* p = Allocate(size)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return Allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return Allocate(size);
}
void operator delete(void* p) noexcept {
    Free(p);
}
void operator delete[](void* p) noexcept {
    Free(p);
}
void operator delete(void* p, std::size_t size) noexcept {
    Free(p, size);
}
void operator delete[](void* p, std::size_t size) noexcept {
    Free(p, size);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    Free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    Free(p);
}
