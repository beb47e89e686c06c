#pragma once

#include <QtGlobal>
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <type_traits>
#include <utility>

namespace tess {

namespace blockmemory {

// Memory for blocks that grow at their end. A small block comes from the
// heap; a large one is mapped in huge pages where the system offers them, so
// that filling it with a bank's rows costs a page fault per 2 MB rather than
// one per 4 KB, which is most of the time a large read would take otherwise.
// Each returns at least `bytes` and sets *capacity to what it gave.
void* allocate(std::size_t bytes, std::size_t* capacity);
// Grows the block at p, keeping its first `used` bytes.
void* grow(void* p, std::size_t used, std::size_t capacity, std::size_t bytes,
           std::size_t* newCapacity);
void release(void* p, std::size_t capacity);

} // namespace blockmemory

// An array of plain values that grows at its end, in memory of the kind above.
template <typename T> class PackedArray {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    PackedArray() = default;
    ~PackedArray() { reset(); }
    PackedArray(const PackedArray& other) { *this = other; }
    PackedArray& operator=(const PackedArray& other) {
        if (this != &other) {
            clear();
            append(other.data(), other.size());
        }
        return *this;
    }
    PackedArray(PackedArray&& other) noexcept { swap(other); }
    PackedArray& operator=(PackedArray&& other) noexcept {
        PackedArray moved(std::move(other));
        swap(moved);
        return *this;
    }
    void swap(PackedArray& other) noexcept {
        std::swap(m_data, other.m_data);
        std::swap(m_size, other.m_size);
        std::swap(m_capacity, other.m_capacity);
    }

    qsizetype size() const { return m_size; }
    bool isEmpty() const { return m_size == 0; }
    const T* data() const { return m_data; }
    T* data() { return m_data; }
    const T* begin() const { return m_data; }
    const T* end() const { return m_data + m_size; }
    T* begin() { return m_data; }
    T* end() { return m_data + m_size; }
    const T& operator[](qsizetype i) const { return m_data[i]; }
    T& operator[](qsizetype i) { return m_data[i]; }

    void reserve(qsizetype count) {
        if (std::size_t(count) * sizeof(T) <= m_capacity)
            return;
        std::size_t capacity = 0;
        m_data = static_cast<T*>(
            m_data ? blockmemory::grow(m_data, std::size_t(m_size) * sizeof(T), m_capacity,
                                       std::size_t(count) * sizeof(T), &capacity)
                   : blockmemory::allocate(std::size_t(count) * sizeof(T), &capacity));
        m_capacity = capacity;
    }
    // Room for n more values, the block doubled when it has to grow.
    void makeRoom(qsizetype n) {
        if (std::size_t(m_size + n) * sizeof(T) > m_capacity)
            reserve(std::max<qsizetype>(m_size + n, 2 * qsizetype(m_capacity / sizeof(T))));
    }
    void append(const T& value) {
        makeRoom(1);
        m_data[m_size++] = value;
    }
    void append(const T* values, qsizetype n) {
        if (n <= 0)
            return;
        makeRoom(n);
        std::memcpy(static_cast<void*>(m_data + m_size), values, std::size_t(n) * sizeof(T));
        m_size += n;
    }
    void remove(qsizetype i, qsizetype n = 1) {
        std::memmove(static_cast<void*>(m_data + i), m_data + i + n,
                     std::size_t(m_size - i - n) * sizeof(T));
        m_size -= n;
    }
    // Empties the array; the memory stays for what is appended next.
    void clear() { m_size = 0; }
    // Empties the array and gives its memory back.
    void reset() {
        if (m_data)
            blockmemory::release(m_data, m_capacity);
        m_data = nullptr;
        m_size = 0;
        m_capacity = 0;
    }

private:
    T* m_data = nullptr;
    qsizetype m_size = 0;
    std::size_t m_capacity = 0; // bytes
};

} // namespace tess
