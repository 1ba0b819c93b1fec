// libFuzzer target: the encryption description in the first page of an Access 2007+ file. The input is
// taken both as a whole first page and as the description itself.

#include <cstddef>
#include <cstdint>

#include "core/access/crypto/encryption_info.h"

namespace {

void Parse(std::span<const std::uint8_t> info) {
    using namespace tabvert::ado::crypto;
    try {
        SchemeName(ParseEncryptionInfo(info));
    } catch (const DamagedHeader&) {
    } catch (const UnsupportedScheme&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tabvert::ado::crypto;
    const std::span<const std::uint8_t> bytes(data, size);
    Parse(bytes);
    try {
        Parse(FindEncryptionInfo(bytes));
    } catch (const DamagedHeader&) {
    }
    return 0;
}
