// Encrypts a plain Access 2007 file (from provider_make_big) for the encryption benchmark, with the agile
// encryption of a sample database, page by page as Access does. The copy reuses the sample's encryption
// description and key, so the sample's password opens it.
//   encrypted_make_big SAMPLE.accdb PASSWORD PLAIN.accdb ENCRYPTED.accdb

#include <openssl/evp.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/access/crypto/encryption_info.h"
#include "core/access/crypto/page_decryptor.h"
#include "core/access/file_header.h"

namespace {

using namespace tabvert;

std::vector<std::uint8_t> ReadFile(const char* path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error(std::string("cannot read ") + path);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// The data key of an agile description, from its password.
ado::crypto::WipedBytes DataKey(const ado::crypto::AgileInfo& info, const std::string& password) {
    using namespace ado::crypto;
    std::vector<std::uint8_t> utf16;
    for (char c : password) utf16.insert(utf16.end(), {static_cast<std::uint8_t>(c), 0});
    Toolkit toolkit;
    Hasher hasher = toolkit.MakeHasher(info.password.hash);
    const auto iterated = IteratedHash(hasher, info.password.salt, utf16, info.spinCount);
    const std::array<std::uint8_t, 8> keyValueBlock = {0x14, 0x6e, 0x0b, 0xe7, 0xab, 0xac, 0xd0, 0xd6};
    WipedBytes key = ToWiped(info.encryptedKeyValue);
    toolkit.MakeDecipher(CipherAlgorithm::AesCbc)
        .Decrypt(AgileKey(hasher, iterated, keyValueBlock, info.password.keyBits / 8), info.password.salt,
                 key);
    key.resize(info.data.keyBits / 8);
    return key;
}

void Encrypt(const std::vector<std::uint8_t>& sample, const std::string& password,
             std::vector<std::uint8_t>& file) {
    using namespace ado::crypto;
    constexpr std::size_t kPage = 4096;
    const std::span<const std::uint8_t> samplePage0(sample.data(), kPage);
    ado::detail::HeaderFault fault{};
    const auto header = ado::detail::DecodeHeader(samplePage0, fault);
    const auto info = std::get<AgileInfo>(ParseEncryptionInfo(FindEncryptionInfo(samplePage0)));
    const WipedBytes key = DataKey(info, password);

    Toolkit toolkit;
    Hasher hasher = toolkit.MakeHasher(info.data.hash);
    std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> ctx(EVP_CIPHER_CTX_new(),
                                                                        EVP_CIPHER_CTX_free);
    const EVP_CIPHER* aes = key.size() == 32   ? EVP_aes_256_cbc()
                            : key.size() == 24 ? EVP_aes_192_cbc()
                                               : EVP_aes_128_cbc();
    for (std::size_t at = kPage; at < file.size(); at += kPage) {
        const auto block = static_cast<std::uint32_t>(header.pageKey ^ (at / kPage));
        const std::array<std::uint8_t, 4> blockBytes = {
            static_cast<std::uint8_t>(block), static_cast<std::uint8_t>(block >> 8),
            static_cast<std::uint8_t>(block >> 16), static_cast<std::uint8_t>(block >> 24)};
        const auto iv = hasher.Digest({info.data.salt, blockBytes});
        int n = 0;
        if (EVP_EncryptInit_ex(ctx.get(), aes, nullptr, key.data(), iv.data()) != 1 ||
            EVP_CIPHER_CTX_set_padding(ctx.get(), 0) != 1 ||
            EVP_EncryptUpdate(ctx.get(), file.data() + at, &n, file.data() + at, static_cast<int>(kPage)) !=
                1)
            throw std::runtime_error("AES encryption failed");
    }
    // The sample's encryption description, and its encoding key in the RC4-coded header field.
    const std::size_t infoEnd = 0x299 + 2 + FindEncryptionInfo(samplePage0).size();
    std::copy(sample.begin() + 0x299, sample.begin() + static_cast<std::ptrdiff_t>(infoEnd),
              file.begin() + 0x299);
    for (int i = 0; i < 4; ++i) file[0x3e + i] ^= static_cast<std::uint8_t>(header.pageKey >> (8 * i));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s SAMPLE.accdb PASSWORD PLAIN.accdb ENCRYPTED.accdb\n", argv[0]);
        return 2;
    }
    try {
        auto file = ReadFile(argv[3]);
        Encrypt(ReadFile(argv[1]), argv[2], file);
        std::ofstream out(argv[4], std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
        return out.flush() ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "encrypted_make_big: %s\n", e.what());
        return 1;
    }
}
