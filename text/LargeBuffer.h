#pragma once

#include <cstddef>

// Memory for a whole collection's text, in huge pages where the system offers
// them: the text is tens of megabytes, and on 4 KiB pages both its first touch
// and every later walk over it cost several times more. Pages are taken only
// as they are written, so reserving more than is used costs nothing.
class LargeBuffer {
public:
    LargeBuffer() = default;
    ~LargeBuffer();
    LargeBuffer(LargeBuffer&& other) noexcept;
    LargeBuffer& operator=(LargeBuffer&& other) noexcept;
    LargeBuffer(const LargeBuffer&) = delete;
    LargeBuffer& operator=(const LargeBuffer&) = delete;

    // Room for at least `bytes`, keeping what the buffer holds. Throws
    // std::bad_alloc when the system has no room for it.
    void reserve(std::size_t bytes);
    // Hands back what lies beyond the first `bytes`: the part of the last huge
    // page that the contents do not reach, up to 2 MiB.
    void releaseBeyond(std::size_t bytes);
    std::size_t capacity() const { return m_capacity; }
    char* data() { return m_data; }
    const char* data() const { return m_data; }

private:
    char* m_data = nullptr;
    std::size_t m_capacity = 0;
};
