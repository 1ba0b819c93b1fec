#pragma once
// The hashes and ciphers of Office encryption, all from OpenSSL. Each Toolkit owns its own OpenSSL
// library context with the default and the legacy provider loaded (RC4 lives in the legacy one), so
// nothing global is changed for other users of OpenSSL in the process.

#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>

#include "core/access/crypto/wiped_bytes.h"

struct evp_md_st;
struct evp_md_ctx_st;
struct evp_cipher_st;
struct evp_cipher_ctx_st;

namespace tabvert::ado::crypto {

// A failure inside OpenSSL (a missing provider, an algorithm it refuses).
class CryptoError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

enum class HashAlgorithm { Md5, Sha1, Sha256, Sha384, Sha512 };
enum class CipherAlgorithm { Rc4, AesEcb, AesCbc };

std::size_t DigestSize(HashAlgorithm algorithm);

class Toolkit;
struct Context;

// One hash algorithm, reusable for many digests.
class Hasher {
  public:
    // Digest of the concatenation of the parts.
    WipedBytes Digest(std::initializer_list<std::span<const std::uint8_t>> parts);
    std::size_t size() const { return size_; }

  private:
    friend class Toolkit;
    Hasher() = default;
    std::shared_ptr<Context> context_;
    std::shared_ptr<evp_md_st> md_;
    std::shared_ptr<evp_md_ctx_st> ctx_;
    std::size_t size_ = 0;
};

// One cipher algorithm: decrypts in place, each call with a fresh key (and IV where the mode has one).
class Decipher {
  public:
    // AES takes keys of 16, 24 or 32 bytes and data in whole blocks of 16; RC4 keys of 1 to 256 bytes.
    // iv is ignored by the modes without one.
    void Decrypt(std::span<const std::uint8_t> key, std::span<const std::uint8_t> iv,
                 std::span<std::uint8_t> data);

  private:
    friend class Toolkit;
    Decipher() = default;
    std::shared_ptr<Context> context_;
    CipherAlgorithm algorithm_ = CipherAlgorithm::Rc4;
    std::shared_ptr<evp_cipher_ctx_st> ctx_;
    std::shared_ptr<evp_cipher_st> cipher_;  // fetched for keyLength_
    std::size_t keyLength_ = 0;
};

class Toolkit {
  public:
    Toolkit();
    Hasher MakeHasher(HashAlgorithm algorithm) const;
    Decipher MakeDecipher(CipherAlgorithm algorithm) const;

  private:
    std::shared_ptr<Context> context_;
};

}  // namespace tabvert::ado::crypto
