#pragma once
// The one rule for a workbook file name's extension and the format it chooses, shared by the same-file
// guard, the save and the save dialog.

#include <string>
#include <string_view>

namespace tabvert::excel {

/// The one rule for a workbook file name, shared by the same-file guard, the save and the save dialog.
/// The name is what follows the last "/". Trailing blanks and dots are not part of it (Windows drops
/// them from file names, and a name typed as "x.xlsx " means "x.xlsx"). A dot at the start of the name
/// begins a hidden file's name, not an extension: ".hid" has none, ".hid.xls" has "xls".
/// Returns the extension without its dot, "" when the name has none.
std::string_view WorkbookExtension(std::string_view path);

/// `path` with ".<extension>" added when it has no extension of its own (by the rule above), trailing
/// blanks and dots dropped. The save dialog adds the chosen filter's extension this way.
std::string WithDefaultExtension(std::string_view path, std::string_view extension);

enum class WorkbookFormat { ByName, Xls, Xlsx };

/// Where a workbook is saved and in which format. `refusal` is empty when the path names a file, and
/// says why otherwise ("." or a path ending in "/" names a folder; so does a name of dots alone).
struct WorkbookTarget {
    std::string path;
    bool xlsx = false;
    std::string refusal;
};

/// ".xlsx" in any case is Office Open XML, every other extension Excel 97-2003; a name without an
/// extension gets the format's (".xls" when the name decides). A forced format keeps the extension.
WorkbookTarget ResolveWorkbookTarget(std::string_view path, WorkbookFormat format = WorkbookFormat::ByName);

}  // namespace tabvert::excel
