#include "core/access/crypto/encrypted_file.h"

#include <sys/prctl.h>
#include <sys/resource.h>

#include <QString>
#include <fstream>

#include "core/access/crypto/encryption_info.h"
#include "core/access/crypto/page_decryptor.h"
#include "core/access/file_header.h"
#include "core/value/provider_error.h"

namespace tabvert::ado::crypto {
namespace {

constexpr std::size_t kEncodingKeyOffset = 0x3e;

// The password as the format hashes it: UTF-16LE code units, exactly as typed.
WipedBytes Utf16Le(const std::string& utf8) {
    QString s = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    WipedBytes out;
    out.reserve(static_cast<std::size_t>(s.size()) * 2);
    for (const QChar c : s) {
        out.push_back(static_cast<std::uint8_t>(c.unicode()));
        out.push_back(static_cast<std::uint8_t>(c.unicode() >> 8));
    }
    Wipe(s.data(), static_cast<std::size_t>(s.size()) * sizeof(QChar));
    return out;
}

}  // namespace

void KeepOutOfCoreDumps() noexcept {
    prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
    struct rlimit core {};
    if (getrlimit(RLIMIT_CORE, &core) == 0) {
        core.rlim_cur = 0;
        setrlimit(RLIMIT_CORE, &core);
    }
}

bool IsOfficeEncrypted(int version, std::uint32_t encodingKey) { return version >= 2 && encodingKey != 0; }

std::shared_ptr<const WipedBytes> DecryptFile(const std::string& path, std::istream& in,
                                              std::uint64_t fileSize, std::size_t pageSize,
                                              std::uint32_t encodingKey, const std::string& password) {
    const std::string where = "The database '" + path + "' ";
    auto image = std::make_shared<WipedBytes>(static_cast<std::size_t>(fileSize));
    in.clear();
    in.seekg(0);
    in.read(reinterpret_cast<char*>(image->data()), static_cast<std::streamsize>(image->size()));
    if (!in || image->size() < pageSize || image->size() % pageSize != 0)
        throw ProviderError(ErrorReason::FileNotReadable, where + "cannot be read whole.");

    try {
        std::unique_ptr<PageDecryptor> decryptor;
        const EncryptionInfo info =
            ParseEncryptionInfo(FindEncryptionInfo(std::span(*image).first(pageSize)));
        decryptor = PageDecryptor::Open(info, Utf16Le(password), encodingKey);
        if (!decryptor) throw ProviderError(ErrorReason::WrongPassword, "Not a valid password.");
        for (std::size_t at = pageSize; at < image->size(); at += pageSize)
            decryptor->DecryptPage(static_cast<std::uint32_t>(at / pageSize),
                                   std::span(*image).subspan(at, pageSize));
    } catch (const UnsupportedScheme& e) {
        throw ProviderError(ErrorReason::UnsupportedEncryption,
                            where + "is encrypted with " + e.what() + ", which this program cannot decrypt.");
    } catch (const DamagedHeader& e) {
        throw ProviderError(ErrorReason::DamagedData, where + "cannot be opened: " + e.what() + ".");
    } catch (const CryptoError& e) {
        throw ProviderError(ErrorReason::DamagedData, where + "cannot be decrypted: " + e.what() + ".");
    }
    // The header is RC4-coded with a fixed key; XOR-ing the key's plain bytes into the coded ones makes it
    // read as zero, which tells a reader that no page is encrypted any more.
    for (std::size_t i = 0; i < 4; ++i)
        (*image)[kEncodingKeyOffset + i] ^= static_cast<std::uint8_t>(encodingKey >> (8 * i));
    return image;
}

std::shared_ptr<const WipedBytes> DecryptFile(const std::string& path, const std::string& password) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    const auto size = static_cast<std::uint64_t>(std::max<std::streamoff>(in.tellg(), 0));
    std::vector<std::uint8_t> page0(4096);
    in.seekg(0);
    in.read(reinterpret_cast<char*>(page0.data()), static_cast<std::streamsize>(page0.size()));
    page0.resize(static_cast<std::size_t>(in.gcount()));
    detail::HeaderFault fault = detail::HeaderFault::None;
    const detail::FileHeader header = detail::DecodeHeader(page0, fault);
    if (!in.good() || fault != detail::HeaderFault::None ||
        !IsOfficeEncrypted(header.version, header.pageKey))
        throw ProviderError(ErrorReason::NotADatabase,
                            "The database '" + path + "' is not an encrypted Access 2007+ file.");
    return DecryptFile(path, in, size, header.pageSize, header.pageKey, password);
}

}  // namespace tabvert::ado::crypto
