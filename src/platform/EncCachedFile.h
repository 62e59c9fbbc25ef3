#pragma once
// CEncCachedFile: the read cache over a file enciphered block by block. The file is the plaintext cut into
// 16-byte blocks, each enciphered on its own (no header, vector, chaining or length); ReadRaw deciphers the
// blocks a read touches, so the cache above it holds plaintext. A wrong password yields meaningless bytes,
// not an error; a block that cannot be deciphered (no key) raises CGenericEx "Data corrupted.".

#include "platform/CachedFile.h"
#include "platform/Crypt.h"

#include <string_view>

namespace fennick {

class CEncCachedFile : public CCachedFile {
public:
    CEncCachedFile(CSysFile& file, uint64_t capacity, std::u16string_view password);

    // Reads count plaintext bytes from the file's current position; a final short block reads as if
    // padded with zero bytes.
    int64_t ReadRaw(void* buffer, uint32_t count) override;

protected:
    // Deciphering follows the file's position, so the file is sought first.
    int64_t ReadRawAt(int64_t position, void* buffer, uint32_t count) override;
    // Deciphered windows are read whole.
    int64_t FillAt(int64_t position, void* buffer, uint32_t count, uint32_t) override {
        return ReadRawAt(position, buffer, count);
    }

private:
    void Decrypt(const uint8_t* in, uint8_t* out);

    Crypt m_crypt;
    uint8_t m_readBlock[16] = {};
    uint8_t m_plainBlock[16] = {};
};

} // namespace fennick
