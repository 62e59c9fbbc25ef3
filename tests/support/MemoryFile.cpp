#include "MemoryFile.h"

#include "platform/Exceptions.h"

#include <algorithm>
#include <cstring>

namespace fennick::test {

uint32_t CMemoryFile::Read(void* buffer, uint32_t count) {
    ++m_readCalls;
    if (count == 0)
        return 0;
    if (m_position < 0)
        ThrowBadFormat();
    const auto size = static_cast<int64_t>(m_bytes.size());
    if (m_position >= size)
        return 0;
    const auto n = static_cast<uint32_t>(std::min<int64_t>(count, size - m_position));
    std::memcpy(buffer, m_bytes.data() + m_position, n);
    m_position += n;
    return n;
}

int64_t CMemoryFile::ReadRaw(void* buffer, uint32_t count) {
    return Read(buffer, count);
}

void CMemoryFile::Write(const void*, uint32_t) {
    ThrowNotSupported();
}

void CMemoryFile::Flush() {
    ThrowNotSupported();
}

void CMemoryFile::SetLength(int32_t length) {
    m_bytes.resize(static_cast<std::size_t>(std::max(length, 0)));
}

int64_t CMemoryFile::Seek(int64_t offset, int origin) {
    if (origin == 0)
        m_position = offset;
    else if (origin == 1)
        m_position += offset;
    else
        ThrowNotSupported();
    return m_position;
}

} // namespace fennick::test
