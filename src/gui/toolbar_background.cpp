// Window-class backgrounds: replacing a class's background brush.
#include "gui/toolbar_background.h"

namespace tabvert::shell {

void SetClassBrush(win32::Gdi& gdi, win32::HWND target, win32::HBRUSH brush) {
    const win32::LONG previous =
        gdi.SetClassLongA(target, win32::GCL_HBRBACKGROUND, static_cast<win32::LONG>(brush));
    gdi.DeleteObject(static_cast<win32::HGDIOBJ>(previous));
}

}  // namespace tabvert::shell
