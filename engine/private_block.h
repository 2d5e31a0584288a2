// The memory worker's own block, owned for the worker's life. On Windows it
// comes from a private, unserialised heap; elsewhere from the C++ heap.
#pragma once

#include <cstddef>

class PrivateBlock {
public:
    explicit PrivateBlock(std::size_t size);  // data() is null when it cannot be had
    ~PrivateBlock();
    PrivateBlock(const PrivateBlock&) = delete;
    PrivateBlock& operator=(const PrivateBlock&) = delete;

    unsigned char* data() const { return data_; }
    std::size_t size() const { return size_; }

private:
    [[maybe_unused]] void* heap_ = nullptr;  // Windows only: the private heap
    unsigned char* data_ = nullptr;
    std::size_t size_ = 0;
};
