#include "core/export/object_files.h"

#include <fcntl.h>
#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <system_error>

#include "core/provider/ado.h"
#include "core/text/strings.h"

namespace tabvert::exporting {

namespace {

namespace fs = std::filesystem;
using Bytes = std::span<const std::uint8_t>;

// A cursor over little-endian stored bytes; every read says whether the bytes were there.
class Reader {
  public:
    explicit Reader(Bytes bytes) : bytes_(bytes) {}
    std::size_t Position() const { return at_; }
    std::size_t Left() const { return bytes_.size() - at_; }
    bool Seek(std::size_t at) { return at <= bytes_.size() ? (at_ = at, true) : false; }
    std::optional<std::uint32_t> Uint(int size) {
        if (Left() < static_cast<std::size_t>(size)) return std::nullopt;
        std::uint32_t v = 0;
        for (int i = size - 1; i >= 0; --i) v = (v << 8) | bytes_[at_ + static_cast<std::size_t>(i)];
        at_ += static_cast<std::size_t>(size);
        return v;
    }
    std::optional<Bytes> Take(std::size_t size) {
        if (Left() < size) return std::nullopt;
        const Bytes part = bytes_.subspan(at_, size);
        at_ += size;
        return part;
    }
    // A NUL-terminated ANSI text; the NUL is read but not returned.
    std::optional<std::string> ZeroText() {
        const auto end = std::find(bytes_.begin() + static_cast<std::ptrdiff_t>(at_), bytes_.end(), 0);
        if (end == bytes_.end()) return std::nullopt;
        std::string text(bytes_.begin() + static_cast<std::ptrdiff_t>(at_), end);
        at_ = static_cast<std::size_t>(end - bytes_.begin()) + 1;
        return text;
    }
    // A text whose length (NUL included) comes first as four bytes.
    std::optional<std::string> CountedText() {
        const auto size = Uint(4);
        if (!size) return std::nullopt;
        const auto bytes = Take(*size);
        if (!bytes) return std::nullopt;
        std::string text(bytes->begin(), bytes->end());
        if (!text.empty() && text.back() == '\0') text.pop_back();
        return text;
    }

  private:
    Bytes bytes_;
    std::size_t at_ = 0;
};

constexpr std::uint32_t kAccessObjectSignature = 0x1C15;  // the header Access puts before an OLE object
constexpr std::uint32_t kOle1Version = 0x0501;
constexpr std::uint32_t kOle1Embedded = 2;

bool StartsWith(Bytes bytes, std::string_view magic) {
    return bytes.size() >= magic.size() &&
           std::equal(magic.begin(), magic.end(), bytes.begin(),
                      [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; });
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(),
                      [](char a, char b) { return std::tolower(a) == std::tolower(b); });
}

// The packaged file of the "Package" class: a label, the original path, the file's temporary path and
// its bytes. Nothing when the native data is not of that form.
struct PackagedFile {
    std::string name;
    Bytes bytes;
};
std::optional<PackagedFile> ReadPackage(Bytes native) {
    Reader r(native);
    if (r.Uint(2) != 2u) return std::nullopt;
    const auto label = r.ZeroText();
    const auto original = r.ZeroText();
    if (!label || !original || !r.Uint(2) || r.Uint(2) != 3u) return std::nullopt;  // 3: an embedded file
    if (!r.CountedText()) return std::nullopt;                                      // the temporary path
    const auto size = r.Uint(4);
    if (!size) return std::nullopt;
    const auto bytes = r.Take(*size);
    if (!bytes) return std::nullopt;
    std::string name = label->empty() ? *original : *label;
    return PackagedFile{name.substr(name.find_last_of("/\\") + 1), *bytes};
}

// The extension of a file name, lower case, if it is a plain one.
std::string NameExtension(std::string_view name) {
    const std::size_t dot = name.find_last_of('.');
    if (dot == std::string_view::npos || dot + 1 == name.size() || name.size() - dot > 9) return {};
    std::string extension(name.substr(dot + 1));
    for (char& c : extension) {
        if (!std::isalnum(static_cast<unsigned char>(c))) return {};
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return extension;
}

// The "Package" stream of a compound file, where Office 2007 objects keep their document; nothing when
// there is none or the compound file cannot be read.
std::optional<std::vector<std::uint8_t>> PackageStream(Bytes compound) {
    GsfInput* memory = gsf_input_memory_new(compound.data(), static_cast<gsf_off_t>(compound.size()), FALSE);
    if (!memory) return std::nullopt;
    std::optional<std::vector<std::uint8_t>> out;
    GError* error = nullptr;
    GsfInfile* folder = gsf_infile_msole_new(memory, &error);
    if (error) g_error_free(error);
    if (folder) {
        if (GsfInput* stream = gsf_infile_child_by_name(folder, "Package")) {
            const gsf_off_t size = gsf_input_size(stream);
            std::vector<std::uint8_t> bytes(static_cast<std::size_t>(std::max<gsf_off_t>(size, 0)));
            if (bytes.empty() || gsf_input_read(stream, bytes.size(), bytes.data())) out = std::move(bytes);
            g_object_unref(stream);
        }
        g_object_unref(folder);
    }
    g_object_unref(memory);
    return out;
}

// What the class of an object says of a compound file or a zip package.
std::string ExtensionOfClass(std::string_view content, std::string_view className) {
    const bool word = StartsWithNoCase(className, "Word.");
    const bool excel = StartsWithNoCase(className, "Excel.");
    const bool powerPoint = StartsWithNoCase(className, "PowerPoint.");
    if (content == "cfb") {
        if (word) return "doc";
        if (excel) return "xls";
        if (powerPoint) return "ppt";
        return {};
    }
    if (content == "zip") {
        if (word) return "docx";
        if (excel) return "xlsx";
        if (powerPoint) return "pptx";
        return "zip";
    }
    return std::string(content);
}

}  // namespace

std::string_view ExtensionByContent(Bytes bytes) {
    if (StartsWith(bytes, "BM") && bytes.size() >= 14) return "bmp";
    if (StartsWith(bytes, "\xFF\xD8\xFF")) return "jpg";
    if (StartsWith(bytes, "\x89PNG\r\n\x1A\n")) return "png";
    if (StartsWith(bytes, "GIF87a") || StartsWith(bytes, "GIF89a")) return "gif";
    if (StartsWith(bytes, std::string_view("II*\0", 4)) || StartsWith(bytes, std::string_view("MM\0*", 4)))
        return "tif";
    if (StartsWith(bytes, "%PDF-")) return "pdf";
    if (StartsWith(bytes, "{\\rtf")) return "rtf";
    if (StartsWith(bytes, "\xD7\xCD\xC6\x9A")) return "wmf";
    if (StartsWith(bytes, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1")) return "cfb";
    if (StartsWith(bytes, std::string_view("PK\3\4", 4))) return "zip";
    return {};
}

ObjectContent UnwrapOleObject(Bytes stored) {
    ObjectContent out;
    Bytes content = stored;
    std::string packagedName;
    Reader r(stored);
    if (r.Uint(2) == kAccessObjectSignature) {
        const auto headerSize = r.Uint(2);
        std::optional<std::string> className;
        if (headerSize && r.Seek(*headerSize) && r.Uint(4) == kOle1Version && r.Uint(4) == kOle1Embedded &&
            (className = r.CountedText()) && r.CountedText() && r.CountedText()) {  // topic, item
            const auto size = r.Uint(4);
            const auto native = size ? r.Take(*size) : std::nullopt;
            if (native) {
                content = *native;
                out.className = *className;
                if (*className == "Package") {
                    if (const auto file = ReadPackage(*native)) {
                        content = file->bytes;
                        packagedName = file->name;
                    }
                }
            }
        }
    }
    std::optional<std::vector<std::uint8_t>> document;
    if (ExtensionByContent(content) == "cfb" && (document = PackageStream(content)) &&
        ExtensionByContent(*document) == "zip")
        out.bytes = std::move(*document);
    else
        out.bytes.assign(content.begin(), content.end());
    out.extension = ExtensionOfClass(ExtensionByContent(out.bytes), out.className);
    if (out.extension.empty() || out.extension == "zip") {
        const std::string named = NameExtension(packagedName);
        if (!named.empty()) out.extension = named;
    }
    if (out.extension.empty()) out.extension = "bin";
    return out;
}

namespace {

constexpr std::uint32_t kAttachmentRaw = 0;
constexpr std::uint32_t kAttachmentDeflated = 1;
constexpr std::uint32_t kLargestAttachment = 0x7FFFFFFF;  // Access files end at 2 GB

// Inflates a zlib stream into exactly `size` bytes; nothing when it holds another amount or is damaged.
std::optional<std::vector<std::uint8_t>> Inflate(Bytes packed, std::size_t size) {
    std::vector<std::uint8_t> out(size);
    z_stream z{};
    if (inflateInit(&z) != Z_OK) return std::nullopt;
    z.next_in = const_cast<Bytef*>(packed.data());
    z.avail_in = static_cast<uInt>(packed.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    int status = inflate(&z, Z_FINISH);
    if (status == Z_BUF_ERROR && z.avail_out == 0) {
        // The content is done, but the stream says more: one byte more would show whether it is.
        std::uint8_t extra = 0;
        z.next_out = &extra;
        z.avail_out = 1;
        status = inflate(&z, Z_FINISH);
        if (z.avail_out == 0) status = Z_DATA_ERROR;
    }
    const bool whole = status == Z_STREAM_END && z.total_out == size;
    inflateEnd(&z);
    if (!whole) return std::nullopt;
    return out;
}

}  // namespace

std::optional<ObjectContent> DecodeAttachment(Bytes stored, std::string_view fileType) {
    Reader r(stored);
    const auto flag = r.Uint(4);
    const auto length = r.Uint(4);
    if (!flag || !length || *length > kLargestAttachment) return std::nullopt;
    std::vector<std::uint8_t> unpacked;
    Bytes content;
    if (*flag == kAttachmentRaw) {
        const auto rest = r.Take(*length);
        if (!rest) return std::nullopt;
        content = *rest;
    } else if (*flag == kAttachmentDeflated) {
        auto inflated = Inflate(stored.subspan(r.Position()), *length);
        if (!inflated) return std::nullopt;
        unpacked = std::move(*inflated);
        content = unpacked;
    } else {
        return std::nullopt;
    }
    Reader c(content);
    const auto headerSize = c.Uint(4);
    if (!headerSize || *headerSize < 8 || *headerSize > content.size() || !c.Uint(4)) return std::nullopt;
    // The extension, in UTF-16 up to a NUL within the header; Access writes plain ASCII ones.
    std::string extension;
    for (std::size_t at = 8; at + 1 < *headerSize; at += 2) {
        const unsigned unit = content[at] | (content[at + 1] << 8);
        if (unit == 0) break;
        extension += unit < 0x80 ? static_cast<char>(unit) : '_';
    }
    ObjectContent out;
    const Bytes file = content.subspan(*headerSize);
    out.bytes.assign(file.begin(), file.end());
    out.extension = NameExtension("." + extension);
    if (out.extension.empty()) out.extension = NameExtension("." + std::string(fileType));
    if (out.extension.empty()) out.extension = ExtensionByContent(out.bytes);
    if (out.extension.empty()) out.extension = "bin";
    return out;
}

std::string SafeFileNamePart(std::string_view text) {
    std::string name;
    name.reserve(text.size());
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        const bool refused = u < 0x20 || u == 0x7F || std::strchr("/\\:*?\"<>|", c) != nullptr;
        name += refused ? '_' : c;
    }
    for (char& c : name) {  // no leading dot, so never "." or ".." nor a hidden file
        if (c != '.') break;
        c = '_';
    }
    name = std::string(text::Utf16Prefix(name, kLongestFileNamePart));
    while (!name.empty() && (name.back() == ' ' || name.back() == '.')) name.pop_back();
    return name.empty() ? "_" : name;
}

ObjectFolder::ObjectFolder(fs::path root, fs::path workbookFolder)
    : root_(fs::absolute(root).lexically_normal()),
      workbookFolder_(fs::absolute(workbookFolder).lexically_normal()) {}

std::string ObjectFolder::Write(std::string_view table, std::string_view stem, std::string_view extension,
                                Bytes bytes) {
    const fs::path folder = root_ / SafeFileNamePart(table);
    if (!madeFolders_.count(folder)) {
        std::error_code error;
        fs::create_directories(folder, error);
        if (error || !fs::is_directory(folder))
            throw std::runtime_error("the folder " + folder.string() +
                                     " cannot be made: " + (error ? error.message() : "a file has its name"));
        madeFolders_.insert(folder);
    }
    const std::string base = SafeFileNamePart(stem);
    const std::string dotExtension = extension.empty() ? "" : "." + SafeFileNamePart(extension);
    for (int number = 1;; ++number) {
        const std::string name =
            base + (number == 1 ? "" : " (" + std::to_string(number) + ")") + dotExtension;
        const fs::path path = folder / name;
        // Created new or not at all: a file of the same name (from an earlier run, or a name two values
        // share once made safe) stays as it is and the next number is tried.
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            throw std::runtime_error("the file " + path.string() +
                                     " cannot be made: " + std::strerror(errno));
        }
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                const std::string why = std::strerror(errno);
                ::close(fd);
                ::unlink(path.c_str());
                throw std::runtime_error("the file " + path.string() + " cannot be written: " + why);
            }
            done += static_cast<std::size_t>(n);
        }
        if (::close(fd) != 0) {
            const std::string why = std::strerror(errno);
            ::unlink(path.c_str());
            throw std::runtime_error("the file " + path.string() + " cannot be written: " + why);
        }
        return path.lexically_relative(workbookFolder_).generic_string();
    }
}

}  // namespace tabvert::exporting

namespace tabvert::exporting {

std::vector<std::string> ObjectFolder::WriteAttachments(
    std::string_view table, std::string_view stem, const std::vector<ado::AttachedFile>& files,
    const std::function<void(const std::string&)>& unwritten) {
    std::vector<std::string> paths;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const ado::AttachedFile& file = files[i];
        const auto content = DecodeAttachment(file.data, file.type);
        if (!content) {
            unwritten("The attached file '" + file.name + "' of the table '" + std::string(table) +
                      "' cannot be read: its stored data are damaged.");
            continue;
        }
        const std::string name =
            files.size() == 1 ? std::string(stem) : std::string(stem) + "-" + std::to_string(i + 1);
        try {
            paths.push_back(Write(table, name, content->extension, content->bytes));
        } catch (const std::runtime_error& e) {
            unwritten(e.what());
        }
    }
    return paths;
}

}  // namespace tabvert::exporting
