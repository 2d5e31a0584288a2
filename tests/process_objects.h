// What a process holds, counted the same way on Windows and under Wine, for
// the tests and the soak driver that check nothing is left behind.
#pragma once

#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/unique_resource.h"

namespace process_objects_detail {

// Used entries of the per-process GDI handle table that the PEB points to, with
// the 24-byte entries of 64-bit and WoW64 Windows (Wine keeps the same table).
inline DWORD UsedGdiTableEntries() {
    struct Entry {
        unsigned long long object;
        ULONG owner;
        USHORT unique;
        UCHAR type;
        UCHAR flags;
        unsigned long long user;
    };
    static_assert(sizeof(Entry) == 24, "the handle table's entry");
    // The thread block's pointer to the PEB, and the PEB's GdiSharedHandleTable.
#if defined(__x86_64__)
    const BYTE* peb = nullptr;
    asm("movq %%gs:0x60, %0" : "=r"(peb));
    constexpr std::size_t kTableOffset = 0xF8;
#else
    const BYTE* peb = nullptr;
    asm("movl %%fs:0x30, %0" : "=r"(peb));
    constexpr std::size_t kTableOffset = 0x94;
#endif
    const auto* table = *reinterpret_cast<const Entry* const*>(peb + kTableOffset);
    if (table == nullptr) return 0;
    DWORD used = 0;
    for (int i = 0; i < 0x10000; ++i) used += table[i].type != 0;
    return used;
}

// The table is read at fixed offsets that no interface promises. Before any
// count is trusted, it must move with objects this process makes and deletes;
// otherwise the layout is not the one expected and every count would be garbage.
inline bool GdiTableFollowsAllocations(std::string& why) {
    constexpr int kBrushes = 3;
    const DWORD before = UsedGdiTableEntries();
    if (before == 0) {
        why = "the table is missing or empty";
        return false;
    }
    std::vector<HBRUSH> brushes;
    for (int i = 0; i < kBrushes; ++i) brushes.push_back(CreateSolidBrush(RGB(i, 1, 2)));
    const DWORD during = UsedGdiTableEntries();
    for (HBRUSH brush : brushes) DeleteObject(brush);
    const DWORD after = UsedGdiTableEntries();
    if (during != before + kBrushes || after != before) {
        why = "used entries " + std::to_string(before) + ", with " + std::to_string(kBrushes) +
              " new brushes " + std::to_string(during) + ", after deleting them " +
              std::to_string(after);
        return false;
    }
    return true;
}

}  // namespace process_objects_detail

// GDI objects of this process. Windows answers GetGuiResources; Wine answers 0
// there, so the handle table is counted instead, once it has proved sane.
// Ends the process with a message when it has not: a count read from an
// unknown layout means nothing.
inline DWORD GdiObjectCount() {
    const DWORD reported = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (reported != 0) return reported;
    static const std::string tableFault = [] {
        std::string why;
        return process_objects_detail::GdiTableFollowsAllocations(why) ? std::string() : why;
    }();
    if (!tableFault.empty()) {
        // Abort rather than throw: a count may be asked for inside a window or
        // timer procedure, where nothing may propagate and a failure would hide.
        std::fprintf(stderr,
                     "GDI handle table not as expected (%s): no GDI object can be counted\n",
                     tableFault.c_str());
        std::abort();
    }
    return process_objects_detail::UsedGdiTableEntries();
}

// Handles of a process, from the system's handle list (GetProcessHandleCount
// answers 0 under Wine; this list is right on both). -1 when it cannot be read.
inline int HandlesOf(DWORD processId) {
    using Query = LONG(WINAPI*)(int, void*, ULONG, ULONG*);
    static const auto query = reinterpret_cast<Query>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    if (query == nullptr) return -1;
    struct Entry {
        ULONG owner;
        BYTE type, flags;
        USHORT value;
        void* object;
        ULONG access;
    };
    std::vector<BYTE> buffer(1 << 20);
    LONG status = 0;
    constexpr LONG kTooSmall = static_cast<LONG>(0xC0000004);
    while ((status = query(16 /* SystemHandleInformation */, buffer.data(),
                           static_cast<ULONG>(buffer.size()), nullptr)) == kTooSmall) {
        buffer.resize(buffer.size() * 2);
    }
    if (status != 0) return -1;
    const ULONG count = *reinterpret_cast<const ULONG*>(buffer.data());
    const auto* entries = reinterpret_cast<const Entry*>(buffer.data() + sizeof(void*));
    int mine = 0;
    for (ULONG i = 0; i < count; ++i) mine += entries[i].owner == processId;
    return mine;
}

// Threads of the process now, or -1 when they cannot be listed.
inline int ThreadsOf(DWORD processId) {
    const HANDLE list = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (list == INVALID_HANDLE_VALUE) return -1;  // a failure is no handle to close
    const UniqueResource<HANDLE, ::CloseHandle> snapshot(list);
    THREADENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    int count = 0;
    for (BOOL more = Thread32First(snapshot.get(), &entry); more;
         more = Thread32Next(snapshot.get(), &entry)) {
        if (entry.th32OwnerProcessID == processId) ++count;
    }
    return count;
}
