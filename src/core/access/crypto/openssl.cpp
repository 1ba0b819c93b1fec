#include "core/access/crypto/openssl.h"

#include <openssl/crypto.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/provider.h>

#include <string>

namespace tabvert::ado::crypto {

void Wipe(void* data, std::size_t size) noexcept {
    if (data != nullptr && size > 0) OPENSSL_cleanse(data, size);
}

[[noreturn]] void Fail(const std::string& what) {
    const unsigned long code = ERR_get_error();
    std::string detail;
    if (code != 0) {
        char text[256];
        ERR_error_string_n(code, text, sizeof text);
        detail = std::string(": ") + text;
    }
    ERR_clear_error();
    throw CryptoError("OpenSSL cannot " + what + detail);
}

// A library context of our own with the providers it needs; the providers go before the context.
struct Context {
    OSSL_LIB_CTX* lib = nullptr;
    OSSL_PROVIDER* defaultProvider = nullptr;
    OSSL_PROVIDER* legacyProvider = nullptr;
    Context() {
        lib = OSSL_LIB_CTX_new();
        if (lib == nullptr) Fail("create a library context");
        defaultProvider = OSSL_PROVIDER_load(lib, "default");
        legacyProvider = OSSL_PROVIDER_load(lib, "legacy");
        if (defaultProvider == nullptr) {
            Release();
            Fail("load its default provider");
        }
        // Without the legacy provider only RC4 is missing; that is reported when RC4 is asked for.
        ERR_clear_error();
    }
    ~Context() { Release(); }
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;
    void Release() noexcept {
        if (legacyProvider != nullptr) OSSL_PROVIDER_unload(legacyProvider);
        if (defaultProvider != nullptr) OSSL_PROVIDER_unload(defaultProvider);
        OSSL_LIB_CTX_free(lib);
        legacyProvider = defaultProvider = nullptr;
        lib = nullptr;
    }
};

namespace {

const char* DigestName(HashAlgorithm algorithm) {
    switch (algorithm) {
        case HashAlgorithm::Md5:
            return "MD5";
        case HashAlgorithm::Sha1:
            return "SHA1";
        case HashAlgorithm::Sha256:
            return "SHA2-256";
        case HashAlgorithm::Sha384:
            return "SHA2-384";
        case HashAlgorithm::Sha512:
            return "SHA2-512";
    }
    return "";
}

std::string CipherName(CipherAlgorithm algorithm, std::size_t keyLength) {
    if (algorithm == CipherAlgorithm::Rc4) return "RC4";
    return "AES-" + std::to_string(keyLength * 8) + (algorithm == CipherAlgorithm::AesCbc ? "-CBC" : "-ECB");
}

}  // namespace

std::size_t DigestSize(HashAlgorithm algorithm) {
    switch (algorithm) {
        case HashAlgorithm::Md5:
            return 16;
        case HashAlgorithm::Sha1:
            return 20;
        case HashAlgorithm::Sha256:
            return 32;
        case HashAlgorithm::Sha384:
            return 48;
        case HashAlgorithm::Sha512:
            return 64;
    }
    return 0;
}

Toolkit::Toolkit() : context_(std::make_shared<Context>()) {}

Hasher Toolkit::MakeHasher(HashAlgorithm algorithm) const {
    Hasher h;
    h.context_ = context_;
    h.md_.reset(EVP_MD_fetch(context_->lib, DigestName(algorithm), nullptr), EVP_MD_free);
    if (!h.md_) Fail(std::string("provide ") + DigestName(algorithm));
    h.ctx_.reset(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    if (!h.ctx_) Fail("allocate a digest");
    h.size_ = static_cast<std::size_t>(EVP_MD_get_size(h.md_.get()));
    return h;
}

WipedBytes Hasher::Digest(std::initializer_list<std::span<const std::uint8_t>> parts) {
    WipedBytes out(size_);
    unsigned int length = 0;
    if (EVP_DigestInit_ex2(ctx_.get(), md_.get(), nullptr) != 1) Fail("start a digest");
    for (const auto& part : parts)
        if (!part.empty() && EVP_DigestUpdate(ctx_.get(), part.data(), part.size()) != 1) Fail("hash");
    if (EVP_DigestFinal_ex(ctx_.get(), out.data(), &length) != 1 || length != size_) Fail("finish a digest");
    return out;
}

Decipher Toolkit::MakeDecipher(CipherAlgorithm algorithm) const {
    Decipher d;
    d.context_ = context_;
    d.algorithm_ = algorithm;
    d.ctx_.reset(EVP_CIPHER_CTX_new(), EVP_CIPHER_CTX_free);
    if (!d.ctx_) Fail("allocate a cipher");
    return d;
}

void Decipher::Decrypt(std::span<const std::uint8_t> key, std::span<const std::uint8_t> iv,
                       std::span<std::uint8_t> data) {
    const bool rc4 = algorithm_ == CipherAlgorithm::Rc4;
    if (rc4 ? key.empty() || key.size() > 256 : key.size() != 16 && key.size() != 24 && key.size() != 32)
        throw CryptoError("a key of " + std::to_string(key.size()) + " bytes does not fit " +
                          CipherName(algorithm_, key.size()));
    if (!rc4 && data.size() % 16 != 0) throw CryptoError("AES decrypts whole blocks of 16 bytes only");
    if (algorithm_ == CipherAlgorithm::AesCbc && iv.size() != 16)
        throw CryptoError("AES-CBC needs an initialisation vector of 16 bytes");
    // RC4 keeps one fetched cipher for every key length; AES needs the one of its key size.
    if (!cipher_ || (!rc4 && key.size() != keyLength_)) {
        const std::string name = CipherName(algorithm_, key.size());
        cipher_.reset(EVP_CIPHER_fetch(context_->lib, name.c_str(), nullptr), EVP_CIPHER_free);
        if (!cipher_) Fail("provide " + name);
        keyLength_ = key.size();
    }
    EVP_CIPHER_CTX* ctx = ctx_.get();
    if (EVP_DecryptInit_ex2(ctx, cipher_.get(), nullptr, nullptr, nullptr) != 1) Fail("start a cipher");
    if (rc4 && EVP_CIPHER_CTX_set_key_length(ctx, static_cast<int>(key.size())) != 1)
        Fail("set an RC4 key length");
    if (EVP_DecryptInit_ex2(ctx, nullptr, key.data(), iv.empty() || rc4 ? nullptr : iv.data(), nullptr) != 1)
        Fail("set a key");
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    // Chunks keep each call's length within an int.
    constexpr std::size_t kChunk = 1u << 30;
    for (std::size_t at = 0; at < data.size(); at += kChunk) {
        const auto n = static_cast<int>(std::min(kChunk, data.size() - at));
        int written = 0;
        if (EVP_DecryptUpdate(ctx, data.data() + at, &written, data.data() + at, n) != 1 || written != n)
            Fail("decrypt");
    }
}

}  // namespace tabvert::ado::crypto
