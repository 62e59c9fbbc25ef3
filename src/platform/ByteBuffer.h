#pragma once
// CByteBuffer: a grow-only byte buffer reused across records. A request for n bytes (0 counts as 1) returns
// the existing block when it is large enough, else allocates exactly n bytes, copying the old bytes only
// when keepContents is set.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

namespace fennick {

class CByteBuffer {
public:
    explicit CByteBuffer(bool keepContents = false) : m_keepContents(keepContents) {}

    uint8_t* Require(std::size_t n) {
        if (n == 0)
            n = 1;
        if (n > m_capacity) {
            auto block = std::make_unique_for_overwrite<uint8_t[]>(n);
            if (m_keepContents && m_data)
                std::memcpy(block.get(), m_data.get(), m_capacity);
            m_data = std::move(block);
            m_capacity = n;
        }
        return m_data.get();
    }

    // Takes over a block of the given size.
    void Adopt(std::unique_ptr<uint8_t[]> block, std::size_t size) {
        m_data = std::move(block);
        m_capacity = m_data ? size : 0;
    }

    uint8_t* Data() const { return m_data.get(); }
    std::size_t Capacity() const { return m_capacity; }

private:
    std::unique_ptr<uint8_t[]> m_data;
    std::size_t m_capacity = 0;
    bool m_keepContents;
};

} // namespace fennick
