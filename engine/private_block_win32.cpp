// Private heap for the memory worker: HeapCreate, HeapAlloc, then HeapFree and
// HeapDestroy, all without serialisation. The heap is growable (maximum 0): a
// fixed-size heap refuses blocks near 512 KiB or larger, so a 1 MiB block could
// never be had from one.
#include "engine/private_block.h"

#include <windows.h>

PrivateBlock::PrivateBlock(std::size_t size) {
    heap_ = HeapCreate(HEAP_NO_SERIALIZE, 1048576, 0);
    if (!heap_) return;
    data_ = static_cast<unsigned char*>(HeapAlloc(heap_, HEAP_NO_SERIALIZE, size));
    if (data_) size_ = size;
}

PrivateBlock::~PrivateBlock() {
    if (data_) HeapFree(heap_, HEAP_NO_SERIALIZE, data_);
    if (heap_) HeapDestroy(heap_);
}
