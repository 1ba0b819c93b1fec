#pragma once
// The few Windows API types the program's platform declarations use, mapped onto Qt: a window handle
// is the widget itself; GDI handles are opaque numbers into the program's GDI object table.

#include <cstdint>

class QWidget;

namespace tabvert::win32 {

using HWND = QWidget*;
using BOOL = int;
using UINT = unsigned int;
using LONG = std::int32_t;
using DWORD_PTR = std::uintptr_t;
using HGDIOBJ = std::uint32_t;
using HBITMAP = HGDIOBJ;
using HBRUSH = HGDIOBJ;

}  // namespace tabvert::win32
