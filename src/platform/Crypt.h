#pragma once
// Crypt: the block decryptor of enciphered storage files. The key is derived from a password (the low byte
// of every UTF-16 unit, MD5 of those bytes followed by MD5 of them reversed: 32 bytes) and every 16-byte
// block is deciphered on its own with AES-256 in chaining mode from an all-zero vector.

#include <cstdint>
#include <memory>
#include <string_view>

namespace fennick {

class Crypt {
public:
    enum Mode { modeECB = 0, modeCBC = 1, modeCFB1 = 2 };
    enum Direction { dirEncrypt = 0, dirDecrypt = 1 };
    enum KeyLength { key128 = 0, key192 = 1, key256 = 2 };
    // Refusals of the cipher set-up and of block processing.
    enum Result {
        badCipherMode = -1,
        badKeyDirection = -2,
        badKeyLength = -3,
        badKeyMaterial = -4,
        badCipherState = -5,
        badDirection = -6,
    };

    // One AES cipher state: mode, direction, vector and expanded key.
    class CCipherState {
    public:
        CCipherState();
        ~CCipherState();
        CCipherState(const CCipherState&) = delete;
        CCipherState& operator=(const CCipherState&) = delete;

        // Sets the state up; 1, or a Result code (badCipherMode, badKeyDirection, badKeyLength,
        // badKeyMaterial) leaving the state not valid. iv may be null (all zero).
        int Init(int mode, int direction, const uint8_t* key, int keyLength, const uint8_t* iv);
        // Processes whole 16-byte blocks, starting from the set-up vector every call. Returns the number of
        // bytes produced, or badCipherState / badDirection.
        int Decrypt(const uint8_t* in, int blocks, uint8_t* out);
        int Encrypt(const uint8_t* in, int blocks, uint8_t* out);
        bool IsValid() const { return m_valid; }

    private:
        int Process(const uint8_t* in, int blocks, uint8_t* out, int direction);

        struct SCipher;
        std::unique_ptr<SCipher> m_cipher;
        bool m_valid = false;
        int m_mode = modeECB;
        int m_direction = dirEncrypt;
        uint8_t m_iv[16] = {};
    };

    Crypt() = default;

    // Derives the key from the password and sets up the decryption state (and the encryption state when
    // setUpEncryption is true). 1 when a key was set; 0 for an empty password or a refused set-up.
    int SetKey(std::u16string_view password, bool setUpEncryption);
    // Deciphers one 16-byte block; 1, or 0 when no key is set or the cipher refuses.
    int DecryptBlock(const uint8_t* in, uint8_t* out);

private:
    CCipherState m_encrypt;
    CCipherState m_decrypt;
    bool m_ready = false;
};

} // namespace fennick
