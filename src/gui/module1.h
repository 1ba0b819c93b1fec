#pragma once
// Module1: the program's platform declarations for window-class backgrounds (user32 SetClassLongA and
// InvalidateRect, gdi32 CreatePatternBrush and DeleteObject, all provided by win32::Gdi) and
// SetClassBrush, which every window may use.

#include "gui/platform/gdi.h"

namespace tabvert::shell {

// Makes `brush` the background brush of the window class of `target` (every widget of that class, now
// and later, paints it) and deletes the brush the class held before. Neither argument changes; the
// new brush now belongs to the class. Results of the platform calls are not looked at.
void SetClassBrush(win32::Gdi& gdi, win32::HWND target, win32::HBRUSH brush);

}  // namespace tabvert::shell
