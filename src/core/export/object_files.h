#pragma once
// OLE objects written out as files of their own beside the workbook, one file a value: the stored bytes
// unwrapped from the headers Access puts around them, the file type told by its first bytes, and a file
// name made safe from the table's and the field's names.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tabvert::ado {
struct AttachedFile;
}

namespace tabvert::exporting {

/// What an OLE object field holds once the headers around it are taken off.
struct ObjectContent {
    std::vector<std::uint8_t> bytes;  // the file itself
    std::string extension;            // "bmp", "jpg", ..., "bin" when nothing tells the type
    std::string className;            // the OLE class ("Paint.Picture", "Package", ...), "" without one
};

/// Unwraps an OLE object field's value: the header Access writes before an embedded object, the OLE1
/// object (class name, native data) behind it, and for the "Package" class the packaged file. An Office
/// 2007 document (Word.Document.12, Excel.Sheet.12, ...) is kept as a compound file around the document:
/// its "Package" stream is the .docx or .xlsx itself. A value without those headers is taken as the file
/// itself. The extension comes from the content's first bytes, then from the OLE class (Word and Excel
/// documents), then from a packaged file's own name.
ObjectContent UnwrapOleObject(std::span<const std::uint8_t> stored);

/// Decodes the FileData of an attachment column's file as Access keeps it: a flag telling whether the
/// rest is deflated (zlib) and the length of the unpacked content, then in the content a header holding
/// the file's extension, and after it the file's bytes. The extension is the header's, else `fileType`
/// (the FileType Access noted), else what the bytes show, else "bin". Nothing when the value does not
/// decode (damaged, cut short, an unknown flag).
std::optional<ObjectContent> DecodeAttachment(std::span<const std::uint8_t> stored,
                                              std::string_view fileType = {});

/// The file type its first bytes show: "bmp", "jpg", "png", "gif", "tif", "pdf", "rtf", "wmf", "cfb"
/// (an OLE compound file: .doc, .xls, ...), "zip" (also .docx, .xlsx); "" when none of them.
std::string_view ExtensionByContent(std::span<const std::uint8_t> bytes);

inline constexpr std::size_t kLongestFileNamePart = 60;  // UTF-16 code units, as for sheet names

/// One part of a file name made from database text: separators, control characters and the characters
/// Windows refuses become "_", as do leading dots (no hidden names, no "." or ".."); trailing blanks and
/// dots go; at most kLongestFileNamePart units, never cutting a character; "_" when nothing is left.
std::string SafeFileNamePart(std::string_view text);

/// The folder the files go to. Every file is created new: a name used already (in this run or by a
/// file in the folder) gets a " (2)", " (3)", ... before its extension, so nothing is overwritten.
class ObjectFolder {
  public:
    /// `root`: the chosen folder; `workbookFolder`: where the workbook is saved, which the paths that
    /// Write returns are relative to.
    ObjectFolder(std::filesystem::path root, std::filesystem::path workbookFolder);

    /// Writes `bytes` as <root>/<table>/<stem>.<extension> (table and stem made safe) and returns the
    /// file's path relative to the workbook's folder, with "/" between its parts. Throws
    /// std::runtime_error saying why when the folder or the file cannot be written.
    std::string Write(std::string_view table, std::string_view stem, std::string_view extension,
                      std::span<const std::uint8_t> bytes);

    /// Writes the files of one attachment value: a single file as <stem>.<extension>, several as
    /// <stem>-1.<extension>, <stem>-2.<extension>, ... Returns the paths of those written, in order (none:
    /// the cell then keeps the files' names). Each file that does not decode or cannot be written is told
    /// to `unwritten` with the reason, and the others are still written.
    std::vector<std::string> WriteAttachments(std::string_view table, std::string_view stem,
                                              const std::vector<ado::AttachedFile>& files,
                                              const std::function<void(const std::string&)>& unwritten);

  private:
    std::filesystem::path root_;
    std::filesystem::path workbookFolder_;
    std::set<std::filesystem::path> madeFolders_;
};

}  // namespace tabvert::exporting
