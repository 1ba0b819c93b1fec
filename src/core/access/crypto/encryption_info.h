#pragma once
// The encryption description that an Access 2007+ file keeps in its first page when the database has a
// password: which scheme (RC4 through CryptoAPI, AES through CryptoAPI, or agile AES), its algorithms,
// salts and the encrypted password verifier. Parsing is pure (bytes in, description or error out) and
// checks every length and count against the bytes it was given and against the format's limits before
// it relies on it, so a damaged or hostile header fails quickly with a message.

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

#include "core/access/crypto/openssl.h"

namespace tabvert::ado::crypto {

// The header cannot be read: truncated, inconsistent or out of the format's limits.
class DamagedHeader : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The header is sound but names a scheme or algorithm this program does not implement; what() names it.
class UnsupportedScheme : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Password-based encryption through the CryptoAPI ("standard" encryption, version 2.2, 3.2 or 4.2).
struct CryptoApiInfo {
    CipherAlgorithm cipher = CipherAlgorithm::Rc4;  // Rc4, or AesEcb
    std::uint32_t keyBits = 0;
    std::uint32_t hashIterations = 0;             // 0 for RC4 and for AES written with a non-default provider
    std::u16string providerName;                  // the CSP name, as stored
    std::vector<std::uint8_t> salt;               // 16 bytes
    std::vector<std::uint8_t> encryptedVerifier;  // 16 bytes
    std::uint32_t verifierHashSize = 0;           // 20 (SHA-1)
    std::vector<std::uint8_t> encryptedVerifierHash;  // 20 bytes for RC4, 32 for AES
};

// Agile encryption (version 4.4): the data key is itself encrypted with a key derived from the password.
struct AgileInfo {
    struct Key {
        HashAlgorithm hash = HashAlgorithm::Sha1;
        std::uint32_t keyBits = 0;
        std::uint32_t blockSize = 0;
        std::vector<std::uint8_t> salt;
    };
    Key data;      // keyData: how pages are encrypted
    Key password;  // the password key encryptor
    std::uint32_t spinCount = 0;
    std::vector<std::uint8_t> encryptedVerifierHashInput, encryptedVerifierHashValue, encryptedKeyValue;
};

using EncryptionInfo = std::variant<CryptoApiInfo, AgileInfo>;

// Upper bound of the agile spin count that the format allows.
inline constexpr std::uint32_t kMaxSpinCount = 10'000'000;

// Where the encryption description lies in the first page of an Access 2007+ file: a 16-bit length at
// 0x299 and the description behind it. Throws DamagedHeader when the length runs past the page.
std::span<const std::uint8_t> FindEncryptionInfo(std::span<const std::uint8_t> page0);

// Parses an encryption description (starting with its 16-bit major and minor version).
EncryptionInfo ParseEncryptionInfo(std::span<const std::uint8_t> info);

// A name for the scheme, for messages: "RC4 CryptoAPI (40-bit)", "agile AES-256 with SHA-512" ...
std::string SchemeName(const EncryptionInfo& info);

}  // namespace tabvert::ado::crypto
