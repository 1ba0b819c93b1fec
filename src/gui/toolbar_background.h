#pragma once
// Window-class backgrounds: SetClassBrush, through which the main window gives every toolbar its tiled
// picture (built on the user32 and gdi32 stand-ins of win32::Gdi).

#include "gui/platform/gdi.h"

namespace tabvert::shell {

// Makes `brush` the background brush of the window class of `target` (every widget of that class, now
// and later, paints it) and deletes the brush the class held before. Neither argument changes; the
// new brush now belongs to the class. Results of the platform calls are not looked at.
void SetClassBrush(win32::Gdi& gdi, win32::HWND target, win32::HBRUSH brush);

}  // namespace tabvert::shell
