#include "core/access/properties.h"

#include <cstring>

#include "core/access/little_endian.h"
#include "core/access/text_decode.h"

namespace tabvert::ado::detail {
namespace {

constexpr std::uint16_t kNamesBlock = 0x80;
constexpr std::uint8_t kTypeBool = 0x01, kTypeLong = 0x04, kTypeText = 0x0A, kTypeMemo = 0x0C;

}  // namespace

std::vector<PropertyBlock> ParseProperties(std::span<const std::uint8_t> bytes, bool jet3,
                                           std::string (*decodeJet3)(std::span<const std::uint8_t>, void*),
                                           void* context) {
    std::vector<PropertyBlock> blocks;
    if (bytes.size() < 4) return blocks;
    const bool mr2 = std::memcmp(bytes.data(), "MR2\0", 4) == 0;
    const bool kkd = std::memcmp(bytes.data(), "KKD\0", 4) == 0;
    if (!mr2 && !kkd) return blocks;
    auto text = [&](std::size_t at, std::size_t n) {
        const auto s = bytes.subspan(at, n);
        return jet3 ? decodeJet3(s, context) : DecodeUnicodeText(s);
    };

    std::vector<std::string> names;
    std::size_t pos = 4;
    while (FitsWithin(bytes.size(), pos, 6)) {
        const std::size_t blockLength = Le32(&bytes[pos]);
        const std::uint16_t type = Le16(&bytes[pos + 4]);
        if (blockLength < 6 || !FitsWithin(bytes.size(), pos, blockLength)) break;
        const std::size_t start = pos + 6, end = pos + blockLength;
        if (type == kNamesBlock) {
            for (std::size_t p = start; FitsWithin(end, p, 2);) {
                const std::size_t n = Le16(&bytes[p]);
                if (!FitsWithin(end, p + 2, n)) break;
                names.push_back(text(p + 2, n));
                p += 2 + n;
            }
        } else if (type <= 0x02 && FitsWithin(end, start, 6)) {
            PropertyBlock block;
            const std::size_t headerLength = Le32(&bytes[start]);
            const std::size_t ownerLength = Le16(&bytes[start + 4]);
            if (headerLength < 6 || !FitsWithin(end, start, headerLength) || ownerLength > headerLength - 6)
                break;
            block.owner = text(start + 6, ownerLength);
            for (std::size_t p = start + headerLength; FitsWithin(end, p, 8);) {
                const std::size_t entryLength = Le16(&bytes[p]);
                const std::uint8_t dataType = bytes[p + 3];
                const std::size_t nameIndex = Le16(&bytes[p + 4]);
                const std::size_t dataLength = Le16(&bytes[p + 6]);
                if (entryLength < 8 || !FitsWithin(end, p, entryLength) || dataLength > entryLength - 8)
                    break;
                if ((dataType == kTypeText || dataType == kTypeMemo) && nameIndex < names.size()) {
                    block.texts[names[nameIndex]] = text(p + 8, dataLength);
                } else if (dataType >= kTypeBool && dataType <= kTypeLong && nameIndex < names.size() &&
                           dataLength >= 1 && dataLength <= 4) {
                    std::int64_t value = 0;
                    for (std::size_t b = dataLength; b-- > 0;) value = value << 8 | bytes[p + 8 + b];
                    block.numbers[names[nameIndex]] = value;
                }
                p += entryLength;
            }
            blocks.push_back(std::move(block));
        }
        pos = end;
    }
    return blocks;
}

std::string DescriptionProperty(const std::vector<PropertyBlock>& blocks) {
    if (blocks.empty()) return {};
    const auto it = blocks.front().texts.find("Description");
    return it == blocks.front().texts.end() ? std::string() : it->second;
}

}  // namespace tabvert::ado::detail
