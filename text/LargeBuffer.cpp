#include "text/LargeBuffer.h"

#include <cstdint>
#include <new>
#include <sys/mman.h>
#include <utility>

namespace {

constexpr std::size_t HugePage = std::size_t(2) << 20;
constexpr std::size_t SmallPage = 4096;

std::size_t roundUp(std::size_t bytes) {
    return (bytes + HugePage - 1) & ~(HugePage - 1);
}

// A mapping that starts on a huge-page boundary, which older kernels do not
// give by themselves: map a huge page more and trim both ends.
char* mapAligned(std::size_t bytes) {
    const std::size_t mapped = bytes + HugePage;
    void* raw = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED)
        throw std::bad_alloc();
    char* start = static_cast<char*>(raw);
    char* aligned = reinterpret_cast<char*>(roundUp(reinterpret_cast<std::uintptr_t>(start)));
    if (aligned > start)
        munmap(start, std::size_t(aligned - start));
    if (const std::size_t tail = std::size_t(start + mapped - (aligned + bytes)); tail > 0)
        munmap(aligned + bytes, tail);
    return aligned;
}

} // namespace

LargeBuffer::~LargeBuffer() {
    if (m_data)
        munmap(m_data, m_capacity);
}

LargeBuffer::LargeBuffer(LargeBuffer&& other) noexcept
    : m_data(std::exchange(other.m_data, nullptr)), m_capacity(std::exchange(other.m_capacity, 0)) {
}

LargeBuffer& LargeBuffer::operator=(LargeBuffer&& other) noexcept {
    std::swap(m_data, other.m_data);
    std::swap(m_capacity, other.m_capacity);
    return *this;
}

void LargeBuffer::reserve(std::size_t bytes) {
    if (bytes <= m_capacity)
        return;
    const std::size_t wanted = roundUp(bytes);
    if (!m_data) {
        m_data = mapAligned(wanted);
    } else {
        void* moved = mremap(m_data, m_capacity, wanted, MREMAP_MAYMOVE);
        if (moved == MAP_FAILED)
            throw std::bad_alloc();
        m_data = static_cast<char*>(moved);
    }
    m_capacity = wanted;
    // Only advice: without huge pages the buffer works the same, more slowly.
    // Something smaller than a huge page stays on 4 KiB pages rather than
    // take a whole one.
    if (bytes >= HugePage)
        madvise(m_data, m_capacity, MADV_HUGEPAGE);
}

void LargeBuffer::releaseBeyond(std::size_t bytes) {
    const std::size_t kept = (bytes + SmallPage - 1) & ~(SmallPage - 1);
    if (kept < m_capacity)
        madvise(m_data + kept, m_capacity - kept, MADV_DONTNEED);
}
