#pragma once
// Every window of the program is shown centred on the screen.

#include <QPoint>
#include <QRect>
#include <QScreen>
#include <QSize>
#include <QWidget>

namespace tabvert::ui {

// Moves a top-level window so that a rectangle of `size` (its frame, where the window manager has given
// it one) is centred on the available area of the window's screen.
inline void CentreOnScreen(QWidget& window, QSize size) {
    const QScreen* screen = window.screen();
    if (screen == nullptr) return;
    QRect centred(QPoint(), size);
    centred.moveCenter(screen->availableGeometry().center());
    window.move(centred.topLeft());
}

}  // namespace tabvert::ui
