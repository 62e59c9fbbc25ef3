#include "platform/CachedFile.h"

#include <cstring>
#include <limits>

namespace fennick {

namespace {
constexpr int64_t kMaxPosition = std::numeric_limits<int64_t>::max();
}

CCachedFile::CCachedFile(CSysFile& file, uint64_t capacity) : m_file(file), m_capacity(capacity) {}

CCachedFile::CCachedFile(CSysFile& file, uint64_t capacity, int64_t position)
    : m_file(file), m_capacity(capacity), m_position(position), m_positionTaken(true) {}

void CCachedFile::ThrowFormat() const {
    ThrowBadFormat(m_file.GetFilePath());
}

void CCachedFile::TakePosition() {
    if (!m_positionTaken) {
        m_position = static_cast<int64_t>(m_file.GetPosition());
        m_positionTaken = true;
    }
}

uint32_t CCachedFile::Read(void* buffer, uint32_t count) {
    if (count == 0)
        return 0;
    TakePosition();
    if (m_position < 0 || m_position > kMaxPosition - static_cast<int64_t>(count))
        ThrowFormat();
    const int64_t end = m_position + static_cast<int64_t>(count) - 1;
    if (m_first >= 0 && m_position >= m_first && end <= m_last) {
        std::memcpy(buffer, m_cache.Data() + (m_position - m_first), count);
        m_position += count;
        return count;
    }

    if (count <= m_capacity) {
        EmptyCache();
        uint64_t fill = m_capacity;
        const uint64_t room = static_cast<uint64_t>(kMaxPosition - m_position) + 1;
        if (fill > room)
            fill = room;
        // Fills are single reads, so they never exceed what one read call can carry.
        if (fill > std::numeric_limits<uint32_t>::max())
            fill = std::numeric_limits<uint32_t>::max();
        if (fill == 0)
            ThrowNotSupported();
        uint8_t* data = m_cache.Require(static_cast<std::size_t>(fill));
        const int64_t got = FillAt(m_position, data, static_cast<uint32_t>(fill), count);
        if (got <= 0)
            return 0;
        m_first = m_position;
        m_last = m_position + got - 1;
        if (got < static_cast<int64_t>(count))
            count = static_cast<uint32_t>(got);
        m_position += count;
        std::memcpy(buffer, data, count);
        return count;
    }

    const int64_t got = ReadRawAt(m_position, buffer, count);
    if (got < 0)
        ThrowFormat();
    m_position += got;
    return static_cast<uint32_t>(got);
}

void CCachedFile::Write(const void*, uint32_t) {
    ThrowNotSupported();
}

int64_t CCachedFile::Seek(int64_t offset, int origin) {
    if (origin != CFile::begin && origin != CFile::current)
        ThrowNotSupported();
    TakePosition();
    if (origin == CFile::begin)
        m_position = offset;
    else // wraps like the unsigned sum; a result below zero makes the next read fail
        m_position = static_cast<int64_t>(static_cast<uint64_t>(m_position) + static_cast<uint64_t>(offset));
    return m_position;
}

void CCachedFile::Flush() {
    ThrowNotSupported();
}

void CCachedFile::Abort() {
    EmptyCache();
    m_file.Abort();
}

void CCachedFile::Close() {
    EmptyCache();
    m_file.Close();
}

void CCachedFile::SetLength(int32_t length) {
    EmptyCache();
    m_file.SetLength(static_cast<uint64_t>(static_cast<int64_t>(length)));
}

int64_t CCachedFile::ReadRawAt(int64_t position, void* buffer, uint32_t count) {
    return m_file.ReadAt(static_cast<uint64_t>(position), buffer, count);
}

int64_t CCachedFile::FillAt(int64_t position, void* buffer, uint32_t count, uint32_t need) {
    return m_file.ReadAtLeast(static_cast<uint64_t>(position), buffer, count, need);
}

int64_t CCachedFile::ReadRaw(void* buffer, uint32_t count) {
    return m_file.Read(buffer, count);
}

} // namespace fennick
