#include "platform/LargeBuffer.h"

#include <cstdint>
#include <new>
#include <sys/mman.h>
#include <utility>

namespace {

constexpr std::size_t HugePage = std::size_t(2) << 20;

std::size_t roundUp(std::size_t bytes) {
    return (bytes + HugePage - 1) & ~(HugePage - 1);
}

// Huge pages throughout for anything of a huge page or more: the last one,
// part-used, costs at most 2 MiB of memory, while its 4 KiB pages would cost
// hundreds of faults, each slow on a virtual machine. Something smaller is
// left on 4 KiB pages rather than take a whole huge page.
void adviseHugePages(char* start, std::size_t asked) {
    if (asked >= HugePage)
        madvise(start, roundUp(asked), MADV_HUGEPAGE);
}

// A mapping that starts on a huge-page boundary, which older kernels do not
// give by themselves: map a huge page more and trim both ends.
char* mapAligned(std::size_t bytes, std::size_t asked) {
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
    // Only advice: without huge pages the buffer works the same, more slowly.
    adviseHugePages(aligned, asked);
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
        m_data = mapAligned(wanted, bytes);
        m_capacity = wanted;
        return;
    }
    void* moved = mremap(m_data, m_capacity, wanted, MREMAP_MAYMOVE);
    if (moved == MAP_FAILED)
        throw std::bad_alloc();
    m_data = static_cast<char*>(moved);
    m_capacity = wanted;
    adviseHugePages(m_data, bytes);
}
