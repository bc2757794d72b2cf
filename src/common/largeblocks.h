#pragma once

// Memory for the large arrays of a board (hundreds of thousands of holes): blocks of 2 MiB and
// more come straight from the system, aligned so that it may back them with huge pages. A
// board's holes then cost a few page faults instead of one for every 4 KiB, which is most of the
// time of reading a large drill file on a virtual machine. Smaller blocks come from the heap.

#include <cstddef>
#include <new>

namespace kivotrek {

void* allocateLargeBlock(std::size_t bytes);
void freeLargeBlock(void* block, std::size_t bytes);

template <typename T> struct LargeBlockAllocator {
    using value_type = T;
    LargeBlockAllocator() = default;
    template <typename U> LargeBlockAllocator(const LargeBlockAllocator<U>&) noexcept { }

    T* allocate(std::size_t n)
    {
        if (n > std::size_t(-1) / sizeof(T))
            throw std::bad_array_new_length();
        return static_cast<T*>(allocateLargeBlock(n * sizeof(T)));
    }
    void deallocate(T* p, std::size_t n) noexcept { freeLargeBlock(p, n * sizeof(T)); }

    template <typename U> bool operator==(const LargeBlockAllocator<U>&) const noexcept { return true; }
    template <typename U> bool operator!=(const LargeBlockAllocator<U>&) const noexcept { return false; }
};

} // namespace kivotrek
