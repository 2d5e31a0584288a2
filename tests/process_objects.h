// What a process holds, counted the same way on Windows and under Wine, for
// the tests and the soak driver that check nothing is left behind.
#pragma once

#include <windows.h>
#include <tlhelp32.h>

#include "support/unique_resource.h"

// GDI objects of this process. Windows answers GetGuiResources; Wine answers 0
// there, but keeps the per-process handle table that the PEB points to, with the
// 24-byte entries of 64-bit and WoW64 Windows: count its used entries instead.
inline DWORD GdiObjectCount() {
    const DWORD reported = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (reported != 0) return reported;
    struct Entry {
        unsigned long long object;
        ULONG owner;
        USHORT unique;
        UCHAR type;
        UCHAR flags;
        unsigned long long user;
    };
    static_assert(sizeof(Entry) == 24, "the handle table's entry");
    const BYTE* peb = nullptr;
    asm("movl %%fs:0x30, %0" : "=r"(peb));  // the thread block's pointer to the PEB
    const auto* table = *reinterpret_cast<const Entry* const*>(peb + 0x94);  // GdiSharedHandleTable
    if (table == nullptr) return 0;
    DWORD used = 0;
    for (int i = 0; i < 0x10000; ++i) used += table[i].type != 0;
    return used;
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
