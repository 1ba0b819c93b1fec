// libFuzzer target: the property blocks of MSysObjects.LvProp. The first byte chooses Jet 3 (odd) or
// Jet 4 text; the rest is the block.

#include <cstddef>
#include <cstdint>

#include "core/access/properties.h"
#include "core/access/text_decode.h"

namespace {
std::string DecodeJet3(std::span<const std::uint8_t> bytes, void* decoder) {
    return static_cast<tabvert::ado::detail::CodePageDecoder*>(decoder)->Decode(bytes);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tabvert::ado::detail;
    if (size == 0) return 0;
    CodePageDecoder decoder(1252);
    const auto blocks = ParseProperties({data + 1, size - 1}, (data[0] & 1) != 0, DecodeJet3, &decoder);
    DescriptionProperty(blocks);
    return 0;
}
