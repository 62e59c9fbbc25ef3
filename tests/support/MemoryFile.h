#pragma once
// CMemoryFile: an IFile over bytes held in memory, for tests of code that reads through IFile. Seeking past
// the end is allowed (later reads return 0), as with the cached file readers.

#include "platform/IFile.h"

#include <cstdint>
#include <string>

namespace fennick::test {

class CMemoryFile : public IFile {
public:
    explicit CMemoryFile(std::string bytes = {}) : m_bytes(std::move(bytes)) {}

    uint32_t Read(void* buffer, uint32_t count) override;
    void Write(const void* buffer, uint32_t count) override;
    int64_t Seek(int64_t offset, int origin) override;
    void Flush() override;
    void Abort() override {}
    void Close() override {}
    void SetLength(int32_t length) override;
    int64_t ReadRaw(void* buffer, uint32_t count) override;

    int64_t Position() const { return m_position; }
    const std::string& Bytes() const { return m_bytes; }
    // How many Read calls came in.
    int ReadCalls() const { return m_readCalls; }

private:
    std::string m_bytes;
    int64_t m_position = 0;
    int m_readCalls = 0;
};

} // namespace fennick::test
