#include "EncipherFile.h"

#include "TempDir.h"

#include <fstream>
#include <memory>
#include <openssl/evp.h>
#include <stdexcept>

namespace fennick::test {

namespace {

void Md5(const std::string& bytes, unsigned char* out) {
    unsigned size = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), out, &size, EVP_md5(), nullptr) != 1 || size != 16)
        throw std::runtime_error("MD5 failed");
}

} // namespace

std::string EncipherBytes(std::string_view plain, std::u16string_view password) {
    std::string low;
    for (char16_t unit : password)
        low.push_back(static_cast<char>(unit & 0xFF));
    unsigned char key[32];
    Md5(low, key);
    Md5(std::string(low.rbegin(), low.rend()), key + 16);

    std::string padded(plain);
    padded.resize((padded.size() + 15) / 16 * 16, '\0');
    std::string out(padded.size(), '\0');
    std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> ctx(EVP_CIPHER_CTX_new(),
                                                                        EVP_CIPHER_CTX_free);
    int produced = 0;
    if (!ctx || EVP_EncryptInit_ex(ctx.get(), EVP_aes_256_ecb(), nullptr, key, nullptr) != 1 ||
        EVP_CIPHER_CTX_set_padding(ctx.get(), 0) != 1 ||
        EVP_EncryptUpdate(ctx.get(), reinterpret_cast<unsigned char*>(out.data()), &produced,
                          reinterpret_cast<const unsigned char*>(padded.data()),
                          static_cast<int>(padded.size())) != 1 ||
        produced != static_cast<int>(padded.size()))
        throw std::runtime_error("AES failed");
    return out;
}

void EncipherFile(const std::string& plainPath, const std::string& cipherPath, std::u16string_view password) {
    const std::string cipher = EncipherBytes(CTempDir::Read(plainPath), password);
    std::ofstream out(cipherPath, std::ios::binary | std::ios::trunc);
    out.write(cipher.data(), static_cast<std::streamsize>(cipher.size()));
    if (!out)
        throw std::runtime_error("cannot write " + cipherPath);
}

} // namespace fennick::test
