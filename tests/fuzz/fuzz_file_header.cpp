// libFuzzer target: the first page of an Access file, and the page decoding it sets up.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/access/file_header.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tabvert::ado::detail;
    HeaderFault fault = HeaderFault::None;
    const FileHeader header = DecodeHeader({data, size}, fault);
    if (fault == HeaderFault::None && header.pageSize > 0 && size >= 2 * header.pageSize) {
        std::vector<std::uint8_t> page(data + header.pageSize, data + 2 * header.pageSize);
        DecodePage(header, 1, page);
    }
    return 0;
}
