#pragma once
// The HTML Help entry point the main window declares: shows a topic of a compiled help file (.chm) in
// a help window owned by the calling window. There is no message of its own when the file is
// missing or unreadable: nothing is shown and the result is null.

#include "gui/platform/types.h"

namespace tabvert::htmlhelp {

// Show the topic named in `dwData` (a const char* inside the file), or the file's default topic when
// `dwData` is 0.
constexpr win32::UINT HH_DISPLAY_TOPIC = 0;

// `pszFile` is the help file's path in the ANSI code page, optionally followed by "::/topic.html".
// Every command but HH_DISPLAY_TOPIC is refused (null). A help window already open on the same file
// for the same caller is reused and raised. Returns the help window.
win32::HWND HtmlHelpA(win32::HWND hwndCaller, const char* pszFile, win32::UINT uCommand,
                      win32::DWORD_PTR dwData);

}  // namespace tabvert::htmlhelp
