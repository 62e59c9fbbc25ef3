#include "platform/MD5Checksum.h"

#include "platform/Exceptions.h"

#include <openssl/evp.h>

namespace fennick {

struct CMD5Checksum::SState {
    EVP_MD_CTX* ctx = nullptr;
    ~SState() { EVP_MD_CTX_free(ctx); }
};

CMD5Checksum::CMD5Checksum() : m_state(std::make_unique<SState>()) {
    m_state->ctx = EVP_MD_CTX_new();
    if (m_state->ctx == nullptr || EVP_DigestInit_ex(m_state->ctx, EVP_md5(), nullptr) != 1)
        ThrowMemory();
}

CMD5Checksum::~CMD5Checksum() = default;

void CMD5Checksum::Update(const uint8_t* data, std::size_t length) {
    if (length != 0 && EVP_DigestUpdate(m_state->ctx, data, length) != 1)
        ThrowNotSupported();
}

CMD5Checksum::Digest CMD5Checksum::Final() {
    Digest digest{};
    unsigned size = 0;
    if (EVP_DigestFinal_ex(m_state->ctx, digest.data(), &size) != 1 || size != digest.size() ||
        EVP_DigestInit_ex(m_state->ctx, EVP_md5(), nullptr) != 1)
        ThrowNotSupported();
    return digest;
}

CMD5Checksum::Digest CMD5Checksum::GetMD5(const uint8_t* data, std::size_t length) {
    CMD5Checksum md5;
    md5.Update(data, length);
    return md5.Final();
}

} // namespace fennick
