// libFuzzer target: stored text. The first byte chooses the Jet 3 code page; the rest is decoded both
// as Jet 4 text (UTF-16LE or its compressed form) and as Jet 3 bytes.

#include <cstddef>
#include <cstdint>

#include "core/access/text_decode.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tabvert::ado::detail;
    if (size == 0) return 0;
    constexpr std::uint16_t kCodePages[] = {0,    1250, 1251, 1252, 1253, 1254, 1255,
                                            1256, 1257, 932,  936,  949,  950};
    const std::span<const std::uint8_t> bytes(data + 1, size - 1);
    DecodeUnicodeText(bytes);
    CodePageDecoder decoder(kCodePages[data[0] % std::size(kCodePages)]);
    decoder.Decode(bytes);
    LooksLikeGb2312(bytes);
    return 0;
}
