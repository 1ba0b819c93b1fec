#pragma once
// Every window of the program is shown centred on the screen.

#include <QApplication>
#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QScreen>
#include <QSize>
#include <QWidget>
#include <QWindow>

namespace tabvert::ui {

// Where the client area of a top-level window goes so that its frame, `frame` around a client of
// `clientSize`, is centred in `available`.
inline QPoint CentredClientPosition(QSize clientSize, QMargins frame, QRect available) {
    QRect centred(QPoint(), clientSize.grownBy(frame));
    centred.moveCenter(available.center());
    return centred.topLeft() + QPoint(frame.left(), frame.top());
}

// The frame the window manager gives `window`: its own once it has been framed; before that, that of
// another framed window of the program (decorations are alike), with the bottom edge as thin as the
// sides (a sizable window's bottom edge may carry a grip a fixed dialog has not); none for frameless
// windows or when no other window is framed.
inline QMargins ExpectedFrame(const QWidget& window) {
    if (window.windowFlags() & Qt::FramelessWindowHint) return {};
    if (window.windowHandle() && !window.windowHandle()->frameMargins().isNull())
        return window.windowHandle()->frameMargins();
    for (const QWidget* other : QApplication::topLevelWidgets()) {
        if (other == &window || !other->isVisible() || !other->windowHandle()) continue;
        const QMargins frame = other->windowHandle()->frameMargins();
        if (!frame.isNull()) return {frame.left(), frame.top(), frame.right(), frame.left()};
    }
    return {};
}

// Places a top-level window so that its frame is centred on the available area of its screen, on the
// first showing (before the window manager has framed it) as on every later one. The client area is
// placed, since where a window manager puts a frame for a given position differs between them.
inline void CentreOnScreen(QWidget& window) {
    const QScreen* screen = window.screen();
    if (screen == nullptr) return;
    const QPoint client =
        CentredClientPosition(window.size(), ExpectedFrame(window), screen->availableGeometry());
    window.setGeometry(QRect(client, window.size()));
}

}  // namespace tabvert::ui
