#include "platform/Crypt.h"
#include "platform/MD5Checksum.h"

#include "EncipherFile.h"

#include <gtest/gtest.h>
#include <string>

using namespace fennick;

namespace {

std::string Hex(const uint8_t* p, std::size_t n) {
    static const char digits[] = "0123456789abcdef";
    std::string s;
    for (std::size_t i = 0; i < n; ++i) {
        s += digits[p[i] >> 4];
        s += digits[p[i] & 15];
    }
    return s;
}

std::string Md5Hex(const std::string& s) {
    return Hex(CMD5Checksum::GetMD5(reinterpret_cast<const uint8_t*>(s.data()), s.size()).data(), 16);
}

} // namespace

TEST(MD5Checksum, RfcTestSuite) {
    EXPECT_EQ(Md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(Md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(Md5Hex("12345678901234567890123456789012345678901234567890123456789012345678901234567890"),
              "57edf4a22be3c955ac49da2e2107b67a");
    CMD5Checksum md5; // in pieces, then reused
    md5.Update(reinterpret_cast<const uint8_t*>("message "), 8);
    md5.Update(reinterpret_cast<const uint8_t*>("digest"), 6);
    EXPECT_EQ(Hex(md5.Final().data(), 16), "f96b697d7cb7938d525a2f31aaf161d0");
    md5.Update(reinterpret_cast<const uint8_t*>("a"), 1);
    EXPECT_EQ(Hex(md5.Final().data(), 16), "0cc175b9c0f1b6a831c399e269772661");
}

// FIPS-197 appendix C.3 (AES-256).
TEST(Crypt, CipherStateDecryptsTheStandardVector) {
    uint8_t key[32];
    for (int i = 0; i < 32; ++i)
        key[i] = static_cast<uint8_t>(i);
    const uint8_t cipher[16] = {0x8e, 0xa2, 0xb7, 0xca, 0x51, 0x67, 0x45, 0xbf,
                                0xea, 0xfc, 0x49, 0x90, 0x4b, 0x49, 0x60, 0x89};
    Crypt::CCipherState state;
    ASSERT_EQ(state.Init(Crypt::modeCBC, Crypt::dirDecrypt, key, Crypt::key256, nullptr), 1);
    uint8_t plain[16];
    ASSERT_EQ(state.Decrypt(cipher, 1, plain), 16);
    EXPECT_EQ(Hex(plain, 16), "00112233445566778899aabbccddeeff");
    // The vector is not carried over: the same block gives the same plaintext again.
    ASSERT_EQ(state.Decrypt(cipher, 1, plain), 16);
    EXPECT_EQ(Hex(plain, 16), "00112233445566778899aabbccddeeff");
}

TEST(Crypt, RefusalCodes) {
    const uint8_t key[32] = {};
    Crypt::CCipherState state;
    EXPECT_EQ(state.Init(3, Crypt::dirDecrypt, key, Crypt::key256, nullptr), Crypt::badCipherMode);
    EXPECT_EQ(state.Init(Crypt::modeCBC, 2, key, Crypt::key256, nullptr), Crypt::badKeyDirection);
    EXPECT_EQ(state.Init(Crypt::modeCBC, Crypt::dirDecrypt, key, 3, nullptr), Crypt::badKeyLength);
    EXPECT_EQ(state.Init(Crypt::modeCBC, Crypt::dirDecrypt, nullptr, Crypt::key256, nullptr),
              Crypt::badKeyMaterial);
    uint8_t block[16] = {};
    EXPECT_EQ(state.Decrypt(block, 1, block), Crypt::badCipherState);
    ASSERT_EQ(state.Init(Crypt::modeECB, Crypt::dirEncrypt, key, Crypt::key128, nullptr), 1);
    EXPECT_EQ(state.Decrypt(block, 1, block), Crypt::badDirection);
    EXPECT_EQ(state.Encrypt(block, 1, block), 16);
}

TEST(Crypt, KeyFromPasswordMatchesTheEncipheringRule) {
    const std::string plain = "sixteen bytes!!!";
    const std::string cipher = test::EncipherBytes(plain, u"Kennwort\u00e4");
    Crypt crypt;
    uint8_t out[16];
    EXPECT_EQ(crypt.DecryptBlock(reinterpret_cast<const uint8_t*>(cipher.data()), out), 0); // no key yet
    EXPECT_EQ(crypt.SetKey(u"", false), 0);
    ASSERT_EQ(crypt.SetKey(u"Kennwort\u00e4", true), 1);
    ASSERT_EQ(crypt.DecryptBlock(reinterpret_cast<const uint8_t*>(cipher.data()), out), 1);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 16), plain);
    // An empty password clears the key again.
    EXPECT_EQ(crypt.SetKey(u"", false), 0);
    EXPECT_EQ(crypt.DecryptBlock(reinterpret_cast<const uint8_t*>(cipher.data()), out), 0);
}
