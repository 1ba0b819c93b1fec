#pragma once
// The help file's name and path, which the main window's Help command opens.

#include <QString>

namespace tabvert::shell {

// The help file's name, with the separator that joins it to the program's folder.
inline constexpr char kHelpFileName[] = "/norrintabvert.chm";

// The help-file path for the program's folder: the folder without a trailing separator (unless it is
// the root, which is only a separator), followed by kHelpFileName. No separator is checked beyond that,
// so a program in the root folder gets "//norrintabvert.chm", used as it is.
QString HelpFilePath(const QString& programFolder);

}  // namespace tabvert::shell
