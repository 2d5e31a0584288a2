// The memory worker's block where there are no private heaps.
#include "engine/private_block.h"

#include <cstdlib>

PrivateBlock::PrivateBlock(std::size_t size) {
    data_ = static_cast<unsigned char*>(std::malloc(size));
    if (data_) size_ = size;
}

PrivateBlock::~PrivateBlock() { std::free(data_); }
