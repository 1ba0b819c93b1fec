#pragma once
// Turns the password into the keys of an Office-encrypted Access file, checks it against the file's
// verifier, and decrypts pages. Every page but the first is encrypted on its own, with a key (RC4,
// CryptoAPI AES) or an initialisation vector (agile AES) that mixes in the page number through the
// file's 32-bit encoding key.

#include <cstdint>
#include <memory>
#include <span>

#include "core/access/crypto/encryption_info.h"
#include "core/access/crypto/openssl.h"
#include "core/access/crypto/wiped_bytes.h"

namespace tabvert::ado::crypto {

class PageDecryptor {
  public:
    virtual ~PageDecryptor() = default;
    // Derives the keys from the password (UTF-16LE bytes) and checks them against the verifier of info;
    // nullptr when the password is not the file's.
    static std::unique_ptr<PageDecryptor> Open(const EncryptionInfo& info,
                                               std::span<const std::uint8_t> password,
                                               std::uint32_t encodingKey);
    // Decrypts page pageNumber (> 0) in place; its size is the file's page size.
    virtual void DecryptPage(std::uint32_t pageNumber, std::span<std::uint8_t> page) = 0;
};

// The key derivations, on their own for checking against published values.

// H(salt + password), then `rounds` rounds of H(round + previous) with the round as a little-endian 32-bit
// number: the agile spin count, or the CryptoAPI AES hash iterations.
WipedBytes IteratedHash(Hasher& hasher, std::span<const std::uint8_t> salt,
                        std::span<const std::uint8_t> password, std::uint32_t rounds);
// Agile: H(iterated + blockKey), cut to keyBytes or padded with 0x36.
WipedBytes AgileKey(Hasher& hasher, std::span<const std::uint8_t> iterated,
                    std::span<const std::uint8_t> blockKey, std::size_t keyBytes);
// CryptoAPI: the key of one block (a page, or block 0 for the verifier) from IteratedHash with SHA-1.
WipedBytes CryptoApiKey(Hasher& sha1, std::span<const std::uint8_t> hashed, std::uint32_t block,
                        const CryptoApiInfo& info);

}  // namespace tabvert::ado::crypto
