#pragma once
// Text as Access stores it, turned into UTF-8: UTF-16LE for Jet 4 and ACE (optionally in the "compressed"
// form that starts with FF FE and stores runs of Latin-1 characters in one byte), bytes of a code page for
// Jet 3.

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace tabvert::ado::detail {

// UTF-16LE (with surrogate pairs) or the compressed form; unpaired surrogates become U+FFFD.
std::string DecodeUnicodeText(std::span<const std::uint8_t> bytes);

void AppendUtf8(std::string& out, char32_t c);

// Jet 3 text. The file names a code page in its header; files written on a Chinese system still say
// 1252 there, so text whose bytes form a run of GB2312 characters (and nothing else beyond ASCII) is
// read as GBK.
class CodePageDecoder {
  public:
    explicit CodePageDecoder(std::uint16_t codePage);
    ~CodePageDecoder();
    CodePageDecoder(CodePageDecoder&&) noexcept;
    CodePageDecoder& operator=(CodePageDecoder&&) noexcept;

    std::string Decode(std::span<const std::uint8_t> bytes);

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// True when every byte >= 0x80 pairs with the next one into a GB2312 character and there are at least
// two such characters.
bool LooksLikeGb2312(std::span<const std::uint8_t> bytes);

}  // namespace tabvert::ado::detail
