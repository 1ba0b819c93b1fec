#pragma once
// Little-endian integers at a byte position, as every structure of an Access file stores them, and the
// one bounds test the decoders use before reading them.

#include <cstddef>
#include <cstdint>

namespace tabvert::ado::detail {

inline std::uint16_t Le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
inline std::uint32_t Le32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}
inline std::uint64_t Le64(const std::uint8_t* p) { return Le32(p) | std::uint64_t{Le32(p + 4)} << 32; }

// True when `length` bytes from `start` lie within a buffer of `size` bytes. Written so that no sum can
// wrap: a damaged file may give any start and length.
constexpr bool FitsWithin(std::size_t size, std::size_t start, std::size_t length) {
    return start <= size && length <= size - start;
}

}  // namespace tabvert::ado::detail
