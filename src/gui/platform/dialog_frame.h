#pragma once
// How the program's dialogs sit on the desktop: a title bar with a close button and nothing else (no
// minimise or maximise box, fixed size), kept with the window they belong to, so that a window
// manager neither maximises a dialog nor minimises a modal one alone.

#include <QWidget>
#include <QWindow>

namespace tabvert::ui {

// The window flags of a fixed-size dialog. CustomizeWindowHint makes the platform take the title-bar
// hints as given instead of its defaults (which include minimise and maximise).
inline constexpr Qt::WindowFlags kFixedDialogFlags =
    Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
    Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint;

// Makes `dialog` transient for the window of `owner` (a dialog without a parent widget has no owner of
// its own), unless it already has one. Call when the dialog is about to show.
inline void KeepWithOwner(QWidget& dialog, const QWidget* owner) {
    if (owner == nullptr || owner->window() == &dialog) return;
    QWindow* window = dialog.windowHandle();
    QWindow* ownerWindow = owner->window()->windowHandle();
    if (window != nullptr && ownerWindow != nullptr && window->transientParent() == nullptr)
        window->setTransientParent(ownerWindow);
}

}  // namespace tabvert::ui
