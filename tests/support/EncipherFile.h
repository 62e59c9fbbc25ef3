#pragma once
// Enciphers plaintext the way the storage layer's enciphered files are made, written independently of the
// product's decryptor: key = MD5(low bytes of the password) followed by MD5 of those bytes reversed; every
// 16-byte block enciphered on its own with AES-256; a short last block padded with zero bytes.

#include <string>
#include <string_view>

namespace fennick::test {

std::string EncipherBytes(std::string_view plain, std::u16string_view password);
// Enciphers the file at plainPath into cipherPath.
void EncipherFile(const std::string& plainPath, const std::string& cipherPath, std::u16string_view password);

} // namespace fennick::test
