#pragma once
// The first page of an Access file, checked before mdbtools sees the file: the format version, the page
// size, the key of RC4-encoded pages, the code page of Jet 3 text and the database password, which Jet 3 and
// Jet 4 keep RC4-encoded in the header. mdbtools trusts the header blindly, so every check that keeps a
// damaged or foreign file away from it lives here.

#include <sys/stat.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tabvert::ado::detail {

enum class Engine { Jet3, Jet4, Ace };

struct FileHeader {
    int version = 0;  // byte 0x14: 0 Jet 3, 1 Jet 4, 2 and up ACE
    Engine engine = Engine::Jet3;
    std::size_t pageSize = 0;     // 2048 for Jet 3, 4096 otherwise
    std::uint32_t pageCount = 0;  // whole pages in the file (set by whoever knows its size)
    std::int64_t modifiedNs = 0;  // the file's modification time when it was opened (likewise)
    std::uint32_t pageKey = 0;    // RC4 key of every page but the first; 0 when pages are plain
    std::uint16_t codePage = 0;   // of Jet 3 text; 0 when the file does not say
    std::u16string password;      // the database password; empty when there is none
};

// Why a file cannot be read as an Access database.
enum class HeaderFault { None, NotAccess, Truncated };

// Decodes the first page (at least 0x80 + 128 bytes of it). Sets fault instead of throwing.
FileHeader DecodeHeader(std::span<const std::uint8_t> page0, HeaderFault& fault);

// A file's modification time in nanoseconds, as FileHeader::modifiedNs keeps it.
std::int64_t ModifiedNs(const struct ::stat& st);

// RC4, as Jet uses it for the header and for encoded pages: data is transformed in place.
void Rc4(std::span<const std::uint8_t> key, std::span<std::uint8_t> data);

// Undoes the page encoding of page number pageNumber (> 0) when header.pageKey is set.
void DecodePage(const FileHeader& header, std::uint32_t pageNumber, std::span<std::uint8_t> page);

}  // namespace tabvert::ado::detail
