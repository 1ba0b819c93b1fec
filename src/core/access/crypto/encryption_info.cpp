#include "core/access/crypto/encryption_info.h"

#include <QByteArray>
#include <QString>
#include <QXmlStreamReader>
#include <optional>

#include "core/access/little_endian.h"

namespace tabvert::ado::crypto {
namespace {

using detail::Le16;
using detail::Le32;

constexpr std::size_t kInfoLengthOffset = 0x299;

// Flags of the CryptoAPI header.
constexpr std::uint32_t kFlagCryptoApi = 0x04, kFlagExternal = 0x10, kFlagAes = 0x20;
// CryptoAPI algorithm identifiers.
constexpr std::uint32_t kAlgRc4 = 0x6801, kAlgAes128 = 0x660E, kAlgAes192 = 0x660F, kAlgAes256 = 0x6610;
constexpr std::uint32_t kAlgSha1 = 0x8004;
constexpr std::size_t kCryptoApiHeaderFixed = 32;  // the header's eight 32-bit fields before the CSP name
constexpr std::size_t kSaltSize = 16, kVerifierSize = 16, kSha1Size = 20, kAesVerifierHashSize = 32;
constexpr std::uint32_t kAesDefaultIterations = 50000;
constexpr std::uint32_t kAgileReserved = 0x40;

constexpr std::size_t kMaxSalt = 64;
constexpr std::size_t kMaxEncryptedValue = 128;

std::string Hex(std::uint32_t v) {
    static const char* digits = "0123456789ABCDEF";
    std::string s;
    do {
        s.insert(s.begin(), digits[v & 0xF]);
        v >>= 4;
    } while (v != 0);
    return "0x" + s;
}

[[noreturn]] void Damaged(const std::string& why) {
    throw DamagedHeader("damaged encryption header: " + why);
}

// Reads fields in order and refuses to run past the end.
class Reader {
  public:
    explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    std::uint32_t U32(const char* what) {
        Need(4, what);
        const auto v = Le32(bytes_.data() + at_);
        at_ += 4;
        return v;
    }
    std::vector<std::uint8_t> Bytes(std::size_t n, const char* what) {
        Need(n, what);
        std::vector<std::uint8_t> out(bytes_.begin() + at_, bytes_.begin() + at_ + n);
        at_ += n;
        return out;
    }
    std::size_t Remaining() const { return bytes_.size() - at_; }

  private:
    void Need(std::size_t n, const char* what) const {
        if (n > Remaining())
            Damaged(std::string(what) + " needs " + std::to_string(n) + " bytes, " +
                    std::to_string(Remaining()) + " are left");
    }
    std::span<const std::uint8_t> bytes_;
    std::size_t at_ = 0;
};

CryptoApiInfo ParseCryptoApi(std::span<const std::uint8_t> info) {
    Reader r(info.subspan(4));
    const std::uint32_t flags = r.U32("the flags");
    const std::uint32_t headerSize = r.U32("the header size");
    if (headerSize < kCryptoApiHeaderFixed || headerSize > r.Remaining())
        Damaged("header size " + std::to_string(headerSize) + " does not fit the " +
                std::to_string(r.Remaining()) + " bytes left");
    const auto headerBytes = r.Bytes(headerSize, "the header");
    Reader h(headerBytes);
    h.U32("the header flags");
    h.U32("the extra size");
    const std::uint32_t algId = h.U32("the algorithm");
    const std::uint32_t hashId = h.U32("the hash algorithm");
    std::uint32_t keyBits = h.U32("the key size");
    h.U32("the provider type");
    h.U32("a reserved field");
    h.U32("a reserved field");
    CryptoApiInfo out;
    for (std::size_t i = kCryptoApiHeaderFixed; headerBytes.size() - i >= 2; i += 2) {
        const auto c = static_cast<char16_t>(Le16(headerBytes.data() + i));
        if (c == 0) break;
        out.providerName += c;
    }

    if (flags & kFlagExternal)
        throw UnsupportedScheme("external encryption (a third-party CryptoAPI module)");
    if (!(flags & kFlagCryptoApi)) Damaged("the flags " + Hex(flags) + " name no CryptoAPI encryption");
    const bool aesFlag = (flags & kFlagAes) != 0;
    std::uint32_t aesBits = 0;
    switch (algId) {
        case 0:
            aesBits = aesFlag ? 128 : 0;
            break;
        case kAlgRc4:
            break;
        case kAlgAes128:
            aesBits = 128;
            break;
        case kAlgAes192:
            aesBits = 192;
            break;
        case kAlgAes256:
            aesBits = 256;
            break;
        default:
            throw UnsupportedScheme("CryptoAPI encryption with algorithm " + Hex(algId));
    }
    if (hashId != 0 && hashId != kAlgSha1)
        throw UnsupportedScheme("CryptoAPI encryption with hash algorithm " + Hex(hashId));
    if (aesBits == 0) {
        if (aesFlag) Damaged("the AES flag is set beside the RC4 algorithm");
        out.cipher = CipherAlgorithm::Rc4;
        if (keyBits == 0) {
            // The provider's default: 40 bits for the base providers, 128 for the others.
            const QString csp = QString::fromStdU16String(out.providerName).trimmed().toLower();
            keyBits = csp.isEmpty() || csp.contains(QLatin1String(" base ")) ? 40 : 128;
        }
        if (keyBits < 40 || keyBits > 128 || keyBits % 8 != 0)
            Damaged("RC4 key size of " + std::to_string(keyBits) + " bits");
    } else {
        out.cipher = CipherAlgorithm::AesEcb;
        if (keyBits == 0) keyBits = aesBits;
        if (keyBits != aesBits) Damaged("AES key size of " + std::to_string(keyBits) + " bits");
        // Access writes AES through a non-default provider without the AES flag and without the 50,000
        // rounds of hashing that the flagged (ECMA-376 standard) form has.
        out.hashIterations = aesFlag ? kAesDefaultIterations : 0;
    }
    out.keyBits = keyBits;

    const std::uint32_t saltSize = r.U32("the salt size");
    if (saltSize != kSaltSize) Damaged("salt size " + std::to_string(saltSize) + " (16 expected)");
    out.salt = r.Bytes(kSaltSize, "the salt");
    out.encryptedVerifier = r.Bytes(kVerifierSize, "the verifier");
    out.verifierHashSize = r.U32("the verifier hash size");
    if (out.verifierHashSize != kSha1Size)
        Damaged("verifier hash size " + std::to_string(out.verifierHashSize) + " (20 expected)");
    out.encryptedVerifierHash =
        r.Bytes(out.cipher == CipherAlgorithm::Rc4 ? kSha1Size : kAesVerifierHashSize, "the verifier hash");
    return out;
}

// Attributes of the agile description's elements.
class Attributes {
  public:
    Attributes(const QXmlStreamAttributes& a, const char* element) : a_(a), element_(element) {}
    QString Text(const char* name) const {
        if (!a_.hasAttribute(QLatin1String(name))) Damaged(element_ + " has no " + name);
        return a_.value(QLatin1String(name)).toString();
    }
    std::uint32_t Number(const char* name, std::uint32_t max) const {
        bool ok = false;
        const qulonglong v = Text(name).toULongLong(&ok);
        if (!ok || v > max) Damaged(element_ + " " + name + " \"" + Text(name).left(24).toStdString() + "\"");
        return static_cast<std::uint32_t>(v);
    }
    std::vector<std::uint8_t> Base64(const char* name, std::size_t maxBytes) const {
        const QByteArray encoded = Text(name).toLatin1();
        // Checked before decoding: the decoded size is at most three quarters of the text.
        if (static_cast<std::size_t>(encoded.size()) / 4 * 3 > maxBytes + 2)
            Damaged(element_ + " " + name + " is too long");
        const auto decoded = QByteArray::fromBase64Encoding(encoded, QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded || decoded.decoded.isEmpty() ||
            static_cast<std::size_t>(decoded.decoded.size()) > maxBytes)
            Damaged(element_ + " " + name + " is not a valid value");
        return std::vector<std::uint8_t>(decoded.decoded.begin(), decoded.decoded.end());
    }

  private:
    const QXmlStreamAttributes& a_;
    std::string element_;
};

HashAlgorithm AgileHash(const QString& name) {
    if (name == QLatin1String("SHA1")) return HashAlgorithm::Sha1;
    if (name == QLatin1String("SHA256")) return HashAlgorithm::Sha256;
    if (name == QLatin1String("SHA384")) return HashAlgorithm::Sha384;
    if (name == QLatin1String("SHA512")) return HashAlgorithm::Sha512;
    if (name == QLatin1String("MD5")) return HashAlgorithm::Md5;
    throw UnsupportedScheme("agile encryption with hash algorithm " + name.left(32).toStdString());
}

AgileInfo::Key AgileKey(const Attributes& a) {
    const QString cipher = a.Text("cipherAlgorithm");
    if (cipher != QLatin1String("AES"))
        throw UnsupportedScheme("agile encryption with cipher " + cipher.left(32).toStdString());
    const QString chaining = a.Text("cipherChaining");
    if (chaining != QLatin1String("ChainingModeCBC"))
        throw UnsupportedScheme("agile AES encryption with chaining mode " + chaining.left(32).toStdString());
    AgileInfo::Key key;
    key.hash = AgileHash(a.Text("hashAlgorithm"));
    key.keyBits = a.Number("keyBits", 0xFFFF);
    if (key.keyBits != 128 && key.keyBits != 192 && key.keyBits != 256)
        Damaged("AES key size of " + std::to_string(key.keyBits) + " bits");
    key.blockSize = a.Number("blockSize", 0xFFFF);
    if (key.blockSize != 16) Damaged("AES block size of " + std::to_string(key.blockSize));
    if (a.Number("hashSize", 0xFFFF) != DigestSize(key.hash))
        Damaged("hash size does not match its algorithm");
    const std::uint32_t saltSize = a.Number("saltSize", 0xFFFF);
    key.salt = a.Base64("saltValue", kMaxSalt);
    if (saltSize != key.salt.size()) Damaged("salt size does not match the salt");
    return key;
}

void CheckEncryptedValue(const std::vector<std::uint8_t>& v, std::size_t atLeast, const char* what) {
    if (v.size() % 16 != 0 || v.size() < atLeast)
        Damaged(std::string(what) + " has " + std::to_string(v.size()) + " bytes");
}

AgileInfo ParseAgile(std::span<const std::uint8_t> info) {
    Reader r(info.subspan(4));
    if (r.U32("the reserved field") != kAgileReserved) Damaged("agile reserved field is not 0x40");
    const auto xml = info.subspan(8);
    QXmlStreamReader reader(
        QByteArray(reinterpret_cast<const char*>(xml.data()), static_cast<qsizetype>(xml.size())));
    std::optional<AgileInfo::Key> data;
    std::optional<AgileInfo> out;
    bool certificate = false;
    QString encryptorUri;
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement) continue;
        const auto name = reader.name();
        const auto attributes = reader.attributes();
        if (name == QLatin1String("keyData")) {
            data = AgileKey(Attributes(attributes, "keyData"));
        } else if (name == QLatin1String("keyEncryptor")) {
            encryptorUri = attributes.value(QLatin1String("uri")).toString();
        } else if (name == QLatin1String("encryptedKey")) {
            if (!encryptorUri.endsWith(QLatin1String("/keyEncryptor/password"))) {
                certificate = true;
                continue;
            }
            const Attributes a(attributes, "encryptedKey");
            AgileInfo agile;
            agile.password = AgileKey(a);
            agile.spinCount = a.Number("spinCount", 0xFFFFFFFFu);
            if (agile.spinCount > kMaxSpinCount)
                Damaged("spin count " + std::to_string(agile.spinCount) +
                        " is above the limit of 10,000,000");
            agile.encryptedVerifierHashInput = a.Base64("encryptedVerifierHashInput", kMaxEncryptedValue);
            agile.encryptedVerifierHashValue = a.Base64("encryptedVerifierHashValue", kMaxEncryptedValue);
            agile.encryptedKeyValue = a.Base64("encryptedKeyValue", kMaxEncryptedValue);
            CheckEncryptedValue(agile.encryptedVerifierHashInput, agile.password.salt.size(), "the verifier");
            CheckEncryptedValue(agile.encryptedVerifierHashValue, DigestSize(agile.password.hash),
                                "the verifier hash");
            out = std::move(agile);
        }
    }
    if (reader.hasError())
        Damaged("agile description is not well-formed XML (" + reader.errorString().toStdString() + ")");
    if (!out && certificate) throw UnsupportedScheme("agile encryption with a certificate key");
    if (!out) Damaged("agile description has no password key");
    if (!data) Damaged("agile description has no keyData");
    out->data = std::move(*data);
    CheckEncryptedValue(out->encryptedKeyValue, out->data.keyBits / 8, "the encrypted key");
    return std::move(*out);
}

}  // namespace

std::span<const std::uint8_t> FindEncryptionInfo(std::span<const std::uint8_t> page0) {
    if (page0.size() < kInfoLengthOffset + 2) Damaged("the first page is cut short");
    const std::size_t length = Le16(page0.data() + kInfoLengthOffset);
    if (length > page0.size() - kInfoLengthOffset - 2)
        Damaged("length " + std::to_string(length) + " runs past the first page");
    return page0.subspan(kInfoLengthOffset + 2, length);
}

EncryptionInfo ParseEncryptionInfo(std::span<const std::uint8_t> info) {
    if (info.size() < 8) Damaged("only " + std::to_string(info.size()) + " bytes");
    const unsigned major = Le16(info.data()), minor = Le16(info.data() + 2);
    const std::string version = std::to_string(major) + "." + std::to_string(minor);
    if (major == 4 && minor == 4) return ParseAgile(info);
    if ((major == 3 || major == 4) && minor == 3)
        throw UnsupportedScheme("extensible encryption (version " + version + ")");
    if ((major == 2 || major == 3 || major == 4) && minor == 2) return ParseCryptoApi(info);
    if (major == 1 && minor == 1) throw UnsupportedScheme("Office 97-2003 RC4 encryption (version 1.1)");
    throw UnsupportedScheme("encryption version " + version);
}

std::string SchemeName(const EncryptionInfo& info) {
    static const char* hashNames[] = {"MD5", "SHA-1", "SHA-256", "SHA-384", "SHA-512"};
    if (const auto* api = std::get_if<CryptoApiInfo>(&info)) {
        if (api->cipher == CipherAlgorithm::Rc4)
            return "RC4 CryptoAPI (" + std::to_string(api->keyBits) + "-bit)";
        return "AES-" + std::to_string(api->keyBits) + " CryptoAPI" +
               (api->hashIterations == 0 ? " (non-default provider)" : "");
    }
    const auto& agile = std::get<AgileInfo>(info);
    return "agile AES-" + std::to_string(agile.data.keyBits) + " with " +
           hashNames[static_cast<int>(agile.data.hash)];
}

}  // namespace tabvert::ado::crypto
