#include "platform/Crypt.h"

#include "platform/Exceptions.h"
#include "platform/MD5Checksum.h"

#include <algorithm>
#include <cstring>
#include <openssl/evp.h>
#include <string>

namespace fennick {

struct Crypt::CCipherState::SCipher {
    EVP_CIPHER_CTX* ctx = nullptr;
    ~SCipher() { EVP_CIPHER_CTX_free(ctx); }
};

Crypt::CCipherState::CCipherState() : m_cipher(std::make_unique<SCipher>()) {
    m_cipher->ctx = EVP_CIPHER_CTX_new();
    if (m_cipher->ctx == nullptr)
        ThrowMemory();
}

Crypt::CCipherState::~CCipherState() = default;

namespace {

const EVP_CIPHER* CipherFor(int mode, int keyLength) {
    static const EVP_CIPHER* const table[3][3] = {
        {EVP_aes_128_ecb(), EVP_aes_192_ecb(), EVP_aes_256_ecb()},
        {EVP_aes_128_cbc(), EVP_aes_192_cbc(), EVP_aes_256_cbc()},
        {EVP_aes_128_cfb1(), EVP_aes_192_cfb1(), EVP_aes_256_cfb1()},
    };
    return table[mode][keyLength];
}

} // namespace

int Crypt::CCipherState::Init(int mode, int direction, const uint8_t* key, int keyLength, const uint8_t* iv) {
    m_valid = false;
    if (mode < modeECB || mode > modeCFB1)
        return badCipherMode;
    if (direction != dirEncrypt && direction != dirDecrypt)
        return badKeyDirection;
    if (keyLength < key128 || keyLength > key256)
        return badKeyLength;
    if (key == nullptr)
        return badKeyMaterial;
    EVP_CIPHER_CTX* ctx = m_cipher->ctx;
    EVP_CIPHER_CTX_reset(ctx);
    const int enc = direction == dirEncrypt ? 1 : 0;
    if (EVP_CipherInit_ex(ctx, CipherFor(mode, keyLength), nullptr, key, nullptr, enc) != 1)
        return badKeyMaterial;
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    if (iv != nullptr)
        std::memcpy(m_iv, iv, sizeof m_iv);
    else
        std::memset(m_iv, 0, sizeof m_iv);
    m_mode = mode;
    m_direction = direction;
    m_valid = true;
    return 1;
}

int Crypt::CCipherState::Process(const uint8_t* in, int blocks, uint8_t* out, int direction) {
    if (!m_valid)
        return badCipherState;
    if (m_direction != direction)
        return badDirection;
    if (blocks <= 0)
        return 0;
    EVP_CIPHER_CTX* ctx = m_cipher->ctx;
    // Every call starts from the set-up vector, so blocks of separate calls stay independent.
    const int enc = direction == dirEncrypt ? 1 : 0;
    if (EVP_CipherInit_ex(ctx, nullptr, nullptr, nullptr, m_mode == modeECB ? nullptr : m_iv, enc) != 1)
        return badCipherState;
    int produced = 0;
    if (EVP_CipherUpdate(ctx, out, &produced, in, blocks * 16) != 1 || produced != blocks * 16)
        return badCipherState;
    return produced;
}

int Crypt::CCipherState::Decrypt(const uint8_t* in, int blocks, uint8_t* out) {
    return Process(in, blocks, out, dirDecrypt);
}

int Crypt::CCipherState::Encrypt(const uint8_t* in, int blocks, uint8_t* out) {
    return Process(in, blocks, out, dirEncrypt);
}

int Crypt::SetKey(std::u16string_view password, bool setUpEncryption) {
    m_ready = false;
    if (password.empty())
        return 0;
    std::string bytes(password.size(), '\0');
    std::transform(password.begin(), password.end(), bytes.begin(),
                   [](char16_t unit) { return static_cast<char>(unit & 0xFF); });
    std::string reversed(bytes.rbegin(), bytes.rend());
    uint8_t key[32];
    const auto first = CMD5Checksum::GetMD5(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    const auto second =
        CMD5Checksum::GetMD5(reinterpret_cast<const uint8_t*>(reversed.data()), reversed.size());
    std::memcpy(key, first.data(), 16);
    std::memcpy(key + 16, second.data(), 16);
    if (setUpEncryption && m_encrypt.Init(modeCBC, dirEncrypt, key, key256, nullptr) != 1)
        return 0;
    if (m_decrypt.Init(modeCBC, dirDecrypt, key, key256, nullptr) != 1)
        return 0;
    m_ready = true;
    return 1;
}

int Crypt::DecryptBlock(const uint8_t* in, uint8_t* out) {
    if (!m_ready)
        return 0;
    return m_decrypt.Decrypt(in, 1, out) == 16 ? 1 : 0;
}

} // namespace fennick
