#include "core/access/file_header.h"

#include <array>
#include <cstring>

#include "core/access/little_endian.h"

namespace tabvert::ado::detail {
namespace {

constexpr std::array<std::uint8_t, 4> kHeaderKey = {0xc7, 0xda, 0x39, 0x6b};  // 0x6b39dac7, little-endian
constexpr std::size_t kHeaderCodedStart = 0x18;
constexpr std::size_t kHeaderCodedLength = 128;
constexpr std::size_t kPasswordOffset = 0x42;
constexpr std::size_t kKeyOffset = 0x3e;
constexpr std::size_t kCodePageOffset = 0x3c;
constexpr std::size_t kCreationDateOffset = 0x72;

}  // namespace

std::int64_t ModifiedNs(const struct ::stat& st) {
    return std::int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec;
}

void Rc4(std::span<const std::uint8_t> key, std::span<std::uint8_t> data) {
    std::array<std::uint8_t, 256> s{};
    for (std::size_t i = 0; i < 256; ++i) s[i] = static_cast<std::uint8_t>(i);
    std::uint8_t j = 0;
    for (std::size_t i = 0; i < 256; ++i) {
        j = static_cast<std::uint8_t>(j + s[i] + key[i % key.size()]);
        std::swap(s[i], s[j]);
    }
    std::uint8_t a = 0, b = 0;
    for (auto& byte : data) {
        a = static_cast<std::uint8_t>(a + 1);
        b = static_cast<std::uint8_t>(b + s[a]);
        std::swap(s[a], s[b]);
        byte ^= s[static_cast<std::uint8_t>(s[a] + s[b])];
    }
}

FileHeader DecodeHeader(std::span<const std::uint8_t> page0, HeaderFault& fault) {
    FileHeader header;
    fault = HeaderFault::None;
    static constexpr char kJet[] = "Standard Jet DB";
    static constexpr char kAce[] = "Standard ACE DB";
    if (page0.size() < 0x20) {
        fault = page0.size() < 4 + sizeof kJet ? HeaderFault::NotAccess : HeaderFault::Truncated;
        return header;
    }
    const bool magic = page0[0] == 0 && page0[1] == 1 && page0[2] == 0 && page0[3] == 0;
    const bool jetName = std::memcmp(page0.data() + 4, kJet, sizeof kJet) == 0;
    const bool aceName = std::memcmp(page0.data() + 4, kAce, sizeof kAce) == 0;
    if (!magic || (!jetName && !aceName)) {
        fault = HeaderFault::NotAccess;
        return header;
    }
    header.version = page0[0x14];
    if (header.version > 0x10 || (header.version >= 2) != aceName) {
        fault = HeaderFault::NotAccess;
        return header;
    }
    header.engine = header.version == 0 ? Engine::Jet3 : header.version == 1 ? Engine::Jet4 : Engine::Ace;
    header.pageSize = header.engine == Engine::Jet3 ? 2048 : 4096;
    if (page0.size() < kHeaderCodedStart + kHeaderCodedLength) {
        fault = HeaderFault::Truncated;
        return header;
    }

    std::array<std::uint8_t, kHeaderCodedLength> coded{};
    std::memcpy(coded.data(), page0.data() + kHeaderCodedStart, coded.size());
    // Jet 3 encodes 126 bytes of the header, later versions 128; the last two do not matter here.
    Rc4(kHeaderKey, coded);
    auto at = [&](std::size_t offset) { return coded.data() + (offset - kHeaderCodedStart); };

    header.pageKey = Le32(at(kKeyOffset));
    header.codePage = static_cast<std::uint16_t>(at(kCodePageOffset)[0] | at(kCodePageOffset)[1] << 8);

    if (header.engine == Engine::Jet3) {
        const std::uint8_t* p = at(kPasswordOffset);
        for (std::size_t i = 0; i < 20 && p[i] != 0; ++i) header.password += static_cast<char16_t>(p[i]);
    } else {
        // Jet 4 mixes the whole days of the creation date into the password bytes.
        double created = 0;
        std::memcpy(&created, at(kCreationDateOffset), sizeof created);
        std::uint32_t mask = 0;
        if (created > -2147483648.0 && created < 2147483648.0)
            mask = static_cast<std::uint32_t>(static_cast<std::int32_t>(created));
        std::array<std::uint8_t, 40> bytes{};
        std::memcpy(bytes.data(), at(kPasswordOffset), bytes.size());
        for (std::size_t i = 0; i < bytes.size(); ++i)
            bytes[i] ^= static_cast<std::uint8_t>(mask >> (8 * (i % 4)));
        for (std::size_t i = 0; bytes.size() - i >= 2; i += 2) {
            const auto c = static_cast<char16_t>(bytes[i] | bytes[i + 1] << 8);
            if (c == 0) break;
            header.password += c;
        }
    }
    return header;
}

void DecodePage(const FileHeader& header, std::uint32_t pageNumber, std::span<std::uint8_t> page) {
    if (header.pageKey == 0 || pageNumber == 0) return;
    const std::uint32_t key = header.pageKey ^ pageNumber;
    const std::array<std::uint8_t, 4> keyBytes = {
        static_cast<std::uint8_t>(key), static_cast<std::uint8_t>(key >> 8),
        static_cast<std::uint8_t>(key >> 16), static_cast<std::uint8_t>(key >> 24)};
    Rc4(keyBytes, page);
}

}  // namespace tabvert::ado::detail
