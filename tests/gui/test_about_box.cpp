// The about box: its window, its keys, and its release on every close.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <functional>

#include "gui/about_box.h"
#include "gui/platform/prompts.h"
#include "gui/windows.h"

namespace tabvert::shell {
namespace {

// Shows the about box modally the way the About command does and runs `whileOpen` inside its modal
// loop; a box still open afterwards is closed so a broken key handler fails instead of hanging.
void ShowModal(Windows& windows, const std::function<void(AboutBox&)>& whileOpen) {
    QPointer<AboutBox> box = &windows.aboutBox();
    QTimer::singleShot(0, [box, whileOpen] {
        if (!box) return;
        if (!QTest::qWaitForWindowActive(box)) return;
        whileOpen(*box);
    });
    QTimer::singleShot(5000, [box] {
        if (box) box->close();
    });
    box->exec();
}

bool CentredOnScreen(const QWidget& window) {
    const QPoint screenCentre = QGuiApplication::primaryScreen()->availableGeometry().center();
    return (window.frameGeometry().center() - screenCentre).manhattanLength() <= 2;
}

TEST(AboutBox, EscapeAndEnterDoNothingSpacePressesTheFocusedOkButton) {
    ui::ScriptedPrompts prompts;
    Windows windows(prompts);
    bool focusOnOk = false, openAfterEscape = false, openAfterEnter = false, centred = false;
    ShowModal(windows, [&](AboutBox& box) {
        centred = CentredOnScreen(box);
        focusOnOk = QApplication::focusWidget() == box.OkButton();
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : box.OkButton();
        QTest::keyClick(target, Qt::Key_Escape);
        openAfterEscape = box.isVisible();
        QTest::keyClick(target, Qt::Key_Return);
        openAfterEnter = box.isVisible();
        QTest::keyClick(target, Qt::Key_Space);
    });
    EXPECT_TRUE(centred);
    EXPECT_TRUE(focusOnOk);
    EXPECT_TRUE(openAfterEscape);
    EXPECT_TRUE(openAfterEnter);
    EXPECT_FALSE(windows.IsLoaded(Windows::Window::AboutBox)) << "Space closed and released the box";
}

TEST(AboutBox, TheCloseButtonReleasesItAndTheNextShowingIsFreshAndCentredAgain) {
    ui::ScriptedPrompts prompts;
    Windows windows(prompts);
    QPointer<AboutBox> first;
    ShowModal(windows, [&](AboutBox& box) {
        first = &box;
        box.move(5, 5);  // the user drags it aside
        box.close();     // the title bar's close button
    });
    EXPECT_TRUE(first.isNull());
    EXPECT_FALSE(windows.IsLoaded(Windows::Window::AboutBox));

    bool centred = false;
    ShowModal(windows, [&](AboutBox& box) {
        centred = CentredOnScreen(box);
        QTest::mouseClick(box.OkButton(), Qt::LeftButton);
    });
    EXPECT_TRUE(centred);
    EXPECT_FALSE(windows.IsLoaded(Windows::Window::AboutBox));
}

}  // namespace
}  // namespace tabvert::shell
