#pragma once
// What a heap of the test process holds, for the checks that a long run leaves it flat.

#include <cstddef>

#include "framework/Win32.h"

namespace kq::test {

// The bytes in the heap's blocks in use.
inline std::size_t heap_bytes_in_use(HANDLE heap) {
    std::size_t total = 0;
    if (!::HeapLock(heap)) return total;
    PROCESS_HEAP_ENTRY entry{};
    while (::HeapWalk(heap, &entry))
        if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) total += entry.cbData;
    ::HeapUnlock(heap);
    return total;
}

} // namespace kq::test
