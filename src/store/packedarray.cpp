#include "store/packedarray.h"

#include <cstdint>
#include <cstdlib>
#include <new>
#include <sys/mman.h>

namespace tess::blockmemory {

namespace {

constexpr std::size_t kHugePage = std::size_t(2) << 20;
// Below this a block stays on the heap: a huge page would hold far more
// memory than it needs. From here on a block is worth one.
constexpr std::size_t kHugeFrom = std::size_t(512) << 10;

bool isHuge(std::size_t capacity) {
    return capacity >= kHugeFrom;
}

std::size_t roundedUp(std::size_t bytes) {
    return (bytes + kHugePage - 1) / kHugePage * kHugePage;
}

// A mapping of `bytes` (a multiple of the huge page) starting on a huge page
// boundary, which huge pages need.
void* mapHuge(std::size_t bytes) {
    void* mapped = ::mmap(nullptr, bytes + kHugePage, PROT_READ | PROT_WRITE,
                          MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED)
        throw std::bad_alloc();
    const auto start = reinterpret_cast<std::uintptr_t>(mapped);
    const std::uintptr_t aligned = (start + kHugePage - 1) / kHugePage * kHugePage;
    if (aligned > start)
        ::munmap(mapped, aligned - start);
    const std::size_t tail = start + bytes + kHugePage - (aligned + bytes);
    if (tail > 0)
        ::munmap(reinterpret_cast<void*>(aligned + bytes), tail);
#ifdef MADV_HUGEPAGE
    // Only advice: without huge pages the block works the same.
    ::madvise(reinterpret_cast<void*>(aligned), bytes, MADV_HUGEPAGE);
#endif
    return reinterpret_cast<void*>(aligned);
}

} // namespace

void* allocate(std::size_t bytes, std::size_t* capacity) {
    if (bytes >= kHugeFrom) {
        *capacity = roundedUp(bytes);
        return mapHuge(*capacity);
    }
    void* p = std::malloc(bytes);
    if (!p)
        throw std::bad_alloc();
    *capacity = bytes;
    return p;
}

void* grow(void* p, std::size_t used, std::size_t capacity, std::size_t bytes,
           std::size_t* newCapacity) {
    if (!isHuge(capacity) && bytes < kHugeFrom) {
        void* moved = std::realloc(p, bytes);
        if (!moved)
            throw std::bad_alloc();
        *newCapacity = bytes;
        return moved;
    }
    if (isHuge(capacity)) {
        // Grown where it is, the block keeps its pages and its alignment.
        const std::size_t wanted = roundedUp(bytes);
        if (::mremap(p, capacity, wanted, 0) != MAP_FAILED) {
#ifdef MADV_HUGEPAGE
            ::madvise(static_cast<char*>(p) + capacity, wanted - capacity, MADV_HUGEPAGE);
#endif
            *newCapacity = wanted;
            return p;
        }
    }
    void* moved = allocate(bytes, newCapacity);
    std::memcpy(moved, p, used);
    release(p, capacity);
    return moved;
}

void release(void* p, std::size_t capacity) {
    if (isHuge(capacity))
        ::munmap(p, capacity);
    else
        std::free(p);
}

} // namespace tess::blockmemory
