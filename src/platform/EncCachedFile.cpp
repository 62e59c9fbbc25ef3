#include "platform/EncCachedFile.h"

#include "platform/GenericEx.h"

#include <cstring>

namespace fennick {

CEncCachedFile::CEncCachedFile(CSysFile& file, uint64_t capacity, std::u16string_view password)
    : CCachedFile(file, capacity) {
    m_crypt.SetKey(password, false);
}

void CEncCachedFile::Decrypt(const uint8_t* in, uint8_t* out) {
    if (m_crypt.DecryptBlock(in, out) != 1)
        ThrowGenericError(u"Data corrupted.");
}

int64_t CEncCachedFile::ReadRawAt(int64_t position, void* buffer, uint32_t count) {
    File().Seek(position, CFile::begin);
    return ReadRaw(buffer, count);
}

int64_t CEncCachedFile::ReadRaw(void* buffer, uint32_t count) {
    CSysFile& file = File();
    uint8_t* out = static_cast<uint8_t*>(buffer);
    const uint64_t position = file.GetPosition();
    const uint64_t blockStart = position & ~uint64_t{15};
    const uint32_t inBlock = static_cast<uint32_t>(position - blockStart);
    uint32_t done = 0;

    if (inBlock > 0) {
        file.Seek(static_cast<int64_t>(blockStart), CFile::begin);
        std::memset(m_readBlock, 0, sizeof m_readBlock);
        if (file.Read(m_readBlock, 16) == 0)
            return 0;
        Decrypt(m_readBlock, m_plainBlock);
        done = std::min<uint32_t>(count, 16 - inBlock);
        std::memcpy(out, m_plainBlock + inBlock, done);
    }

    if (count - done >= 16) {
        file.Seek(static_cast<int64_t>(position + done), CFile::begin);
        const uint32_t want = (count - done) & ~uint32_t{15};
        const uint32_t got = file.Read(out + done, want);
        if (got == 0)
            return done;
        const uint32_t kept = got == want ? want : (got & ~uint32_t{15});
        for (uint32_t at = 0; at < kept; at += 16) {
            std::memcpy(m_readBlock, out + done + at, 16);
            Decrypt(m_readBlock, out + done + at);
        }
        done += kept;
        if (got < want)
            return done;
    }

    if (count > done) {
        std::memset(m_readBlock, 0, sizeof m_readBlock);
        if (file.Read(m_readBlock, 16) > 0) {
            Decrypt(m_readBlock, m_plainBlock);
            std::memcpy(out + done, m_plainBlock, count - done);
            done = count;
        }
    }
    return done;
}

} // namespace fennick
