#include "common/largeblocks.h"

#include <cstdint>

// Sanitizer builds keep the heap, so that every block is checked.
#if defined(__linux__) && !defined(KIVOTREK_FULL_TEARDOWN)
#define KIVOTREK_LARGE_BLOCKS 1
#include <sys/mman.h>
#endif

namespace kivotrek {

#ifdef KIVOTREK_LARGE_BLOCKS
namespace {
constexpr std::size_t kHugePage = std::size_t(2) << 20;

std::size_t roundedUp(std::size_t bytes)
{
    return (bytes + kHugePage - 1) / kHugePage * kHugePage;
}
} // namespace
#endif

void* allocateLargeBlock(std::size_t bytes)
{
#ifdef KIVOTREK_LARGE_BLOCKS
    if (bytes >= kHugePage && bytes < (std::size_t(1) << 40)) {
        const std::size_t size = roundedUp(bytes);
        // Map one huge page more than needed and give back the ends, so the block starts on a
        // 2 MiB boundary.
        void* mapped =
            mmap(nullptr, size + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapped == MAP_FAILED)
            throw std::bad_alloc();
        const auto start = reinterpret_cast<std::uintptr_t>(mapped);
        const std::uintptr_t aligned = (start + kHugePage - 1) / kHugePage * kHugePage;
        if (aligned > start)
            munmap(mapped, aligned - start);
        const std::uintptr_t end = start + size + kHugePage;
        // The block's start rounded up within the mapping: addresses made from integers on
        // purpose, for the pages the kernel may back with a huge page.
        // NOLINTBEGIN(performance-no-int-to-ptr)
        if (end > aligned + size)
            munmap(reinterpret_cast<void*>(aligned + size), end - (aligned + size));
        madvise(reinterpret_cast<void*>(aligned), size, MADV_HUGEPAGE);
        return reinterpret_cast<void*>(aligned);
        // NOLINTEND(performance-no-int-to-ptr)
    }
#endif
    return ::operator new(bytes);
}

void freeLargeBlock(void* block, std::size_t bytes)
{
    if (!block)
        return;
#ifdef KIVOTREK_LARGE_BLOCKS
    if (bytes >= kHugePage && bytes < (std::size_t(1) << 40)) {
        munmap(block, roundedUp(bytes));
        return;
    }
#else
    (void)bytes;
#endif
    ::operator delete(block);
}

} // namespace kivotrek
