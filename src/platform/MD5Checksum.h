#pragma once
// CMD5Checksum: the MD5 digest (RFC 1321) used to derive cipher keys from passwords.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace fennick {

class CMD5Checksum {
public:
    using Digest = std::array<uint8_t, 16>;

    CMD5Checksum();
    ~CMD5Checksum();
    CMD5Checksum(const CMD5Checksum&) = delete;
    CMD5Checksum& operator=(const CMD5Checksum&) = delete;

    // Adds bytes to the message.
    void Update(const uint8_t* data, std::size_t length);
    // Ends the message and returns its digest; the object starts a new message afterwards.
    Digest Final();

    // The digest of one byte string.
    static Digest GetMD5(const uint8_t* data, std::size_t length);

private:
    struct SState;
    std::unique_ptr<SState> m_state;
};

} // namespace fennick
