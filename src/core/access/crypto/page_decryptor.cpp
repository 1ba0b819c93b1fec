#include "core/access/crypto/page_decryptor.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace tabvert::ado::crypto {
namespace {

using Bytes = std::span<const std::uint8_t>;

// Block keys of the agile password key encryptor.
constexpr std::array<std::uint8_t, 8> kVerifierInputBlock = {0xfe, 0xa7, 0xd2, 0x76, 0x3b, 0x4b, 0x9e, 0x79};
constexpr std::array<std::uint8_t, 8> kVerifierValueBlock = {0xd7, 0xaa, 0x0f, 0x6d, 0x30, 0x61, 0x34, 0x4e};
constexpr std::array<std::uint8_t, 8> kKeyValueBlock = {0x14, 0x6e, 0x0b, 0xe7, 0xab, 0xac, 0xd0, 0xd6};

std::array<std::uint8_t, 4> Le32Bytes(std::uint32_t v) {
    return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
            static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
}

WipedBytes Resized(WipedBytes bytes, std::size_t size, std::uint8_t pad) {
    bytes.resize(size, pad);
    return bytes;
}

// Compares without stopping at the first difference.
bool SameBytes(Bytes a, Bytes b) {
    if (a.size() != b.size()) return false;
    std::uint8_t diff = 0;
    for (std::size_t i = 0; i < a.size(); ++i) diff |= static_cast<std::uint8_t>(a[i] ^ b[i]);
    return diff == 0;
}

class CryptoApiDecryptor final : public PageDecryptor {
  public:
    CryptoApiDecryptor(const CryptoApiInfo& info, Bytes password, std::uint32_t encodingKey)
        : info_(info),
          encodingKey_(encodingKey),
          sha1_(toolkit_.MakeHasher(HashAlgorithm::Sha1)),
          cipher_(toolkit_.MakeDecipher(info.cipher)),
          hashed_(IteratedHash(sha1_, info.salt, password, info.hashIterations)) {}

    bool Verify() {
        const WipedBytes key = CryptoApiKey(sha1_, hashed_, 0, info_);
        // RC4 runs on from the verifier into its hash; AES-ECB decrypts each on its own.
        WipedBytes both = ToWiped(info_.encryptedVerifier);
        both.insert(both.end(), info_.encryptedVerifierHash.begin(), info_.encryptedVerifierHash.end());
        cipher_.Decrypt(key, {}, both);
        const Bytes verifier(both.data(), info_.encryptedVerifier.size());
        const Bytes hash(both.data() + verifier.size(), info_.verifierHashSize);
        return SameBytes(sha1_.Digest({verifier}), hash);
    }

    void DecryptPage(std::uint32_t pageNumber, std::span<std::uint8_t> page) override {
        const WipedBytes key = CryptoApiKey(sha1_, hashed_, encodingKey_ ^ pageNumber, info_);
        // AES pages are whole blocks; a page size that is not would leave its tail as stored.
        cipher_.Decrypt(key, {},
                        info_.cipher == CipherAlgorithm::Rc4 ? page : page.first(page.size() / 16 * 16));
    }

  private:
    CryptoApiInfo info_;
    std::uint32_t encodingKey_;
    Toolkit toolkit_;
    Hasher sha1_;
    Decipher cipher_;
    WipedBytes hashed_;  // the salted password hash after its rounds, the same for every block
};

class AgileDecryptor final : public PageDecryptor {
  public:
    AgileDecryptor(const AgileInfo& info, std::uint32_t encodingKey)
        : info_(info),
          encodingKey_(encodingKey),
          passwordHash_(toolkit_.MakeHasher(info.password.hash)),
          dataHash_(toolkit_.MakeHasher(info.data.hash)),
          aes_(toolkit_.MakeDecipher(CipherAlgorithm::AesCbc)) {}

    bool Verify(Bytes password) {
        const auto& p = info_.password;
        const WipedBytes iterated = IteratedHash(passwordHash_, p.salt, password, info_.spinCount);
        const std::size_t keyBytes = p.keyBits / 8;
        const WipedBytes iv = Resized(ToWiped(p.salt), p.blockSize, 0x36);
        auto decrypt = [&](Bytes block, const std::vector<std::uint8_t>& encrypted) {
            WipedBytes value = ToWiped(encrypted);
            aes_.Decrypt(AgileKey(passwordHash_, iterated, block, keyBytes), iv, value);
            return value;
        };
        const WipedBytes input = decrypt(kVerifierInputBlock, info_.encryptedVerifierHashInput);
        const WipedBytes value = decrypt(kVerifierValueBlock, info_.encryptedVerifierHashValue);
        const WipedBytes expected = passwordHash_.Digest({Bytes(input).first(p.salt.size())});
        if (!SameBytes(expected, Bytes(value).first(expected.size()))) return false;
        dataKey_ = decrypt(kKeyValueBlock, info_.encryptedKeyValue);
        dataKey_.resize(info_.data.keyBits / 8);
        return true;
    }

    void DecryptPage(std::uint32_t pageNumber, std::span<std::uint8_t> page) override {
        const auto block = Le32Bytes(encodingKey_ ^ pageNumber);
        const WipedBytes iv = Resized(dataHash_.Digest({info_.data.salt, block}), info_.data.blockSize, 0x36);
        aes_.Decrypt(dataKey_, iv, page.first(page.size() / 16 * 16));
    }

  private:
    AgileInfo info_;
    std::uint32_t encodingKey_;
    Toolkit toolkit_;
    Hasher passwordHash_, dataHash_;
    Decipher aes_;
    WipedBytes dataKey_;
};

}  // namespace

WipedBytes IteratedHash(Hasher& hasher, Bytes salt, Bytes password, std::uint32_t rounds) {
    WipedBytes h = hasher.Digest({salt, password});
    for (std::uint32_t i = 0; i < rounds; ++i) {
        const auto round = Le32Bytes(i);
        h = hasher.Digest({round, h});
    }
    return h;
}

WipedBytes AgileKey(Hasher& hasher, Bytes iterated, Bytes blockKey, std::size_t keyBytes) {
    return Resized(hasher.Digest({iterated, blockKey}), keyBytes, 0x36);
}

WipedBytes CryptoApiKey(Hasher& sha1, Bytes hashed, std::uint32_t block, const CryptoApiInfo& info) {
    const auto blockBytes = Le32Bytes(block);
    WipedBytes h = sha1.Digest({hashed, blockBytes});
    const std::size_t keyBytes = info.keyBits / 8;
    if (info.cipher == CipherAlgorithm::Rc4) {
        // A 40-bit key is used as 128 bits with eleven zero bytes behind it.
        h.resize(keyBytes);
        if (info.keyBits == 40) h.resize(16, 0);
        return h;
    }
    // CryptDeriveKey: SHA-1 of the hash over 64 bytes of 0x36, then over 64 bytes of 0x5C, joined.
    std::array<std::uint8_t, 64> inner{}, outer{};
    inner.fill(0x36);
    outer.fill(0x5C);
    for (std::size_t i = 0; i < h.size(); ++i) {
        inner[i] ^= h[i];
        outer[i] ^= h[i];
    }
    WipedBytes key = sha1.Digest({inner});
    const WipedBytes second = sha1.Digest({outer});
    Wipe(inner.data(), inner.size());
    Wipe(outer.data(), outer.size());
    key.insert(key.end(), second.begin(), second.end());
    key.resize(keyBytes);
    return key;
}

std::unique_ptr<PageDecryptor> PageDecryptor::Open(const EncryptionInfo& info, Bytes password,
                                                   std::uint32_t encodingKey) {
    if (const auto* api = std::get_if<CryptoApiInfo>(&info)) {
        auto d = std::make_unique<CryptoApiDecryptor>(*api, password, encodingKey);
        if (!d->Verify()) return nullptr;
        return d;
    }
    auto d = std::make_unique<AgileDecryptor>(std::get<AgileInfo>(info), encodingKey);
    if (!d->Verify(password)) return nullptr;
    return d;
}

}  // namespace tabvert::ado::crypto
