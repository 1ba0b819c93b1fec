#include "core/access/text_decode.h"

#include <iconv.h>

#include <cerrno>
#include <string>
#include <vector>

namespace tabvert::ado::detail {
namespace {

struct IconvCloser {
    void operator()(void* cd) const noexcept { iconv_close(static_cast<iconv_t>(cd)); }
};
using IconvPtr = std::unique_ptr<void, IconvCloser>;

IconvPtr OpenIconv(const std::string& from) {
    iconv_t cd = iconv_open("UTF-8", from.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) return nullptr;
    return IconvPtr(cd);
}

std::string Convert(void* cdHandle, std::span<const std::uint8_t> bytes) {
    auto cd = static_cast<iconv_t>(cdHandle);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    std::string out(bytes.size() * 4 + 8, '\0');
    char* in = const_cast<char*>(reinterpret_cast<const char*>(bytes.data()));
    size_t inLeft = bytes.size();
    char* dst = out.data();
    size_t outLeft = out.size();
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &dst, &outLeft) != static_cast<size_t>(-1)) break;
        if (errno == E2BIG) break;  // cannot happen with four bytes per input byte
        // An invalid or incomplete sequence: one replacement character, then go on.
        ++in;
        --inLeft;
        if (outLeft < 3) break;
        *dst++ = '\xEF';
        *dst++ = '\xBF';
        *dst++ = '\xBD';
        outLeft -= 3;
    }
    out.resize(out.size() - outLeft);
    return out;
}

}  // namespace

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::string DecodeUnicodeText(std::span<const std::uint8_t> bytes) {
    std::string out;
    out.reserve(bytes.size());
    if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        // Compressed: one byte per character; a zero byte switches to two bytes per character and back.
        bool compressed = true;
        std::size_t i = 2;
        std::vector<std::uint8_t> wide;
        while (i < bytes.size()) {
            if (bytes[i] == 0) {
                compressed = !compressed;
                ++i;
                continue;
            }
            if (compressed) {
                wide.push_back(bytes[i]);
                wide.push_back(0);
                ++i;
            } else {
                if (bytes.size() - i < 2) break;
                wide.push_back(bytes[i]);
                wide.push_back(bytes[i + 1]);
                i += 2;
            }
        }
        return DecodeUnicodeText(wide);
    }
    const std::size_t units = bytes.size() / 2;
    for (std::size_t i = 0; i < units; ++i) {
        const char16_t u = static_cast<char16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
        if (u >= 0xD800 && u <= 0xDBFF && units - i > 1) {
            const char16_t low = static_cast<char16_t>(bytes[2 * i + 2] | bytes[2 * i + 3] << 8);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((char32_t{u} - 0xD800) << 10) + (char32_t{low} - 0xDC00));
                ++i;
                continue;
            }
        }
        if (u >= 0xD800 && u <= 0xDFFF)
            AppendUtf8(out, 0xFFFD);
        else
            AppendUtf8(out, u);
    }
    return out;
}

bool LooksLikeGb2312(std::span<const std::uint8_t> bytes) {
    int pairs = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] < 0x80) continue;
        if (bytes[i] < 0xA1 || bytes[i] > 0xF7 || bytes.size() - i < 2 || bytes[i + 1] < 0xA1 ||
            bytes[i + 1] > 0xFE)
            return false;
        ++pairs;
        ++i;
    }
    return pairs >= 2;
}

struct CodePageDecoder::Impl {
    IconvPtr primary;
    IconvPtr gbk;
};

CodePageDecoder::CodePageDecoder(std::uint16_t codePage) : impl_(std::make_unique<Impl>()) {
    if (codePage != 0 && codePage != 1252) impl_->primary = OpenIconv("CP" + std::to_string(codePage));
    if (!impl_->primary) impl_->primary = OpenIconv("CP1252");
    if (codePage == 0 || codePage == 1252) impl_->gbk = OpenIconv("GBK");
}

CodePageDecoder::~CodePageDecoder() = default;
CodePageDecoder::CodePageDecoder(CodePageDecoder&&) noexcept = default;
CodePageDecoder& CodePageDecoder::operator=(CodePageDecoder&&) noexcept = default;

std::string CodePageDecoder::Decode(std::span<const std::uint8_t> bytes) {
    bool ascii = true;
    for (auto b : bytes)
        if (b >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii) return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (impl_->gbk && LooksLikeGb2312(bytes)) return Convert(impl_->gbk.get(), bytes);
    if (impl_->primary) return Convert(impl_->primary.get(), bytes);
    std::string out;
    for (auto b : bytes) AppendUtf8(out, b);
    return out;
}

}  // namespace tabvert::ado::detail
