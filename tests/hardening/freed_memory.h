// Freed memory that cannot be touched: while a FreedMemoryWatch lives, every
// block the program allocates gets pages of its own, and freeing it takes the
// pages away. A read or write through a dangling pointer then faults; the
// fault is counted, the page comes back (zeroed) and the program goes on, so a
// test can say where a use after free happened instead of crashing somewhere.
#pragma once

#include <cstddef>

namespace hardening {

class FreedMemoryWatch {
public:
    FreedMemoryWatch();
    ~FreedMemoryWatch();
    FreedMemoryWatch(const FreedMemoryWatch&) = delete;
    FreedMemoryWatch& operator=(const FreedMemoryWatch&) = delete;

    // Touches of freed blocks since the watch began.
    static std::size_t Touches();
    // Whether every block allocated under the watch got pages of its own.
    static bool Complete();
};

}  // namespace hardening
