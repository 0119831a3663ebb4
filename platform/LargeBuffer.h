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

    // Room for at least `bytes`, keeping what the buffer holds, in huge pages
    // throughout when `hugePages` (else only as adviseHugePagesBelow() says).
    // Throws std::bad_alloc when the system has no room for it.
    void reserve(std::size_t bytes, bool hugePages = true);
    // Huge pages for the whole ones below `bytes`, for a buffer filled from its
    // start whose final size is known only as it is filled: a huge page that
    // would end up part-used stays on 4 KiB pages.
    void adviseHugePagesBelow(std::size_t bytes);
    std::size_t capacity() const { return m_capacity; }
    char* data() { return m_data; }
    const char* data() const { return m_data; }

private:
    char* m_data = nullptr;
    std::size_t m_capacity = 0;
    std::size_t m_advised = 0;
};
