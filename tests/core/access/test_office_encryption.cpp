// Office encryption of Access 2007+ files: key derivation and page decryption against recorded values,
// the password check, and the header parser's refusals of damaged and unknown headers.
//
// Where the recorded values come from:
// - agile (SHA-512/AES-256 of db2013-enc.accdb, password "1234"; SHA-1/AES-128 of db2007-enc.accdb,
//   password "Test123"): computed once with mdb-reader 3.2.0 from npm (its deriveKey, blockDecrypt and
//   page encoding key helpers) over the sample files' headers and the first 32 bytes of page 1;
// - RC4 CryptoAPI (db2007-oldenc.accdb, "Test123"): the header bytes of that file; the page key from the
//   RC4 CryptoAPI key formula of MS-OFFCRYPTO evaluated with Node's SHA-1, page 1 decrypted with
//   mdb-reader's own RC4;
// - AES through a non-default provider: the header of db-nonstandard.accdb from Jackcess Encrypt's test
//   data (password "password").

#include <gtest/gtest.h>

#include <QByteArray>
#include <string>

#include "core/access/crypto/encryption_info.h"
#include "core/access/crypto/page_decryptor.h"

namespace tabvert::ado::crypto {
namespace {

std::vector<std::uint8_t> Hex(const std::string& hex) {
    const QByteArray b = QByteArray::fromHex(QByteArray::fromStdString(hex));
    return std::vector<std::uint8_t>(b.begin(), b.end());
}
std::string ToHex(std::span<const std::uint8_t> bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()))
        .toHex()
        .toStdString();
}
std::vector<std::uint8_t> Utf16(const std::u16string& s) {
    std::vector<std::uint8_t> out;
    for (char16_t c : s)
        out.insert(out.end(), {static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8)});
    return out;
}

// An agile description: version 4.4, the reserved 0x40, then the XML.
struct Agile {
    std::string hash = "SHA512", hashSize = "64", keyBits = "256", dataSalt, passwordSalt,
                spinCount = "100000";
    std::string verifierInput, verifierValue, keyValue;
    std::string cipher = "AES", chaining = "ChainingModeCBC", saltSize = "16";
    std::string uri = "http://schemas.microsoft.com/office/2006/keyEncryptor/password";

    std::vector<std::uint8_t> Bytes() const {
        auto key = [&](const std::string& salt) {
            return " saltSize=\"" + saltSize + "\" blockSize=\"16\" keyBits=\"" + keyBits + "\" hashSize=\"" +
                   hashSize + "\" cipherAlgorithm=\"" + cipher + "\" cipherChaining=\"" + chaining +
                   "\" hashAlgorithm=\"" + hash + "\" saltValue=\"" + salt + "\"";
        };
        const std::string xml =
            "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n<encryption "
            "xmlns=\"http://schemas.microsoft.com/office/2006/encryption\" "
            "xmlns:p=\"http://schemas.microsoft.com/office/2006/keyEncryptor/password\"><keyData" +
            key(dataSalt) + "/><keyEncryptors><keyEncryptor uri=\"" + uri +
            "\"><p:encryptedKey spinCount=\"" + spinCount + "\"" + key(passwordSalt) +
            " encryptedVerifierHashInput=\"" + verifierInput + "\" encryptedVerifierHashValue=\"" +
            verifierValue + "\" encryptedKeyValue=\"" + keyValue +
            "\"/></keyEncryptor></keyEncryptors></encryption>";
        const std::string all = std::string("\x04\0\x04\0\x40\0\0\0", 8) + xml;
        return std::vector<std::uint8_t>(all.begin(), all.end());
    }
};

Agile Db2013() {
    Agile a;
    a.dataSalt = "3MF5qZLl/e0shTV0MAcVeg==";
    a.passwordSalt = "jcfjvcJDRj2D1OagFsj3Tw==";
    a.verifierInput = "Hrg/aAeysxXJhTpEstAgJg==";
    a.verifierValue =
        "Cuwbj9YRMPQdGo72XYiE0qAha9XAxmfjRZEHZZ0Yv71RCUIWoQ8NqXk6pEtUBk7FKReaNSbkRWZ34cLoksDwIg==";
    a.keyValue = "QubEoYk8CHTRtilBk6x3Reet6nNYPdIWVGe9nedugdM=";
    return a;
}
Agile Db2007() {
    Agile a;
    a.hash = "SHA1";
    a.hashSize = "20";
    a.keyBits = "128";
    a.dataSalt = "DpYj4WNbM6JWXkuaGykRtA==";
    a.passwordSalt = "x8auqBWNRtGDHQwze+aBVg==";
    a.verifierInput = "VPXJzdncGO4XhFrLmdoILA==";
    a.verifierValue = "4SEcXpKVsp0g39RV9on+EcJ9/J7+9cpByDyoj7sd9VQ=";
    a.keyValue = "o0cj94OxoyHGQ6CDwqTdBg==";
    return a;
}

const std::string kOldEncInfo =
    "04000200040000007600000004000000000000000168000004800000280000000100000000000000000000004d0069006300"
    "72006f0073006f0066007400200042006100730065002000430072007900700074006f006700720061007000680069006300"
    "2000500072006f00760069006400650072002000760031002e00300000001000000078da7d5196c71492eed3b4471a479449"
    "27f28425cc153a8f0c296d467fc6fb30140000004dc1ea9024bbc3bf372ef0d987974c85fa729d62";
const std::string kNonStandardInfo =
    "040002000c0000008c0000000c000000000000001066000004800000000100001800000000000000000000004d0069006300"
    "72006f0073006f0066007400200045006e00680061006e006300650064002000520053004100200061006e00640020004100"
    "450053002000430072007900700074006f0067007200610070006800690063002000500072006f0076006900640065007200"
    "0000100000007413eec1b30f2d38a62d1160e1b00ce7cad9594b612a162f52b00350e54537f81400000019f94c8655326a58"
    "a04a82d61699a884acf288030d14442371fdce77c9e63bca";
// The start of page 1 of the three sample files, decrypted by mdb-reader: a data page.
const std::string kPage1Start = "0101640f01000000000000000200bb0f760f0000000000000000000000000000";

struct Scheme {
    const char* name;
    std::vector<std::uint8_t> info;
    std::u16string password;
    std::uint32_t encodingKey;
    std::string page1Cipher, page1Plain, scheme;
};

TEST(OfficeEncryption, RightPasswordDecryptsPagesWrongOnesAreRefused) {
    const Scheme schemes[] = {
        {"agile SHA-512", Db2013().Bytes(), u"1234", 0xa1b31fa9,
         "c31154b0dc50ab52707e36597795277b0ba1a41684f1e599ad8f12316234bd03", kPage1Start,
         "agile AES-256 with SHA-512"},
        {"agile SHA-1", Db2007().Bytes(), u"Test123", 0xa0eb8bbc,
         "15219dee99e87ccec2919ea03bd3d79f09669e76d7bf69588aa547821292c622", kPage1Start,
         "agile AES-128 with SHA-1"},
        {"RC4 CryptoAPI", Hex(kOldEncInfo), u"Test123", 0xa1f327e1,
         "1ff3c8a1bacb73e00e29ee45d70730397b7ff702d2399eabff54da36085f8d88", kPage1Start,
         "RC4 CryptoAPI (40-bit)"},
        {"AES, non-default provider", Hex(kNonStandardInfo), u"password", 0xa1e69e87, "", "",
         "AES-256 CryptoAPI (non-default provider)"},
    };
    for (const auto& s : schemes) {
        SCOPED_TRACE(s.name);
        const EncryptionInfo info = ParseEncryptionInfo(s.info);
        EXPECT_EQ(SchemeName(info), s.scheme);
        auto decryptor = PageDecryptor::Open(info, Utf16(s.password), s.encodingKey);
        ASSERT_TRUE(decryptor);
        if (!s.page1Cipher.empty()) {
            auto page = Hex(s.page1Cipher);
            decryptor->DecryptPage(1, page);
            EXPECT_EQ(ToHex(page), s.page1Plain);
        }
        // The password is compared as typed: no case folding, nothing trimmed, empty is refused.
        std::u16string upper = s.password, spaced = u" " + s.password, shorter = s.password.substr(1);
        for (auto& c : upper) c = c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c;
        for (const std::u16string& wrong : {std::u16string(), spaced, shorter, upper})
            if (wrong != s.password) {
                EXPECT_FALSE(PageDecryptor::Open(info, Utf16(wrong), s.encodingKey));
            }
    }
}

TEST(OfficeEncryption, KeyDerivationMatchesRecordedValues) {
    Toolkit toolkit;
    const std::vector<std::uint8_t> keyValueBlock = Hex("146e0be7abacd0d6");
    const struct {
        HashAlgorithm hash;
        const char *salt, *password;
        std::size_t keyBytes;
        const char* key;
    } agile[] = {
        {HashAlgorithm::Sha512, "8dc7e3bdc243463d83d4e6a016c8f74f", "1234", 32,
         "29e0807ac8fa0804d43dc6742240c9b48a0602497a0ca86d72d53838687a549d"},
        {HashAlgorithm::Sha1, "c7c6aea8158d46d1831d0c337be68156", "Test123", 16,
         "50dceeebb2acf3fc197e0181fb643145"},
    };
    for (const auto& k : agile) {
        Hasher hasher = toolkit.MakeHasher(k.hash);
        const std::string ascii = k.password;
        const auto password = Utf16(std::u16string(ascii.begin(), ascii.end()));
        const auto iterated = IteratedHash(hasher, Hex(k.salt), password, 100000);
        EXPECT_EQ(ToHex(AgileKey(hasher, iterated, keyValueBlock, k.keyBytes)), k.key) << k.password;
    }

    Hasher sha1 = toolkit.MakeHasher(HashAlgorithm::Sha1);
    const auto info = std::get<CryptoApiInfo>(ParseEncryptionInfo(Hex(kOldEncInfo)));
    const auto h0 = IteratedHash(sha1, info.salt, Utf16(u"Test123"), 0);
    EXPECT_EQ(ToHex(h0), "3a484b8cc067045f5222b6ce8cee9c3277b90aca");
    EXPECT_EQ(ToHex(CryptoApiKey(sha1, h0, 0xa1f327e1 ^ 1, info)), "02dbed81c10000000000000000000000");
}

// Every prefix of a real header, and headers whose counts and sizes are out of range, are refused with a
// message before anything of the claimed size is allocated or any claimed number of rounds is run.
TEST(OfficeEncryption, DamagedHeadersFailWithAMessage) {
    for (const auto& whole : {Hex(kOldEncInfo), Hex(kNonStandardInfo), Db2013().Bytes()}) {
        for (std::size_t n = 0; n < whole.size(); ++n) {
            const std::span<const std::uint8_t> cut(whole.data(), n);
            EXPECT_THROW(ParseEncryptionInfo(cut), DamagedHeader) << n;
        }
    }

    auto patched = [](std::vector<std::uint8_t> bytes, std::size_t at, std::uint32_t value) {
        for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
        return bytes;
    };
    auto agile = [](auto change) {
        Agile a = Db2013();
        change(a);
        return a.Bytes();
    };
    const auto oldEnc = Hex(kOldEncInfo);
    const auto agileWhole = Db2013().Bytes();
    const std::size_t verifier = 12 + 0x76;
    const struct {
        const char* name;
        std::vector<std::uint8_t> info;
        const char* says;
    } cases[] = {
        {"header size of 4 GB", patched(oldEnc, 8, 0xFFFFFFF0u), "header size"},
        {"header size below its fields", patched(oldEnc, 8, 8), "header size"},
        {"salt size of 4 GB", patched(oldEnc, verifier, 0xFFFFFFFFu), "salt size"},
        {"verifier hash size of a billion", patched(oldEnc, verifier + 36, 1000000000u),
         "verifier hash size"},
        {"RC4 key of 4096 bits", patched(oldEnc, 12 + 16, 4096), "key size"},
        {"spin count of four billion", agile([](Agile& a) { a.spinCount = "4000000000"; }), "spin count"},
        {"spin count past 2^64", agile([](Agile& a) { a.spinCount = "99999999999999999999999"; }),
         "spinCount"},
        {"spin count just over the limit", agile([](Agile& a) { a.spinCount = "10000001"; }), "spin count"},
        {"negative spin count", agile([](Agile& a) { a.spinCount = "-1"; }), "spinCount"},
        {"salt size of a billion", agile([](Agile& a) { a.saltSize = "1000000000"; }), "saltSize"},
        {"salt size unlike the salt", agile([](Agile& a) { a.saltSize = "15"; }), "salt size"},
        {"AES key of 100 bits", agile([](Agile& a) { a.keyBits = "100"; }), "key size"},
        {"hash size unlike the hash", agile([](Agile& a) { a.hashSize = "20"; }), "hash size"},
        {"salt that is no base64", agile([](Agile& a) { a.passwordSalt = "#@!"; }), "saltValue"},
        {"huge encrypted key", agile([](Agile& a) { a.keyValue = std::string(40000, 'A'); }),
         "encryptedKeyValue"},
        {"encrypted key shorter than the key",
         agile([](Agile& a) { a.keyValue = "o0cj94OxoyHGQ6CDwqTdBg=="; }), "encrypted key"},
        {"XML cut off", std::vector<std::uint8_t>(agileWhole.begin(), agileWhole.end() - 40), "XML"},
    };
    for (const auto& k : cases) {
        try {
            ParseEncryptionInfo(k.info);
            ADD_FAILURE() << k.name << ": accepted";
        } catch (const DamagedHeader& e) {
            EXPECT_NE(std::string(e.what()).find(k.says), std::string::npos) << k.name << ": " << e.what();
        }
    }

    std::vector<std::uint8_t> page0(4096);
    page0[0x299] = 0x66;
    page0[0x29a] = 0x0D;  // one byte more than the page holds behind 0x29b
    EXPECT_THROW(FindEncryptionInfo(page0), DamagedHeader);
    page0[0x299] = 0x65;
    EXPECT_EQ(FindEncryptionInfo(page0).size(), 0xD65u);
}

TEST(OfficeEncryption, SchemesNotImplementedAreNamed) {
    auto version = [](std::uint8_t major, std::uint8_t minor) {
        auto bytes = Hex(kOldEncInfo);
        bytes[0] = major;
        bytes[2] = minor;
        return bytes;
    };
    auto agile = [](auto change) {
        Agile a = Db2013();
        change(a);
        return a.Bytes();
    };
    auto rc4Info = Hex(kOldEncInfo);
    rc4Info[4] |= 0x10;  // fExternal
    const struct {
        std::vector<std::uint8_t> info;
        const char* says;
    } cases[] = {
        {version(1, 1), "version 1.1"},
        {version(3, 3), "extensible encryption (version 3.3)"},
        {version(4, 3), "extensible encryption (version 4.3)"},
        {version(9, 9), "encryption version 9.9"},
        {rc4Info, "external encryption"},
        {agile([](Agile& a) { a.cipher = "3DES"; }), "cipher 3DES"},
        {agile([](Agile& a) { a.chaining = "ChainingModeCFB"; }), "ChainingModeCFB"},
        {agile([](Agile& a) { a.hash = "RIPEMD-160"; }), "RIPEMD-160"},
        {agile([](Agile& a) { a.uri = "http://schemas.microsoft.com/office/2006/keyEncryptor/certificate"; }),
         "certificate"},
    };
    for (const auto& k : cases) {
        try {
            ParseEncryptionInfo(k.info);
            ADD_FAILURE() << k.says << ": accepted";
        } catch (const UnsupportedScheme& e) {
            EXPECT_NE(std::string(e.what()).find(k.says), std::string::npos) << e.what();
        }
    }
}

}  // namespace
}  // namespace tabvert::ado::crypto
