#pragma once
// How the Export command turns the save dialog's answer into the workbook path (the extension rule
// itself is the workbook engine's: core/workbook/file_format.h).

#include <string>
#include <string_view>

namespace tabvert::exporting {

/// The save dialog's filter, in the common dialog's "description|pattern|..." form.
inline constexpr const char* kSaveDialogFilter =
    "Select excel file (*.xls)|*.xls| Excel 2007-2010 (*.xlsx)|*.xlsx| All files (*.*)|*.*  ";

/// A chosen file name ending in ".mdb" (exactly, lower case) ends in ".xls" instead. Folder names and
/// any other place in the path are left alone.
std::string ReplaceMdbEnding(std::string_view fileName);

/// Every run of three backslashes becomes two, scanning left to right without overlap (four become
/// three, six become four).
std::string CollapseTripleBackslashes(std::string_view path);

}  // namespace tabvert::exporting
